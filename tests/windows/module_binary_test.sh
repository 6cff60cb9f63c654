#!/usr/bin/env bash
# The Windows module as hosts load it: exactly the four entry points exported, only system DLLs
# imported (no compiler runtime such as libwinpthread or libstdc++), the type library embedded.
#   module_binary_test.sh DLL OBJDUMP
set -euo pipefail
dll=$1
objdump=$2
table=$("$objdump" -p "$dll")
exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" | sed -n 's/^\s*\[\s*[0-9]*\] //p' | sort | tr '\n' ' ')
expected="DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer "
if [ "$exports" != "$expected" ]; then
    echo "FAIL: exports are '$exports', expected '$expected'" >&2
    exit 1
fi
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$table" | tr 'A-Z' 'a-z' | sort -u)
for name in $imports; do
    case "$name" in
        kernel32.dll | msvcrt.dll | advapi32.dll | ole32.dll | oleaut32.dll | wininet.dll | ws2_32.dll | \
            crypt32.dll | gdiplus.dll | gdi32.dll | netapi32.dll | user32.dll) ;;
        *) echo "FAIL: the module imports $name" >&2; exit 1 ;;
    esac
done
# Pictures are decoded and encoded by GDI+ and held by GDI.
for name in gdiplus.dll gdi32.dll; do
    grep -qx "$name" <<<"$imports" || { echo "FAIL: the module does not import $name" >&2; exit 1; }
done
if ! "$objdump" -h "$dll" | grep -q '\.rsrc'; then
    echo "FAIL: the module carries no resources (the type library)" >&2
    exit 1
fi
echo "exports: $exports"
echo "imports: $(echo $imports)"
