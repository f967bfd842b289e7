#!/bin/sh
# Runs a command on a private session bus with a gnome-keyring of its own, unlocked without a
# prompt, in a throw-away home: the user's own bus and keyring are never touched.
racine=$(mktemp -d) || exit 1
trap 'rm -rf "$racine"' EXIT
export HOME="$racine/home" XDG_DATA_HOME="$racine/home/data" XDG_CONFIG_HOME="$racine/home/config"
export XDG_CACHE_HOME="$racine/home/cache" XDG_RUNTIME_DIR="$racine/run"
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# No display: a keyring that wanted to prompt fails at once instead of waiting for a click.
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS GNOME_KEYRING_CONTROL
# An empty password creates no login keyring; any other one creates it and unlocks it.
status=0
# The daemon may return before it holds its name on the bus: a request sent meanwhile would
# start a second, locked one. So its name is waited for (10 s at most).
dbus-run-session -- sh -c 'printf corvane | gnome-keyring-daemon --unlock --components=secrets \
    --replace >/dev/null 2>&1
  for i in $(seq 100); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
      grep -q "boolean true" && break
    sleep 0.1
  done
  exec "$@"' sh "$@" || status=$?
exit $status
