#!/usr/bin/env bash
# Sets everything up, builds, and starts the program in the current folder:
# a starter thesaurus (setting.dat) is made here on the first run, and the
# companion vendor server is started in the background for the network features.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build" -DWYC_GUI=ON -DWYC_TESTS=OFF -DWYC_BENCH=OFF

if [ ! -e setting.dat ]; then
  "$root/build/src/cli/wyc-cli" init-db "$root/data/synonyms.txt" setting.dat
fi

port="${WYC_SERVER_PORT:-8600}"
if ! curl -s -o /dev/null "http://127.0.0.1:$port/tychelp.html"; then
  mkdir -p "${XDG_DATA_HOME:-$HOME/.local/share}/wyc"
  nohup "$root/build/server/wyc-server" --port "$port" \
    --data "${XDG_DATA_HOME:-$HOME/.local/share}/wyc/wyc-server.db" >/tmp/wyc-server.log 2>&1 &
  for _ in $(seq 50); do
    curl -s -o /dev/null "http://127.0.0.1:$port/tychelp.html" && break
    sleep 0.1
  done
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found; starting the window on a virtual display (Xvfb :99)."
  if ! pgrep -f "Xvfb :99" >/dev/null; then
    Xvfb :99 -screen 0 1280x1024x24 >/dev/null 2>&1 &
    sleep 1
  fi
  export DISPLAY=:99
fi
exec "$root/build/src/ui/wyc" --server "http://127.0.0.1:$port" "$@"
