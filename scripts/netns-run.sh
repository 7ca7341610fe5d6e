#!/usr/bin/env bash
# Runs a command in a network namespace of its own (and a mount namespace for its resolver
# file): loopback only, names resolved by 127.0.0.1, no proxy. No packet of a test leaves it.
# When WINEPREFIX names a booted prefix, the command gets a private copy of it with its own Wine
# server started inside the namespace (Wine's services, such as its network-adapter queries, run
# in the server's processes, which must see the same network as the test).
#   netns-run.sh CMD [ARGS...]
set -euo pipefail
if [ -z "${KOLVANE_NETNS_INNER:-}" ]; then
  export KOLVANE_NETNS_INNER=1
  exec unshare --net --mount --propagation private bash "$0" "$@"
fi
ip link set lo up
resolv=$(mktemp /tmp/kolvane-resolv.XXXXXX)
printf 'nameserver 127.0.0.1\n' >"$resolv"
mount --bind "$resolv" /etc/resolv.conf
unset http_proxy https_proxy ftp_proxy no_proxy HTTP_PROXY HTTPS_PROXY FTP_PROXY NO_PROXY all_proxy ALL_PROXY

copy=
if [ -n "${WINEPREFIX:-}" ] && [ -f "$WINEPREFIX/system.reg" ]; then
  copy=$(mktemp -d "$(dirname "$WINEPREFIX")/netns-prefix.XXXXXX")
  cp -a "$WINEPREFIX/." "$copy/"
  export WINEPREFIX=$copy
  wineserver -p >/dev/null 2>&1 </dev/null
  wine wineboot >/dev/null 2>&1 </dev/null
fi
status=0
"$@" || status=$?
if [ -n "$copy" ]; then
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$copy"
fi
rm -f "$resolv"
exit "$status"
