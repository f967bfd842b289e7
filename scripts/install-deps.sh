#!/usr/bin/env bash
# Installs every Debian package Corvane needs to build, run, test and benchmark.
# Idempotent: when everything is present it installs nothing and touches no package list.
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake ninja-build pkg-config git
  # libraries
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libcurl4-openssl-dev libxcb1-dev
  # run time: the X11 platform plugin, fonts
  libqt6gui6 qt6-qpa-plugins fonts-dejavu-core fonts-liberation
  # test peers and the desktop rig used by end-to-end tests and screenshots
  php-cli python3 python3-aiosmtpd python3-pyftpdlib curl
  # TLS and SSH peers: certificates made at test time, FTPS (pyftpdlib over pyOpenSSL), SFTP
  openssl python3-openssl python3-asyncssh
  xvfb xauth openbox xdotool wmctrl x11-utils imagemagick dbus-x11 at-spi2-core python3-pyatspi
  # the end-to-end tests' runner, virtual screen and accessibility driver; the X watcher of
  # the start-up benchmark
  python3-pytest python3-pyvirtualdisplay python3-dogtail python3-xlib
  # measurement and robustness
  libbenchmark-dev clang libclang-rt-14-dev
  # the Debian package: dpkg-shlibdeps for its dependencies; checks of its launcher and user unit
  dpkg-dev desktop-file-utils systemd
  # DNS updates (RFC 2136 with TSIG) and their test peers: BIND's named, tsig-keygen and dig
  libldns-dev bind9 bind9-dnsutils
  # the desktop test: an XEmbed tray host, and python-dbusmock's notification service
  trayer python3-dbusmock
  # settings window and history: passwords in the Secret Service keyring, SQLite through Qt SQL,
  # translations (lupdate/lrelease and Qt's own .qm), a keyring daemon for the tests
  qtkeychain-qt6-dev libqt6sql6-sqlite qt6-l10n-tools qt6-translations-l10n gnome-keyring sqlite3
  # CMake's Qt6LinguistTools (qt_add_translations: the .qm built and embedded, lupdate target)
  qt6-tools-dev
  # QtKeychain reaches the Secret Service through libsecret, which it loads at run time only
  libsecret-1-0
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
