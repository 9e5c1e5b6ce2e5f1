#!/usr/bin/env bash
# Installs the dependencies, builds everything and starts the program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
bash "$top/scripts/build.sh"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: run it under a virtual one, e.g. xvfb-run -a $top/build/app/main/quandrel" >&2
  exit 1
fi
exec "$top/build/app/main/quandrel" "$@"
