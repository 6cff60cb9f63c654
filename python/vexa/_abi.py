"""The binary layer under the package: the automation types as the module lays them out (x86-64
System V), interface identifiers, and calls through an interface pointer's vtable."""

import ctypes
from ctypes import POINTER, c_double, c_int16, c_int32, c_int64, c_uint16, c_uint32, c_void_p

HRESULT = c_int32
ULONG = c_uint32


def unsigned(hr):
    """An HRESULT as the unsigned 32-bit number it is written as (0x8004A003, not a negative)."""
    return hr & 0xFFFFFFFF


def failed(hr):
    return unsigned(hr) & 0x80000000 != 0


class GUID(ctypes.Structure):
    _fields_ = [("Data1", c_uint32), ("Data2", c_uint16), ("Data3", c_uint16), ("Data4", ctypes.c_uint8 * 8)]

    @classmethod
    def parse(cls, text):
        """A GUID from its registry form, with or without braces; ValueError when malformed."""
        digits = text.strip()
        if digits.startswith("{") and digits.endswith("}"):
            digits = digits[1:-1]
        groups = digits.split("-")
        if [len(g) for g in groups] != [8, 4, 4, 4, 12]:
            raise ValueError(f"not a GUID: {text!r}")
        raw = bytes.fromhex("".join(groups))
        return cls(int.from_bytes(raw[0:4], "big"), int.from_bytes(raw[4:6], "big"),
                   int.from_bytes(raw[6:8], "big"), (ctypes.c_uint8 * 8)(*raw[8:]))

    def __eq__(self, other):
        return isinstance(other, GUID) and bytes(self) == bytes(other)

    def __hash__(self):
        return hash(bytes(self))

    def __str__(self):
        tail = bytes(self.Data4).hex().upper()
        return f"{{{self.Data1:08X}-{self.Data2:04X}-{self.Data3:04X}-{tail[:4]}-{tail[4:]}}}"


class _VariantValue(ctypes.Union):
    _fields_ = [("llVal", c_int64), ("lVal", c_int32), ("iVal", c_int16), ("bVal", ctypes.c_uint8),
                ("cVal", ctypes.c_int8), ("uiVal", c_uint16), ("ulVal", c_uint32), ("ullVal", ctypes.c_uint64),
                ("fltVal", ctypes.c_float), ("dblVal", c_double), ("boolVal", c_int16), ("scode", c_int32),
                ("date", c_double), ("bstrVal", c_void_p), ("punkVal", c_void_p), ("pdispVal", c_void_p),
                ("parray", c_void_p), ("byref", c_void_p), ("record", c_void_p * 2)]


class VARIANT(ctypes.Structure):
    _anonymous_ = ("u",)
    _fields_ = [("vt", c_uint16), ("wReserved1", c_uint16), ("wReserved2", c_uint16),
                ("wReserved3", c_uint16), ("u", _VariantValue)]


class DISPPARAMS(ctypes.Structure):
    _fields_ = [("rgvarg", POINTER(VARIANT)), ("rgdispidNamedArgs", POINTER(c_int32)),
                ("cArgs", c_uint32), ("cNamedArgs", c_uint32)]


class EXCEPINFO(ctypes.Structure):
    _fields_ = [("wCode", c_uint16), ("wReserved", c_uint16), ("bstrSource", c_void_p),
                ("bstrDescription", c_void_p), ("bstrHelpFile", c_void_p), ("dwHelpContext", c_uint32),
                ("pvReserved", c_void_p), ("pfnDeferredFillIn", c_void_p), ("scode", c_int32)]


class STATSTG(ctypes.Structure):
    _fields_ = [("pwcsName", c_void_p), ("type", c_uint32), ("cbSize", ctypes.c_uint64),
                ("mtime", ctypes.c_uint64), ("ctime", ctypes.c_uint64), ("atime", ctypes.c_uint64),
                ("grfMode", c_uint32), ("grfLocksSupported", c_uint32), ("clsid", GUID),
                ("grfStateBits", c_uint32), ("reserved", c_uint32)]


