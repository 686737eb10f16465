#!/usr/bin/env bash
# package_test.sh <build dir> <start probe> <sanitized 0|1>
# Builds the Debian package, checks its menu entry and lintian's verdict, unpacks it into a
# temporary root with the program's folder read-only, and starts the program from there as
# an ordinary user: its first start must make the user's catalogue in the user's data
# folder and load both controls, and a page imported there gets its thumbnail there.
# Exit 77: skipped.
set -euo pipefail
build="$1" probe="$2" sanitized="$3"
if [ "$sanitized" = 1 ]; then
  echo "skipped: the package of a sanitizer build is not one to ship"
  exit 77
fi

work="$(mktemp -d)"
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
chmod 755 "$work"

cd "$build"
cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb="$(ls "$work"/out/arkavo_*.deb)"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb" Depends
for p in libsane1 sane-utils sane-airscan fonts-wqy-microhei xdg-utils libqt6sql6-sqlite libqt6widgets6; do
  dpkg-deb -f "$deb" Depends | tr ',' '\n' | grep -q "^ *$p\b" || { echo "Depends lacks $p"; exit 1; }
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/arkavo.desktop"
for size in 16x16 32x32 48x48 64x64 128x128 256x256 scalable; do
  ls "$root/usr/share/icons/hicolor/$size/apps/"arkavo.* >/dev/null
done

# lintian: errors fail the test, warnings are shown.
lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
cat "$work/lintian.log"
if grep -q '^E:' "$work/lintian.log"; then
  echo "lintian reports errors"
  exit 1
fi

# The program folder as installed: nobody may write there.
program="$root/usr/lib/arkavo"
cp "$probe" "$work/probe.so"
chmod 644 "$work/probe.so"
chmod -R a-w "$program"
home="$work/home"
mkdir -p "$home/data"
chown -R 65534:65534 "$home"
run_as_nobody() {
  setpriv --reuid=65534 --regid=65534 --clear-groups \
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_DATA_HOME="$home/data" QT_QPA_PLATFORM=offscreen \
    LD_PRELOAD="$work/probe.so" ARKAVO_PROBE_LOG="$home/probe.log" "$@"
}
# Started through the link in bin, as the menu does.
run_as_nobody timeout 60 "$root/usr/bin/arkavo" || { echo "the program failed: $?"; cat "$home/probe.log" || true; exit 1; }
cat "$home/probe.log"
grep -qx "main window" "$home/probe.log" || { echo "the main window never came up"; exit 1; }
if grep -q "^message:" "$home/probe.log"; then
  echo "the program showed a message at its start"
  exit 1
fi

folder="$home/data/arkavo"
test -f "$folder/data/imaging.mdb" || { echo "no catalogue in $folder"; exit 1; }
test -d "$folder/Thumbnail"
test ! -e "$program/data"
python3 - "$folder/data/imaging.mdb" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
tables = {r[0] for r in db.execute("SELECT name FROM sqlite_master WHERE type='table'")}
users = db.execute("SELECT COUNT(*) FROM USERS").fetchone()[0]
print("tables:", sorted(tables), "users:", users)
assert len(tables) == 7, tables
assert users == 1, users
PY

# A second start opens the same catalogue again.
run_as_nobody timeout 60 "$root/usr/bin/arkavo"
test "$(grep -c '^main window$' "$home/probe.log")" = 2
! grep -q "^message:" "$home/probe.log"

# A page imported as a user does: a file type, a folder, and a 1-bit page at the end of a
# new file. The page and its thumbnail land in the user's folder, none in the program's.
page="$home/page.bmp"
python3 - "$page" <<'PY'
import struct, sys
w, h = 256, 64
stride = (w // 8 + 3) // 4 * 4
rows = b"".join((b"\xff" * 8 + b"\x00" * 8 + b"\xff" * (stride - 16)) for _ in range(h))
header = struct.pack("<2sIHHI", b"BM", 62 + len(rows), 0, 0, 62)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 1, 0, len(rows), 11811, 11811, 2, 2)
palette = b"\x00\x00\x00\x00\xff\xff\xff\x00"
open(sys.argv[1], "wb").write(header + info + palette + rows)
PY
chown 65534:65534 "$page"
: >"$home/probe.log"
run_as_nobody ARKAVO_PROBE_IMPORT="$page" timeout 60 "$root/usr/bin/arkavo" || { echo "the program failed: $?"; cat "$home/probe.log"; exit 1; }
cat "$home/probe.log"
grep -qx "open dialog" "$home/probe.log" || { echo "the open dialog never came"; exit 1; }
grep -qx "thumbnail" "$home/probe.log" || { echo "no thumbnail was made"; exit 1; }
! grep -q "^message:" "$home/probe.log"
test "$(find "$folder/Images" -type f | wc -l)" = 1 || { find "$folder"; echo "the page is not in the user's Images"; exit 1; }
test ! -e "$program/Images" && test ! -e "$program/Thumbnail"

# Root may write anywhere, yet an installed program keeps to root's data folder too.
roothome="$work/roothome"
mkdir -p "$roothome"
env -i PATH=/usr/bin:/bin HOME="$roothome" XDG_DATA_HOME="$roothome/data" QT_QPA_PLATFORM=offscreen \
  LD_PRELOAD="$work/probe.so" ARKAVO_PROBE_LOG="$roothome/probe.log" timeout 60 "$root/usr/bin/arkavo"
grep -qx "main window" "$roothome/probe.log"
test -f "$roothome/data/arkavo/data/imaging.mdb"
test ! -e "$program/data" && test ! -e "$program/Settings.ini" || { ls -la "$program"; echo "root's start wrote into the program folder"; exit 1; }
echo "ok"
