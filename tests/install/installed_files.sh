#!/usr/bin/env bash
# cmake --install into a scratch prefix: the programs run from there, the
# menu entry and the AppStream data pass their validators and agree with
# each other and with the programs, the icons are there at every size, and
# the manual pages render and document every switch the programs take.
#
#   installed_files.sh BUILD_DIR
set -euo pipefail
build=$1
. "$(dirname "$0")/lib.sh"

prefix=$scratch/usr
install_into "$prefix"
id=org.example.tarnel
share=$prefix/share

for p in tarnel tarnel-console; do
  [ -x "$prefix/bin/$p" ] || fail "bin/$p is not installed"
done

# Both answer --version without a display and agree with the AppStream
# release (one version number, wherever a player or a store reads it).
version=$("$prefix/bin/tarnel-console" --version) || fail "tarnel-console --version"
[[ $version =~ ^tarnel-console\ \(Tarnel\ MUD\ Client\)\ ([0-9.]+)$ ]] ||
  fail "tarnel-console --version printed: $version"
number=${BASH_REMATCH[1]}
gui_version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/tarnel" --version) ||
  fail "tarnel --version"
[ "$gui_version" = "tarnel (Tarnel MUD Client) $number" ] || fail "tarnel --version printed: $gui_version"

desktop=$share/applications/$id.desktop
metainfo=$share/metainfo/$id.metainfo.xml
[ -f "$desktop" ] || fail "no menu entry at share/applications/$id.desktop"
[ -f "$metainfo" ] || fail "no AppStream data at share/metainfo/$id.metainfo.xml"

out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
if grep -Eq 'error|warning' <<<"$out"; then fail "desktop-file-validate: $out"; fi
out=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
echo "$out"

# The menu entry: a game, named in English and Russian, starting the
# installed program, with an icon that is installed.
key() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(key Exec)" = tarnel ] || fail "Exec is '$(key Exec)'"
[ -n "$(key 'Name\[ru\]')" ] || fail "no Russian name in the menu entry"
[[ ";$(key Categories)" == *";Game;"* ]] || fail "the menu entry is not in Game: $(key Categories)"
[ "$(key Icon)" = "$id" ] || fail "Icon is '$(key Icon)', the icon files are $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "the AppStream data does not launch $id.desktop"
grep -q "<release version=\"$number\"" "$metainfo" ||
  fail "the AppStream data has no release $number"

[ -f "$share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no scalable icon"
for size in 16 22 24 32 48 64 128 256; do
  png=$share/icons/hicolor/${size}x$size/apps/$id.png
  [ -f "$png" ] || fail "no ${size}x$size icon"
  # Bytes 16..23 of a PNG are its width and height, big-endian.
  read -r w h < <(od -An -tu1 -j16 -N8 "$png" |
    awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "$w $h" = "$size $size" ] || fail "the ${size}x$size icon is ${w}x$h"
done

# The manual pages render without a warning, carry the version, and name
# every switch --help lists.
for p in tarnel tarnel-console; do
  page=$share/man/man6/$p.6.gz
  [ -f "$page" ] || fail "no manual page share/man/man6/$p.6.gz"
  text=$(zcat "$page" | groff -man -Tutf8 -ww -P-cbu 2>"$scratch/groff.err") || fail "groff on $p.6"
  [ ! -s "$scratch/groff.err" ] || fail "$p.6: $(cat "$scratch/groff.err")"
  grep -q "^NAME" <<<"$text" && grep -q "^SYNOPSIS" <<<"$text" || fail "$p.6 lacks NAME or SYNOPSIS"
  zcat "$page" | grep -q "^\.TH .*Tarnel MUD Client $number\"" || fail "$p.6 is not of version $number"
  for switch in $("$prefix/bin/$p" --help | grep -oE '^ +(-[A-Za-z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+'); do
    grep -qF -- "$switch" <<<"$text" || fail "$p.6 does not document $switch"
  done
done
echo "installed files: all present and valid"
