#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running ccdownload need.
# Idempotent: asks apt only for what is missing, and refreshes the package lists
# only when it has something to install.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev
  fonts-wqy-zenhei
  clang libclang-rt-dev
  qt6-serialport-dev
  libcli11-dev nlohmann-json3-dev libudev-dev
  qt6-translations-l10n libqt6svg6
  qemu-system-x86 busybox-static cpio python3
  g++-mingw-w64-x86-64-posix wine wine64
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=()
if ((EUID != 0)); then sudo=(sudo); fi
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
