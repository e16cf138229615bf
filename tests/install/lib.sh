# Shared by the install tests: a scratch folder removed on exit, the build
# installed into it, and a way to fail with a reason.

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

scratch=$(mktemp -d /tmp/tarnel-install-XXXXXX)
trap 'chmod -R u+w "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT

# install_into PREFIX: what `cmake --install` of the build puts there.
install_into() {
  "${CMAKE:-cmake}" --install "$build" --prefix "$1" >"$scratch/install.log" 2>&1 ||
    { cat "$scratch/install.log" >&2; fail "cmake --install into $1"; }
}
