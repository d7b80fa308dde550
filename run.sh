#!/usr/bin/env bash
# Builds Mirvaly, starts the reference service on 127.0.0.1 with the sample
# listings, points the program's configuration at it and starts the program.
# The service is stopped again when the program ends.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

./scripts/setup.sh

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  cat >&2 <<'MSG'
There is no display to show the program on (neither DISPLAY nor WAYLAND_DISPLAY is set).
Run it under a virtual X server instead:

    xvfb-run -a ./run.sh

(xvfb-run comes with the xvfb package, which ./run.sh has installed.)
MSG
  exit 1
fi

port=${MIRVALY_DEMO_PORT:-8080}
config="${XDG_CONFIG_HOME:-$HOME/.config}/Ostrelo.conf"

server/start_demo_service.sh --build "$root/build" --port "$port" --config "$config" >/dev/null
trap 'server/start_demo_service.sh --stop --build "$root/build"' EXIT

# The sample catalogue's subscriber, unless the user has one of their own.
if ! grep -q '^SubscriberId=' "$config"; then
  sed -i '/^\[General\]$/a SubscriberId=demo' "$config"
fi

# A new store is made the way the program's first start makes it, so the demo
# opens straight into the main window.
[[ -f build/bin/OSL.gdb ]] || build/bin/mirvaly-db create build/bin/OSL.gdb >/dev/null

echo "Reference service on 127.0.0.1:$port; configuration in $config"
build/bin/Mirvaly
