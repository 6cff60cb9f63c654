"""Late binding and conversions, without a service: names, kinds, VARIANTs both ways, dates,
collections, errors, reference counts and the thread rule."""

import ctypes
import datetime
import gc
import threading

import pytest

import vexa
from conftest import released
from vexa import _abi
from vexa._dispatch import _wrap
from vexa._stream import HostStream
from vexa._variant import from_variant, to_variant


@pytest.fixture
def message(module):
    m = vexa.Dispatch("VexaComponent.Message")
    yield m
    m.ArrayBase = 0


def through_the_module(module, value):
    """(VARTYPE, value) after a trip into a VARIANT, a copy made by the module's VariantCopy, and back."""
    original, copy = _abi.VARIANT(), _abi.VARIANT()
    to_variant(module, original, value)
    try:
        assert module.VariantCopy(ctypes.byref(copy), ctypes.byref(original)) == 0
    finally:
        module.VariantClear(ctypes.byref(original))
    return copy.vt, from_variant(module, copy, _wrap(module))


SEOUL = datetime.timezone(datetime.timedelta(hours=9))


@pytest.mark.parametrize("value, vt, back", [
    (None, _abi.VT_EMPTY, None),
    (True, _abi.VT_BOOL, True),
    (False, _abi.VT_BOOL, False),
    (0, _abi.VT_I4, 0),
    (-2**31, _abi.VT_I4, -2**31),
    (2**31 - 1, _abi.VT_I4, 2**31 - 1),
    (0x8004A003, _abi.VT_I4, 0x8004A003 - 2**32),  # an HRESULT, written unsigned, travels as its 32 bits
    (2**32, _abi.VT_I8, 2**32),
    (-2**63, _abi.VT_I8, -2**63),
    (1.5, _abi.VT_R8, 1.5),
    (float("inf"), _abi.VT_R8, float("inf")),
    ("", _abi.VT_BSTR, ""),
    ("한글 text 😀", _abi.VT_BSTR, "한글 text 😀"),
    ("a\0b", _abi.VT_BSTR, "a\0b"),
    (datetime.datetime(2026, 12, 11, 9, 30, 15, 250000), _abi.VT_DATE,
     datetime.datetime(2026, 12, 11, 9, 30, 15, 250000)),
    (datetime.date(2026, 1, 2), _abi.VT_DATE, datetime.datetime(2026, 1, 2)),
    (datetime.datetime(2026, 12, 11, 0, 30, tzinfo=datetime.timezone.utc), _abi.VT_DATE,
     datetime.datetime(2026, 12, 11, 9, 30)),  # an aware time reads as the local time (TZ Asia/Seoul)
    ([1, "two", None, [3.0]], _abi.VT_ARRAY | _abi.VT_VARIANT, [1, "two", None, [3.0]]),
    ((), _abi.VT_ARRAY | _abi.VT_VARIANT, []),
])
def test_values_into_variants_and_back(module, value, vt, back):
    assert through_the_module(module, value) == (vt, back)


@pytest.mark.parametrize("value, date", [
    (datetime.datetime(1899, 12, 30), 0.0),
    (datetime.datetime(1899, 12, 30, 18), 0.75),
    (datetime.datetime(1899, 12, 29, 6), -1.25),  # before the epoch the fraction still counts forward
    (datetime.datetime(1899, 12, 29), -1.0),
    (datetime.datetime(1800, 1, 1, 12), -36522.5),
    (datetime.datetime(1970, 1, 1), 25569.0),
    (datetime.datetime(100, 1, 1), -657434.0),
    (datetime.datetime(9999, 12, 31, 23, 59, 59), 2958465 + 86399 / 86400),
])
def test_dates_across_the_epoch(message, value, date):
    assert vexa.date_from_datetime(value) == pytest.approx(date, abs=1e-9)
    assert vexa.datetime_from_date(date) == value
    receiver = message.CreateReceiver()
    receiver.SendTime = value  # the component stores the DATE as given and returns it
    assert receiver.SendTime == value


