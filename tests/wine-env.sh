# Sourced by every script that runs Wine: the one place that picks which Wine
# runs the build's programs. KARDUM_WINE_BIN names a folder with the `wine`,
# `wineserver` and `wineboot` commands of a private Wine (the 32-bit one that
# scripts/setup-wine32.sh prepares); unset or empty, the system's Wine runs
# them.
if [ -n "${KARDUM_WINE_BIN:-}" ]; then
  PATH=$KARDUM_WINE_BIN:$PATH
  export PATH
fi
