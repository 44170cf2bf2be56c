#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks that it holds the programs, their
# data, the menu entries, the icons and the D-Bus service naming the packaged cadhost, and
# that its dependencies were found from the linked libraries.
# Usage: scripts/check_package.sh <build folder>
set -euo pipefail
build="$(cd "${1:?usage: check_package.sh <build folder>}" && pwd)"
out="$build/package"
rm -rf "$out"
(cd "$build" && cpack -G DEB -B "$out" >"$out.log" 2>&1) || { cat "$out.log" >&2; exit 1; }
deb="$(ls "$out"/korvel_*.deb)"
listing="$(dpkg-deb -c "$deb")"
status=0
for f in usr/bin/tarnix usr/bin/cadhost \
  usr/share/korvel/TARNIX.dvb usr/share/korvel/ReadmeKORVEL.txt \
  usr/share/applications/korvel-tarnix.desktop usr/share/applications/korvel-cadhost.desktop \
  usr/share/icons/hicolor/scalable/apps/korvel-tarnix.svg \
  usr/share/icons/hicolor/scalable/apps/korvel-cadhost.svg \
  usr/share/dbus-1/services/AutoCAD.Application.service; do
  grep -q " \./$f\$" <<<"$listing" || { echo "missing from the package: /$f" >&2; status=1; }
done
service="$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/dbus-1/services/AutoCAD.Application.service)"
grep -qx 'Exec=/usr/bin/cadhost' <<<"$service" || { echo "service names the wrong cadhost: $service" >&2; status=1; }
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libqt6dbus6 libdxflib liblua5.4; do
  grep -q "$lib" <<<"$depends" || { echo "Depends lacks $lib: $depends" >&2; status=1; }
done
[ $status -eq 0 ] && echo "package ok: $deb"
exit $status