def test_dates_the_component_reads_in_local_time(module):
    """The module's own conversion of a DATE to text sees the wall-clock time that was given."""
    when = datetime.datetime(2026, 3, 4, 5, 6, 7)
    original, text = _abi.VARIANT(), _abi.VARIANT()
    to_variant(module, original, when)
    assert module.VariantChangeType(ctypes.byref(text), ctypes.byref(original), 0, _abi.VT_BSTR) == 0
    assert "5:06:07" in from_variant(module, text, None)
    assert vexa.datetime_from_date(-0.25) == datetime.datetime(1899, 12, 30, 6)  # -0.25 and 0.25 are one time
    with pytest.raises(ValueError):
        vexa.datetime_from_date(float("nan"))
    with pytest.raises(ValueError):
        vexa.datetime_from_date(3e6)


def test_arrays_of_strings_read_as_lists(module):
    psa = module.SafeArrayCreateVector(_abi.VT_BSTR, 0, 3)
    data = ctypes.c_void_p()
    module.SafeArrayAccessData(psa, ctypes.byref(data))
    slots = (ctypes.c_void_p * 3).from_address(data.value)
    for index, text in enumerate(["첫째", "", "third"]):
        slots[index] = module.bstr(text)
    module.SafeArrayUnaccessData(psa)
    var = _abi.VARIANT()
    var.vt, var.parray = _abi.VT_ARRAY | _abi.VT_BSTR, psa
    assert from_variant(module, var, None) == ["첫째", "", "third"]  # and the array is the module's to free


def test_the_component_converts_arguments_to_its_parameter_types(message):
    receiver = message.CreateReceiver()
    for value, phone in [(1234, "1234"), (None, ""), (2.5, "2.5")]:
        receiver.Phone = value
        assert receiver.Phone == phone
    for value in ["0", 0.0, False]:
        receiver.SendMode = value
        assert receiver.SendMode == vexa.VEXA_RESERVATION
    for value in ["x", [1], message]:
        with pytest.raises(vexa.ComError) as raised:
            receiver.SendMode = value
        assert raised.value.hresult == vexa.errors.DISP_E_TYPEMISMATCH
    with pytest.raises(TypeError):
        receiver.Phone = object()
    with pytest.raises(OverflowError):
        receiver.Phone = 2**64


def test_members_are_found_by_name_in_any_case_and_by_kind(message):
    receiver = message.CreateReceiver()
    receiver.phone = "010"
    assert (receiver.PHONE, receiver.Phone, receiver.pHoNe) == ("010", "010", "010")
    assert message.versionmajor == 4 and message.VERSIONMINOR == 2
    with pytest.raises(AttributeError):
        receiver.NoSuchMember
    with pytest.raises(AttributeError):
        receiver.NoSuchMember = 1
    assert not hasattr(receiver, "Send")
    with pytest.raises(TypeError):
        message.CreateReceiverDirect(bstrPhone="010")
    with pytest.raises(vexa.ComError) as raised:
        message.CreateReceiverDirect("010")
    assert raised.value.hresult == vexa.errors.DISP_E_BADPARAMCOUNT
    assert raised.value.text == "Invalid number of parameters."  # the component's text for the code


def test_a_deprecated_property_raises_with_the_components_text(message):
    with pytest.raises(vexa.ComError) as raised:
        message.ServiceCode
    assert (raised.value.name, raised.value.text) == ("VEXA_E_DEPRECATED",
                                                     "더 이상 지원되지 않는 메서드 또는 속성입니다.")
    with pytest.raises(vexa.ComError):
        message.ServiceCode = "x"


def test_collections_iterate_count_and_index_from_array_base(module, message):
    phones = ["010-0000-0001", "010-0000-0002", "010-0000-0003"]
    receivers = message.CreateReceivers()
    assert len(receivers) == 0 and not receivers and list(receivers) == []
    for phone in phones:
        receivers.AddDirect(phone, "", vexa.VEXA_DIRECT, None)
    assert receivers and len(receivers) == 3
    assert [r.Phone for r in receivers] == phones
    assert [receivers[i].Phone for i in (0, 1, 2, -1, -3)] == phones + [phones[2], phones[0]]
    assert receivers.Item(1).Phone == receivers(1).Phone == phones[1]
    with pytest.raises(IndexError):
        receivers[3]
    with pytest.raises(IndexError):
        receivers[-4]

    other = vexa.Dispatch("VexaComponent.SMS")
    other.ArrayBase = 1  # module-wide: the Message's collection follows
    assert message.ArrayBase == 1
    assert [receivers[i].Phone for i in (1, 2, 3, -1, -3)] == phones + [phones[2], phones[0]]
    with pytest.raises(IndexError):
        receivers[0]
    assert [r.Phone for r in receivers] == phones  # iteration does not depend on it
    with pytest.raises(vexa.ComError) as raised:
        other.ArrayBase = 2
    assert raised.value.hresult == vexa.errors.E_INVALIDARG and message.ArrayBase == 1
    other.ArrayBase = 0

    with pytest.raises(TypeError):
        len(message)
    with pytest.raises(TypeError):
        iter(message)
    assert bool(message)


