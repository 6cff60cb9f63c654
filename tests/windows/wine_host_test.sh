#!/usr/bin/env bash
# The Windows module under Wine as hosts meet it, in a fresh prefix that is removed afterwards:
# registration and its registry keys, VBScript and JScript, a C++ host (built here with mingw-w64
# against the header the type library generates) locally and against a vexa-sandbox over HTTPS,
# then unregistration. Prints a line per check; the exit status is 0 only when every check passed.
#   wine_host_test.sh x86|x64 VexaComponent32.dll vexa-sandbox trust_certificate.exe
set -uo pipefail

if [ $# -ne 4 ] || { [ "$1" != x86 ] && [ "$1" != x64 ]; }; then
    echo "usage: $0 x86|x64 VexaComponent32.dll vexa-sandbox trust_certificate.exe" >&2
    exit 2
fi
arch=$1
dll=$(realpath "$2")
sandbox=$(realpath "$3")
trust_certificate=$(realpath "$4")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

# Wine's 32-bit loader runs the 32-bit system programs from syswow64; the 64-bit loader is not on
# PATH. Each view of the registry is seen only by programs of its own architecture.
if [ "$arch" = x86 ]; then
    loader=(wine) system='C:\windows\syswow64' triple=i686-w64-mingw32 typelib_platform=win32
    wine_libs=/usr/lib/i386-linux-gnu/wine/i386-windows
else
    loader=(/usr/lib/wine/wine64) system='C:\windows\system32' triple=x86_64-w64-mingw32 typelib_platform=win64
    wine_libs=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
fi
give_up() {
    echo "wine_host_test: $*" >&2
    exit 2
}
for tool in "${loader[0]}" wineserver "$triple-g++-posix" "$triple-widl"; do
    command -v "$tool" >/dev/null || give_up "$tool is missing (scripts/install-deps)"
done

scratch=$(mktemp -d /tmp/vexa-wine-test.XXXXXX)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
sandbox_pids=()
cleanup() {
    local pid
    for pid in "${sandbox_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    wineserver -k 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

failures=0
check() {  # check NAME OK [DETAIL]: OK is a command's status, 0 for a pass
    if [ "$2" -eq 0 ]; then
        echo "PASS $1"
    else
        echo "FAIL $1${3:+: $3}"
        failures=$((failures + 1))
    fi
}
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
run() { timeout 180 "${loader[@]}" "$@"; }

# run_checks LABEL PROGRAM ARGS...: a program that prints PASS/FAIL lines and DONE last; it passes
# when it printed DONE, no FAIL and exited 0 (Wine's script host exits 0 silently on an uncaught
# error, so DONE is what tells that a script ran to its end).
run_checks() {
    local label=$1 output status=0
    shift
    output=$(run "$@" 2>&1 | tr -d '\r') || status=$?
    sed "s/^/$label: /" <<<"$output"
    if [ "$(tail -n 1 <<<"$output")" != DONE ]; then
        check "$label ran to its end" 1 "no DONE line (exit status $status)"
    elif grep -q '^FAIL' <<<"$output" || [ "$status" -ne 0 ]; then
        check "$label" 1 "$(grep -c '^FAIL' <<<"$output") failed checks, exit status $status"
    else
        check "$label" 0
    fi
}

# -- The prefix starts while the host programs compile ---------------------------------------
started=$(date +%s)
mkdir -p "$WINEPREFIX"
wineserver -p
run wineboot -i >/dev/null 2>&1 &
boot_pid=$!

build=$scratch/build
mkdir -p "$build"
"$triple-widl" -h -I /usr/include/wine/wine/windows -L "$wine_libs" -o "$build/VexaComponent_h.h" \
    "$root/idl/VexaComponent.idl" || give_up "widl cannot make the header of idl/VexaComponent.idl"
cxx=("$triple-g++-posix" -std=c++20 -Wall -Wextra -Werror -O1 -municode -I"$build")
# Two compilers at a time, as the machine has two cores; each object lands in $build.
(cd "$build" && printf '%s\n' "$here"/client/*.cpp | xargs -P 2 -n 1 "${cxx[@]}" -c) ||
    give_up "the host programs do not compile"
client_objects=()
for source in "$here"/client/*.cpp; do client_objects+=("$build/$(basename "$source" .cpp).o"); done
"${cxx[@]}" -static "${client_objects[@]}" -o "$build/host_client.exe" -lole32 -loleaut32 -luuid -lgdiplus -lwininet \
    -lcrypt32 || give_up "the host program does not link"
wait "$boot_pid" || give_up "wineboot -i failed"

# -- Registration ----------------------------------------------------------------------------
mkdir -p "$WINEPREFIX/drive_c/vexa"
cp "$dll" "$WINEPREFIX/drive_c/vexa/VexaComponent32.dll"
module='C:\vexa\VexaComponent32.dll'
libid='{FF78F57D-91B0-4097-82A9-8FAAD218842F}'
message_clsid='{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}'
sms_clsid='{5009B528-A40B-4158-A5C3-20633C473278}'
imessage_iid='{2F5CD1F5-13D5-4BF6-AAC8-A2D563FF0512}'
keys=(VexaComponent.Message.1 VexaComponent.Message VexaComponent.SMS.1 VexaComponent.SMS
      "CLSID\\$message_clsid" "CLSID\\$sms_clsid" "TypeLib\\$libid\\4.2" "Interface\\$imessage_iid"
      "AppID\\$libid" 'AppID\VexaComponent32.DLL')

# Every value under the module's keys, one "key\name=data" line each (key paths in lower case, as
# the registry compares them); a key that is missing shows as "key missing".
snapshot() {
    local key
    for key in "${keys[@]}"; do
        run "$system\\reg.exe" query "HKCR\\$key" /s 2>/dev/null | tr -d '\r' | key=$key awk '
            /^HKEY_/ { path = tolower($0); found = 1; print path "\\"; next }
            /^    / { sub(/^    /, ""); n = split($0, f, /    /); data = n >= 3 ? f[3] : "";
                      print path "\\" f[1] "=" data }
            END { if (!found) print "hkey_classes_root\\" tolower(ENVIRON["key"]) " missing" }'
    done
}
# value KEY NAME EXPECTED: Windows reads these names and values without regard to letter case.
value() {
    local line="hkey_classes_root\\${1,,}\\$2=" got
    got=$(grep -iF -- "$line" <<<"$registered" | head -n 1)
    got=${got#*=}
    [ "${got,,}" = "${3,,}" ]
    check "HKCR\\$1 $2 = $3" $? "got '${got}'"
}

run "$system\\regsvr32.exe" /s "$module"
check "regsvr32 registers the module" $?
registered=$(snapshot)
for class in "Message $message_clsid" "SMS $sms_clsid"; do
    read -r name clsid <<<"$class"
    value "VexaComponent.$name.1" '(Default)' "$name Object"
    value "VexaComponent.$name.1\\CLSID" '(Default)' "$clsid"
    value "VexaComponent.$name" '(Default)' "$name Object"
    value "VexaComponent.$name\\CurVer" '(Default)' "VexaComponent.$name.1"
    value "CLSID\\$clsid" '(Default)' "$name Object"
    value "CLSID\\$clsid" AppID "$libid"
    value "CLSID\\$clsid\\ProgID" '(Default)' "VexaComponent.$name.1"
    value "CLSID\\$clsid\\VersionIndependentProgID" '(Default)' "VexaComponent.$name"
    value "CLSID\\$clsid\\InprocServer32" '(Default)' "$module"
    value "CLSID\\$clsid\\InprocServer32" ThreadingModel apartment
    value "CLSID\\$clsid\\TypeLib" '(Default)' "$libid"
    grep -qixF "hkey_classes_root\\clsid\\$clsid\\programmable\\" <<<"$registered"
    check "HKCR\\CLSID\\$clsid\\Programmable exists" $?
done
# The type library's record under whichever locale the library names.
typelib=$(while IFS= read -r line; do
    [[ ${line,,} == "hkey_classes_root\\typelib\\${libid,,}\\4.2\\"*"\\$typelib_platform\\(default)="* ]] &&
        echo "${line#*=}"
done <<<"$registered")
[ "${typelib,,}" = "${module,,}" ]
check "HKCR\\TypeLib\\$libid\\4.2\\<locale>\\$typelib_platform = $module" $? "got '$typelib'"
# Its dual interfaces are marshaled by the type library (the system's automation marshaler).
value "Interface\\$imessage_iid\\ProxyStubClsid32" '(Default)' '{00020424-0000-0000-C000-000000000046}'
value "Interface\\$imessage_iid\\TypeLib" '(Default)' "$libid"
value "AppID\\$libid" '(Default)' VexaComponent
value 'AppID\VexaComponent32.DLL' AppID "$libid"

run "$system\\regsvr32.exe" /s "$module"
check "regsvr32 registers the module a second time" $?
again=$(snapshot)
# Under load, Wine's reg.exe has once answered nothing for a key that was there (seen in CI, not
# again in reruns): a difference is read a second time, and only one that persists counts.
if ! diff <(echo "$registered") <(echo "$again") >/dev/null; then
    sleep 1
    again=$(snapshot)
fi
diff <(echo "$registered") <(echo "$again") >/dev/null
check "a second registration changes nothing" $? "$(diff <(echo "$registered") <(echo "$again") | head -n 5 | tr '\n' ' ')"

# -- Hosts -------------------------------------------------------------------------------------
for script in "$here"/scripts/*.vbs "$here"/scripts/*.js; do
    run_checks "$(basename "$script")" "$system\\cscript.exe" //nologo "$(windows_path "$script")"
done
run_checks "host_client local" "$build/host_client.exe" local "$module"

# start_sandbox NAME ARGS...: a sandbox on its own data directory $scratch/NAME, logging to
# $scratch/NAME.log; its endpoints file is $scratch/NAME/endpoints once it listens.
start_sandbox() {
    local name=$1
    shift
    "$sandbox" --data-dir "$scratch/$name" --delivery-delay 0 --legacy-port 0 "$@" >"$scratch/$name.log" 2>&1 &
    sandbox_pids+=($!)
    "$sandbox" --data-dir "$scratch/$name" --print-env --wait 20 >/dev/null ||
        { check "vexa-sandbox $name starts" 1 "$(tail -n 5 "$scratch/$name.log" | tr '\n' ' ')"; return 1; }
}
legacy_port() { sed -n 's/^legacy=.*://p' "$scratch/$1/endpoints"; }

account=kim:secret:50 legacy_account=lee:secret:40 pictures_account=han:secret:50
if start_sandbox sandbox --account "$account" --account "$legacy_account" --account "$pictures_account"; then
    # The certificate names DNS:localhost, the name Wine's WinINet matches.
    url=https://localhost:$(sed -n 's/^https=.*://p' "$scratch/sandbox/endpoints")
    run_checks "host_client trust" "$build/host_client.exe" trust "$url" "$account" \
        "$(windows_path "$scratch/sandbox/cert.pem")"
    run "$trust_certificate" "$(windows_path "$scratch/sandbox/cert.pem")"
    check "the sandbox's certificate is trusted in the prefix" $?
    run_checks "host_client service" "$build/host_client.exe" service "$url" "$account"
    run_checks "host_client pictures" "$build/host_client.exe" pictures "$url" "$pictures_account"
    # The legacy protocol by name, replies plain (and compressed when long).
    run_checks "host_client legacy" "$build/host_client.exe" legacy "localhost:$(legacy_port sandbox)" "$legacy_account"
fi
# Replies in the byte-substituted form, by address; the script hosts' flows on the same sandbox.
if start_sandbox substituting --legacy-substitute --account "$legacy_account" --account park:secret:40 \
    --account choi:secret:40; then
    run_checks "host_client legacy, substituted replies" "$build/host_client.exe" legacy \
        "127.0.0.1:$(legacy_port substituting)" "$legacy_account"
    for run_as in "sms.vbs park" "sms.js choi"; do
        read -r script user <<<"$run_as"
        run_checks "legacy $script" "$system\\cscript.exe" //nologo "$(windows_path "$here/scripts/legacy/$script")" \
            127.0.0.1 "$(legacy_port substituting)" "$user" secret
    done
fi
# The client's description in each login, as the sandbox logged it: the host program's name, and
# the computer and user that Windows reports.
names=$(run cmd /c 'echo %COMPUTERNAME%:%USERNAME%' 2>/dev/null | tr -d '\r')
for login in "lee host_client.exe sandbox" "park cscript.exe substituting"; do
    read -r user program name <<<"$login"
    line=$(grep -m 1 "^legacy .* $user USER.*login=succeed" "$scratch/$name.log")
    described=$(grep -o 'computername="[^"]*"\|username="[^"]*"\|modulename="[^"]*"' <<<"$line" | paste -sd ' ')
    expected="computername=\"${names%%:*}\" username=\"${names#*:}\" modulename=\"$program\""
    [ "${described,,}" = "${expected,,}" ]
    check "the login of $program describes the client ($described)" $? "logged '$described', expected '$expected'"
done

# -- Unregistration ----------------------------------------------------------------------------
run "$system\\regsvr32.exe" /u /s "$module"
check "regsvr32 /u unregisters the module" $?
removed=$(snapshot)
for key in "${keys[@]}"; do
    grep -qxiF "hkey_classes_root\\$key missing" <<<"$removed"
    check "HKCR\\$key is removed" $?
done
for script in "$here"/scripts/unregistered/*.vbs; do
    run_checks "$(basename "$script")" "$system\\cscript.exe" //nologo "$(windows_path "$script")"
done

echo "wine_host_test $arch: $failures failed, $(($(date +%s) - started)) s"
[ "$failures" -eq 0 ]
