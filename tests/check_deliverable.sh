#!/bin/bash
# Checks a built kardum2.exe from its headers: the format (pei-i386 for the
# 32-bit deliverable), the GUI subsystem (no console window ever opens), the
# resources, and an import table that names only DLLs that ship with Windows.
set -u
exe=$1
objdump=$2
format=$3
dump=$("$objdump" -p "$exe") || { echo "FAIL: cannot read $exe"; exit 1; }
status=0
fail() { echo "FAIL: $*"; status=1; }

grep -q "file format $format" <<<"$dump" || fail "not $format"
if [ "$format" = pei-i386 ]; then
  grep -qE '^Magic[[:space:]]+010b' <<<"$dump" || fail "not a PE32 (32-bit) image"
fi
grep -qE '^Subsystem[[:space:]]+00000002' <<<"$dump" || fail "not the GUI subsystem"

# Resources: the icon (RT_ICON 3, RT_GROUP_ICON 14 named MAINICON), the
# version (16) and the manifest (24), which must not ask for elevation.
resources=$(sed -n '/The .rsrc Resource Directory section/,$p' <<<"$dump")
for type in 0x000003 0x00000e 0x000010 0x000018; do
  grep -q "Entry: ID: $type," <<<"$resources" || fail "no resource of type $type"
done
grep -qE 'Entry: name: .*: MAINICON,' <<<"$resources" || fail "no icon group named MAINICON"
grep -q 'level="asInvoker"' "$exe" || fail "the manifest does not run as invoker"

allowed='^(kernel32|advapi32|user32|msvcrt)\.dll$'
dlls=$(sed -nE 's/^[[:space:]]*DLL Name: (.*)$/\1/p' <<<"$dump")
[ -n "$dlls" ] || fail "no import table"
while read -r dll; do
  [ -z "$dll" ] && continue
  grep -qiE "$allowed" <<<"$dll" || fail "imports $dll"
done <<<"$dlls"

echo "imports: $(tr '\n' ' ' <<<"$dlls")"
[ $status -eq 0 ] && echo "PASS: $exe"
exit $status
