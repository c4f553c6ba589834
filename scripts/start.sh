#!/usr/bin/env bash
# Installs what is missing, builds, and starts a station on its demo station
# folder (build/stations/<program>).
#   scripts/start.sh              the registration station (enrolldesk)
#   scripts/start.sh creditdesk   the credit station
# Without a display the program runs on a virtual display (Xvfb) whose number
# the script prints; build/tools/grabscreen takes pictures of it.
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-enrolldesk}
case "$program" in
    enrolldesk|creditdesk) ;;
    *) echo "usage: $0 [enrolldesk|creditdesk]" >&2; exit 2 ;;
esac
scripts/install-deps.sh
scripts/build.sh build
station=build/stations/$program
if [ "$program" = enrolldesk ] && [ -z "$(ls -A "$station/card" 2>/dev/null)" ]; then
    # Two ID cards on the simulated reader, for trying "读二代身份证".
    build/tools/makecard --station "$station" --name 张晓明 --gender 1 \
        --address "江苏省南京市玄武区珠江路18号" --id 32010220090315123X >/dev/null
    build/tools/makecard --station "$station" --name 李婷婷 --gender 2 \
        --address "江苏省南京市秦淮区中山南路6号" --id 320104200907210026 >/dev/null
fi
# Qt wants a private runtime folder; give it one when the session has none.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR="${TMPDIR:-/tmp}/desk-runtime-$(id -u)"
fi
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

echo "Starting $program in $station"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$station/$program"
fi

# No display: a virtual one (Xvfb) on the first free number from :99, kept
# while the program runs.
n=99
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
export DISPLAY=":$n"
echo "No display found: $program runs on the virtual display :$n."
echo "  Picture of the screen:  DISPLAY=:$n build/tools/grabscreen screen.png"
echo "  Other programs on it:   DISPLAY=:$n <program>   (stop with Ctrl+C here)"
"$station/$program"
