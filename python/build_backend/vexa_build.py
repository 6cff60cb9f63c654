"""The package's build backend: a wheel of pure Python is a zip file with three metadata files,
so the package builds with nothing but the standard library, in any new virtual environment
(which may hold pip alone, without setuptools or wheel)."""

import base64
import hashlib
import io
import os
import pathlib
import re
import tarfile
import zipfile

ROOT = pathlib.Path(__file__).resolve().parents[1]
PACKAGE = "vexa"


def _project():
    """name, version, description and requires-python of pyproject.toml's [project] table."""
    text = (ROOT / "pyproject.toml").read_text(encoding="utf-8")
    table = re.search(r"^\[project\]\n(.*?)(?=^\[|\Z)", text, re.S | re.M).group(1)
    fields = dict(re.findall(r'^([\w-]+)\s*=\s*"([^"]*)"', table, re.M))
    return fields["name"], fields["version"], fields.get("description", ""), fields.get("requires-python", "")


def _metadata():
    name, version, summary, python = _project()
    readme = (ROOT / "README.md").read_text(encoding="utf-8")
    return (f"Metadata-Version: 2.1\nName: {name}\nVersion: {version}\nSummary: {summary}\n"
            f"Requires-Python: {python}\nDescription-Content-Type: text/markdown\n\n{readme}")


def _sources():
    """The package's files, relative to the project, in a stable order."""
    for path in sorted((ROOT / PACKAGE).rglob("*.py")):
        if "__pycache__" not in path.parts and path.name != "_install_paths.py":
            yield path.relative_to(ROOT).as_posix(), path.read_bytes()


def _digest(data):
    return "sha256=" + base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    name, version, _, _ = _project()
    dist_info = f"{name}-{version}.dist-info"
    files = list(_sources()) + [
        (f"{dist_info}/METADATA", _metadata().encode()),
        (f"{dist_info}/WHEEL",
         b"Wheel-Version: 1.0\nGenerator: vexa_build\nRoot-Is-Purelib: true\nTag: py3-none-any\n"),
    ]
    record = "".join(f"{path},{_digest(data)},{len(data)}\n" for path, data in files) + f"{dist_info}/RECORD,,\n"
    files.append((f"{dist_info}/RECORD", record.encode()))
    filename = f"{name}-{version}-py3-none-any.whl"
    with zipfile.ZipFile(os.path.join(wheel_directory, filename), "w", zipfile.ZIP_DEFLATED) as wheel:
        for path, data in files:
            wheel.writestr(zipfile.ZipInfo(path, date_time=(2026, 1, 1, 0, 0, 0)), data)
    return filename


def build_sdist(sdist_directory, config_settings=None):
    name, version, _, _ = _project()
    base = f"{name}-{version}"
    files = list(_sources()) + [(path, (ROOT / path).read_bytes())
                                for path in ("pyproject.toml", "README.md", "build_backend/vexa_build.py")]
    files.append(("PKG-INFO", _metadata().encode()))
    filename = f"{base}.tar.gz"
    with tarfile.open(os.path.join(sdist_directory, filename), "w:gz", format=tarfile.PAX_FORMAT) as sdist:
        for path, data in files:
            info = tarfile.TarInfo(f"{base}/{path}")
            info.size, info.mode, info.mtime = len(data), 0o644, 1767225600
            sdist.addfile(info, io.BytesIO(data))
    return filename
