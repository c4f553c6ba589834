#!/usr/bin/env bash
# Installs the built package into a scratch root (dpkg-deb -x) and starts
# each station from there the way a new user would: an empty HOME, no
# DESK_HOME, on a virtual display. Checks that the per-user station folder
# is laid out from the delivered files, that the main window comes up, that
# a second start finds the same data and completes a half-laid-out folder,
# and that a station folder that cannot be created is refused by name.
#   tests/package/test_package.sh <package.deb>
# Runs itself under xvfb-run when no display is given.
set -euo pipefail
deb=$(readlink -f "$1")
if [ -z "${DESK_PACKAGE_TEST_DISPLAY:-}" ]; then
    exec env DESK_PACKAGE_TEST_DISPLAY=1 xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" "$0" "$deb"
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root
fail() { echo "FAIL: $*" >&2; exit 1; }

dpkg-deb -x "$deb" "$root"
for f in usr/bin/enrolldesk usr/bin/creditdesk \
    usr/share/applications/enrolldesk.desktop usr/share/applications/creditdesk.desktop \
    usr/share/icons/hicolor/scalable/apps/enrolldesk.svg usr/share/icons/hicolor/scalable/apps/creditdesk.svg \
    usr/share/doc/enrolldesk/README.md usr/share/doc/enrolldesk/copyright usr/share/doc/enrolldesk/changelog.gz \
    usr/share/enrolldesk/enrolldesk/data/CSBMK.mdb usr/share/enrolldesk/enrolldesk/data/dmb.mdb \
    usr/share/enrolldesk/creditdesk/data/XFRDCJK.mdb usr/share/enrolldesk/creditdesk/data/XXBMB.mdb; do
    [ -f "$root/$f" ] || fail "the package lacks /$f"
done
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libqt6sql6-sqlite libgsf-1-114 libmdb3 libsqlite3-0 fonts-noto-cjk fonts-arphic-ukai; do
    grep -q "\b$p\b" <<<"$depends" || fail "the package does not depend on $p ($depends)"
done

runtime=$scratch/runtime
mkdir -m 700 "$runtime"

# start <program> <home> <title> [extra env...]: starts the installed program,
# waits until its main window is on the display, then ends it.
start() {
    local program=$1 home=$2 title=$3
    shift 3
    env -i PATH=/usr/bin:/bin HOME="$home" DISPLAY="$DISPLAY" XAUTHORITY="${XAUTHORITY:-}" \
        XDG_RUNTIME_DIR="$runtime" LC_ALL=C.UTF-8 "$@" "$root/usr/bin/$program" >"$scratch/$program.log" 2>&1 &
    local pid=$! up=0
    for _ in $(seq 100); do
        if LC_ALL=C.UTF-8 xwininfo -root -tree 2>/dev/null | grep -qF "\"$title\""; then
            up=1
            break
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    [ "$up" = 1 ] || { cat "$scratch/$program.log" >&2; fail "$program: no main window \"$title\""; }
}

# Files and their identity (inode and contents): a file re-copied or
# replaced shows up as a change. The station lock names whoever runs the
# station now, so it is not part of it.
identity() { (cd "$1" && find . -type f ! -name .station.lock -print0 | sort -z | xargs -0 -r stat -c '%n %i' &&
    find . -type f ! -name .station.lock -print0 | sort -z | xargs -0 -r sha256sum); }

home=$scratch/home
mkdir "$home"

# The registration station.
station=$home/.local/share/enrolldesk
start enrolldesk "$home" "Veldran省普通高中学业水平测试报名系统"
for f in data/CSBMK.mdb data/dmb.mdb; do
    cmp -s "$station/$f" "$root/usr/share/enrolldesk/enrolldesk/$f" || fail "enrolldesk: $f not laid out"
done
[ -d "$station/photo" ] && [ -d "$station/card" ] || fail "enrolldesk: photo/ or card/ missing"
sqlite3 "$station/data/CSBMK.mdb" "insert into 学生表(姓名) values('包测试')"
rm "$station/data/dmb.mdb" # as if the first start had ended before copying it
before=$(identity "$station/data" | grep -v dmb.mdb)
start enrolldesk "$home" "Veldran省普通高中学业水平测试报名系统"
[ "$(sqlite3 "$station/data/CSBMK.mdb" "select count(*) from 学生表 where 姓名='包测试'")" = 1 ] ||
    fail "enrolldesk: the second start lost the entered student"
[ "$(identity "$station/data" | grep -v dmb.mdb)" = "$before" ] || fail "enrolldesk: the second start replaced data files"
cmp -s "$station/data/dmb.mdb" "$root/usr/share/enrolldesk/enrolldesk/data/dmb.mdb" ||
    fail "enrolldesk: the half-laid-out folder was not completed"

# The credit station, in the same home: a folder of its own.
station=$home/.local/share/creditdesk
start creditdesk "$home" "Veldran省普通高中学分报送系统"
for f in data/XFRDCJK.mdb data/XXBMB.mdb; do
    cmp -s "$station/$f" "$root/usr/share/enrolldesk/creditdesk/$f" || fail "creditdesk: $f not laid out"
done
before=$(identity "$station")
start creditdesk "$home" "Veldran省普通高中学分报送系统"
[ "$(identity "$station")" = "$before" ] || fail "creditdesk: the second start changed the station folder"

# A station folder that cannot be created (a file where the folder should
# be): a message naming it, no main window, nothing made.
bad=$scratch/bad
mkdir "$bad"
: >"$bad/share"
env -i PATH=/usr/bin:/bin HOME="$bad" XDG_DATA_HOME="$bad/share" QT_QPA_PLATFORM=offscreen \
    XDG_RUNTIME_DIR="$runtime" LC_ALL=C.UTF-8 timeout 5 "$root/usr/bin/creditdesk" >"$scratch/bad.log" 2>&1 || true
grep -qF "无法创建站点文件夹“$bad/share/creditdesk”" "$scratch/bad.log" ||
    { cat "$scratch/bad.log" >&2; fail "creditdesk: no message naming the folder that cannot be created"; }
[ "$(ls -A "$bad")" = share ] || fail "creditdesk: made files although its folder cannot be created"

echo "package test passed: $(basename "$deb")"
