#!/usr/bin/env bash
# Wine's 32-bit half for a host where Debian's wine32:i386 cannot run or
# cannot be installed: the same packages, fetched from Debian's archive and
# unpacked into a private folder, never into dpkg's database. Where the
# kernel runs i386 programs the loader runs natively; where it does not, under
# qemu-user emulation (Debian's qemu-user-static, unpacked there too, with no
# binfmt_misc handler).
#   wine32-root.sh         makes the folder once, and its loaders every time
#   wine32-root.sh kernel  succeeds when this kernel runs i386 programs
# The folder is $VISAPREP_WINE32_ROOT, by default in the user's cache; its
# usr/lib/wine holds wine-direct64, for 64-bit prefixes (WoW64), and
# wine-direct, for 32-bit ones. VISAPREP_WINE32_ROUTE=qemu takes the
# emulated route on any host, to try it where the kernel would not need it.
set -euo pipefail
root=${VISAPREP_WINE32_ROOT:-${XDG_CACHE_HOME:-$HOME/.cache}/visaprep/wine32}
lib=$root/usr/lib/wine
# Below this much reserved address space a 32-bit Wine process does not
# start under qemu; 4 GiB costs nearly a minute of start-up in every one.
reserved=0x81000000

# A 32-bit exit(0), assembled here: the kernel is asked, not guessed from.
kernel() {
  local dir
  dir=$(mktemp -d)
  printf '.globl _start\n_start:\n mov $1, %%eax\n xor %%ebx, %%ebx\n int $0x80\n' >"$dir/t.s"
  as --32 "$dir/t.s" -o "$dir/t.o" && ld -m elf_i386 "$dir/t.o" -o "$dir/t" && "$dir/t" 2>/dev/null
  local status=$?
  rm -rf "$dir"
  return $status
}

if [ "${1:-}" = kernel ]; then
  kernel
  exit
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
if [ ! -f "$root/.complete" ]; then
  echo "making Wine's 32-bit half in $root from Debian's wine32:i386 packages"
  rm -rf "$root"
  mkdir -p "$root"
  if ! apt-cache show wine32:i386 >/dev/null 2>&1; then
    $sudo dpkg --add-architecture i386
    $sudo apt-get update -qq || echo "apt-get update failed for some index; going on with the lists it has"
  fi
  debs=$(mktemp -d)
  # The whole closure as apt sees it, without what is only recommended; the
  # virtual names in angle brackets have real packages in the list too.
  apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances wine32:i386 | grep -v '^ ' | grep ':i386$' | sort -u >"$debs/list"
  (cd "$debs" && apt-get download -qq $(cat list) 2>/dev/null)
  for deb in "$debs"/*.deb; do
    dpkg -x "$deb" "$root"
  done
  rm -rf "$debs"
  # What libwine's maintainer script would do: Wine's own build of zlib, a
  # MinGW DLL marked as a Wine builtin. Without it user32 does not load.
  for pair in i686:i386 x86_64:x86_64; do
    in=/usr/${pair%%:*}-w64-mingw32/lib/zlib1.dll
    {
      head -c 64 "$in"
      printf 'Wine builtin DLL'
      head -c 16 /dev/zero
      tail -c +97 "$in"
    } >"$root/usr/lib/i386-linux-gnu/wine/${pair##*:}-windows/zlib1.dll"
  done
  # The 64-bit half stays the system's.
  mkdir -p "$root/usr/lib/x86_64-linux-gnu"
  ln -sfn /usr/lib/x86_64-linux-gnu/wine "$root/usr/lib/x86_64-linux-gnu/wine"
  # Wine finds its libraries and data relative to the running program,
  # which is the dynamic loader when that is started by hand: so the root's
  # loader sits beside Wine's.
  cp -L "$root/lib/ld-linux.so.2" "$lib/ld-linux.so.2"
  touch "$root/.complete"
fi

# A 64-bit Wine starts a 32-bit program with the loader beside itself named
# as itself without "64"; so a copy of the system's wine64 here starts
# wine-direct, which runs the root's 32-bit Wine.
# Each is replaced by a rename, never rewritten: a test's Wine process may be
# running it right now.
if ! cmp -s /usr/lib/wine/wine64 "$lib/wine-direct64"; then
  cp /usr/lib/wine/wine64 "$lib/wine-direct64.new"
  mv -f "$lib/wine-direct64.new" "$lib/wine-direct64"
fi
libraries=$root/lib/i386-linux-gnu:$root/usr/lib/i386-linux-gnu
if [ "${VISAPREP_WINE32_ROUTE:-}" != qemu ] && kernel; then
  run="$lib/ld-linux.so.2 --argv0 \"\$0\" --library-path $libraries"
  echo "native" >"$root/route"
else
  # Unpacked too: installed, its maintainer scripts could register it with
  # binfmt_misc, and every i386 program on the machine would then run by it.
  if [ ! -x "$root/usr/bin/qemu-i386-static" ]; then
    echo "unpacking qemu-user-static into $root"
    debs=$(mktemp -d)
    (cd "$debs" && apt-get download -qq qemu-user-static 2>/dev/null)
    dpkg -x "$debs"/qemu-user-static_*.deb "$root"
    rm -rf "$debs"
  fi
  run="$root/usr/bin/qemu-i386-static -R \"\${QEMU_RESERVED_VA:-$reserved}\" -L $root -0 \"\$0\""
  echo "qemu" >"$root/route"
fi
printf '#!/bin/sh\nexec %s %s "$@"\n' "$run" "$lib/wine" >"$lib/wine-direct.new"
chmod +x "$lib/wine-direct.new"
mv -f "$lib/wine-direct.new" "$lib/wine-direct"
