#!/usr/bin/env bash
# Starts the reference service for the demo on 127.0.0.1 in the background.
#
#   server/start_demo_service.sh [--build DIR] [--port PORT] [--catalogue DIR] [--config FILE]
#   server/start_demo_service.sh --stop [--build DIR]
#
# --build      build folder holding bin/mirvaly-service (default: build/ beside server/)
# --port       TCP port on 127.0.0.1 (default 8080)
# --catalogue  catalogue folder (default: server/sample)
# --config     an INI file of the program (for example ~/.config/Ostrelo.conf);
#              its [General] ServiceHost1 and ServiceHost2 are set to the service
# On success it prints the service host, "127.0.0.1:PORT", and keeps the
# service's pid in BUILD/mirvaly-service.pid and its log in BUILD/mirvaly-service.log.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
port=8080
catalogue="$root/server/sample"
config=""
stop=0
while (($#)); do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --port) port=$2; shift 2 ;;
    --catalogue) catalogue=$2; shift 2 ;;
    --config) config=$2; shift 2 ;;
    --stop) stop=1; shift ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
done

pidfile="$build/mirvaly-service.pid"
logfile="$build/mirvaly-service.log"

if ((stop)); then
  if [[ -f "$pidfile" ]]; then
    kill "$(cat "$pidfile")" 2>/dev/null || true
    rm -f "$pidfile"
  fi
  exit 0
fi

# A service left over from an earlier demo is stopped first.
if [[ -f "$pidfile" ]] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
  kill "$(cat "$pidfile")" 2>/dev/null || true
  sleep 0.3
fi

"$build/bin/mirvaly-service" --catalogue "$catalogue" --listen 127.0.0.1 --port "$port" \
  >"$logfile" 2>&1 &
echo $! >"$pidfile"

for _ in $(seq 1 100); do
  if grep -q "listening on" "$logfile" 2>/dev/null; then break; fi
  if ! kill -0 "$(cat "$pidfile")" 2>/dev/null; then
    echo "mirvaly-service did not start:" >&2
    cat "$logfile" >&2
    exit 1
  fi
  sleep 0.1
done
grep -q "listening on" "$logfile" || { echo "mirvaly-service is not listening" >&2; exit 1; }

host="127.0.0.1:$port"
if [[ -n "$config" ]]; then
  mkdir -p "$(dirname "$config")"
  touch "$config"
  # Replace or add the two keys in [General], leave everything else as it is.
  awk -v host="$host" '
    function flush() { if (!h1) print "ServiceHost1=" host; if (!h2) print "ServiceHost2=" host; h1 = h2 = 1 }
    /^\[/ { if (inGeneral) flush(); inGeneral = ($0 == "[General]"); if (inGeneral) seen = 1; print; next }
    inGeneral && /^ServiceHost1=/ { print "ServiceHost1=" host; h1 = 1; next }
    inGeneral && /^ServiceHost2=/ { print "ServiceHost2=" host; h2 = 1; next }
    { print }
    END { if (inGeneral) flush(); else if (!seen) { print "[General]"; flush() } }
  ' "$config" >"$config.tmp" && mv "$config.tmp" "$config"
fi
echo "$host"
