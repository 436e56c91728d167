#!/bin/bash
# Prepares a private 32-bit Wine in build/wine32 for running the i686
# kardum2.exe and its tests, without touching the system: Debian's wine32 and
# its i386 dependencies are unpacked (never installed) into a sysroot, and the
# kernel, which runs no 32-bit code here, is bridged by qemu-i386 from
# bookworm-backports (Debian 12's own qemu needs about 50 s per process start).
# Quick once done. Afterwards build/wine32/bin holds `wine`, `wineserver` and
# `wineboot` commands for that Wine.
#
# Usage: setup-wine32.sh [folder]   (default: build/wine32)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(realpath -m "${1:-build/wine32}")
sysroot=$root/sysroot
stamp=$root/ready
# Bump to rebuild every existing sysroot after a change below. The scripts it
# writes name their folder, so a moved checkout rebuilds too.
recipe="1 $root"

[ "$(cat "$stamp" 2>/dev/null)" = "$recipe" ] && exit 0

started=$SECONDS
echo "Preparing a 32-bit Wine in $root (once: about 15 s and 900 MB)"
rm -rf "$sysroot" "$root/bin" "$stamp"
mkdir -p "$root/apt" "$sysroot" "$root/bin"

# apt_config DIR ARCH: a private apt configuration with its own state, cache
# and sources, the machine's keys, and an empty list of installed packages, so
# that apt downloads the whole dependency closure for ARCH.
apt_config() {
  local dir=$1 arch=$2
  mkdir -p "$dir"/{state/lists/partial,cache/archives/partial,etc/sources.list.d,etc/apt.conf.d,etc/preferences.d}
  : >"$dir/state/status"
  cat >"$dir/apt.conf" <<EOF
Dir::State "$dir/state";
Dir::State::status "$dir/state/status";
Dir::Cache "$dir/cache";
Dir::Etc "$dir/etc";
Dir::Etc::SourceList "$dir/etc/sources.list";
Dir::Etc::SourceParts "$dir/etc/sources.list.d";
Dir::Etc::Parts "$dir/etc/apt.conf.d";
Dir::Etc::Preferences "$dir/etc/preferences";
Dir::Etc::PreferencesParts "$dir/etc/preferences.d";
Dir::Etc::Trusted "/etc/apt/trusted.gpg";
Dir::Etc::TrustedParts "/etc/apt/trusted.gpg.d";
APT::Architecture "$arch";
APT::Architectures { "$arch"; };
APT::Install-Recommends "false";
APT::Sandbox::User "root";
Acquire::Check-Valid-Until "false";
Acquire::Languages "none";
EOF
  : >"$dir/etc/sources.list"
}

# The i386 packages, from the machine's own Debian sources.
apt32=$root/apt/i386
apt_config "$apt32" i386
[ -f /etc/apt/sources.list ] && cp /etc/apt/sources.list "$apt32/etc/sources.list"
cp /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list "$apt32/etc/sources.list.d/" 2>/dev/null || true
export APT_CONFIG=$apt32/apt.conf
apt-get update -q >"$root/apt/update-i386.log" 2>&1 ||
  { cat "$root/apt/update-i386.log"; exit 1; }
apt-get install --download-only -y -q wine32 libwine >"$root/apt/download-i386.log" 2>&1 ||
  { tail -n 30 "$root/apt/download-i386.log"; exit 1; }
for deb in "$apt32"/cache/archives/*.deb; do
  dpkg-deb -x "$deb" "$sysroot"
done

# qemu-i386 alone, out of bookworm-backports' qemu-user: a static binary.
apt64=$root/apt/backports
apt_config "$apt64" amd64
cat >"$apt64/etc/sources.list.d/backports.sources" <<EOF
Types: deb
URIs: ${KARDUM_DEBIAN_MIRROR:-http://deb.debian.org/debian}
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
export APT_CONFIG=$apt64/apt.conf
apt-get update -q >"$root/apt/update-backports.log" 2>&1 ||
  { cat "$root/apt/update-backports.log"; exit 1; }
(cd "$apt64/cache" && apt-get download -q -t bookworm-backports qemu-user >"$root/apt/download-qemu.log" 2>&1) ||
  { cat "$root/apt/download-qemu.log"; exit 1; }
unset APT_CONFIG
dpkg-deb --fsys-tarfile "$apt64"/cache/qemu-user_*.deb |
  tar -x -C "$root" --strip-components=3 ./usr/bin/qemu-i386
qemu=$root/qemu-i386

wine_dir=$sysroot/usr/lib/wine
# Wine starts every further process by executing its loader directly, which the
# kernel cannot; the loader and the server become host scripts that run the
# real ones under qemu (-0 keeps argv[0], by which Wine finds its files).
mv "$wine_dir/wine" "$wine_dir/wine.real"
cat >"$wine_dir/wine" <<EOF
#!/bin/sh
exec "$qemu" -L "$sysroot" -0 "$wine_dir/wine" "$wine_dir/wine.real" "\$@"
EOF
server=$(readlink -f "$wine_dir/wineserver32" 2>/dev/null || true)
[ -f "$server" ] || server=$(readlink -f "$wine_dir/wineserver")
mv "$server" "$wine_dir/wineserver32.real"
rm -f "$wine_dir/wineserver" "$wine_dir/wineserver32"
cat >"$wine_dir/wineserver" <<EOF
#!/bin/sh
exec "$qemu" -L "$sysroot" -0 "$wine_dir/wineserver" "$wine_dir/wineserver32.real" "\$@"
EOF
cp "$wine_dir/wineserver" "$wine_dir/wineserver32"
chmod +x "$wine_dir/wine" "$wine_dir/wineserver" "$wine_dir/wineserver32"

# What libwine's maintainer script would have done: Wine's zlib1.dll, made
# from libz-mingw's by marking it a Wine built-in DLL.
zlib_in=$sysroot/usr/i686-w64-mingw32/lib/zlib1.dll
zlib_out=$sysroot/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll
{
  head -c 64 "$zlib_in"
  printf 'Wine builtin DLL'
  head -c 16 /dev/zero
  tail -c +97 "$zlib_in"
} >"$zlib_out"

# The guest must find the sysroot's libraries, never the host's. ldconfig -r
# needs root to enter the sysroot.
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo ldconfig -r "$sysroot"

# qemu hands every hardware fault to Wine with trap number -1, so Wine would
# report an access violation as an illegal instruction; a preloaded shim puts
# back the trap number that the signal implies.
gcc -m32 -O2 -nostdlib -shared -fPIC -fno-stack-protector -o "$sysroot/usr/lib/kardum-trapno.so" \
  tests/wine32/trapno_shim.c
echo /usr/lib/kardum-trapno.so >"$sysroot/etc/ld.so.preload"

# The commands the tests and scripts use, in place of the system's Wine.
for tool in wine wineserver; do
  target=$wine_dir/$tool
  cat >"$root/bin/$tool" <<EOF
#!/bin/sh
export WINELOADERNOEXEC=1 WINEARCH=win32 WINESERVER="$wine_dir/wineserver"
exec "$target" "\$@"
EOF
done
cat >"$root/bin/wineboot" <<EOF
#!/bin/sh
exec "$root/bin/wine" wineboot "\$@"
EOF
chmod +x "$root/bin"/*

# Nothing is installed from the downloaded packages: they can go.
rm -rf "$apt32/cache/archives" "$apt64/cache"
echo "$recipe" >"$stamp"
echo "32-bit Wine ready in $((SECONDS - started)) s, $(du -sh "$root" | cut -f1) in $root"
