"""The package against a real vexa-sandbox: a Message over HTTPS and an SMS over the legacy
protocol, every object reached by name as a script reaches it."""

import datetime
import io

import pytest

import vexa
from conftest import CREDIT, PASSWORD, PICTURES, USER

SENDER = "02-1234-5678"


def receivers(message, *people, mode=vexa.VEXA_DIRECT, when=None):
    collection = message.CreateReceivers()
    for phone, name, text in people:
        receiver = message.CreateReceiver()
        receiver.Phone, receiver.Name, receiver.Message = phone, name, text
        receiver.SendMode = mode
        if when is not None:
            receiver.SendTime = when
        collection.Add(receiver)
    return collection


def contents(message, kind, text="", subject=""):
    c = message.CreateContents()
    c.Type, c.Message, c.Subject = kind, text, subject
    return c


def details(message, sent, kind):
    """The transfer a send result names ("YYYYMM" and an index), read back through RequestLogDetail."""
    return message.RequestLogDetail(int(sent.Date[:4]), int(sent.Date[4:6]), sent.Index, kind)


def test_account_and_status(message):
    message.UpdateLoginInfo()
    info = message.LoginInfo
    assert (info.UserID, info.Logined) == (USER, vexa.VEXA_SUCCEEDED)
    assert 0 < info.FreeCall <= CREDIT
    assert isinstance(info.ServerTime, datetime.datetime)
    assert isinstance(info.UserPhoneNumbers, list)


def test_sms_to_several_receivers_with_names_and_their_own_texts(message):
    people = [("010-1111-0001", "김하나", "하나 씨, 안녕하세요"), ("010-1111-0002", "Bo", "Hello Bo 👋"),
              ("010-1111-0003", "", "")]
    results = message.Send(SENDER, receivers(message, *people), contents(message, vexa.VEXA_MESSAGE_TYPE_SMS, "공통"))
    assert len(results) == 3
    assert [(r.Phone, r.Result) for r in results] == [(p[0], vexa.VEXA_SUCCEEDED) for p in people]
    transfer = details(message, results, vexa.VEXA_MESSAGE_TYPE_SMS)
    assert (transfer.Type, transfer.ReturnPhone) == (vexa.VEXA_MESSAGE_TYPE_SMS, SENDER)
    # A receiver's own text goes to that receiver, one without gets the common text, and what the
    # component's code page (CP949) cannot carry goes as "?".
    assert sorted((d.ReceiverPhone, d.Name, d.Message) for d in transfer) == [
        ("010-1111-0001", "김하나", "하나 씨, 안녕하세요"), ("010-1111-0002", "Bo", "Hello Bo ?"),
        ("010-1111-0003", "", "공통")]


def test_lms_with_a_subject(message):
    text = "긴 메시지입니다. " * 40
    sent = message.SendOne(SENDER, message.CreateReceiverDirect("010-2222-0001", "", vexa.VEXA_DIRECT, None),
                           contents(message, vexa.VEXA_MESSAGE_TYPE_LMS, text, "제목"))
    assert sent.Result == vexa.VEXA_SUCCEEDED and sent.Type == vexa.VEXA_MESSAGE_TYPE_LMS
    transfer = details(message, sent, vexa.VEXA_MESSAGE_TYPE_LMS)
    assert transfer.Type == vexa.VEXA_MESSAGE_TYPE_LMS
    assert transfer[0].Message == text


def test_mms_with_a_picture_from_a_file_and_one_from_a_python_stream(message):
    c = contents(message, vexa.VEXA_MESSAGE_TYPE_MMS, "사진 두 장", "사진")
    c.AddImageFile(str(PICTURES / "solid.png"))
    jpeg = (PICTURES / "colour.jpg").read_bytes()
    with open(PICTURES / "colour.jpg", "rb") as stream:
        assert c.AddJPEGImageStream(stream) == len(jpeg)
    c.AddJPEGImageStream(io.BytesIO(jpeg))
    assert c.ImageCount == 3
    sent = message.SendOne(SENDER, message.CreateReceiverDirect("010-3333-0001", "", vexa.VEXA_DIRECT, None), c)
    assert sent.Result == vexa.VEXA_SUCCEEDED
    urls = details(message, sent, vexa.VEXA_MESSAGE_TYPE_MMS).ImageURLs
    assert isinstance(urls, list) and len(urls) == 3 and all(isinstance(u, str) and u for u in urls)


def test_a_python_stream_that_fails_gives_its_exception_as_the_cause(message):
    class Broken(io.RawIOBase):
        def readable(self):
            return True

        def readinto(self, buffer):
            raise OSError("the disk went away")

    c = contents(message, vexa.VEXA_MESSAGE_TYPE_MMS)
    with pytest.raises(vexa.ComError) as raised:
        c.AddJPEGImageStream(Broken())
    assert isinstance(raised.value.__cause__, OSError)
    assert c.ImageCount == 0


