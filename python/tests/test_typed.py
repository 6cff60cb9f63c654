"""The generated typed classes: current with the IDL, and every member's dispid the one the live
object answers for its name, for an object of every class."""

import datetime
import pathlib
import subprocess
import sys

import vexa
from conftest import PASSWORD, USER
from vexa import typed
from vexa._typed_members import prop

ROOT = pathlib.Path(__file__).resolve().parents[2]


def test_the_typed_module_is_generated_from_the_current_idl():
    generated = subprocess.run([sys.executable, str(ROOT / "scripts" / "generate-python-typed")], check=True,
                               capture_output=True, text=True).stdout
    assert generated == (ROOT / "python" / "vexa" / "typed.py").read_text(encoding="utf-8"), \
        "run scripts/generate-python-typed > python/vexa/typed.py"


def members_of(cls):
    """(name, dispid) of each member a typed class calls by dispid."""
    for name, value in vars(cls).items():
        if isinstance(value, prop):
            yield name, value.dispid
        elif callable(value) and not name.startswith("_") and name != "AddJPEGImageStream":
            code = value.__code__
            yield name, next(c for c in code.co_consts if isinstance(c, int) and not isinstance(c, bool))


def test_objects_of_every_class_come_out_typed_with_the_dispids_they_answer(module, sandbox):
    m = typed.Message()
    vexa.set_endpoint(m, sandbox["https"], cafile=sandbox["certificate"])
    m.SetAccountInfo(USER, PASSWORD)
    later = datetime.datetime.now().replace(microsecond=0) + datetime.timedelta(days=1)
    receivers = m.CreateReceivers()
    receivers.AddDirect("010-7000-0001", "typed", vexa.VEXA_RESERVATION, later)
    sent = m.Send("02-1234-5678", receivers, None)
    year, month = int(sent.Date[:4]), int(sent.Date[4:6])
    logs = m.RequestLog(year, month, vexa.VEXA_BYALL, vexa.VEXA_MESSAGE_TYPE_ALL)
    entry = next(e for e in logs if e.Index == sent.Index)
    mine = m.CreateLogLists()
    mine.Add(entry)
    host, port = sandbox["legacy"].rsplit(":", 1)
    sms = typed.SMS()
    legacy_login = sms.Login(host, int(port), USER, PASSWORD)
    objects = [m, sms, receivers, receivers[0], m.CreateContents(), sent, sent[0], logs, entry,
               m.RequestLogDetailByList(entry), m.RequestLogDetailByList(entry)[0],
               sms.RequestLogDetailByLists(mine),  # deprecated on Message
               m.CancelReservationByList(entry), m.CancelReservationByLists(mine), m.DeleteLogByList(entry),
               m.DeleteLogByLists(mine), m.LoginInfo, legacy_login]
    assert {type(o).__name__ for o in objects} == set(vexa.Dispatch._typed_classes)
    for obj in objects:
        for name, dispid in members_of(type(obj)):
            assert obj._info.dispid(obj._ptr, name) == dispid, f"{type(obj).__name__}.{name}"
    assert isinstance(m.LoginInfo.ServerTime, datetime.datetime) and sent[0].Phone == "010-7000-0001"
