#!/usr/bin/env bash
# CI, after .ci/run has built build/: installation (prefix, DESTDIR, a prefix
# set at configure time), the manual page, the Debian package, and the
# integration tests with every tool they need present. Installs what it needs
# with apt-get only when it is missing; exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

. .ci/lib.sh
ensure_packages cmake g++ libgtest-dev nlohmann-json3-dev groff groff-base man-db bsdextrautils dpkg dpkg-dev \
  binutils file lintian git make vim emacs-nox pre-commit googletest
command -v node > /dev/null || ensure_packages nodejs

if [ ! -x build/stylo ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
  cmake --build build -j2
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
build/stylo examples/demo.c > "$tmp/expected.out"
[ -s "$tmp/expected.out" ] || fail "build/stylo finds nothing in examples/demo.c"

# The programs installed: one for each manual page in man/ (stylo and its
# companions), each in bin/ with its page in share/man/man1/.
programs=$(cd man && ls -- *.1 | sed 's/\.1$//' | sort)
installed_files() {
  local prefix=$1 program
  for program in $programs; do printf '%s\n' "$prefix/bin/$program" "$prefix/share/man/man1/$program.1"; done | sort
}

# check_tree <root>: the root holds exactly the programs and their manual
# pages, stylo works, and each page is the one in the source tree.
check_tree() {
  local root=$1 listed program
  listed=$(cd "$root" && find . -type f -o -type l | sort)
  [ "$listed" = "$(installed_files . | sort)" ] ||
    fail "$root holds other files than the programs and their pages:
$listed"
  "$root/bin/stylo" examples/demo.c > "$tmp/got.out"
  cmp -s "$tmp/expected.out" "$tmp/got.out" || fail "$root/bin/stylo does not give the warnings of build/stylo"
  for program in $programs; do
    cmp -s "man/$program.1" "$root/share/man/man1/$program.1" ||
      fail "$root/share/man/man1/$program.1 is not man/$program.1"
  done
}

step "cmake --install with --prefix"
cmake --install build --prefix "$tmp/prefix" > /dev/null
check_tree "$tmp/prefix"
[ "$(sed "s|^$tmp/prefix|.|" build/install_manifest.txt | sort)" = "$(installed_files . | sort)" ] ||
  fail "the install manifest lists other files: $(cat build/install_manifest.txt)"

step "cmake --install with DESTDIR"
configured_prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' build/CMakeCache.txt)
DESTDIR="$tmp/stage" cmake --install build > /dev/null
check_tree "$tmp/stage$configured_prefix"

step "CMAKE_INSTALL_PREFIX at configure time, without the tests (no GoogleTest needed)"
CXXFLAGS="$release_cxxflags" cmake -S . -B "$tmp/build-notests" -DCMAKE_BUILD_TYPE=Release -DSTYLO_BUILD_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX="$tmp/configured" ${compiler_cache:+"$compiler_cache"} > /dev/null
cmake --build "$tmp/build-notests" -j2 > /dev/null
cmake --install "$tmp/build-notests" > /dev/null
check_tree "$tmp/configured"

step "the README's set-up commands with the system's GoogleTest hidden (a pinned release built from source)"
# FETCHCONTENT_SOURCE_DIR_GOOGLETEST points the fetch at the sources Debian
# ships, since CI has no network; the build is the one a machine without
# libgtest-dev makes from the downloaded release.
CXXFLAGS="$release_cxxflags" cmake -S . -B "$tmp/build-fetched" -DCMAKE_BUILD_TYPE=Release -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
  -DFETCHCONTENT_SOURCE_DIR_GOOGLETEST=/usr/src/googletest ${compiler_cache:+"$compiler_cache"} > "$tmp/fetched.log" 2>&1 ||
  fail "configure with GoogleTest hidden: $(cat "$tmp/fetched.log")"
[ -d "$tmp/build-fetched/_deps/googletest-build" ] || fail "GoogleTest was not built from source"
# The program and the unit tests that run below: every test source was built
# against the system's GoogleTest in build/, which is the same release.
cmake --build "$tmp/build-fetched" -j2 --target stylo stylo_tests > "$tmp/fetched.log" 2>&1 ||
  fail "build with GoogleTest fetched: $(tail -n 30 "$tmp/fetched.log")"
"$tmp/build-fetched/stylo" examples/demo.c > "$tmp/got.out"
cmp -s "$tmp/expected.out" "$tmp/got.out" || fail "the program built with GoogleTest fetched does not give the warnings of build/stylo"
# The randomized rounds in part: they ran whole in .ci/run's suite.
STYLO_TEST_ROUNDS_PERCENT=10 run_ctest --test-dir "$tmp/build-fetched" --output-on-failure --no-tests=error \
  -R '^(LineReader|SourceCursor|FileScan|FastScan|ByteSearch|KeywordRule|AssignmentRule|WarningLines|Version)\.' |
  tee "$tmp/ctest-fetched.out"
grep -qE '^100% tests passed, 0 tests failed out of [1-9]' "$tmp/ctest-fetched.out" ||
  fail "the unit tests built with GoogleTest fetched did not all run and pass"

step "manual page"
for program in $programs; do
  groff -ww -man -Tutf8 "man/$program.1" > /dev/null 2> "$tmp/groff.err" || fail "groff failed on $program.1"
  [ ! -s "$tmp/groff.err" ] || fail "groff warns on $program.1: $(cat "$tmp/groff.err")"
done
MANWIDTH=1000 man -l "$tmp/prefix/share/man/man1/stylo.1" 2> "$tmp/man.err" | col -b > "$tmp/man.txt"
[ ! -s "$tmp/man.err" ] || fail "man -l warns: $(cat "$tmp/man.err")"
MANPATH="$tmp/prefix/share/man" man -w stylo | grep -qx "$tmp/prefix/share/man/man1/stylo.1" ||
  fail "man does not find the installed page"
for section in NAME SYNOPSIS DESCRIPTION OPTIONS OUTPUT DIAGNOSTICS 'EXIT STATUS' EXAMPLES; do
  grep -qx "$section" "$tmp/man.txt" || fail "the manual page has no $section section"
done
# Every message the program can write on standard error, as its source writes
# it, is told in the manual page and in the README.
grep -rhoE 'write_error_line\(\{"(Unable|Failed)[^"]*' src | sed 's/^[^"]*"//' | sort -u \
  > "$tmp/messages"
[ "$(wc -l < "$tmp/messages")" -eq 4 ] || fail "expected four messages in src/, found: $(cat "$tmp/messages")"
while IFS= read -r message; do
  grep -qF -- "$message" "$tmp/man.txt" || fail "the manual page does not tell: $message"
  grep -qF -- "$message" README.md || fail "README.md does not tell: $message"
done < "$tmp/messages"
# The output format in the page is that of real warnings, with their file,
# line and words replaced by the page's placeholders.
sed -E -e 's/^examples\/demo\.c\([0-9]+\)/file(line)/' \
  -e "s/entre '[a-z]+' et/entre 'keyword' et/" \
  -e "s/warning: '[^']+' devrait probablement etre '[^']+'/warning: 'found' devrait probablement etre 'suggested'/" \
  "$tmp/expected.out" | sort -u > "$tmp/formats"
[ "$(wc -l < "$tmp/formats")" -eq 2 ] || fail "examples/demo.c does not show both kinds of warning"
while IFS= read -r format; do
  grep -qxF -- "       $format" "$tmp/man.txt" || fail "the manual page does not show the format: $format"
done < "$tmp/formats"

step "Debian package"
rm -f build/stylo_*.deb
(cd build && cpack -G DEB > /dev/null)
debs=(build/stylo_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then fail "cpack made no single build/stylo_*.deb"; fi
deb=${debs[0]}
dpkg-deb -I "$deb"
dpkg-deb -c "$deb"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort > "$tmp/deb.files"
[ "$(cat "$tmp/deb.files")" = "$( { installed_files ./usr | sed 's/\.1$/.1.gz/'; printf '%s\n' \
  ./usr/share/doc/stylo/changelog.Debian.gz ./usr/share/doc/stylo/copyright ./usr/share/lintian/overrides/stylo; } | sort)" ] ||
  fail "the package holds other files than the programs, their compressed manual pages, copyright, changelog and lintian overrides:
$(cat "$tmp/deb.files")"
[ "$(dpkg-deb -f "$deb" Package)" = stylo ] || fail "package name"
dpkg-deb -f "$deb" Maintainer | grep -qE '^The stylo authors <[^<>@ ]+@[^<>@ ]+>$' ||
  fail "maintainer is not 'The stylo authors <address>'"
[ "$(dpkg-deb -f "$deb" Section)" = devel ] || fail "section"
[ "$(dpkg-deb -f "$deb" Priority)" = optional ] || fail "priority"
[ "$(dpkg-deb -f "$deb" Description | head -n 1)" = "fast checker of coding style for C source text" ] ||
  fail "description synopsis"
[ "$(dpkg-deb -f "$deb" Description | wc -l)" -gt 2 ] || fail "the description has no long text"
# Depends comes from dpkg-shlibdeps: the C and C++ runtimes, nothing else.
depends=$(dpkg-deb -f "$deb" Depends)
[ "$(printf '%s\n' "$depends" | tr ',' '\n' | sed -E 's/^ *([^ ]+).*/\1/' | sort | tr '\n' ' ')" = "libc6 libgcc-s1 libstdc++6 " ] ||
  fail "Depends names other packages than libc6, libgcc-s1 and libstdc++6: $depends"
dpkg-deb -x "$deb" "$tmp/deb"
for program in $programs; do
  file "$tmp/deb/usr/bin/$program" | grep -q ', stripped' || fail "the packaged $program is not stripped"
  gzip -dc "$tmp/deb/usr/share/man/man1/$program.1.gz" | cmp -s "man/$program.1" - ||
    fail "the packaged manual page of $program is not man/$program.1"
done
"$tmp/deb/usr/bin/stylo" examples/demo.c > "$tmp/got.out"
cmp -s "$tmp/expected.out" "$tmp/got.out" || fail "the packaged program does not give the warnings of build/stylo"
gzip -dc "$tmp/deb/usr/share/man/man1/stylo.1.gz" | cmp -s man/stylo.1 - ||
  fail "the packaged manual page is not man/stylo.1"
# The copyright file carries LICENSE's text, line for line.
sed -n 's/^Copyright (c) //p' LICENSE > "$tmp/holder"
grep -qxF "Copyright: $(cat "$tmp/holder")" "$tmp/deb/usr/share/doc/stylo/copyright" ||
  fail "the copyright file does not name the holder of LICENSE"
sed -n '/^License: Expat$/,$p' "$tmp/deb/usr/share/doc/stylo/copyright" | tail -n +2 | sed -e 's/^ \.$//' -e 's/^ //' > "$tmp/licence"
sed '1,/^Copyright (c) /d' LICENSE | sed '1{/^$/d}' | cmp -s - "$tmp/licence" ||
  fail "the copyright file's licence text is not that of LICENSE"
gzip -dc "$tmp/deb/usr/share/doc/stylo/changelog.Debian.gz" | head -n 1 | grep -q "^stylo ($(dpkg-deb -f "$deb" Version)) " ||
  fail "the changelog's top entry is not the package's version"
lintian "$deb" > "$tmp/lintian.out" 2> /dev/null || fail "lintian: $(cat "$tmp/lintian.out")"
[ ! -s "$tmp/lintian.out" ] || fail "lintian: $(cat "$tmp/lintian.out")"

step "integration tests, with git, make, node, vim and emacs present"
cmake -S . -B build > /dev/null
# The language server's editors and client have their own step (.ci/lsp.sh).
run_ctest --test-dir build --output-on-failure \
  -R '^integration\.(pre_commit|git_recipes|parallel_recipe|vim_compiler|emacs_compilation|problem_matcher|vscode_tasks)$' |
  tee "$tmp/ctest.out"
! grep -q 'Skipped' "$tmp/ctest.out" || fail "an integration test was skipped"
[ "$(grep -c ' Passed ' "$tmp/ctest.out")" -eq 7 ] || fail "not all seven integration tests ran"

echo "package checks passed"
