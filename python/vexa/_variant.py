"""Python values to VARIANTs and back, with the module's own runtime functions for every string,
object and array that crosses, and the late-bound call (IDispatch::Invoke) built on them."""

import ctypes
import datetime
import decimal
import math
from ctypes import byref, c_int32, c_uint32, c_void_p

from . import _abi
from ._abi import (VARIANT, VT_ARRAY, VT_BOOL, VT_BSTR, VT_BYREF, VT_CY, VT_DATE, VT_DISPATCH,
                   VT_EMPTY, VT_ERROR, VT_I1, VT_I2, VT_I4, VT_I8, VT_INT, VT_NULL, VT_R4, VT_R8, VT_UI1, VT_UI2,
                   VT_UI4, VT_UI8, VT_UINT, VT_UNKNOWN, VT_VARIANT, unsigned)
from .errors import DISP_E_BADVARTYPE, DISP_E_EXCEPTION, ComError

# -- DATE: days since 1899-12-30, the fraction the time of day --------------------------------------
# Before that day the value is negative and its fraction still counts forward from midnight:
# -1.25 is 1899-12-29 06:00. DATEs and datetimes are the machine's local time, as the component
# reads them.

_EPOCH = datetime.datetime(1899, 12, 30)
_DAY_US = 86_400_000_000


def date_from_datetime(value):
    """The DATE of a datetime (naive: local time; aware: turned into local time) or a date."""
    if isinstance(value, datetime.datetime):
        if value.tzinfo is not None:
            value = value.astimezone().replace(tzinfo=None)
    else:
        value = datetime.datetime(value.year, value.month, value.day)
    delta = value - _EPOCH
    fraction = (delta.seconds * 1_000_000 + delta.microseconds) / _DAY_US
    return delta.days + fraction if delta.days >= 0 else delta.days - fraction


def datetime_from_date(date):
    """The local datetime of a DATE, to the millisecond: what a double holds of a time of day at
    every date up to the year 9999."""
    if not math.isfinite(date):
        raise ValueError(f"not a DATE: {date}")
    days = math.trunc(date)
    microseconds = round(abs(date - days) * _DAY_US / 1000) * 1000
    try:
        return _EPOCH + datetime.timedelta(days=days, microseconds=microseconds)
    except OverflowError:
        raise ValueError(f"DATE {date} lies outside the years 1 to 9999") from None


# -- Python → VARIANT -----------------------------------------------------------------------------

def to_variant(module, var, value):
    """Fills an empty VARIANT from a Python value. What it holds (a BSTR, a reference, an array) is
    the module's, freed by the module's VariantClear."""
    from ._dispatch import Dispatch  # noqa: PLC0415
    from ._stream import HostStream  # noqa: PLC0415
    if value is None:
        var.vt = VT_EMPTY
    elif isinstance(value, bool):
        var.vt, var.boolVal = VT_BOOL, -1 if value else 0
    elif isinstance(value, int):
        if -2**31 <= value < 2**32:
            # From 2**31 on, the 32-bit pattern: HRESULTs are written unsigned (0x8004A003).
            var.vt, var.lVal = VT_I4, value if value < 2**31 else value - 2**32
        elif -2**63 <= value < 2**63:
            var.vt, var.llVal = VT_I8, value
        else:
            raise OverflowError(f"{value} does not fit a 64-bit integer")
    elif isinstance(value, float):
        var.vt, var.dblVal = VT_R8, value
    elif isinstance(value, str):
        var.vt, var.bstrVal = VT_BSTR, module.bstr(value)
    elif isinstance(value, (datetime.datetime, datetime.date)):
        var.vt, var.date = VT_DATE, date_from_datetime(value)
    elif isinstance(value, Dispatch):
        var.vt, var.pdispVal = VT_DISPATCH, value._new_reference()
    elif isinstance(value, (list, tuple)):
        var.vt, var.parray = VT_ARRAY | VT_VARIANT, _variant_array(module, value)
    elif hasattr(value, "read"):
        var.vt, var.punkVal = VT_UNKNOWN, HostStream.new_reference(value)
    else:
        raise TypeError(f"a {type(value).__name__} cannot be passed to the component")


def _variant_array(module, values):
    psa = module.SafeArrayCreateVector(VT_VARIANT, 0, len(values))
    if not psa:
        raise MemoryError("SafeArrayCreateVector")
    data = c_void_p()
    module.SafeArrayAccessData(psa, byref(data))
    try:
        items = (VARIANT * len(values)).from_address(data.value) if values else []
        for item, value in zip(items, values):
            to_variant(module, item, value)
    except BaseException:
        module.SafeArrayUnaccessData(psa)
        module.SafeArrayDestroy(psa)
        raise
    module.SafeArrayUnaccessData(psa)
    return psa


# -- VARIANT → Python -----------------------------------------------------------------------------

