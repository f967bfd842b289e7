#!/usr/bin/env bash
# Removes exactly the files that `cmake --install` put in place, as listed in the build's
# install_manifest.txt, then the program folder if it is left empty. What the program
# wrote in its folder since (Corvane.cfg, corvane.log, the page files) is kept and listed.
# An autostart entry that starts the removed program goes too. (The Debian package is removed
# with `sudo apt-get remove corvane` instead.)
# Usage: uninstall.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
MANIFEST="$BUILD/install_manifest.txt"
if [ ! -f "$MANIFEST" ]; then
  echo "uninstall: no $MANIFEST; run cmake --install $BUILD first, or give the build folder" >&2
  exit 2
fi

dirs=()
while IFS= read -r f || [ -n "$f" ]; do
  [ -n "$f" ] || continue
  f="${DESTDIR:-}$f"
  if [ -f "$f" ] || [ -L "$f" ]; then
    rm -f -- "$f"
    echo "removed $f"
  elif [ -e "$f" ]; then
    echo "uninstall: $f is not a file; left alone" >&2
  fi
  dirs+=("$(dirname -- "$f")")
done < "$MANIFEST"

# The entry the program's menu writes names the program on its TryExec line; a dangling one
# would only be skipped by the desktop, but it would stay listed in its settings.
config=${XDG_CONFIG_HOME:-}
[ "${config#/}" != "$config" ] || config="$HOME/.config"
entry="$config/autostart/corvane.desktop"
if [ -f "$entry" ]; then
  target=$(sed -n 's/^TryExec=//p' "$entry" | sed 's/\\\\/\\/g')
  if [ -n "$target" ] && [ ! -e "$target" ] && grep -qxF -- "$target" "$MANIFEST"; then
    rm -f -- "$entry"
    echo "removed $entry"
  fi
fi

# The program folder goes too once empty; one that still holds the user's settings or log
# stays, and is named. Shared folders (applications, icons) are never removed.
mapfile -t folders < <(printf '%s\n' "${dirs[@]}" | sort -u)
for d in "${folders[@]}"; do
  [ "$(basename -- "$d")" = corvane ] && [ -d "$d" ] || continue
  if [ -z "$(ls -A -- "$d")" ]; then
    rmdir -- "$d" && echo "removed folder $d"
  else
    echo "kept $d, which still holds: $(ls -A -- "$d" | tr '\n' ' ')"
  fi
done
