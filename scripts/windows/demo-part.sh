# The Windows part of the demo, sourced by scripts/demo: the same story told by VBScript under the
# 32-bit script host of Wine, against the sandbox the Linux part uses. A script cannot point a
# Message elsewhere, so the DLL it uses is built with the sandbox's address compiled in
# (build/windows-demo, the windows-x86 preset with VEXA_API_HOST=localhost and the sandbox's HTTPS
# port; the sandbox prefers port $windows_demo_port so that a second run rebuilds nothing).
#   windows_demo_wanted                      0 when the Windows build is there and Wine can run it
#   windows_demo_prepare DATA HTTPS_PORT     builds the DLL and boots a Wine prefix, in the background
#   windows_demo_run DATA USER PASSWORD LEGACY_ADDRESS PICTURE   (trusts the certificate $VEXA_CACERT)
windows_demo_port=47443
windows_demo_build=build/windows-demo

windows_demo_wanted() {
    [ "${DEMO_WINDOWS:-1}" != 0 ] && [ -d build/windows-x86 ] && command -v wine >/dev/null &&
        command -v i686-w64-mingw32-g++-posix >/dev/null
}

# The port the sandbox should ask for: the demo's own when it is free, else any.
windows_demo_https_port() {
    if python3 -c 'import socket, sys; s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1])))' \
        "$windows_demo_port" 2>/dev/null; then
        echo "$windows_demo_port"
    else
        echo 0
    fi
}

windows_demo_prepare() {
    local data=$1 port=$2
    export WINEPREFIX=$data/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    (
        cmake --preset windows-x86 -B "$windows_demo_build" -DVEXA_BUILD_TESTS=OFF -DVEXA_API_HOST=localhost \
            -DVEXA_API_PORT="$port" &&
            cmake --build "$windows_demo_build" --target VexaComponent32 vexa_trust_certificate
    ) >"$data/windows-build.log" 2>&1 &
    windows_demo_build_pid=$!
    wine wineboot -i >"$data/wineboot.log" 2>&1 &
    windows_demo_boot_pid=$!
}

windows_demo_run() {
    local data=$1 user=$2 password=$3 legacy=$4 picture=$5 started
    started=$(date +%s)
    step "Windows: waiting for the demo DLL (build/windows-demo, the sandbox's address compiled in) and a Wine prefix"
    if ! wait "$windows_demo_build_pid"; then
        tail -n 20 "$data/windows-build.log" >&2
        echo "the demo DLL did not build (log above)" >&2
        return 1
    fi
    wait "$windows_demo_boot_pid" || { echo "wineboot failed" >&2; return 1; }
    local dll=$windows_demo_build/VexaComponent32.dll
    windows_path() { printf 'Z:%s' "$(realpath "$1" | sed 's|/|\\|g')"; }
    # The prefix's ANSI code page is 1252, so Korean texts show as "?" here (under a Korean locale
    # Wine 8's script host crashes after echoing a few lines of Hangul).
    cscript() { wine 'C:\windows\syswow64\cscript.exe' //nologo "$@" 2>/dev/null | tr -d '\r'; }
    local samples=packaging/windows/samples demo=scripts/windows/demo.vbs

    step "Windows: registering the 32-bit DLL with regsvr32 and trusting the sandbox's certificate in the prefix"
    wine 'C:\windows\syswow64\regsvr32.exe' /s "$(windows_path "$dll")" || return 1
    wine "$(windows_path "$windows_demo_build/vexa_trust_certificate.exe")" "$(windows_path "$VEXA_CACERT")" || return 1
    echo "VexaComponent.Message and VexaComponent.SMS registered from $dll"

    step "Windows: account status (VBScript, Message over WinINet)"
    cscript "$(windows_path "$demo")" status "$user" "$password"
    step "Windows: an SMS to two receivers (samples\\send_sms.vbs)"
    cscript "$(windows_path "$samples/send_sms.vbs")" "$user" "$password" 02-000-0000 \
        "Hello from VBScript on Windows" 010-1234-5678 010-5555-0000
    step "Windows: an LMS with a subject"
    cscript "$(windows_path "$demo")" lms "$user" "$password"
    step "Windows: an MMS with the picture (samples\\send_mms.vbs, the PNG converted to JPEG by GDI+)"
    cscript "$(windows_path "$samples/send_mms.vbs")" "$user" "$password" 02-000-0000 010-4444-5555 \
        "A picture" "Taken at the weekend" "$(windows_path "$picture")"
    step "Windows: a reservation one hour ahead, then cancelled"
    cscript "$(windows_path "$demo")" reserve-and-cancel "$user" "$password"
    step "Windows: this month's log and the latest transfer's receivers (samples\\month_log.vbs)"
    cscript "$(windows_path "$samples/month_log.vbs")" "$user" "$password"
    step "Windows: the legacy TCP service at $legacy through the SMS object (Windows Sockets)"
    cscript "$(windows_path "$demo")" legacy "$user" "$password" "${legacy%:*}" "${legacy##*:}"

    wine 'C:\windows\syswow64\regsvr32.exe' /u /s "$(windows_path "$dll")"
    wineserver -k 2>/dev/null || true
    echo "Windows part: $(($(date +%s) - started)) s after the Linux part"
}