_SCALARS = {
    VT_I1: "cVal", VT_UI1: "bVal", VT_I2: "iVal", VT_UI2: "uiVal", VT_I4: "lVal", VT_UI4: "ulVal",
    VT_INT: "lVal", VT_UINT: "ulVal", VT_I8: "llVal", VT_UI8: "ullVal", VT_R4: "fltVal", VT_R8: "dblVal",
}


def from_variant(module, var, wrap):
    """The Python value of a VARIANT the module filled; takes what it holds (the VARIANT is left
    empty). `wrap(pointer)` adopts an IDispatch reference as a Python object."""
    try:
        return _read(module, var, wrap)
    finally:
        module.VariantClear(byref(var))


def _read(module, var, wrap):
    vt = var.vt
    if vt & VT_BYREF:
        raise ComError(DISP_E_BADVARTYPE, f"a by-reference value (VARTYPE 0x{vt:04X}) was returned")
    if vt in (VT_EMPTY, VT_NULL):
        return None
    if vt in _SCALARS:
        return getattr(var, _SCALARS[vt])
    if vt == VT_BOOL:
        return var.boolVal != 0
    if vt == VT_ERROR:
        return unsigned(var.scode)
    if vt == VT_DATE:
        return datetime_from_date(var.date)
    if vt == VT_BSTR:
        return module.read_bstr(var.bstrVal)
    if vt == VT_CY:
        return decimal.Decimal(var.llVal) / 10000
    if vt in (VT_DISPATCH, VT_UNKNOWN):
        pointer = var.pdispVal
        if not pointer:
            return None
        var.vt = VT_EMPTY  # the reference is the wrapper's now
        return wrap(pointer, vt == VT_DISPATCH)
    if vt & VT_ARRAY:
        return _read_array(module, var.parray, vt & ~VT_ARRAY, wrap)
    raise ComError(DISP_E_BADVARTYPE, f"VARTYPE 0x{vt:04X} is not one this package reads")


def _read_array(module, psa, element_vt, wrap):
    """A one-dimensional array as a list, its first element first whatever its lower bound."""
    if not psa:
        return []
    if module.SafeArrayGetDim(psa) != 1:
        raise ComError(DISP_E_BADVARTYPE, "only one-dimensional arrays are read")
    lower, upper = c_int32(), c_int32()
    module.SafeArrayGetLBound(psa, 1, byref(lower))
    module.SafeArrayGetUBound(psa, 1, byref(upper))
    items = []
    for index in range(lower.value, upper.value + 1):
        element = VARIANT()
        if element_vt == VT_VARIANT:
            hr = module.SafeArrayGetElement(psa, byref(c_int32(index)), byref(element))
        else:
            # GetElement copies (a BSTR, an AddRef'd object) into the union; the VARIANT owns it.
            hr = module.SafeArrayGetElement(psa, byref(c_int32(index)), byref(element, 8))
            element.vt = element_vt
        if unsigned(hr) != 0:
            raise ComError(hr, member=f"SafeArrayGetElement({index})")
        items.append(from_variant(module, element, wrap))
    return items


# -- IDispatch::Invoke ----------------------------------------------------------------------------

def invoke(module, pointer, dispid, flags, args, wrap, member=None, put=False, quiet=()):
    """Invokes `dispid` of the object at `pointer` with Python `args`; returns the result's Python
    value, or raises ComError with the component's text for the failure (none for the codes in
    `quiet`, which the caller expects and handles)."""
    count = len(args)
    rgvarg = (VARIANT * max(count, 1))()
    try:
        for position, value in enumerate(reversed(args)):  # COM passes arguments last first
            to_variant(module, rgvarg[position], value)
        named = c_int32(_abi.DISPID_PROPERTYPUT)
        params = _abi.DISPPARAMS(rgvarg, ctypes.pointer(named) if put else None, count, 1 if put else 0)
        result, excep, arg_err = VARIANT(), _abi.EXCEPINFO(), c_uint32(0)
        hr = unsigned(_abi.vcall(pointer, _abi.SLOT_INVOKE,
                                 [c_int32, c_void_p, c_uint32, ctypes.c_uint16, c_void_p, c_void_p, c_void_p,
                                  c_void_p],
                                 dispid, byref(_abi.IID_NULL), _abi.LOCALE_USER_DEFAULT, flags, byref(params),
                                 byref(result), byref(excep), byref(arg_err)))
    finally:
        for position in range(count):
            module.VariantClear(byref(rgvarg[position]))
    if hr == DISP_E_EXCEPTION:
        description = module.read_bstr(excep.bstrDescription)
        for text in (excep.bstrSource, excep.bstrDescription, excep.bstrHelpFile):
            module.SysFreeString(text)
        hr = unsigned(excep.scode)
        raise ComError(hr, description or module.error_text(hr), member=member)
    if hr & 0x80000000:
        raise ComError(hr, "" if hr in quiet else module.error_text(hr), member=member)
    return from_variant(module, result, wrap)

