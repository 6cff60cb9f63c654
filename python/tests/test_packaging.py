"""What a new user does: pip install the package into a fresh virtual environment, with no package
index, then run the README's first example against a running sandbox."""

import os
import pathlib
import re
import shutil
import subprocess
import sys

PACKAGE = pathlib.Path(__file__).resolve().parents[1]


def readme_example():
    """The README's five lines that send an SMS."""
    text = (PACKAGE / "README.md").read_text(encoding="utf-8")
    example = re.search(r"<!-- five lines -->\s*```python\n(.*?)```", text, re.S).group(1)
    assert len(example.strip().splitlines()) == 5
    return example


def test_pip_install_into_a_fresh_virtual_environment_then_the_readme_sends_an_sms(module, sandbox, tmp_path):
    source = tmp_path / "python"
    shutil.copytree(PACKAGE, source, ignore=shutil.ignore_patterns("tests", "__pycache__", "build", "*.egg-info"))
    venv = tmp_path / "venv"
    subprocess.run([sys.executable, "-m", "venv", str(venv)], check=True, capture_output=True)
    python = venv / "bin" / "python"
    quiet = dict(os.environ, PIP_DISABLE_PIP_VERSION_CHECK="1", PIP_NO_INPUT="1")
    installed = subprocess.run([str(python), "-m", "pip", "install", "--no-index", "--no-build-isolation",
                                str(source)], env=quiet, capture_output=True, text=True)
    assert installed.returncode == 0, installed.stdout + installed.stderr

    environment = dict(os.environ, VEXA_ENDPOINT=sandbox["https"], VEXA_CACERT=sandbox["certificate"])
    environment.pop("PYTHONPATH", None)
    script = "import vexa, sys\nprint(vexa.__file__, file=sys.stderr)\n" + readme_example()
    sent = subprocess.run([str(python), "-c", script], cwd=tmp_path, env=environment, capture_output=True, text=True)
    assert sent.returncode == 0, sent.stderr
    assert sent.stdout.strip() == "1"  # VEXA_SUCCEEDED
    assert sent.stderr.startswith(str(venv))  # the installed package, not the source tree
