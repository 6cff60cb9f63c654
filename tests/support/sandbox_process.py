"""vexa-sandbox in a process of its own, for tests in Python: started in a fresh data directory,
its endpoints file read, and stopped as a user stops it (SIGINT), which must end it with status 0
and remove its endpoints file."""

import ctypes
import os
import shutil
import signal
import subprocess
import tempfile
import time


def _stop_with_parent():
    """Asks the kernel to stop the child when the test process ends, cleanups run or not."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


class SandboxProcess:
    """`endpoints` holds the lines of the endpoints file ("http", "https", "certificate", "legacy", ...)."""

    def __init__(self, executable, arguments):
        self.directory = tempfile.mkdtemp(prefix="vexa-test-sandbox-")
        data = os.path.join(self.directory, "data")
        self.log_path = os.path.join(self.directory, "sandbox.log")
        self.endpoints_path = os.path.join(data, "endpoints")
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen([executable, "--data-dir", data] + list(arguments),
                                            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                            preexec_fn=_stop_with_parent)
        try:
            deadline = time.monotonic() + 60
            while not os.path.exists(self.endpoints_path):
                if self.process.poll() is not None or time.monotonic() > deadline:
                    raise RuntimeError("vexa-sandbox did not start:\n" + self.log())
                time.sleep(0.05)
            with open(self.endpoints_path, encoding="utf-8") as file:
                self.endpoints = dict(line.rstrip("\n").split("=", 1) for line in file if "=" in line)
        except BaseException:
            self.process.kill()
            self.process.wait()
            shutil.rmtree(self.directory, ignore_errors=True)
            raise

    def log(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as log:
            return log.read()

    def stop(self):
        try:
            self.process.send_signal(signal.SIGINT)
            try:
                status = self.process.wait(timeout=60)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
                raise RuntimeError("vexa-sandbox did not stop:\n" + self.log()) from None
            if status != 0 or os.path.exists(self.endpoints_path):
                raise RuntimeError(f"vexa-sandbox stopped with {status}:\n" + self.log())
        finally:
            shutil.rmtree(self.directory, ignore_errors=True)
