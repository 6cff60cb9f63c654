"""Fixtures of the package's tests: the module under test (VEXA_MODULE) and a real vexa-sandbox
(VEXA_SANDBOX_PROGRAM) with an account, over HTTPS and the legacy protocol."""

import gc
import os
import pathlib
import sys
import time

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path[:0] = [str(ROOT / "python"), str(ROOT / "tests" / "support")]  # the package from the source tree

import vexa  # noqa: E402
from sandbox_process import SandboxProcess  # noqa: E402

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


@pytest.fixture(scope="session")
def sandbox():
    """A vexa-sandbox on loopback, its endpoints file as a dict (http, https, certificate, legacy)."""
    os.environ["NO_PROXY"] = os.environ["no_proxy"] = "127.0.0.1,localhost"
    process = SandboxProcess(_required("VEXA_SANDBOX_PROGRAM"), [
        "--account", f"{USER}:{PASSWORD}:{CREDIT}", "--account", "demo:demo-password",  # the README's
        "--delivery-delay", "0", "--legacy-port", "0"])
    yield process.endpoints
    process.stop()


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
