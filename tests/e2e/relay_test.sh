#!/bin/bash
# Checks the exact Win32 calls that kardum2.exe makes, as Wine's relay log
# shows them: the file it opens, the boxes it shows, the values it sets and the
# program it starts, in order.
# Usage: relay_test.sh <wine prefix> <kardum2.exe>
set -u
source "$(dirname "$0")/../wine-env.sh"
prefix=$(realpath -m "$1")
exe=$(realpath "$2")
drive_c=$prefix/drive_c

export WINEPREFIX=$prefix
export LC_ALL=C.UTF-8
export WINEDEBUG=-all
# With Notepad disabled no Notepad outlives a first run; its WinExec call is
# logged all the same.
export WINEDLLOVERRIDES='mscoree,mshtml=;notepad.exe=d'
unset DISPLAY

"$(dirname "$0")/../wine-prefix.sh" "$prefix"

work=$(mktemp -d)

# Registry set-up in one wine call: the lines of a .reg file, after its header.
import_reg() {
  printf 'REGEDIT4\r\n\r\n' >"$work/case.reg"
  printf '%s\r\n' "$@" >>"$work/case.reg"
  wine reg import "Z:${work//\//\\}\\case.reg" </dev/null >"$work/reg.out" 2>&1 ||
    { echo "reg import failed:"; cat "$work/case.reg" "$work/reg.out"; }
}

no_kardum_state=(
  '[-HKEY_CURRENT_USER\Software\Trelis]'
  '[-HKEY_CURRENT_USER\AppEvents\Schemes\Apps\.Default\SystemStart]')

cleanup() {
  import_reg "${no_kardum_state[@]}" '[HKEY_CURRENT_USER\Software\Wine\Debug]' '"RelayInclude"=-'
  rm -rf "$drive_c/kardum-e2e" "$drive_c/windows/kardum.dat" "$work"
}
trap cleanup EXIT

# A persistent server keeps each wine call below cheap. It ends by itself a few
# seconds after the last one: killing it could end other programs that share
# the prefix.
wineserver -p5 </dev/null >/dev/null 2>&1

# The calls that kardum2.exe itself made, one per line, arguments normalised:
# no pointers before strings, 32-bit numbers as their low 8 hex digits, the
# key handle and data pointer of RegSetValueExA as "-", and the code address of
# a failure report as XXXXXXXX.
normalise_calls() {
  awk '
    function low32(s) {
      if (length(s) > 8) return substr(s, length(s) - 7)
      while (length(s) < 8) s = "0" s
      return s
    }
    function norm(fn, i, arg) {
      if (arg ~ /^[0-9a-f]+ "/) {
        sub(/^[0-9a-f]+ /, "", arg)
      } else if (arg ~ /^[0-9a-f]+$/) {
        arg = low32(arg)
      }
      if (fn == "KERNEL32.RegSetValueExA" && (i == 1 || i == 5)) arg = "-"
      if (fn == "user32.MessageBoxA" && i == 2 && arg !~ / at 00000000\.\\n/)
        sub(/ at [0-9A-F][0-9A-F][0-9A-F][0-9A-F][0-9A-F][0-9A-F][0-9A-F][0-9A-F]\.\\n/,
            " at XXXXXXXX.\\n", arg)
      return arg
    }
    !/^[0-9a-f]+:[0-9a-f]+:/ { next }
    pid == "" { split($0, f, ":"); pid = f[1] }
    {
      split($0, f, ":")
      if (f[1] != pid) next
      if (!match($0, /:Call (KERNEL32\.CreateFileA|user32\.MessageBoxA|KERNEL32\.RegSetValueExA|KERNEL32\.WinExec)\(/))
        next
      call = substr($0, RSTART + 6)
      sub(/\) ret=[0-9a-f]+$/, "", call)
      fn = substr(call, 1, index(call, "(") - 1)
      rest = substr(call, length(fn) + 2)
      out = fn "("; i = 1; arg = ""; quoted = 0
      for (p = 1; p <= length(rest); p++) {
        c = substr(rest, p, 1)
        if (quoted && c == "\\") { arg = arg c substr(rest, ++p, 1); continue }
        if (c == "\"") quoted = !quoted
        if (c == "," && !quoted) { out = out norm(fn, i++, arg) ","; arg = ""; continue }
        arg = arg c
      }
      print out norm(fn, i, arg) ")"
    }' "$1"
}

