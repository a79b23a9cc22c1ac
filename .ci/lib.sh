# Helpers for the CI scripts and for scripts/ (sourced, not run; bash).

# fail <message>: prints the message on standard error and ends the script.
# The message begins with $fail_prefix (FAIL by default; scripts that users
# run name themselves instead).
fail() {
  echo "${fail_prefix:-FAIL}: $*" >&2
  exit 1
}

# step <what>: a step's heading, with the time since the script began, to see
# where a stage spends its time.
step() { echo "== $* (at $SECONDS s)"; }

# Installs, with apt-get, those of the named Debian packages that are missing.
# The package lists are updated once, and only when something is missing.
ensure_packages() {
  local missing=()
  for package in "$@"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  if [ -z "${STYLO_APT_UPDATED:-}" ]; then
    apt-get update -q
    export STYLO_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}

# Node.js may come with its own npm (a nodejs package from elsewhere, which
# Debian's npm conflicts with): Debian's npm only where there is none.
ensure_npm() {
  command -v npm >/dev/null || ensure_packages nodejs npm
}

# run_ctest <ctest arguments>: ctest, then the reason of every test that
# skipped (.ci/skip_reasons.py); a test that skipped without one fails, as
# does ctest itself.
run_ctest() {
  local report status=0
  report=$(mktemp)
  ctest "$@" --output-junit "$report" || status=$?
  if [ "$status" -eq 0 ]; then
    python3 "$(dirname "${BASH_SOURCE[0]}")/skip_reasons.py" "$report" || status=$?
  fi
  rm -f "$report"
  return "$status"
}

# The compiler cache, as a cmake option (empty without one): .ci/run sets
# CCACHE_DIR, to a cache of its own that each run begins empty, so that the
# builds of the same sources with the same flags in other directories (the
# generic POSIX build's and the package stage's, bar their platform files,
# the release's static programs after its amd64 ones) compile each file once.
compiler_cache=
# The release's compiler flags (scripts/release.sh: no path of this machine
# in the programs), given to every other Release build of the stages too, as
# CXXFLAGS: the compiler runs are then the same in all of them, the release's
# amd64 and static builds included, and each is made once.
release_cxxflags="-ffile-prefix-map=$PWD=."
if [ -n "${CCACHE_DIR:-}" ] && command -v ccache > /dev/null; then
  compiler_cache=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
fi

# The release's builds of the other platforms, made as scripts/release.sh
# makes them (its flags, its SOURCE_DATE_EPOCH), with the tests, which the
# cross stage runs under wine and qemu and the release then packages.
gtest_sources=-DFETCHCONTENT_SOURCE_DIR_GOOGLETEST=/usr/src/googletest
# release_build <configuration> <directory>: configures and builds it.
release_build() {
  bash scripts/release.sh --build "$1" "$2" -DSTYLO_BUILD_TESTS=ON "$gtest_sources"
}
