#!/bin/bash
# Runs kardum2.exe on a virtual X display and checks what the user sees:
# the first-run notice and the failure report, each closed with Return as a
# person would. Screenshots of both boxes are left in <build dir>/screenshots.
#
# Usage: desktop_test.sh <build dir> <kardum2.exe>
set -u

if [ $# -ne 2 ]; then
  echo "usage: $0 <build dir> <kardum2.exe>" >&2
  exit 2
fi
source "$(dirname "$0")/wine-env.sh"
build=$(realpath -m "$1")
exe=$(realpath -m "$2")
[ -f "$exe" ] || { echo "FAIL: $exe not found"; exit 1; }
for tool in Xvfb xdotool import identify convert wine wineserver wineboot flock; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done

prefix=$build/desktop-prefix
work=$build/desktop-test
shots=$build/screenshots
mkdir -p "$work" "$shots"
rm -f "$work"/*.log "$shots/first-run-notice.png" "$shots/failure-report.png"

export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=
export LC_ALL=C.UTF-8

start_time=$SECONDS
deadline=$((SECONDS + 110))
xvfb_pid=
server_up=
kardum_pid=

cleanup() {
  if [ -n "$kardum_pid" ]; then kill "$kardum_pid" 2>/dev/null; fi
  if [ -n "$server_up" ]; then
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
}
trap cleanup EXIT

# One run at a time per prefix: two runs would share one wineserver and one
# registry.
exec 9>"$prefix.lock"
flock -w 100 9 || { echo "FAIL: $prefix is busy"; exit 1; }

if [ ! -f "$prefix/system.reg" ]; then
  (unset DISPLAY; wineboot -i </dev/null >"$work/wineboot.log" 2>&1; wineserver -w)
  [ -f "$prefix/system.reg" ] || { echo "FAIL: could not create $prefix"; exit 1; }
fi

# A display of our own: the first number whose lock file is free and on which
# our Xvfb stays up (another test may take the same number at the same time).
display=
for n in $(seq 90 140); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -nolisten tcp -screen 0 1024x768x24 </dev/null >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then break; fi
    if [ -e "/tmp/.X11-unix/X$n" ] && [ "$(tr -d ' ' <"/tmp/.X$n-lock" 2>/dev/null)" = "$xvfb_pid" ]; then
      display=:$n
      break
    fi
    sleep 0.1
  done
  [ -n "$display" ] && break
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=
done
[ -n "$display" ] || { echo "FAIL: no free X display in :90..:140"; exit 1; }
export DISPLAY=$display

wineserver -p >/dev/null 2>&1 </dev/null
server_up=1

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Wine's helpers keep inherited descriptors open, so their output goes to files.
wine_quiet() {
  wine "$@" </dev/null >>"$work/wine.log" 2>&1
}

# Prints the value's data as stored, or nothing when it is missing.
reg_value() {
  local out=$work/reg-query.log
  wine reg query "HKCU\\Software\\Trelis\\Kardum" /v "$1" </dev/null >"$out" 2>&1 || return 0
  tr -d '\r' <"$out" | awk -v name="$1" '$1 == name && $2 == "REG_SZ" {
    sub(/^[ \t]*[^ \t]+[ \t]+REG_SZ[ \t]+/, ""); print; exit }'
}

# Prints the id of the visible window titled exactly $1, waiting up to $2 s.
wait_window() {
  local end=$((SECONDS + $2)) id
  while [ $SECONDS -lt $end ] && [ $SECONDS -lt $deadline ]; do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    if [ -n "$kardum_pid" ] && ! kill -0 "$kardum_pid" 2>/dev/null; then return 1; fi
    sleep 0.2
  done
  return 1
}

# Sets kardum_rc to the exit code of the running kardum2.exe, waiting up to $1 s.
wait_exit() {
  local end=$((SECONDS + $1))
  while kill -0 "$kardum_pid" 2>/dev/null; do
    if [ $SECONDS -ge $end ] || [ $SECONDS -ge $deadline ]; then
      kill "$kardum_pid" 2>/dev/null
      wait "$kardum_pid" 2>/dev/null
      kardum_pid=
      kardum_rc=timeout
      return 1
    fi
    sleep 0.2
  done
  wait "$kardum_pid"
  kardum_rc=$?
  kardum_pid=
}

start_kardum() {
  wine "$exe" </dev/null >"$work/$1.out.log" 2>"$work/$1.err.log" &
  kardum_pid=$!
}

# Screenshots the whole screen into $2 and checks what the window $1 shows:
# text (dark pixels right of the icon, above the button row) and an icon of
# the colour that the fx expression $3 picks. $4 names the box in messages.
check_box() {
  local id=$1 png=$2 colour=$3 what=$4 X Y WIDTH HEIGHT
  if ! import -display "$DISPLAY" -window root "$png" >"$work/import.log" 2>&1; then
    fail "$what: no screenshot"
    return
  fi
  local shades
  shades=$(identify -format %k "$png")
  [ "$shades" -gt 2 ] || fail "$what: the screenshot is blank ($shades colours)"
  eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)"
  local box=$work/box.png
  convert "$png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$box"
  # The icon sits in the left 60 pixels; the button row takes the last 40.
  local text_pixels icon_pixels
  text_pixels=$(convert "$box" -crop "$((WIDTH - 60))x$((HEIGHT - 40))+60+0" +repage \
    -colorspace Gray -threshold 40% -negate -format '%[fx:round(mean*w*h)]' info:)
  icon_pixels=$(convert "$box" -crop "60x${HEIGHT}+0+0" +repage -fx "$colour" \
    -format '%[fx:round(mean*w*h)]' info:)
  echo "$what: box ${WIDTH}x${HEIGHT}, $text_pixels text pixels, $icon_pixels icon pixels" \
    >>"$work/boxes.log"
  # A line of text makes several hundred dark pixels; the icons are about
  # 30 pixels across.
  [ "$text_pixels" -ge 400 ] || fail "$what: no text visible ($text_pixels dark pixels)"
  [ "$icon_pixels" -ge 200 ] || fail "$what: the icon is missing ($icon_pixels pixels of its colour)"
}

# Waits up to 30 s for the box titled $1 of the running kardum2.exe, checks
# it on a screenshot, closes it with Return and waits for the program to end.
# Sets kardum_rc; returns 1 when the box never came or the program hung.
see_and_close() {
  local caption=$1 png=$2 colour=$3 what=$4 id
  if ! id=$(wait_window "$caption" 30); then
    fail "$what: no window titled '$caption' appeared"
    wait_exit 1
    return 1
  fi
  sleep 0.5  # let the box finish painting
  check_box "$id" "$png" "$colour" "$what"
  xdotool key --window "$id" Return 2>>"$work/xdotool.log"
  if ! wait_exit 15; then
    fail "$what: kardum2.exe did not end after Return"
    return 1
  fi
}

# --- The first run shows the notice, records the list and opens it.
first_run_notice() {
  local what="first-run notice"
  wine_quiet reg delete "HKCU\\Software\\Trelis" /f
  local list=$prefix/drive_c/windows/kardum.dat
  rm -f "$list"
  start_kardum first-run
  see_and_close Kardum "$shots/first-run-notice.png" 'b>0.5&&r<0.4' "$what" || return
  [ "$kardum_rc" = 0 ] || fail "$what: exit code $kardum_rc, expected 0"
  local datos posicion
  datos=$(reg_value Datos)
  posicion=$(reg_value Posicion)
  [ "$datos" = 'C:\windows\kardum.dat' ] || fail "$what: Datos is '$datos'"
  [ "$posicion" = 1 ] || fail "$what: Posicion is '$posicion'"
  if [ ! -f "$list" ] || [ -s "$list" ]; then
    fail "$what: C:\\windows\\kardum.dat is not an empty file"
  fi
  # Notepad comes up on the new file; it is closed again so that it shows on
  # no later screenshot.
  local editor
  if ! editor=$(wait_window 'kardum\.dat - .*' 15); then
    fail "$what: Notepad did not open kardum.dat"
    return
  fi
  # Notepad retitles its window while closing, so wait on the window itself.
  wine_quiet taskkill /im notepad.exe
  local end=$((SECONDS + 10))
  while xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$editor"; do
    if [ $SECONDS -ge $end ]; then
      wine_quiet taskkill /f /im notepad.exe
      break
    fi
    sleep 0.2
  done
}

# --- A recorded list that no longer exists ends the run with the report.
failure_report() {
  local what="failure report"
  wine_quiet reg add "HKCU\\Software\\Trelis\\Kardum" /v Datos /d 'C:\no-such.dat' /f
  wine_quiet reg add "HKCU\\Software\\Trelis\\Kardum" /v Posicion /d 1 /f
  start_kardum failure
  see_and_close 'Application Error' "$shots/failure-report.png" 'r>0.6&&g<0.4&&b<0.4' "$what" ||
    return
  [ "$kardum_rc" = 1 ] || fail "$what: exit code $kardum_rc, expected 1"
}

run_case() {
  local before=$failures
  "$1"
  if [ "$failures" -eq "$before" ]; then echo "PASS: $2"; else echo "FAIL: $2"; fi
}

run_case first_run_notice "first-run notice"
run_case failure_report "failure report"
cat "$work/boxes.log" 2>/dev/null
echo "$((SECONDS - start_time)) s on display $DISPLAY"
exit $((failures > 0))
