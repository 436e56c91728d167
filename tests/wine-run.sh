#!/bin/bash
# Runs a Windows program under Wine in the private prefix given first,
# creating the prefix on first use. Tests never depend on a display.
set -u
source "$(dirname "$0")/wine-env.sh"
prefix=$(realpath -m "$1")
shift
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export LC_ALL=C.UTF-8
if [ -z "${KARDUM_DISPLAY:-}" ]; then unset DISPLAY; else export DISPLAY=$KARDUM_DISPLAY; fi

"$(dirname "$0")/wine-prefix.sh" "$prefix"

# Wine's helper processes outlive the program and inherit its output, so the
# output goes through files, never through the caller's pipe.
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
wine "$@" </dev/null >"$out" 2>"$err"
rc=$?
cat "$out"
cat "$err" >&2
exit $rc
