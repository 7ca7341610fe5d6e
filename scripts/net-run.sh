#!/usr/bin/env bash
# Runs a command inside a network namespace of its own, with the peers of the delivery tests
# (scripts/net-peers.py: SMTP servers, a DNS responder) listening on its loopback, and name
# lookups pointed at that responder: no packet of a test leaves the machine. The command sees
# KOLVANE_NET_PEERS (the peers' record folder) and KOLVANE_NET_PEERS_WIN (the same for Wine),
# and a Wine prefix of its own booted inside the namespace (WINEPREFIX), as a wineserver
# started outside would talk to the outer network (KOLVANE_NET_WINE=0: no Wine).
#   scripts/net-run.sh CMD [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${KOLVANE_NET_INSIDE:-}" ]; then
  export KOLVANE_NET_INSIDE=1
  exec unshare --net --mount -- bash "$here/net-run.sh" "$@"
fi
ip link set lo up
# Private copies of resolv.conf and the work folder: the bind mounts end with the namespace.
mount --make-rprivate / 2>/dev/null || true
resolv=$(mktemp /tmp/kolvane-resolv.XXXXXX)
echo "nameserver 127.0.0.1" >"$resolv"
mount --bind "$resolv" /etc/resolv.conf
unset http_proxy https_proxy ftp_proxy no_proxy all_proxy HTTP_PROXY HTTPS_PROXY FTP_PROXY \
  NO_PROXY ALL_PROXY

peers=$(mktemp -d /tmp/kolvane-peers.XXXXXX)
export KOLVANE_NET_PEERS=$peers
export KOLVANE_NET_PEERS_WIN="Z:${peers//\//\\}"
/usr/bin/python3 "$here/net-peers.py" "$peers" >"$peers/peers.out" 2>&1 &
peers_pid=$!
cleanup() {
  kill "$peers_pid" 2>/dev/null || true
  wait "$peers_pid" 2>/dev/null || true
  if [ -n "${net_wine_started:-}" ]; then wine_env_stop; fi
  rm -rf "$peers" "$resolv"
}
trap cleanup EXIT
for _ in $(seq 1 1200); do
  [ -f "$peers/ready" ] && break
  if ! kill -0 "$peers_pid" 2>/dev/null; then
    echo "net-run: the peers did not start:" >&2
    cat "$peers/peers.out" >&2
    exit 1
  fi
  sleep 0.1
done
if [ ! -f "$peers/ready" ]; then
  echo "net-run: the peers are not listening" >&2
  exit 1
fi

# KOLVANE_NET_WINE=0 leaves Wine out (commands that are no Windows programs).
if [ "${KOLVANE_NET_WINE:-1}" != 0 ]; then
  source "$here/wine-env.sh" "$peers/wineprefix"
  net_wine_started=1
  wine_env_start
fi
set +e
"$@"
status=$?
set -e
exit $status
