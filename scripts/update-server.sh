# Sourced: a local update server, Debian's nginx serving a folder on 127.0.0.1 (by default on
# the port a default build's built-in server uses). Used by the demo and the benchmarks.
#   start_update_server <folder to serve> <work folder> [port]
#   stop_update_server
# Paths with a data/ folder in them are sent at 1 MB/s, so that a demo run can be watched.

start_update_server() {
    local www="$1" work="$2" port="${3:-18080}"
    mkdir -p "$work"
    cat > "$work/nginx.conf" <<CONF
user root;
daemon off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 256; }
http {
    access_log $work/nginx-access.log;
    types { text/xml xml; text/plain txt; application/octet-stream dll exe pak bmp dat; }
    server {
        listen 127.0.0.1:$port;
        root $www;
        location ~ /data/ { limit_rate 1m; }
    }
}
CONF
    : > "$work/nginx-access.log"
    nginx -c "$work/nginx.conf" -p "$work" &
    UPDATE_SERVER_PID=$!
    local i
    for i in $(seq 100); do
        if curl -s -o /dev/null "http://127.0.0.1:$port/"; then
            return 0
        fi
        if ! kill -0 "$UPDATE_SERVER_PID" 2>/dev/null; then
            echo "nginx did not start (port $port in use?):" >&2
            cat "$work/nginx-error.log" >&2
            return 1
        fi
        sleep 0.1
    done
    echo "nginx did not answer on port $port" >&2
    return 1
}

stop_update_server() {
    if [ -n "${UPDATE_SERVER_PID:-}" ]; then
        kill "$UPDATE_SERVER_PID" 2>/dev/null || true
        wait "$UPDATE_SERVER_PID" 2>/dev/null || true
        UPDATE_SERVER_PID=
    fi
}
