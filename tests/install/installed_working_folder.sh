#!/usr/bin/env bash
# The folder the installed console client works in.  Installed where the
# player may not write, it keeps the profile's files in the player's data
# folder (created when missing, $XDG_DATA_HOME honoured) and the settings in
# ~/.config/tarnel; installed where the player may write (a portable copy),
# everything stays in the folder it was started from.
#
# Root may write anywhere, so as root the read-only case runs the client as
# the user nobody (a real unprivileged process); otherwise the program's
# folder is made read-only.
#
#   installed_working_folder.sh BUILD_DIR
set -euo pipefail
build=$1
. "$(dirname "$0")/lib.sh"

prefix=$scratch/prefix
install_into "$prefix"
console=$prefix/bin/tarnel-console

# run_client USER_HOME START_DIR [VAR=value...]: one short session, with the
# given home and environment, as the player the case is about.
as_player=()
owner=
run_client() {
  local home=$1 start=$2
  shift 2
  # Qt wants a runtime folder of the player's own (else it makes one in /tmp).
  mkdir -p "$home/run"
  chmod 700 "$home/run"
  [ -z "$owner" ] || chown "$owner" "$home/run"
  (cd "$start" && printf '/echo started\n/quit\n' |
    "${as_player[@]}" env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/run" \
      QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "$@" "$console" >"$scratch/out" 2>&1) ||
    { cat "$scratch/out" >&2; fail "the installed client did not run"; }
  grep -q started "$scratch/out" || { cat "$scratch/out" >&2; fail "no output from the client"; }
}

profile_files="default.tmc standart.log stats.tms"
expect_profile_in() {
  for f in $profile_files; do
    [ -f "$1/$f" ] || fail "$2: $f is not in $1 ($(cd "$1" 2>/dev/null && ls -A | tr '\n' ' '))"
  done
}
expect_empty() {
  [ -z "$(ls -A "$1")" ] || fail "$2: $1 holds $(ls -A "$1" | tr '\n' ' ')"
}

# --- A writable program folder: nothing moves.
home=$scratch/home-portable
start=$scratch/start-portable
mkdir -p "$home" "$start"
run_client "$home" "$start"
expect_profile_in "$start" "portable"
[ -f "$prefix/bin/TARNEL.ini" ] || fail "portable: TARNEL.ini is not beside the program"
[ ! -e "$home/.local" ] || fail "portable: a data folder was created in the home folder"
rm -f "$prefix/bin/TARNEL.ini"

# --- A program folder the player may not write.
if [ "$(id -u)" -eq 0 ]; then
  command -v setpriv >/dev/null || fail "setpriv (util-linux) is missing"
  as_player=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  chmod 755 "$scratch"  # nobody must reach the program, not write it
  owner=65534:65534
else
  chmod a-w "$prefix/bin"
  owner=$(id -u):$(id -g)
fi
new_player() {  # a home and a starting folder the player owns
  mkdir -p "$scratch/$1/home" "$scratch/$1/start"
  chown -R "$owner" "$scratch/$1"
}

new_player installed
home=$scratch/installed/home
start=$scratch/installed/start
run_client "$home" "$start"
expect_profile_in "$home/.local/share/tarnel" "installed"
expect_empty "$start" "installed: the starting folder"
[ -f "$home/.config/tarnel/TARNEL.ini" ] || fail "installed: TARNEL.ini is not in ~/.config/tarnel"
# The next start finds its profile again.
run_client "$home" "$start"
expect_empty "$start" "installed, second start: the starting folder"

new_player xdg
home=$scratch/xdg/home
start=$scratch/xdg/start
run_client "$home" "$start" XDG_DATA_HOME="$scratch/xdg/data"
expect_profile_in "$scratch/xdg/data/tarnel" "XDG_DATA_HOME"
expect_empty "$start" "XDG_DATA_HOME: the starting folder"
[ ! -e "$home/.local" ] || fail "XDG_DATA_HOME: ~/.local was used all the same"

# TARNEL_HOME chooses where things live: the client stays where it started.
new_player tarnel_home
home=$scratch/tarnel_home/home
start=$scratch/tarnel_home/start
run_client "$home" "$start" TARNEL_HOME="$start"
expect_profile_in "$start" "TARNEL_HOME"
[ -f "$start/TARNEL.ini" ] || fail "TARNEL_HOME: TARNEL.ini is not there"
[ ! -e "$home/.local" ] || fail "TARNEL_HOME: a data folder was created"

echo "working folder: as expected"
