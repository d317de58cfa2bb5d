#!/usr/bin/env bash
# What the benchmark alone needs beyond scripts/install-deps.sh: gvfs, whose Trash backend
# (gvfsd-trash on a session bus) `gio trash --restore` needs for its reference figures. Does
# nothing when it is present; when it cannot be installed the benchmark says so and leaves those
# figures out, so a failure here does not stop the run.
set -uo pipefail

packages=(gvfs gvfs-daemons libglib2.0-bin)

missing=()
for pkg in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing for the benchmark's gio references: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
if ! { "${sudo_cmd[@]}" apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
        --no-install-recommends "${missing[@]}"; }; then
    echo "Could not install ${missing[*]}: the gio restore figures will be skipped" >&2
fi
exit 0
