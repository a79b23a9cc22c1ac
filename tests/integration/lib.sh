# Helpers for the integration tests (sourced; POSIX sh, as the tests are).

# fail <message>: counts a failure and goes on, so that one run shows every
# case that fails; finish then fails the test.
failures=0
fail() {
  printf 'FAIL: %s\n' "$*"
  failures=$((failures + 1))
}

# skip <reason>: the test cannot run here. Says why and exits with 77, the
# SKIP_RETURN_CODE that tests/CMakeLists.txt gives every script, so that
# ctest reports it skipped, never passed.
skip() {
  printf 'SKIP: %s\n' "$*"
  exit 77
}

# finish <summary>: exits with 1 after any failure; else prints the summary.
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
  fi
  echo "$*"
}
