#!/usr/bin/env bash
# The mingw-w64 toolchain and the libxml2 built for it, for both architectures: a probe compiles,
# links statically, and imports only system DLLs (no libwinpthread, no libstdc++).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for arch in i686 x86_64; do
    "$root/scripts/build-mingw-libxml2" "$arch"
    deps=$root/build/mingw-deps/$arch
    "$arch-w64-mingw32-g++-posix" -std=c++20 -Wall -Wextra -Werror -DLIBXML_STATIC -I"$deps/include/libxml2" \
        "$root/tests/windows/toolchain_probe.cpp" -o "$scratch/probe-$arch.exe" \
        -static -L"$deps/lib" -lxml2 -lz -lws2_32
    imports=$("$arch-w64-mingw32-objdump" -p "$scratch/probe-$arch.exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
    for dll in $imports; do
        case "$dll" in
            kernel32.dll | msvcrt.dll | ws2_32.dll | advapi32.dll | user32.dll) ;;
            *) echo "FAIL: the $arch probe imports $dll" >&2; exit 1 ;;
        esac
    done
    echo "$arch: imports $(echo $imports)"
done
