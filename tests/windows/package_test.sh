#!/usr/bin/env bash
# The Windows package as a user unpacks it: exactly the files it should hold, its DLL registered
# from where it was unpacked, and each VBScript sample run by the script host of the package's
# bitness (usage, a refused picture, and the service being out of reach of this machine).
#   package_test.sh x86|x64 PACKAGE.zip
set -uo pipefail
arch=$1
zip=$(realpath "$2")
name=$(basename "$zip" .zip)
if [ "$arch" = x86 ]; then
    loader=(wine) system='C:\windows\syswow64'
else
    loader=(/usr/lib/wine/wine64) system='C:\windows\system32'
fi
scratch=$(mktemp -d /tmp/vexa-package-test.XXXXXX)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true; rm -rf "$scratch"' EXIT

failures=0
check() {  # check NAME OK [DETAIL]
    if [ "$2" -eq 0 ]; then
        echo "PASS $1"
    else
        echo "FAIL $1${3:+: $3}"
        failures=$((failures + 1))
    fi
}
run() { timeout 120 "${loader[@]}" "$@" 2>&1 | tr -d '\r'; }

listed=$(python3 -c 'import sys, zipfile; print("\n".join(sorted(n for n in zipfile.ZipFile(sys.argv[1]).namelist() if not n.endswith("/"))))' "$zip")
expected=$(printf '%s\n' "$name/README.txt" "$name/VexaComponent.tlb" "$name/VexaComponent32.dll" \
    "$name/samples/month_log.vbs" "$name/samples/send_mms.vbs" "$name/samples/send_sms.vbs")
[ "$listed" = "$expected" ]
check "the zip holds the DLL, the type library, the README and the samples" $? "$(echo $listed)"
python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); sys.exit(0 if b"\r\n" in z.read(sys.argv[2]) and b"\n" not in z.read(sys.argv[2]).replace(b"\r\n", b"") else 1)' \
    "$zip" "$name/README.txt"
check "README.txt has Windows line ends" $?

"${loader[@]}" wineboot -i >/dev/null 2>&1
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$WINEPREFIX/drive_c"
folder="C:\\$name"
run "$system\\regsvr32.exe" /s "$folder\\VexaComponent32.dll" >/dev/null
check "regsvr32 registers the unpacked DLL" $?

# sample NAME STATUS PATTERN ARGS...: the sample's exit status and a line of its output.
sample() {
    local script=$1 status=$2 pattern=$3 output code
    shift 3
    output=$(timeout 120 "${loader[@]}" "$system\\cscript.exe" //nologo "$folder\\samples\\$script" "$@" 2>&1 | tr -d '\r')
    code=$?
    [ "$code" -eq "$status" ] && grep -qE -- "$pattern" <<<"$output"
    check "$script $* -> $status" $? "exit status $code, output: $(head -n 3 <<<"$output" | paste -sd '|')"
}
sample send_sms.vbs 2 '^usage: cscript //nologo send_sms.vbs'
sample send_mms.vbs 2 '^usage: cscript //nologo send_mms.vbs'
sample month_log.vbs 2 '^usage: cscript //nologo month_log.vbs'
sample send_mms.vbs 1 '^adding the picture C:\\missing.png failed: 0x8004A00B ' user secret 02-000-0000 010-1234-5678 \
    Subject Text 'C:\missing.png'
# This DLL knows only the real service, which tests cannot reach: each sample reports the failure
# with the component's code and text.
sample send_sms.vbs 1 '^send failed: 0x8004A00[12] .' user secret 02-000-0000 Hello 010-1234-5678
sample month_log.vbs 1 '^log failed: 0x8004A00[12] .' user secret

run "$system\\regsvr32.exe" /u /s "$folder\\VexaComponent32.dll" >/dev/null
check "regsvr32 /u unregisters it" $?
echo "package_test $arch: $failures failed"
[ "$failures" -eq 0 ]
