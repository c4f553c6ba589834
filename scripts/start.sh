#!/usr/bin/env bash
# Installs what is missing, builds, and starts a station on its demo station
# folder (build/stations/<program>).
#   scripts/start.sh              the registration station (enrolldesk)
#   scripts/start.sh creditdesk   the credit station
# Without a display the program runs under xvfb-run (nothing to see, but it
# starts and can be screenshotted with build/tools/grabscreen).
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
echo "Starting $program in $station"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$station/$program"
else
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$station/$program"
fi
