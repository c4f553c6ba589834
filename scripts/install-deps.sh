#!/usr/bin/env bash
# Installs what building, running and testing the stations needs on Debian 12.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build
    qt6-base-dev qt6-multimedia-dev libqt6sql6-sqlite
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    libgsf-1-dev libshp-dev mdbtools-dev libjpeg-dev
    fonts-noto-cjk fonts-wqy-zenhei fonts-arphic-ukai
    xvfb xauth e2fsprogs
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y "${missing[@]}"
fi