def test_objects_compare_by_identity(message):
    receivers = message.CreateReceivers()
    receivers.AddDirect("010", "", vexa.VEXA_DIRECT, None)
    first, again = receivers[0], receivers[0]
    assert first == again and hash(first) == hash(again) and first is not again
    assert first != message.CreateReceiver()
    assert "Receiver" in repr(first)


def test_every_reference_is_released_once(module):
    assert released(module)
    m = vexa.Dispatch("VexaComponent.Message")
    receivers = m.CreateReceivers()
    receiver = m.CreateReceiver()
    receivers.Add(receiver)  # the collection takes a reference of its own
    del receiver
    gc.collect()
    assert receivers[0].Phone == ""
    items = list(receivers)
    c = m.CreateContents()
    with open(__file__, "rb") as not_a_picture:
        with pytest.raises(vexa.ComError):
            c.AddJPEGImageStream(not_a_picture)
    with pytest.raises(vexa.ComError):
        c.AddJPEGImageStream(b"not a picture either")
    assert not module.can_unload()
    del m, receivers, items, c
    assert released(module)
    assert HostStream.live == {}  # the component gave back the stream of the host's


def test_an_object_belongs_to_the_thread_that_made_it(module):
    m = vexa.Dispatch("VexaComponent.Message")
    outcome = {}

    def elsewhere():
        try:
            m.VersionMajor
        except vexa.ComError as error:
            outcome["error"] = error
        outcome["own"] = vexa.Dispatch("VexaComponent.SMS").VersionMajor  # its own objects work

    worker = threading.Thread(target=elsewhere)
    worker.start()
    worker.join()
    error = outcome["error"]
    assert (error.hresult, error.name) == (vexa.errors.RPC_E_WRONG_THREAD, "RPC_E_WRONG_THREAD")
    assert "thread" in error.text and outcome["own"] == 4
    assert m.VersionMajor == 4


def test_a_reference_dropped_on_another_thread_is_released_by_its_owner(module):
    assert released(module)
    holder = [vexa.Dispatch("VexaComponent.Message").CreateReceiver()]
    worker = threading.Thread(target=holder.clear)  # the last reference goes on the worker
    worker.start()
    worker.join()
    gc.collect()
    assert not module.can_unload()  # handed back, not released on the wrong thread
    vexa.Dispatch("VexaComponent.Message").VersionMajor  # the owner's next call releases it
    assert released(module)


@pytest.mark.parametrize("name, made", [
    ("VexaComponent.Message", "Message"), ("VexaComponent.Message.1", "Message"), ("vexacomponent.message", "Message"),
    ("{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}", "Message"), ("VexaComponent.SMS", "SMS"),
    ("VexaComponent.SMS.1", "SMS"), ("{5009b528-a40b-4158-a5c3-20633c473278}", "SMS"),
    ("VexaComponent.Nothing", vexa.errors.CO_E_CLASSSTRING), ("{E17CBD66-320E-4BBD}", vexa.errors.CO_E_CLASSSTRING),
    ("{0A0B6EDF-E0DD-4430-9DB0-7A91CA1635B9}", vexa.errors.CLASS_E_CLASSNOTAVAILABLE),  # Receiver: not creatable
])
def test_front_objects_by_every_name(module, name, made):
    if isinstance(made, str):
        assert repr(vexa.Dispatch(name, module=module.path)).startswith(f"<vexa.Dispatch {made} ")
    else:
        with pytest.raises(vexa.ComError) as raised:
            vexa.Dispatch(name, module=module.path)
        assert raised.value.hresult == made
