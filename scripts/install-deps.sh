#!/usr/bin/env bash
# Installs what the stations need on Debian 12. Safe to run again: it
# installs only what is missing.
#   scripts/install-deps.sh            building and running a station (scripts/start.sh)
#   scripts/install-deps.sh --package  also building the Debian package (scripts/package.sh)
#   scripts/install-deps.sh --test     also everything the test command needs (scripts/test.sh):
#                                      the package tools, the test tools, and the
#                                      independent workbook reader from the npm registry
# Only --test ever reaches the npm registry.
set -euo pipefail

mode=run
case "${1:-}" in
    "") ;;
    --package) mode=package ;;
    --test) mode=test ;;
    *) echo "usage: $0 [--package|--test]" >&2; exit 2 ;;
esac

# One package a line, so that lists grown on several branches merge.
# Building the stations.
build_packages=(
    build-essential
    cmake
    libgsf-1-dev
    libjpeg-dev
    libqt6sql6-sqlite
    libshp-dev
    libsqlite3-dev
    libxml2-dev
    libxlsxwriter-dev
    mdbtools-dev
    ninja-build
    pkgconf
    qt6-base-dev
    qt6-multimedia-dev
)
# Running them: the camera's plugins, the fonts the windows are drawn with,
# Qt's Chinese texts, and the virtual display scripts/start.sh falls back on.
run_packages=(
    fonts-arphic-ukai
    fonts-noto-cjk
    fonts-wqy-zenhei
    gstreamer1.0-plugins-base
    gstreamer1.0-plugins-good
    qt6-translations-l10n
    xauth
    xvfb
)
# Building the Debian package: dpkg-shlibdeps, and CPack's `file`.
package_packages=(
    dpkg-dev
    file
)
# The test command: chattr (immutable files), sqlite3 and xwininfo (the
# package test), node for the independent workbook reader, clang with its
# libFuzzer runtime for the fuzz targets, pdftotext for the text of printed
# PDF files.
test_packages=(
    clang
    e2fsprogs
    libclang-rt-dev
    nodejs
    npm
    poppler-utils
    sqlite3
    x11-utils
)

packages=("${build_packages[@]}" "${run_packages[@]}")
case "$mode" in
    package) packages+=("${package_packages[@]}") ;;
    test) packages+=("${package_packages[@]}" "${test_packages[@]}") ;;
esac

missing=()
for p in "${packages[@]}"; do
    # A node installed some other way (not from Debian) is left alone.
    if [ "$p" = nodejs ] || [ "$p" = npm ]; then
        command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1 && continue
    fi
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y "${missing[@]}"
fi

[ "$mode" = test ] || exit 0

# The tests check written workbooks with an independent reader (SheetJS under
# node, tests/tools), installed exactly as locked; skipped (no network needed)
# while node_modules was installed from the same lock file.
tools="$(cd "$(dirname "$0")/.." && pwd)/tests/tools"
stamp="$tools/node_modules/.installed-from-lock"
if ! { [ -f "$stamp" ] && cmp -s "$stamp" "$tools/package-lock.json"; }; then
    npm ci --prefix "$tools" --prefer-offline --no-audit --no-fund --loglevel=error >/dev/null
    cp "$tools/package-lock.json" "$stamp"
fi
