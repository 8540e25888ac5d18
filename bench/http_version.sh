#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Requests per second and p99 latency of the "version" route under wrk
# (64 connections, 10 s), side by side in the same run with nginx serving a
# static file of the same size. Prints both and the ratio quorvel / nginx.
#   bench/http_version.sh [seconds] [connections]
set -eu
cd "$(dirname "$0")/.."
Seconds="${1:-10}"
Connections="${2:-64}"
Binary="${QUORVEL_BINARY_DIR:-build}/bin/quorvel"
if [ -z "${QUORVEL_BINARY_DIR:-}" ]; then
  scripts/setup bench >/dev/null
  scripts/build >/dev/null
fi
command -v wrk >/dev/null && command -v nginx >/dev/null || { echo "wrk and nginx are needed: scripts/setup bench" >&2; exit 2; }

Work=$(mktemp -d)
QuorvelPid=""
NginxPid=""
cleanup() {
  [ -n "$QuorvelPid" ] && kill -TERM "$QuorvelPid" 2>/dev/null && wait "$QuorvelPid" 2>/dev/null || true
  [ -n "$NginxPid" ] && kill -QUIT "$NginxPid" 2>/dev/null || true
  rm -rf "$Work"
}
trap cleanup EXIT INT TERM

FreePort() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# wrk's "Requests/sec" and its 99% latency in milliseconds.
Measure() {
  wrk -t2 -c"$Connections" -d"${Seconds}s" --latency "$1" > "$Work/wrk.txt"
  Rate=$(awk '/^Requests\/sec:/ { print $2 }' "$Work/wrk.txt")
  P99=$(awk '$1 == "99%" { v = $2; if (v ~ /us$/) { sub(/us$/, "", v); v /= 1000 } else if (v ~ /ms$/) { sub(/ms$/, "", v) } else if (v ~ /s$/) { sub(/s$/, "", v); v *= 1000 }; print v }' "$Work/wrk.txt")
  Errors=$(awk '/Non-2xx|Socket errors/ { print }' "$Work/wrk.txt")
  [ -z "$Errors" ] || echo "  $1: $Errors" >&2
  echo "$Rate $P99"
}

QuorvelPort=$(FreePort)
"$Binary" -Software -Location "http://127.0.0.1:$QuorvelPort/hls/" > /dev/null 2> "$Work/quorvel.err" &
QuorvelPid=$!
for _ in $(seq 1 300); do
  curl -sf "http://127.0.0.1:$QuorvelPort/hls/version" -o "$Work/version.txt" && break
  sleep 0.1
done
[ -s "$Work/version.txt" ] || { echo "quorvel did not start:" >&2; cat "$Work/quorvel.err" >&2; exit 1; }

NginxPort=$(FreePort)
mkdir -p "$Work/www" "$Work/logs"
cp "$Work/version.txt" "$Work/www/version"
cat > "$Work/nginx.conf" <<CONF
worker_processes auto;
pid $Work/nginx.pid;
error_log $Work/logs/error.log;
daemon off;
events { worker_connections 1024; }
http {
  access_log off;
  default_type "text/plain; charset=utf-8";
  client_body_temp_path $Work/logs;
  proxy_temp_path $Work/logs;
  fastcgi_temp_path $Work/logs;
  uwsgi_temp_path $Work/logs;
  scgi_temp_path $Work/logs;
  server {
    listen 127.0.0.1:$NginxPort;
    root $Work/www;
  }
}
CONF
nginx -p "$Work" -c "$Work/nginx.conf" &
NginxPid=$!
for _ in $(seq 1 100); do
  curl -sf "http://127.0.0.1:$NginxPort/version" -o /dev/null && break
  sleep 0.1
done

Size=$(wc -c < "$Work/version.txt")
echo "Body: $Size bytes; wrk: $Connections connections, $Seconds s, 2 threads; $(nproc) processors"
set -- $(Measure "http://127.0.0.1:$QuorvelPort/hls/version" | tail -n 1)
QuorvelRate=$1 QuorvelP99=$2
set -- $(Measure "http://127.0.0.1:$NginxPort/version" | tail -n 1)
NginxRate=$1 NginxP99=$2
printf '%-8s %12s %12s\n' "" "requests/s" "p99 ms"
printf '%-8s %12.0f %12.2f\n' quorvel "$QuorvelRate" "$QuorvelP99" nginx "$NginxRate" "$NginxP99"
awk -v A="$QuorvelRate" -v B="$NginxRate" 'BEGIN { printf "ratio quorvel/nginx: %.2f (goal: at least 0.50)\n", A / B }'
