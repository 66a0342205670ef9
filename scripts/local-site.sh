# Sourced: start_local_site DIR LOG serves DIR with PHP's built-in server on a free port of
# 127.0.0.1, its requests logged to LOG, and returns once the server answers (1 if it never
# does). Sets site_port and site_pid; the caller stops the server (kill "$site_pid").
start_local_site() {
  site_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  php -S "127.0.0.1:$site_port" -t "$1" >"$2" 2>&1 &
  site_pid=$!
  local _
  for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$site_port") 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}
