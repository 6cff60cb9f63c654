#!/usr/bin/env bash
# The type library's IDL is what scripts/generate-idl makes of the header and the dispatch tables
# (so the contract is stated once), and widl compiles it for both architectures.
#   type_library_test.sh DISPATCH_DUMP
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$root/scripts/generate-idl" "$1" > "$scratch/VexaComponent.idl"
if ! diff -u "$root/idl/VexaComponent.idl" "$scratch/VexaComponent.idl"; then
    echo "FAIL: idl/VexaComponent.idl is stale: run scripts/generate-idl $1 > idl/VexaComponent.idl" >&2
    exit 1
fi
# stdole2.tlb, which the library imports, comes with Wine's libraries.
stdole=$(dirname "$(dpkg -L libwine:amd64 | grep -m1 '/stdole2.tlb$')")
for arch in i686 x86_64; do
    "$arch-w64-mingw32-widl" -t -I /usr/include/wine/wine/windows -L "$stdole" \
        -o "$scratch/VexaComponent-$arch.tlb" "$root/idl/VexaComponent.idl"
    [ "$(head -c 4 "$scratch/VexaComponent-$arch.tlb")" = MSFT ] || { echo "FAIL: no $arch type library" >&2; exit 1; }
    echo "$arch: $(stat -c %s "$scratch/VexaComponent-$arch.tlb") bytes"
done
