# Helpers for the CI scripts (sourced, not run).

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