assert ctypes.sizeof(GUID) == 16 and ctypes.sizeof(VARIANT) == 24 and ctypes.sizeof(DISPPARAMS) == 24

# VARTYPEs.
VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R4, VT_R8, VT_CY, VT_DATE, VT_BSTR = 0, 1, 2, 3, 4, 5, 6, 7, 8
VT_DISPATCH, VT_ERROR, VT_BOOL, VT_VARIANT, VT_UNKNOWN, VT_DECIMAL = 9, 10, 11, 12, 13, 14
VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_UI8, VT_INT, VT_UINT = 16, 17, 18, 19, 20, 21, 22, 23
VT_ARRAY, VT_BYREF = 0x2000, 0x4000

DISPID_VALUE, DISPID_PROPERTYPUT, DISPID_NEWENUM = 0, -3, -4
DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT = 1, 2, 4
LOCALE_USER_DEFAULT = 0x0400

IID_NULL = GUID()
IID_IUnknown = GUID.parse("00000000-0000-0000-C000-000000000046")
IID_IDispatch = GUID.parse("00020400-0000-0000-C000-000000000046")
IID_IEnumVARIANT = GUID.parse("00020404-0000-0000-C000-000000000046")
IID_IClassFactory = GUID.parse("00000001-0000-0000-C000-000000000046")
IID_ISequentialStream = GUID.parse("0C733A30-2A1C-11CE-ADE5-00AA0044773D")
IID_IStream = GUID.parse("0000000C-0000-0000-C000-000000000046")
IID_IContents = GUID.parse("463AD8E7-5480-4EB0-9CB9-5B1E25978C18")
IID_IServiceEndpoint = GUID.parse("34336FC6-92B5-4B3A-8DFD-6296DCD2D937")

# Vtable slots of the members called by slot rather than by name.
SLOT_QUERYINTERFACE, SLOT_ADDREF, SLOT_RELEASE = 0, 1, 2
SLOT_GETIDSOFNAMES, SLOT_INVOKE = 5, 6
SLOT_ENUM_NEXT = 3
SLOT_STREAM_WRITE, SLOT_STREAM_SEEK = 4, 5
SLOT_CLASSFACTORY_CREATEINSTANCE = 3
SLOT_CONTENTS_ADDJPEGIMAGESTREAM = 14  # IDispatch's 7, then Type, Message, Subject (get, put), AddImageFile
SLOT_ENDPOINT_SETENDPOINT, SLOT_ENDPOINT_SETTRUSTEDCERTIFICATES = 3, 4

_prototypes = {}


def vcall(ptr, slot, argtypes, *args, restype=HRESULT):
    """Calls slot `slot` of the interface at `ptr`, which is passed first, as the ABI wants."""
    key = (restype, tuple(argtypes))
    prototype = _prototypes.get(key)
    if prototype is None:
        prototype = _prototypes[key] = ctypes.CFUNCTYPE(restype, c_void_p, *argtypes)
    vtable = c_void_p.from_address(ptr).value
    function = prototype(c_void_p.from_address(vtable + slot * ctypes.sizeof(c_void_p)).value)
    return function(ptr, *args)


def add_ref(ptr):
    return vcall(ptr, SLOT_ADDREF, [], restype=ULONG)


def release(ptr):
    return vcall(ptr, SLOT_RELEASE, [], restype=ULONG)


def query_interface(ptr, iid):
    """(hresult, pointer or None) of QueryInterface; the pointer carries a reference of its own."""
    out = c_void_p()
    hr = vcall(ptr, SLOT_QUERYINTERFACE, [c_void_p, c_void_p], ctypes.byref(iid), ctypes.byref(out))
    return unsigned(hr), out.value


def vtable_of(ptr):
    """The address of an object's vtable: the same for every object of one class."""
    return c_void_p.from_address(ptr).value