# The report counts its address from the start of the loaded image, so it must
# fall inside the program's code: the .text section's range less the image base.
read -r image_base text_size text_vma < <(x86_64-w64-mingw32-objdump -h -p "$exe" | awk '
  /^ImageBase/ { base = $2 }
  $2 == ".text" { size = $3; vma = $4 }
  END { print base, size, vma }')
text_start=$((16#$text_vma - 16#$image_base))
text_end=$((text_start + 16#$text_size))

# report_addresses_in_code LOG: every report address in the log lies in the code.
report_addresses_in_code() {
  local address offset
  for address in $(grep -oE 'in module kardum2\.exe at [0-9A-F]{8}' "$1" | grep -oE '[0-9A-F]{8}$'); do
    offset=$((16#$address))
    if [ "$offset" -lt "$text_start" ] || [ "$offset" -ge "$text_end" ]; then
      printf 'report address %s is outside the code (%08X..%08X)\n' "$address" "$text_start" "$text_end"
      return 1
    fi
  done
}

failures=0
# check_case NAME EXPECTED_EXIT EXPECTED_CALL...: runs kardum2.exe once.
check_case() {
  local name=$1 expected_rc=$2
  shift 2
  WINEDEBUG=+pid,+relay wine "$exe" </dev/null >"$work/out" 2>"$work/log"
  local rc=$?
  normalise_calls "$work/log" >"$work/calls"
  grep -F 'user32.MessageBoxA(' "$work/log" >"$work/calls.raw"
  printf '%s\n' "$@" >"$work/expected"
  if [ "$rc" -eq "$expected_rc" ] && cmp -s "$work/expected" "$work/calls" &&
     report_addresses_in_code "$work/calls.raw"; then
    echo "PASS: $name"
  else
    echo "FAIL: $name (exit code $rc, expected $expected_rc)"
    diff -u --label expected --label actual "$work/expected" "$work/calls"
    failures=$((failures + 1))
  fi
}

# RelayInclude keeps the log to the calls checked here.
import_reg '[HKEY_CURRENT_USER\Software\Wine\Debug]' \
  '"RelayInclude"="CreateFileA;MessageBoxA;RegSetValueExA;WinExec"'
mkdir -p "$drive_c/kardum-e2e"
printf 'C:\\sonidos\\a.wav\r\nC:\\sonidos\\b.wav\r\n' >"$drive_c/kardum-e2e/sonidos.txt"
open_list='KERNEL32.CreateFileA("C:\\kardum-e2e\\sonidos.txt",80000000,00000001,00000000,00000003,00000080,00000000)'

import_reg "${no_kardum_state[@]}" '[HKEY_CURRENT_USER\Software\Trelis\Kardum]' \
  '"Datos"="C:\\kardum-e2e\\no-existe.txt"' '"Posicion"="1"'
check_case "missing list file" 1 \
  'KERNEL32.CreateFileA("C:\\kardum-e2e\\no-existe.txt",80000000,00000001,00000000,00000003,00000080,00000000)' \
  'user32.MessageBoxA(00000000,"Exception EInOutError in module kardum2.exe at XXXXXXXX.\nFile not found.","Application Error",00002010)'

import_reg "${no_kardum_state[@]}" '[HKEY_CURRENT_USER\Software\Trelis\Kardum]' \
  '"Datos"="C:\\kardum-e2e\\sonidos.txt"' '"Posicion"="2 "'
check_case "refused position" 1 \
  "$open_list" \
  "user32.MessageBoxA(00000000,\"Exception EConvertError in module kardum2.exe at XXXXXXXX.\\n'2 ' is not a valid integer value.\",\"Application Error\",00002010)"

# Both values are stored with their text + 2 bytes: "C:\sonidos\b.wav" is 16.
import_reg "${no_kardum_state[@]}" '[HKEY_CURRENT_USER\Software\Trelis\Kardum]' \
  '"Datos"="C:\\kardum-e2e\\sonidos.txt"' '"Posicion"="2"'
check_case "rotation step" 0 \
  "$open_list" \
  'KERNEL32.RegSetValueExA(-,"",00000000,00000001,-,00000012)' \
  'KERNEL32.RegSetValueExA(-,"Posicion",00000000,00000001,-,00000003)'

# The notice names the file, leaves an empty line (two CRs, no LF) and tells the
# user what to write; the instruction line is Windows-1252, its í as 0xED.
import_reg "${no_kardum_state[@]}"
rm -f "$drive_c/windows/kardum.dat"
check_case "first run" 0 \
  'KERNEL32.CreateFileA("C:\\windows\\kardum.dat",40000000,00000001,00000000,00000004,00000080,00000000)' \
  'user32.MessageBoxA(00000000,"Creado el archivo C:\\windows\\kardum.dat\r\rEscriba en este archivo la ruta completa de cada archivo de sonido que quiera usar, una ruta por l\xednea.","Kardum",00000040)' \
  'KERNEL32.RegSetValueExA(-,"Datos",00000000,00000001,-,00000017)' \
  'KERNEL32.RegSetValueExA(-,"Posicion",00000000,00000001,-,00000003)' \
  'KERNEL32.WinExec("notepad.exe C:\\windows\\kardum.dat",00000001)'

if [ "$failures" -eq 0 ]; then
  echo "PASS: all relay cases"
else
  echo "FAIL: $failures relay case(s)"
  exit 1
fi
