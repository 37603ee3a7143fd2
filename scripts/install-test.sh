#!/usr/bin/env bash
# The clean install test. Builds the Debian package (scripts/package.sh),
# makes a fresh Debian 12 root with mmdebstrap, and in it:
#
#   1. installs the package with `apt-get install ./quillory_*.deb`, which
#      brings its dependencies from Debian;
#   2. checks the menu entry, the icon, the manual and the manual page, and
#      that `quillory --version` answers without a display;
#   3. as an ordinary user, clerk, starts /usr/bin/quillory under Xvfb and
#      adds a customer with the mouse and the keyboard (xdotool; each step
#      waits for the window it needs), then leaves by File > Exit;
#   4. checks that the customer is in ~clerk/.local/share/quillory/records.mdb,
#      whose header reads "Brandlewickery!", that NetworkPath.sfe in
#      ~clerk/.config/quillory names it, and that nothing was left in /usr/bin;
#   5. removes the package and checks that clerk's data stays.
#
#   scripts/install-test.sh [--keep]     (--keep: leave the root for a look)
#
# Needs root (mmdebstrap, chroot, mounts; through sudo when started as
# another user) and Debian's mirror; the host's downloaded packages are
# reused where they fit.
set -euo pipefail
cd "$(dirname "$0")/.."

keep=0
for arg in "$@"; do
    case "$arg" in
    --keep) keep=1 ;;
    *)
        echo "usage: $0 [--keep]" >&2
        exit 64
        ;;
    esac
done
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null ||
        { echo "install-test.sh: needs root, for mmdebstrap, chroot and mounts" >&2; exit 1; }
    exec sudo "$0" "$@"
fi

step() { echo "== $*"; }
fail() {
    echo "install-test.sh: $*" >&2
    exit 1
}

started=$SECONDS
# The build and lintian say on the way what went wrong, if anything does.
deb=$(scripts/package.sh | tee /dev/stderr | tail -n 1)
[ -f "$deb" ] || fail "scripts/package.sh made no package"
step "package: $deb ($((SECONDS - started)) s)"

