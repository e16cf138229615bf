#!/usr/bin/env bash
# cpack -G DEB on the build: a package named and versioned like the
# programs, its dependencies found by dpkg-shlibdeps, holding the programs
# under /usr with the menu entry, the icons, the AppStream data and the
# manual pages.
#
#   debian_package.sh BUILD_DIR
set -euo pipefail
build=$1
. "$(dirname "$0")/lib.sh"

"${CPACK:-cpack}" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; fail "cpack -G DEB"; }
debs=("$scratch"/tarnel_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no tarnel_*.deb: $(ls "$scratch")"
deb=${debs[0]}

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tarnel ] || fail "Package: $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = games ] || fail "Section: $(field Section)"
version=$("$build/tarnel-console" --version | awk '{print $NF}')
[ "$(field Version)" = "$version" ] || fail "Version $(field Version), the programs say $version"
depends=$(field Depends)
echo "Depends: $depends"
# What the programs link, as dpkg-shlibdeps found it.
for lib in libc6 libqt6core6 libqt6network6 libqt6gui6 libqt6widgets6 libqt6multimedia6 zlib1g; do
  grep -Eq "(^|, )$lib( |,|$)" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in ./usr/bin/tarnel ./usr/bin/tarnel-console \
    ./usr/share/applications/org.example.tarnel.desktop \
    ./usr/share/metainfo/org.example.tarnel.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/org.example.tarnel.svg \
    ./usr/share/icons/hicolor/48x48/apps/org.example.tarnel.png \
    ./usr/share/man/man6/tarnel.6.gz ./usr/share/man/man6/tarnel-console.6.gz; do
  grep -qxF "$path" <<<"$contents" || fail "the package lacks $path"
done
echo "debian package: $(basename "$deb")"
