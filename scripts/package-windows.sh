#!/usr/bin/env bash
# Packs the Windows build's ccdl.exe with its README into
# <build>/ccdl-<version>-windows-x64.zip (make package).
set -euo pipefail
build=$(realpath "${1:?usage: package-windows.sh WINDOWS_BUILD}")
root=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
name=ccdl-$version-windows-x64
stage=$build/$name
rm -rf "$stage" "$stage.zip"
mkdir -p "$stage"
# The symbols stay in the build folder; the archive gets the program alone.
x86_64-w64-mingw32-strip -o "$stage/ccdl.exe" "$build/tools/ccdl.exe"
# Windows editors expect CRLF line ends.
sed 's/$/\r/' "$root/packaging/windows/README.txt" > "$stage/README.txt"
(cd "$build" && cmake -E tar cf "$name.zip" --format=zip "$name")
rm -rf "$stage"
# The archive must hold exactly the program and its README.
listing=$(cd "$build" && cmake -E tar tf "$name.zip" | sort | tr '\n' ' ')
expected="$name/ $name/README.txt $name/ccdl.exe "
if [[ $listing != "$expected" ]]; then
  echo "package-windows: unexpected contents: $listing"
  exit 1
fi
echo "package-windows: $build/$name.zip"
