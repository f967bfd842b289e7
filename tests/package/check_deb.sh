#!/usr/bin/env bash
# The Debian package end to end: built by CPack from a build folder, installed by apt-get (which
# pulls the dependencies it declares), its files where they belong, the installed program run by
# an ordinary user (a one-shot check against a local page, then the window), then removed with
# nothing left behind. The machine is left as it was found, on failure too: the package and
# whatever its install pulled in are removed on exit.
# Run by CTest (label "package"); needs root, and exits 77 (skipped) with the reason otherwise.
# Usage: check_deb.sh BUILD_DIR
set -euo pipefail
BUILD=$(realpath "$1")

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }
installed() { dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null | grep -q '^ii'; }
installed_set() { dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package}\n' | awk '$1 == "ii" {print $2}' | sort; }

[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
for tool in apt-get dpkg-query cpack setpriv desktop-file-validate systemd-analyze; do
  command -v "$tool" >/dev/null || skip "$tool not found (bash scripts/install-deps.sh installs it)"
done
installed corvane && skip "corvane is already installed on this machine; this check leaves it alone"

FILES=(/usr/bin/corvane /usr/lib/corvane/libcorvane_core.so /usr/lib/corvane/libcorvane_fenetre.so
       /usr/lib/corvane/libcorvane_reseau.so /usr/lib/corvane/libcorvane_envoi.so
       /usr/lib/corvane/libcorvane_son.so /usr/lib/corvane/libcorvane_trousseau.so
       /usr/lib/corvane/libcorvane_historique.so
       /usr/share/applications/corvane.desktop
       /usr/share/icons/hicolor/256x256/apps/corvane.png /usr/share/corvane/ip_check.php
       /usr/lib/systemd/user/corvane.service)

work=$(mktemp -d)
chmod 755 "$work" # apt's download user reads the .deb from here
before=$(installed_set)
pid=""
www=""
pulled="unknown"
cleanup() {
  local rc=$?
  [ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null || true
  [ -z "$www" ] || kill "$www" 2>/dev/null || true
  if installed corvane; then apt-get remove -y -q corvane >/dev/null || rc=1; fi
  # Taken right after the install when it got that far, so that packages someone else installs
  # meanwhile are not taken for ours.
  [ "$pulled" != unknown ] || pulled=$(comm -13 <(echo "$before") <(installed_set))
  pulled=$(grep -vx 'corvane' <<<"$pulled" || true)
  if [ -n "$pulled" ]; then
    echo "removing what the install pulled in: $pulled"
    # shellcheck disable=SC2086
    apt-get purge -y -q $pulled >/dev/null || rc=1
  fi
  rm -rf "$work"
  exit $rc
}
trap cleanup EXIT

echo "== build"
cpack -G DEB -B "$work" --config "$BUILD/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$BUILD/CPackConfig.cmake")
deb="$work/corvane_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb; made: $(ls "$work")"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt6widgets6 libqt6network6 libcurl4 ca-certificates; do
  [[ ", $depends," == *", $dep "* || ", $depends," == *", $dep,"* ]] || fail "Depends lacks $dep: $depends"
done

echo "== install $(basename "$deb")"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get install"; }
pulled=$(comm -13 <(echo "$before") <(installed_set))
listed=$(dpkg -L corvane)
for f in "${FILES[@]}"; do
  grep -qx "$f" <<<"$listed" || fail "dpkg -L corvane does not list $f"
  [ -f "$f" ] || fail "$f listed but not there"
done
outside=$(grep -v -e '^/usr/' -e '^/usr$' -e '^/\.$' <<<"$listed" || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
[ -x /usr/bin/corvane ] || fail "/usr/bin/corvane is not executable"

launcher=/usr/share/applications/corvane.desktop
desktop-file-validate "$launcher" || fail "$launcher is not a valid desktop entry"
if ! grep -qx 'Exec=corvane' "$launcher" || ! grep -qx 'Icon=corvane' "$launcher"; then
  fail "$launcher does not start corvane from PATH with the theme's icon"
fi
mkdir -m 700 "$work/run"
XDG_RUNTIME_DIR="$work/run" systemd-analyze verify --user /usr/lib/systemd/user/corvane.service ||
  fail "the user unit does not verify"

echo "== start as an ordinary user"
# nobody cannot write under /usr, as a user of the package cannot; no display, as in a service.
home="$work/home"
mkdir -m 700 "$home" "$work/run-nobody"
chown nobody: "$home" "$work/run-nobody"
as_nobody() {
  setpriv --reuid=nobody --regid=nogroup --clear-groups env -i HOME="$home" \
    XDG_RUNTIME_DIR="$work/run-nobody" PATH=/usr/bin:/bin LC_ALL=C.UTF-8 "$@"
}
as_nobody /usr/bin/corvane --help >/dev/null || fail "--help"

# One check against a page on this machine: changed (1) the first time, then unchanged (0),
# the address saved in between.
mkdir "$work/www"
echo 203.0.113.9 >"$work/www/ip"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server --bind 127.0.0.1 --directory "$work/www" "$port" >/dev/null 2>&1 &
www=$!
for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
printf '[ADRESSE HTTP]\r\nadresse de IP detect.php=http://127.0.0.1:%s/ip\r\n' "$port" >"$home/c.cfg"
chown nobody: "$home/c.cfg"
for expected in 1 0; do
  status=0
  out=$(as_nobody /usr/bin/corvane --check --config "$home/c.cfg" 2>"$work/check.err") || status=$?
  [ "$status" = "$expected" ] && [ "$out" = 203.0.113.9 ] ||
    fail "--check said '$out' with status $status, not $expected: $(cat "$work/check.err")"
done
kill "$www"
www=""
(cd "$home" && as_nobody QT_QPA_PLATFORM=offscreen /usr/bin/corvane >"$work/run.log" 2>&1) &
pid=$!
sleep 3
kill -0 "$pid" 2>/dev/null || { cat "$work/run.log"; fail "/usr/bin/corvane ended within 3 s of its start"; }
echo "running; what it said: $(head -c 600 "$work/run.log")"
kill -TERM "$pid"
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "/usr/bin/corvane did not end when asked (SIGTERM)"
pid=""

echo "== remove"
DEBIAN_FRONTEND=noninteractive apt-get remove -y -q corvane >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get remove"; }
installed corvane && fail "corvane still installed after apt-get remove"
for f in "${FILES[@]}"; do
  [ ! -e "$f" ] || fail "$f left behind by apt-get remove"
done
[ ! -e /usr/share/corvane ] || fail "/usr/share/corvane left behind"
[ ! -e /usr/lib/corvane ] || fail "/usr/lib/corvane left behind"
echo "package: the .deb builds, installs, starts and removes cleanly"