def test_reservation_and_its_cancel(message):
    when = datetime.datetime.now().replace(microsecond=0) + datetime.timedelta(days=2)
    results = message.Send(SENDER, receivers(message, ("010-4444-0001", "", "내일모레"), mode=vexa.VEXA_RESERVATION,
                                             when=when), contents(message, vexa.VEXA_MESSAGE_TYPE_SMS))
    year, month = int(results.Date[:4]), int(results.Date[4:6])
    reserved = message.RequestLog(year, month, vexa.VEXA_BYRESERVATION, vexa.VEXA_MESSAGE_TYPE_SMS)
    entry = next(e for e in reserved if e.Index == results.Index)
    assert (entry.SendMode, entry.SendTime) == (vexa.VEXA_RESERVATION, when)
    cancelled = message.CancelReservationByList(entry)
    assert (cancelled.Result, cancelled.CountTotal) == (vexa.VEXA_SUCCEEDED, 1)
    again = message.CancelReservation(year, month, results.Index, vexa.VEXA_MESSAGE_TYPE_SMS)
    assert again.Result == vexa.VEXA_FAILED


def test_logs_by_month_and_by_day_range_details_and_delete(message):
    sent = message.SendOne(SENDER, message.CreateReceiverDirect("010-5555-0001", "로그", vexa.VEXA_DIRECT, None),
                           None)
    year, month, day = int(sent.Date[:4]), int(sent.Date[4:6]), datetime.date.today().day
    month_log = message.RequestLog(year, month, vexa.VEXA_BYALL, vexa.VEXA_MESSAGE_TYPE_ALL)
    assert sent.Index in [entry.Index for entry in month_log]
    day_log = message.RequestLogBound(year, month, day, day, vexa.VEXA_BYALL, vexa.VEXA_MESSAGE_TYPE_SMS)
    entry = next(e for e in day_log if e.Index == sent.Index)
    assert (entry.ReceiverPhone, entry.Message, entry.CountTotal) == ("010-5555-0001", "로그", 1)
    assert isinstance(entry.WriteTime, datetime.datetime)
    detail = message.RequestLogDetailByList(entry)
    assert detail[0].ReceiverPhone == "010-5555-0001"
    assert detail[0].Result == vexa.VEXA_TRANS_SUCCEEDED

    deleted = message.DeleteLog(year, month, sent.Index, vexa.VEXA_MESSAGE_TYPE_SMS)
    assert deleted.Result == vexa.VEXA_SUCCEEDED
    later = message.RequestLogBound(year, month, day, day, vexa.VEXA_BYALL, vexa.VEXA_MESSAGE_TYPE_SMS)
    assert sent.Index not in [e.Index for e in later]


def test_a_wrong_password_raises_login_fail_with_the_components_text(module, sandbox):
    m = vexa.Dispatch("VexaComponent.Message")
    vexa.set_endpoint(m, sandbox["https"], cafile=sandbox["certificate"])
    m.SetAccountInfo(USER, PASSWORD + "?")
    with pytest.raises(vexa.ComError) as raised:
        m.UpdateLoginInfo()
    error = raised.value
    assert (error.hresult, error.name) == (vexa.errors.VEXA_E_LOGINFAIL, "VEXA_E_LOGINFAIL")
    assert error.text == m.GetErrorMessage(error.hresult) == "로그인에 실패하였습니다."
    assert error.member == "UpdateLoginInfo"
    assert "0x8004A003 VEXA_E_LOGINFAIL" in str(error)


def test_an_endpoint_that_is_not_a_service_address_is_refused(module):
    m = vexa.Dispatch("VexaComponent.Message")
    with pytest.raises(vexa.ComError) as raised:
        vexa.set_endpoint(m, "https://127.0.0.1/path")
    assert raised.value.hresult == vexa.errors.E_INVALIDARG
    with pytest.raises(vexa.ComError) as raised:
        vexa.set_endpoint(vexa.Dispatch("VexaComponent.SMS"), "https://127.0.0.1")
    assert raised.value.hresult == vexa.errors.E_NOINTERFACE


def test_the_legacy_sms_object(module, sandbox):
    host, port = sandbox["legacy"].rsplit(":", 1)
    sms = vexa.Dispatch("VexaComponent.SMS")
    info = sms.Login(host, int(port), USER, PASSWORD)
    assert (info.UserID, info.Logined) == (USER, vexa.VEXA_SUCCEEDED)
    collection = sms.CreateReceivers()
    collection.AddDirect("010-6666-0001", "옛 방식으로", vexa.VEXA_DIRECT, None)
    collection.AddDirect("010-6666-0002", "두 번째", vexa.VEXA_DIRECT, None)
    results = sms.SendSMS(SENDER, collection)
    assert [(r.Phone, r.Result) for r in results] == [("010-6666-0001", vexa.VEXA_SUCCEEDED),
                                                      ("010-6666-0002", vexa.VEXA_SUCCEEDED)]
    year, month = int(results.Date[:4]), int(results.Date[4:6])
    log = sms.RequestLog(year, month, vexa.VEXA_BYALL)
    assert results.Index in [entry.Index for entry in log]
    with pytest.raises(vexa.ComError) as raised:
        sms.Login(host, int(port), USER, "wrong")
    assert raised.value.hresult == vexa.errors.VEXA_E_LOGINFAIL
