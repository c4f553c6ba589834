#!/usr/bin/env bash
# Installs what building, running and testing the stations needs on Debian 12.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build
    qt6-base-dev qt6-multimedia-dev libqt6sql6-sqlite
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    libgsf-1-dev libshp-dev mdbtools-dev libjpeg-dev libsqlite3-dev libxml2-dev libxlsxwriter-dev
    fonts-noto-cjk fonts-wqy-zenhei fonts-arphic-ukai qt6-translations-l10n
    xvfb xauth e2fsprogs
    dpkg-dev sqlite3 x11-utils
    poppler-utils # pdftotext: the tests read back the text of printed PDF files
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

# The tests check written workbooks with an independent reader (SheetJS under
# node, tests/tools). Debian's nodejs and npm come in only when node or npm is
# missing, so a node installed some other way is left alone.
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y nodejs npm
fi

# Install the reader's packages exactly as locked; skipped (no network needed)
# while node_modules was installed from the same lock file.
tools="$(cd "$(dirname "$0")/.." && pwd)/tests/tools"
stamp="$tools/node_modules/.installed-from-lock"
if ! { [ -f "$stamp" ] && cmp -s "$stamp" "$tools/package-lock.json"; }; then
    npm ci --prefix "$tools" --prefer-offline --no-audit --no-fund --loglevel=error >/dev/null
    cp "$tools/package-lock.json" "$stamp"
fi
