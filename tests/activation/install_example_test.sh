#!/usr/bin/env bash
# What a host developer does with an installation: cmake --install into a scratch prefix; build the
# example hosts against it with find_package(VexaComponent) and with pkg-config; register the
# installed module with the installed vexa; activate it by ProgID and by CLSID; send an SMS with
# the example through the installed sandbox; unregister, and see activation fail.
#   install_example_test.sh BUILD_DIR EXAMPLES_DIR CMAKE CXX
set -euo pipefail
build=$1 examples=$2 cmake=$3 cxx=$4

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vexa-install.XXXXXX")
sandbox_pid=
cleanup() {
    if [ -n "$sandbox_pid" ]; then
        kill "$sandbox_pid" 2>/dev/null || true
        wait "$sandbox_pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
# Root registers machine wide, so as root registration runs as nobody (see as_user), who must
# reach the installation.
chmod 755 "$scratch"
prefix=$scratch/prefix
data=$scratch/data
mkdir "$data"
export XDG_DATA_HOME=$data

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
step() { echo "== $*"; }
# Runs a command as an ordinary user whose XDG_DATA_HOME is the scratch one.
as_user() {
    if [ "$(id -u)" -eq 0 ]; then
        chown -R 65534:65534 "$data"
        setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
    else
        "$@"
    fi
}
# expect_output EXPECTED COMMAND...: the command succeeds and prints exactly EXPECTED.
expect_output() {
    local expected=$1 actual
    shift
    actual=$("$@") || fail "$* exited with $?"
    [ "$actual" = "$expected" ] || fail "$*: expected '$expected', got '$actual'"
}
# expect_failure CODE COMMAND...: the command fails and names the code on standard error.
expect_failure() {
    local code=$1 err
    shift
    if err=$("$@" 2>&1 >/dev/null); then fail "$* succeeded"; fi
    case $err in *"$code"*) ;; *) fail "$*: expected $code, got '$err'" ;; esac
}

step "cmake --install $build --prefix $prefix"
"$cmake" --install "$build" --prefix "$prefix" >"$scratch/install.log" || { cat "$scratch/install.log"; fail "install"; }
library=$(find "$prefix" -name libvexa-activation.so -print -quit)
[ -n "$library" ] || fail "libvexa-activation.so not installed"
libdir=$(dirname "$library")
module=$libdir/vexa/VexaComponent32.so
for file in bin/vexa bin/vexa-sandbox include/vexa/activation.h include/vexa/automation.h \
    include/vexa/VexaComponent.h include/vexa/com_ptr.h share/bash-completion/completions/vexa \
    share/zsh/site-functions/_vexa share/fish/vendor_completions.d/vexa.fish share/man/man1/vexa.1; do
    [ -f "$prefix/$file" ] || fail "$file not installed"
done
for file in "$module" "$libdir/libvexa-activation.so.1" "$libdir/cmake/VexaComponent/VexaComponentConfig.cmake" \
    "$libdir/cmake/VexaComponent/VexaComponentConfigVersion.cmake" "$libdir/pkgconfig/vexa-component.pc"; do
    [ -f "$file" ] || fail "$file not installed"
done
readelf -d "$library" | grep -q 'SONAME.*\[libvexa-activation\.so\.1\]' || fail "no versioned SONAME"
if readelf -d "$prefix/bin/vexa" | grep -q "$build"; then fail "the installed vexa refers to the build tree"; fi

step "the installed vexa finds the installed module"
expect_output "$module" sh -c "'$prefix/bin/vexa' component --json | sed -n 's/.*\"module\": \"\\(.*\\)\".*/\\1/p'"

step "the example, built with find_package(VexaComponent)"
"$cmake" -S "$examples" -B "$scratch/example" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
    >"$scratch/example.log" || { cat "$scratch/example.log"; fail "configure the example"; }
grep -q "VexaComponent module: $module" "$scratch/example.log" || fail "VexaComponent_MODULE is not $module"
"$cmake" --build "$scratch/example" >>"$scratch/example.log" || { cat "$scratch/example.log"; fail "build the example"; }
example=$scratch/example/message_version

step "the example, built with pkg-config"
export PKG_CONFIG_PATH=$libdir/pkgconfig
flags=$(pkg-config --cflags --libs vexa-component) || fail "pkg-config vexa-component"
echo "pkg-config --cflags --libs vexa-component: $flags"
[ "$(realpath "$(pkg-config --variable=module vexa-component)")" = "$(realpath "$module")" ] ||
    fail "the .pc file's module is not $module"
