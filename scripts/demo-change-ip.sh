#!/usr/bin/env bash
# Changes the address the demo's detection page answers: the next check shows a change.
# Usage: demo-change-ip.sh [ADDRESS] [--dir FOLDER]
set -euo pipefail
exec /usr/bin/python3 "$(dirname "$0")/demo.py" change-ip "$@"