work=$(mktemp -d /tmp/quillory-install-test.XXXXXX)
root=$work/root
mounted=()
xvfb=""
program=""
cleanup() {
    for pid in $program $xvfb; do
        { kill "$pid" && wait "$pid"; } 2>/dev/null || true
    done
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount "${mounted[$i]}" || umount -l "${mounted[$i]}" || true
    done
    if [ "$keep" -eq 1 ]; then
        echo "install-test.sh: the root is kept in $root"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT

# A fresh Debian 12 with only what the test drives the program with. The
# host's downloaded packages are linked in as the root's apt cache, so that
# apt downloads only what the host does not have; the cache and the package
# lists stay for the install below.
step "a fresh Debian 12 root"
mirror=http://deb.debian.org/debian
mmdebstrap --quiet --variant=apt --include=xvfb,xauth,xdotool,sqlite3 --skip=cleanup/apt \
    --setup-hook='mkdir -p "$1/var/cache/apt/archives" &&
                  { cp -al /var/cache/apt/archives/*.deb "$1/var/cache/apt/archives/" 2>/dev/null || true; }' \
    bookworm "$root" "deb $mirror bookworm main" "deb $mirror bookworm-updates main" \
    "deb http://deb.debian.org/debian-security bookworm-security main"
mount -t proc proc "$root/proc" && mounted+=("$root/proc")
mount --bind /dev/pts "$root/dev/pts" && mounted+=("$root/dev/pts")
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
as_clerk() {
    chroot --userspec=clerk:clerk "$root" env -i PATH=/usr/bin:/bin LANG=C.UTF-8 \
        HOME=/home/clerk USER=clerk "$@"
}
step "root ready ($((SECONDS - started)) s)"

step "apt-get install ./$(basename "$deb")"
cp "$deb" "$root/tmp/"
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "./tmp/$(basename "$deb")" | grep -E '^(Setting up|Unpacking) quillory|newly installed'
for file in /usr/bin/quillory /usr/share/doc/quillory/guide.pdf /usr/share/man/man1/quillory.1.gz \
    /usr/bin/quillory-migrate /usr/share/man/man1/quillory-migrate.1.gz \
    /usr/share/metainfo/com.example.quillory.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/com.example.quillory.svg \
    /usr/share/icons/hicolor/48x48/apps/com.example.quillory.png \
    /usr/share/icons/hicolor/256x256/apps/com.example.quillory.png; do
    [ -f "$root$file" ] || fail "$file was not installed"
done
entry=$root/usr/share/applications/com.example.quillory.desktop
grep -qx 'Exec=quillory' "$entry" && grep -qx 'Icon=com.example.quillory' "$entry" &&
    grep -qx 'Categories=Office;Finance;' "$entry" || fail "the menu entry is not as packaged"

in_root useradd --create-home --shell /bin/bash clerk
version=$(as_clerk quillory --version) || true
[ "$version" = "quillory $(dpkg-deb -f "$deb" Version | sed 's/-[^-]*$//')" ] ||
    fail "quillory --version said: $version"
as_clerk quillory-migrate --help | grep '^Usage: quillory-migrate' >/dev/null ||
    fail "quillory-migrate --help did not answer"
step "installed ($((SECONDS - started)) s); $version"

# Xvfb tells its display number on a descriptor once it takes connections.
step "the program under Xvfb, as clerk"
mkfifo "$work/display"
chroot "$root" env -i PATH=/usr/bin:/bin Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 \
    3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
read -r number <"$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
display=:$number

# Every wait below ends with the test's failure if what it waits for never
# comes, instead of hanging the run.
x() { as_clerk env DISPLAY="$display" timeout 120 xdotool "$@"; }
# What the program leaves in /usr/bin from here on is newer than this.
touch "$root/tmp/quillory-started"
chroot --userspec=clerk:clerk "$root" env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME=/home/clerk \
    USER=clerk DISPLAY="$display" timeout 600 quillory >"$work/quillory.log" 2>&1 &
program=$!
# The main window, shown once the database is open and the list filled.
window=$(x search --sync --onlyvisible --name '^Customer Information and Quillory$' | head -n 1) ||
    true
[ -n "$window" ] || fail "the main window did not show: $(cat "$work/quillory.log")"
x windowfocus --sync "$window" || fail "the main window took no focus"

# The customer tab's New and Save buttons, in the main window as Qt's own
# style draws it without a window manager (as in the manual's picture of
# it). New gives the focus to the first name; Tab goes down the boxes in the
# order of the form.
click() { x mousemove --window "$window" --sync "$1" "$2" click 1; }
click 204 439
x type --delay 20 'Ada'
for text in 'Lovelace' '12 Analytical Row' 'Halifax' 'NS' 'CA' 'B3H 1A1' 'ada@example.com'; do
    x key Tab
    x type --delay 20 "$text"
done
click 644 439
# File > Exit, once the File menu is open: a window of its own, of the
# program's class, beside the main window (it has no name to wait for).
# Exit closes the database, which hides its header again.
x key alt+f
windows() { x search --onlyvisible --class '^quillory$' | wc -l; }
for _ in $(seq 600); do
    [ "$(windows)" -ge 2 ] && break
done
[ "$(windows)" -eq 2 ] || fail "the File menu did not open: $(cat "$work/quillory.log")"
x key x
wait "$program" || fail "the program ended with status $?: $(cat "$work/quillory.log")"
program=""
step "added a customer and left ($((SECONDS - started)) s)"

check_data() {
    local data=$root/home/clerk/.local/share/quillory/records.mdb
    [ -f "$data" ] || fail "no database in ~clerk/.local/share/quillory ($1)"
    [ "$(head -c 15 "$data")" = "Brandlewickery!" ] || fail "the database is not marked ($1)"
    [ "$(in_root stat -c %U "${data#"$root"}")" = clerk ] || fail "the database is not clerk's ($1)"
    # A copy with SQLite's header back, for sqlite3 to read.
    cp "$data" "$root/tmp/read.mdb"
    printf 'SQLite format 3' | dd of="$root/tmp/read.mdb" bs=1 count=15 conv=notrunc status=none
    local row
    row=$(in_root sqlite3 /tmp/read.mdb "SELECT id, fname, lname, city, email1 FROM tblcustomer")
    [ "$row" = "1|Ada|Lovelace|Halifax|ada@example.com" ] ||
        fail "the customer was not saved as typed ($1): '$row'"
    rm "$root/tmp/read.mdb"
}
check_data "after the program closed"
[ "$(head -n 1 "$root/home/clerk/.config/quillory/NetworkPath.sfe" | tr -d '\r')" = \
    /home/clerk/.local/share/quillory/records.mdb ] || fail "NetworkPath.sfe does not name it"
[ "$(stat -c %a "$root/home/clerk/.local/share/quillory")" = 700 ] ||
    fail "the data folder is open to others"
stray=$(find "$root/usr/bin" -newer "$root/tmp/quillory-started" -type f)
[ -z "$stray" ] || fail "files were left beside the program: $stray"

step "apt-get remove quillory"
in_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q quillory | grep -E '^Removing'
[ ! -e "$root/usr/bin/quillory" ] || fail "the program is still there"
check_data "after the package was removed"
step "passed ($((SECONDS - started)) s)"
