"""Fixtures of the package's tests: the module under test (VEXA_MODULE) and a real vexa-sandbox
(VEXA_SANDBOX_PROGRAM) with an account, over HTTPS and the legacy protocol."""

import gc
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import pytest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))  # the package from the source tree

import vexa  # noqa: E402

USER, PASSWORD, CREDIT = "pyhost", "py host password", 500
PICTURES = pathlib.Path(__file__).parent / "pictures"


def _required(variable):
    value = os.environ.get(variable)
    if not value:
        pytest.exit(f"{variable} must name the program or module under test", returncode=2)
    return value


@pytest.fixture(scope="session", autouse=True)
def module():
    """The module under test; the local time zone is fixed so that dates read the same anywhere."""
    os.environ.setdefault("TZ", "Asia/Seoul")
    time.tzset()
    for name in ("VEXA_ENDPOINT", "VEXA_CACERT"):  # the tests point their objects themselves
        os.environ.pop(name, None)
    return vexa.load_module(_required("VEXA_MODULE"))


def _stop_with_parent():
    import ctypes  # noqa: PLC0415
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


@pytest.fixture(scope="session")
def sandbox():
    """A vexa-sandbox on loopback, its endpoints file as a dict (http, https, certificate, legacy)."""
    os.environ["NO_PROXY"] = os.environ["no_proxy"] = "127.0.0.1,localhost"
    directory = tempfile.mkdtemp(prefix="vexa-python-sandbox-")
    data, log_path = os.path.join(directory, "data"), os.path.join(directory, "sandbox.log")
    endpoints = os.path.join(data, "endpoints")
    with open(log_path, "wb") as log:
        process = subprocess.Popen(
            [_required("VEXA_SANDBOX_PROGRAM"), "--data-dir", data, "--account", f"{USER}:{PASSWORD}:{CREDIT}",
             "--account", "demo:demo-password",  # the README's
             "--delivery-delay", "0", "--legacy-port", "0"],
            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT, preexec_fn=_stop_with_parent)

    def log_text():
        return pathlib.Path(log_path).read_text(errors="replace")

    try:
        deadline = time.monotonic() + 60
        while not os.path.exists(endpoints):
            if process.poll() is not None or time.monotonic() > deadline:
                pytest.fail("vexa-sandbox did not start:\n" + log_text())
            time.sleep(0.05)
        with open(endpoints, encoding="utf-8") as file:
            found = dict(line.rstrip("\n").split("=", 1) for line in file if "=" in line)
        yield found
    finally:
        process.send_signal(signal.SIGINT)
        try:
            status = process.wait(timeout=60)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            status = "a kill"
        shutil.rmtree(directory, ignore_errors=True)
    assert status == 0, f"vexa-sandbox stopped with {status}"


@pytest.fixture
def message(module, sandbox):
    """A Message object pointed at the sandbox over HTTPS, with the account's login set."""
    m = vexa.Dispatch("VexaComponent.Message")
    vexa.set_endpoint(m, sandbox["https"], cafile=sandbox["certificate"])
    m.SetAccountInfo(USER, PASSWORD)
    yield m
    m.ArrayBase = 0


def released(module):
    """True when every object of the module has been released."""
    gc.collect()
    return module.can_unload()
