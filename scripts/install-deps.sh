#!/usr/bin/env bash
# Installs the Debian packages Corvane needs to build, run and test, and does nothing when
# they are all present already. Given package names, it installs those instead (the benchmark's
# extras).
set -euo pipefail

packages=("$@")
[ ${#packages[@]} -gt 0 ] || packages=(
    g++ clang cmake ninja-build make pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins libgl-dev
    libplist-dev libgtest-dev libgmock-dev googletest libc++-dev libc++abi-dev
    xvfb xauth dbus dbus-bin dbus-daemon openssl ccache nlohmann-json3-dev
    clang-tidy desktop-file-utils appstream
    scdoc man-db bash-completion file dpkg-dev lintian
    libdconf-dev dconf-service dconf-cli libglib2.0-dev libglib2.0-bin
)

missing=()
for pkg in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
