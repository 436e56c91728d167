#!/bin/bash
# Starts or stops the Wine server of a test prefix around a batch of tests:
# a server that stays up saves every run a new server start (seconds for the
# emulated 32-bit Wine). Starting also creates the prefix on first use.
# Usage: wine-server.sh start|stop <wine prefix>
set -u
source "$(dirname "$0")/wine-env.sh"
export WINEPREFIX=$(realpath -m "$2")
export WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
unset DISPLAY
case $1 in
  start)
    "$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX" || exit 1
    [ -f "$WINEPREFIX/system.reg" ] || { echo "FAIL: could not create $WINEPREFIX"; exit 1; }
    wineserver -p </dev/null >/dev/null 2>&1
    echo "Wine server up for $WINEPREFIX ($(command -v wine))"
    ;;
  stop)
    wineserver -k </dev/null >/dev/null 2>&1
    wineserver -w </dev/null >/dev/null 2>&1
    echo "Wine server stopped for $WINEPREFIX"
    ;;
  *)
    echo "usage: $0 start|stop <wine prefix>" >&2
    exit 2
    ;;
esac
