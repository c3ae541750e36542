#!/usr/bin/env bash
# Builds the Debian package (ccdownload, ccdl, ccsim, the menu entry and its
# icon, the note on serial port access) with CPack and checks its file list
# and the note. Needs a configured build folder; CI runs it after configuring.
set -euo pipefail
build=${1:-build}

cmake --build "$build" -j "${JOBS:-2}" --target ccdownload ccdl ccsim
rm -f "$build"/ccdownload_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/ccdownload_*.deb)
deb=${debs[0]}
[[ -f "$deb" ]] || { echo "package: cpack made no package in $build" >&2; exit 1; }

contents=$(dpkg-deb -c "$deb")
status=0
for path in usr/bin/ccdownload usr/bin/ccdl usr/bin/ccsim \
            usr/share/applications/ccdownload.desktop \
            usr/share/icons/hicolor/scalable/apps/ccdownload.svg \
            usr/share/doc/ccdownload/README.Debian; do
  if ! grep -q " \./$path\$" <<<"$contents"; then
    echo "package: $deb lacks /$path" >&2
    status=1
  fi
done
if ! dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/doc/ccdownload/README.Debian | grep -q dialout; then
  echo "package: the note on the dialout group is missing" >&2
  status=1
fi
[[ $status -eq 0 ]] && echo "package: $deb ($(dpkg-deb -f "$deb" Version), depends on $(dpkg-deb -f "$deb" Depends | cut -c1-60)...)"
exit $status