# shellcheck disable=SC2086 # the flags are words
"$cxx" -std=c++17 -Wall -Wextra -Werror "$examples/message_version.cpp" $flags -Wl,-rpath,"$libdir" \
    -o "$scratch/message_version_pc" || fail "build the example with pkg-config's flags"

# A machine-wide registration of this system would answer where the scratch one has nothing.
machine_registered=no
grep -qi 'VexaComponent.Message' /etc/vexa/registry.reg 2>/dev/null && machine_registered=yes

if [ $machine_registered = no ]; then
    step "not registered: nothing to activate"
    expect_failure 0x800401F3 "$example"
fi

step "vexa register, as a user"
as_user "$prefix/bin/vexa" register
grep -qF "@=\"$module\"" "$data/vexa/registry.reg" || fail "the registry does not name $module"

step "activation by ProgID and by CLSID"
expect_output "VexaComponent.Message 4.2 from $module" "$example"
expect_output "VexaComponent.Message.1 4.2 from $module" "$scratch/message_version_pc" VexaComponent.Message.1
expect_output "{E17CBD66-320E-4BBD-96EF-FA7DAB21974A} 4.2 from $module" "$example" "{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}"
expect_output "registered" sh -c "'$prefix/bin/vexa' component --json | sed -n 's/.*\"found\": \"\\(.*\\)\".*/\\1/p'"

step "the SMS example, through the installed sandbox"
"$prefix/bin/vexa-sandbox" --data-dir "$scratch/sandbox" --account demo:secret:100 2>"$scratch/sandbox.log" &
sandbox_pid=$!
for _ in $(seq 1 100); do
    [ -s "$scratch/sandbox/endpoints" ] && break
    kill -0 "$sandbox_pid" 2>/dev/null || { cat "$scratch/sandbox.log"; fail "the sandbox did not start"; }
    sleep 0.1
done
[ -s "$scratch/sandbox/endpoints" ] || fail "the sandbox wrote no endpoints"
VEXA_ENDPOINT=$(sed -n 's/^https=//p' "$scratch/sandbox/endpoints")
VEXA_CACERT=$(sed -n 's/^certificate=//p' "$scratch/sandbox/endpoints")
export VEXA_ENDPOINT VEXA_CACERT VEXA_USER=demo VEXA_PASSWORD=secret NO_PROXY=127.0.0.1 no_proxy=127.0.0.1
sent=$("$scratch/example/send_sms" 010-1234-5678 "안녕하세요") || fail "send_sms exited with $?"
case $sent in "010-1234-5678: sent (month "*", index 1)") ;; *) fail "send_sms printed '$sent'" ;; esac
"$prefix/bin/vexa" logs --json | grep -q '"안녕하세요"' || fail "the service did not log the text as sent"
if refused=$("$scratch/example/send_sms" no-phone "x"); then fail "a refused receiver exits 0"; fi
[ "$refused" = "no-phone: not sent" ] || fail "send_sms printed '$refused' for a refused receiver"
expect_failure 0x8004A003 env VEXA_PASSWORD=wrong "$scratch/example/send_sms" 010-1234-5678 "x"

step "the installed Python package, through the registry"
package=$(find "$prefix" -path '*-packages/vexa/__init__.py' -print -quit)
[ -n "$package" ] || fail "the Python package was not installed"
pythondir=$(dirname "$(dirname "$package")")
grep -qF "LIBDIR = \"$libdir\"" "$pythondir/vexa/_install_paths.py" || fail "the package does not know $libdir"
installed_python() {
    env -u VEXA_MODULE -u VEXA_ACTIVATION PYTHONPATH="$pythondir" PYTHONDONTWRITEBYTECODE=1 python3 "$@"
}
sent=$(installed_python - <<'PYTHON'
import vexa
m = vexa.Dispatch("VexaComponent.Message")
m.SetAccountInfo("demo", "secret")
r = m.CreateReceiverDirect("010-1234-5678", "파이썬에서", vexa.VEXA_DIRECT, None)
print(m.SendOne("02-1234-5678", r, None).Result, vexa.module_of(m).path)
PYTHON
) || fail "the installed Python package could not send"
[ "$sent" = "1 $(realpath "$module")" ] || fail "the installed Python package printed '$sent'"

step "vexa unregister"
as_user "$prefix/bin/vexa" unregister
if [ $machine_registered = no ]; then
    expect_failure 0x800401F3 "$example"
    expect_failure 0x80040154 "$example" "{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}"
    expect_failure 0x800401F3 installed_python -c 'import vexa; vexa.Dispatch("VexaComponent.Message")'
fi
echo "done"
