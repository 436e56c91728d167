#!/bin/bash
# Creates the private Wine prefix given, once, even when several tests ask for
# it at the same time. Expects WINEPREFIX and WINEDLLOVERRIDES to be set.
set -u
prefix=$1
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
  fi
) 9>"$prefix.lock"
