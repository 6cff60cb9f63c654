"""The host side of VexaComponent32.so's binary contract for Python ctypes: the layouts, identifiers,
vtable orders and dispids a host binds to, DATEs, a wrapper of the module's exports, counted
interface pointers, a test case base that calls members early-bound (vtables) or late-bound
(IDispatch), the shell of a scripted server, and a real vexa-sandbox for a test class.

A test script imports this module and ends with `vexa_ctypes.main()`, which takes the module's path
as the first command-line argument and hands the rest to unittest.
"""

import collections
import ctypes
import datetime
import os
import sys
import threading
import time
import unittest
from ctypes import byref, c_double, c_int32, c_int64, c_uint16, c_uint32, c_uint64, c_void_p
from typing import NamedTuple
from unittest import mock

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "support"), os.path.join(HERE, "..", "..", "python")]
from sandbox_process import SandboxProcess  # noqa: E402
# The layouts and standard identifiers the package binds to.
from vexa._variant import date_from_datetime  # noqa: E402
from vexa._abi import (DISPPARAMS, EXCEPINFO, GUID, IID_NULL, IID_IClassFactory, IID_IDispatch,  # noqa: E402,F401
                       IID_IEnumVARIANT, IID_ISequentialStream, IID_IStream, IID_IUnknown, VARIANT)

# ---------------------------------------------------------------------------------------------
# Binary contract: types and layouts (x86-64 System V).

HRESULT = c_int32
ULONG = c_uint32
DATE = c_double
BSTR = c_void_p
PTR = c_void_p  # any out pointer or interface pointer

S_OK = 0x00000000
S_FALSE = 0x00000001
E_NOINTERFACE = 0x80004002
E_POINTER = 0x80004003
E_INVALIDARG = 0x80070057
CLASS_E_CLASSNOTAVAILABLE = 0x80040111
DISP_E_MEMBERNOTFOUND = 0x80020003
DISP_E_TYPEMISMATCH = 0x80020005
DISP_E_UNKNOWNNAME = 0x80020006
DISP_E_NONAMEDARGS = 0x80020007
DISP_E_BADVARTYPE = 0x80020008
DISP_E_EXCEPTION = 0x80020009
DISP_E_BADPARAMCOUNT = 0x8002000E
VEXA_E_NOTCONNECTED = 0x8004A001
VEXA_E_SERVERERROR = 0x8004A002
VEXA_E_LOGINFAIL = 0x8004A003
VEXA_E_RECEIVERNOTFOUND = 0x8004A005
VEXA_E_NOTLOGINED = 0x8004A007
VEXA_E_LOGLISTNOTFOUND = 0x8004A009
VEXA_E_NEEDFORCALL = 0x8004A00A
VEXA_E_NOTADDED = 0x8004A00B
VEXA_E_FILEISTOOLARGE = 0x8004A00C
VEXA_E_DEPRECATED = 0x8004A00D

VT_EMPTY, VT_I4, VT_R8, VT_DATE, VT_BSTR, VT_DISPATCH, VT_BOOL, VT_UNKNOWN = 0, 3, 5, 7, 8, 9, 11, 13
VT_ARRAY = 0x2000

DISPID_PROPERTYPUT = -3
DISPID_NEWENUM = -4
DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT = 1, 2, 4
LOCALE_USER_DEFAULT = 0x0400

VEXA_RESERVATION, VEXA_DIRECT = 0, 1
VEXA_MESSAGE_TYPE_ALL, VEXA_MESSAGE_TYPE_SMS, VEXA_MESSAGE_TYPE_LMS, VEXA_MESSAGE_TYPE_MMS = 0, 1, 2, 3
VEXA_BYALL, VEXA_BYRESERVATION = 0, 1
VEXA_FAILED, VEXA_SUCCEEDED = 0, 1
VEXA_TRANS_REQUESTED, VEXA_TRANS_WAITING, VEXA_TRANS_RECEIVED = 0, 1, 2
VEXA_TRANS_FAILED, VEXA_TRANS_SUCCEEDED, VEXA_TRANS_NOTEXISTNUMBER = 0, 1, 2
STREAM_SEEK_SET, STREAM_SEEK_CUR, STREAM_SEEK_END = 0, 1, 2


def failed(hr):
    return hr & 0x80000000 != 0


def ole_date(*parts):
    """The DATE of a calendar date and time, as they stand."""
    return date_from_datetime(datetime.datetime(*parts))


def local_date(seconds):
    """The DATE of the machine's local time at a moment given in seconds since 1970 (UTC)."""
    return ole_date(*time.localtime(seconds)[:6])


CLSID_Message = GUID.parse("E17CBD66-320E-4BBD-96EF-FA7DAB21974A")
CLSID_SMS = GUID.parse("5009B528-A40B-4158-A5C3-20633C473278")
CLSID_Receiver = GUID.parse("0A0B6EDF-E0DD-4430-9DB0-7A91CA1635B9")
IID_IMessage = GUID.parse("2F5CD1F5-13D5-4BF6-AAC8-A2D563FF0512")
IID_ISMS = GUID.parse("273716DF-AD0D-404A-B197-19A2C67ABDB5")
DIID_DispSMS = GUID.parse("117FD8D5-A494-4129-96D1-821129B9DBBB")
IID_IReceiver = GUID.parse("01952A20-842B-4597-B08B-1C05BCA7BDED")
IID_IReceivers = GUID.parse("74E4A813-42B5-4729-BA40-938E958BC0E7")
IID_IContents = GUID.parse("463AD8E7-5480-4EB0-9CB9-5B1E25978C18")
IID_ILogDetails3 = GUID.parse("13678840-B785-403C-B9C0-3C87A910518D")
IID_ILoginInfo = GUID.parse("33BB4915-25AF-4C0D-97AE-949F4181D6F3")
IID_ILoginInfo3 = GUID.parse("CA83F269-FDE9-43F4-9ADA-5BD94E489B2C")
IID_IServiceEndpoint = GUID.parse("34336FC6-92B5-4B3A-8DFD-6296DCD2D937")

# Vtable order of the interfaces this host calls early-bound, as the C++ header declares them.
IUNKNOWN = ["QueryInterface", "AddRef", "Release"]
IDISPATCH = IUNKNOWN + ["GetTypeInfoCount", "GetTypeInfo", "GetIDsOfNames", "Invoke"]
ICLASSFACTORY = IUNKNOWN + ["CreateInstance", "LockServer"]
IENUMVARIANT = IUNKNOWN + ["Next", "Skip", "Reset", "Clone"]
ISEQUENTIALSTREAM = IUNKNOWN + ["Read", "Write"]
ISTREAM = ISEQUENTIALSTREAM + ["Seek", "SetSize", "CopyTo", "Commit", "Revert", "LockRegion", "UnlockRegion",
                               "Stat", "Clone"]
IMESSAGE = IDISPATCH + [
    "get_VersionMajor", "get_VersionMinor", "GetErrorMessage", "get_ArrayBase", "put_ArrayBase",
    "get_ServiceCode", "put_ServiceCode", "get_OfficeName", "put_OfficeName", "get_LoginInfo", "Login",
    "UpdateLoginInfo", "SetAccountInfo", "Send", "SendOne", "RequestLog", "RequestLogBound",
    "RequestLogDetail", "RequestLogDetailByList", "RequestLogDetailByLists", "DeleteLog", "DeleteLogByList",
    "DeleteLogByLists", "CancelReservation", "CancelReservationByList", "CancelReservationByLists",
    "CreateReceivers", "CreateReceiver", "CreateReceiverDirect", "CreateLogLists", "CreateLogList",
    "CreateLogListDirect", "CreateContents"]
ISMS = IDISPATCH + [
    "get_VersionMajor", "get_VersionMinor", "GetErrorMessage", "get_ArrayBase", "put_ArrayBase",
    "get_ServiceCode", "put_ServiceCode", "get_OfficeName", "put_OfficeName", "get_LoginInfo", "Login",
    "UpdateLoginInfo", "SendSMS", "SendSMSOne", "RequestLog", "RequestLogBound", "RequestLogDetail",
    "RequestLogDetailByList", "RequestLogDetailByLists", "DeleteLog", "DeleteLogByList", "DeleteLogByLists",
    "CancelReservation", "CancelReservationByList", "CancelReservationByLists", "CreateReceivers",
    "CreateReceiver", "CreateReceiverDirect", "CreateLogLists", "CreateLogList", "CreateLogListDirect"]
IRECEIVERS = IDISPATCH + ["get_Item", "get__NewEnum", "get_Count", "Add", "Remove", "AddDirect"]
IRECEIVER = IDISPATCH + ["get_Phone", "put_Phone", "get_Message", "put_Message", "get_SendMode",
                         "put_SendMode", "get_SendTime", "put_SendTime"]
ICONTENTS = IDISPATCH + ["get_Type", "put_Type", "get_Message", "put_Message", "get_Subject", "put_Subject",
                         "AddImageFile", "AddJPEGImageStream", "get_ImageCount", "get_ImagesSize"]
ILOGDETAILS3 = IDISPATCH + ["get_ImageURLs"]
ILOGININFO = IDISPATCH + ["get_ServerIP", "get_ServerPort", "get_UserID", "get_UserPassword", "get_UserName",
                          "get_UserPhoneNumber", "get_Logined", "get_ServerVersion", "get_ServerTime",
                          "get_FreeCall"]
ILOGININFO3 = IDISPATCH + ["get_UserPhoneNumbers"]
ISERVICEENDPOINT = IUNKNOWN + ["SetEndpoint", "SetTrustedCertificates"]


# Dispids of every member of the dispinterfaces, from the interface catalogue.
DISP_MESSAGE = {
    "VersionMajor": -500, "VersionMinor": -501, "GetErrorMessage": -502, "ArrayBase": 1, "ServiceCode": 2,
    "OfficeName": 3, "LoginInfo": 11, "Login": 12, "UpdateLoginInfo": 13, "SetAccountInfo": 14, "Send": 21,
    "SendOne": 22, "RequestLog": 31, "RequestLogBound": 32, "RequestLogDetail": 33,
    "RequestLogDetailByList": 34, "RequestLogDetailByLists": 35, "DeleteLog": 36, "DeleteLogByList": 37,
    "DeleteLogByLists": 38, "CancelReservation": 39, "CancelReservationByList": 40,
    "CancelReservationByLists": 41, "CreateReceivers": 51, "CreateReceiver": 52, "CreateReceiverDirect": 53,
    "CreateLogLists": 54, "CreateLogList": 55, "CreateLogListDirect": 56, "CreateContents": 57}
DISP_RECEIVER = {"Phone": 1, "Message": 2, "SendMode": 3, "SendTime": 4, "Name": 5}
DISP_RECEIVERS = {"Item": 0, "_NewEnum": -4, "Count": 1, "Add": 2, "Remove": 3, "AddDirect": 4}
DISP_CONTENTS = {"Type": 1, "Message": 2, "Subject": 3, "AddImageFile": 4, "ImageCount": 6, "ImagesSize": 7}
DISP_LOGLIST = {"Date": 1, "Index": 2, "Message": 3, "SendMode": 4, "ReceiverPhone": 5, "ReturnPhone": 6,
                "CountTotal": 7, "CountSucceed": 8, "CountFailure": 9, "SendTime": 10, "WriteTime": 11,
                "Type": 12}
DISP_LOGLISTS = dict(DISP_RECEIVERS)


# ---------------------------------------------------------------------------------------------
# Host layer: the module's exports, interface pointers, BSTRs, VARIANTs and SAFEARRAYs.

class BstrArray(NamedTuple):
    """A one-dimensional SAFEARRAY of BSTRs as the module handed it out."""
    lower_bound: int
    items: list


class Module:
    def __init__(self, path):
        self.dll = ctypes.CDLL(path)
        for name, restype, argtypes in [
                ("DllGetClassObject", HRESULT, [PTR, PTR, PTR]), ("DllCanUnloadNow", HRESULT, []),
                ("SysAllocStringLen", BSTR, [PTR, c_uint32]), ("SysFreeString", None, [BSTR]),
                ("SysStringLen", c_uint32, [BSTR]), ("VariantInit", None, [PTR]),
                ("VariantClear", HRESULT, [PTR]), ("SafeArrayGetDim", c_uint32, [PTR]),
                ("SafeArrayGetLBound", HRESULT, [PTR, c_uint32, PTR]),
                ("SafeArrayGetUBound", HRESULT, [PTR, c_uint32, PTR]),
                ("SafeArrayGetElement", HRESULT, [PTR, PTR, PTR]),
                ("CreateStreamOnHGlobal", HRESULT, [PTR, c_int32, PTR])]:
            fn = getattr(self.dll, name)
            fn.restype, fn.argtypes = restype, argtypes

    def can_unload(self):
        return self.dll.DllCanUnloadNow() & 0xFFFFFFFF

    def get_class_object(self, clsid, iid):
        out = c_void_p()
        hr = self.dll.DllGetClassObject(byref(clsid), byref(iid), byref(out)) & 0xFFFFFFFF
        return hr, out.value

    def create_instance(self, clsid, iid):
        """Creates an object through its class object, as a host does; returns (hr, pointer)."""
        hr, factory = self.get_class_object(clsid, IID_IClassFactory)
        if hr != S_OK or not factory:
            return hr, None
        factory = Com(self, factory, ICLASSFACTORY)
        out = c_void_p()
        hr = factory.call("CreateInstance", [PTR, PTR, PTR], None, byref(iid), byref(out))
        factory.release()
        return hr, out.value

    def create_stream(self):
        """A new empty in-memory stream that grows as it is written; returns (hr, pointer)."""
        out = c_void_p()
        hr = self.dll.CreateStreamOnHGlobal(None, 1, byref(out)) & 0xFFFFFFFF
        return hr, out.value

    def alloc_bstr(self, text):
        if text is None:
            return None
        units = text.encode("utf-16-le")
        return self.dll.SysAllocStringLen(units, len(units) // 2)

    def read_bstr(self, bstr):
        if not bstr:
            return ""
        return ctypes.string_at(bstr, 2 * self.dll.SysStringLen(bstr)).decode("utf-16-le")

    def take_bstr(self, bstr):
        try:
            return self.read_bstr(bstr)
        finally:
            self.dll.SysFreeString(bstr)

    def free_bstr(self, bstr):
        self.dll.SysFreeString(bstr)

    def read_bstr_array(self, psa):
        """Reads a one-dimensional array of BSTRs through the module's SafeArray functions."""
        if self.dll.SafeArrayGetDim(psa) != 1:
            raise ValueError("a one-dimensional array was expected")
        lower, upper = c_int32(), c_int32()
        if failed(self.dll.SafeArrayGetLBound(psa, 1, byref(lower)) & 0xFFFFFFFF) or failed(
                self.dll.SafeArrayGetUBound(psa, 1, byref(upper)) & 0xFFFFFFFF):
            raise ValueError("the array has no bounds")
        items = []
        for index in range(lower.value, upper.value + 1):
            element = c_void_p()
            hr = self.dll.SafeArrayGetElement(psa, byref(c_int32(index)), byref(element)) & 0xFFFFFFFF
            if failed(hr):
                raise ValueError(f"SafeArrayGetElement({index}): 0x{hr:08X}")
            items.append(self.take_bstr(element.value))
        return BstrArray(lower.value, items)

    def variant_clear(self, var):
        return self.dll.VariantClear(byref(var)) & 0xFFFFFFFF


class Com:
    """One counted reference to an interface; `iface` is the vtable's member names in slot order."""

    def __init__(self, module, ptr, iface):
        self.module, self.ptr, self.iface = module, ptr, iface

    def call(self, member, argtypes, *args, restype=HRESULT):
        slot = self.iface.index(member)
        vtable = c_void_p.from_address(self.ptr).value
        fn = ctypes.CFUNCTYPE(restype, c_void_p, *argtypes)(c_void_p.from_address(vtable + 8 * slot).value)
        result = fn(self.ptr, *args)
        return result & 0xFFFFFFFF if restype is HRESULT else result

    def query(self, iid):
        out = c_void_p()
        return self.call("QueryInterface", [PTR, PTR], byref(iid), byref(out)), out.value

    def release(self):
        return self.call("Release", [], restype=ULONG)


class Typed(NamedTuple):
    """An argument of an explicit VARTYPE (a DATE, a null BSTR, a null object)."""
    vt: int
    value: object


class Outcome(NamedTuple):
    hr: int
    vt: int
    value: object
    scode: int = None  # from the exception block, when one was passed
    arg_err: int = None  # from puArgErr, when one was passed


class HostTestCase(unittest.TestCase):
    """Every reference and string a test obtains is released by the test's cleanups, so every class
    leaves the module idle behind it."""

    module = None  # the loaded module, set by main()

    @classmethod
    def tearDownClass(cls):
        if cls.module.can_unload() != S_OK:
            raise AssertionError("DllCanUnloadNow: the module is still in use after every release")

    def setUp(self):
        self._owned = []
        self.addCleanup(self._release_owned)

    def _release_owned(self):
        while self._owned:
            self._owned.pop().release()

    def adopt(self, ptr, iface=IDISPATCH):
        self.assertTrue(ptr, "an interface pointer was expected")
        com = Com(self.module, ptr, iface)
        self._owned.append(com)
        return com

    def new_object(self, clsid):
        """A new instance of a class, through its IDispatch."""
        hr, obj = self.module.create_instance(clsid, IID_IDispatch)
        self.assertEqual(hr, S_OK, f"0x{hr:08X}")
        return self.adopt(obj)

    def query(self, com, iid, iface):
        hr, ptr = com.query(iid)
        self.assertEqual(hr, S_OK)
        return self.adopt(ptr, iface)

    def bstr(self, text):
        """A BSTR argument for a vtable call, freed when the test ends."""
        bstr = self.module.alloc_bstr(text)
        self.addCleanup(self.module.free_bstr, bstr)
        return bstr

    def memory_stream(self, data, rewind=True):
        """An IStream of the module's holding `data`, left at its start, or at its end when not rewound."""
        hr, ptr = self.module.create_stream()
        self.assertEqual(hr, S_OK)
        stream = self.adopt(ptr, ISTREAM)
        written = c_uint32()
        self.assertEqual(stream.call("Write", [PTR, c_uint32, PTR], data, len(data), byref(written)), S_OK)
        self.assertEqual(written.value, len(data))
        if rewind:
            position = c_uint64()
            hr = stream.call("Seek", [c_int64, c_uint32, PTR], 0, STREAM_SEEK_SET, byref(position))
            self.assertEqual((hr, position.value), (S_OK, 0))
        return stream

    # -- variants -------------------------------------------------------------------------------
    def to_variant(self, var, value):
        if isinstance(value, Typed):
            vt, value = value
        elif isinstance(value, Com):
            vt = VT_DISPATCH
        elif isinstance(value, str):
            vt = VT_BSTR
        elif isinstance(value, float):
            vt = VT_R8
        elif isinstance(value, int):
            vt = VT_I4
        else:
            vt, value = VT_EMPTY, None
        var.vt = vt
        if vt == VT_BSTR:
            var.bstrVal = self.module.alloc_bstr(value)
        elif vt in (VT_DISPATCH, VT_UNKNOWN):
            # The VARIANT owns a reference of its own, dropped by VariantClear after the call.
            if value is not None:
                value.call("AddRef", [], restype=ULONG)
            var.pdispVal = value.ptr if value is not None else None
        elif vt in (VT_R8, VT_DATE):
            var.dblVal = value
        elif vt == VT_I4:
            var.lVal = c_int32(value & 0xFFFFFFFF).value

    def from_variant(self, var):
        vt = var.vt
        if vt in (VT_DISPATCH, VT_UNKNOWN):
            iface = IDISPATCH if vt == VT_DISPATCH else IUNKNOWN
            value = self.adopt(var.pdispVal, iface) if var.pdispVal else None
            var.vt = VT_EMPTY  # the reference now belongs to the adopted object
        elif vt == VT_BSTR:
            value = self.module.read_bstr(var.bstrVal)
        elif vt in (VT_R8, VT_DATE):
            value = var.dblVal
        elif vt == VT_I4:
            value = var.lVal
        elif vt == VT_BOOL:
            value = var.boolVal != 0
        elif vt == VT_ARRAY | VT_BSTR:
            value = self.module.read_bstr_array(var.parray)
        else:
            value = None
        self.module.variant_clear(var)
        return vt, value

    # -- late binding ---------------------------------------------------------------------------
    def dispid(self, disp, name):
        text = ctypes.create_string_buffer(name.encode("utf-16-le") + b"\0\0")
        names = (c_void_p * 1)(ctypes.addressof(text))
        dispid = c_int32(12345)
        hr = disp.call("GetIDsOfNames", [PTR, PTR, c_uint32, c_uint32, PTR], byref(IID_NULL), names, 1,
                       LOCALE_USER_DEFAULT, byref(dispid))
        return hr, dispid.value

    def invoke(self, disp, member, flags, *args, named=(), params=True, excepinfo=False, arg_err=False):
        """Invoke by name or dispid; `named` gives the dispids of the last len(named) arguments."""
        if isinstance(member, str):
            hr, member = self.dispid(disp, member)
            self.assertEqual(hr, S_OK)
        rgvarg = (VARIANT * max(len(args), 1))()
        for position, value in enumerate(reversed(args)):  # COM passes arguments last first
            self.to_variant(rgvarg[position], value)
        rgnamed = (c_int32 * max(len(named), 1))(*reversed(named))
        dp = DISPPARAMS(rgvarg, rgnamed if named else None, len(args), len(named))
        result = VARIANT()
        excep = EXCEPINFO()
        err = c_uint32(0xFFFFFFFF)
        hr = disp.call("Invoke", [c_int32, PTR, c_uint32, c_uint16, PTR, PTR, PTR, PTR], member,
                       byref(IID_NULL), LOCALE_USER_DEFAULT, flags, byref(dp) if params else None,
                       byref(result), byref(excep) if excepinfo else None, byref(err) if arg_err else None)
        for position in range(len(args)):
            self.module.variant_clear(rgvarg[position])
        for text in (excep.bstrSource, excep.bstrDescription, excep.bstrHelpFile):
            self.module.free_bstr(text)
        vt, value = self.from_variant(result)
        return Outcome(hr, vt, value, excep.scode & 0xFFFFFFFF if excepinfo else None,
                       err.value if arg_err else None)

    def _ok(self, outcome):
        self.assertEqual(outcome.hr, S_OK, f"HRESULT 0x{outcome.hr:08X}")
        return outcome.value

    def get(self, disp, name, *args):
        return self._ok(self.invoke(disp, name, DISPATCH_PROPERTYGET, *args))

    def put(self, disp, name, value):
        return self.invoke(disp, name, DISPATCH_PROPERTYPUT, value, named=(DISPID_PROPERTYPUT,)).hr

    def call(self, disp, name, *args):
        return self._ok(self.invoke(disp, name, DISPATCH_METHOD, *args))

    def items(self, collection, *members, base=0):
        """The given members of every item of a collection, in collection order; `base` is the
        ArrayBase in force."""
        return [tuple(self.get(self.get(collection, "Item", base + i), m) for m in members)
                for i in range(self.get(collection, "Count"))]


# ---------------------------------------------------------------------------------------------
# A scripted server for a test class.

class ScriptedServer:
    """A server on 127.0.0.1 (an ephemeral port), in a thread of its own, that records every request
    and answers each with the next scripted reply. A subclass makes the socketserver server, whose
    handler appends to `requests` and answers with `next_reply(...)`."""

    def __init__(self):
        self.requests, self.replies = [], collections.deque()
        self.server = self.make_server(("127.0.0.1", 0))
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def make_server(self, address):
        raise NotImplementedError

    def next_reply(self, otherwise):
        """The next scripted reply, or `otherwise` when none is left."""
        return self.replies.popleft() if self.replies else otherwise

    def script(self, *replies):
        self.replies.extend(replies)

    def take(self):
        """The requests received since the last call; replies not asked for are dropped."""
        requests, self.requests = self.requests, []
        self.replies.clear()
        return requests

    def close(self):
        self.server.shutdown()
        self.server.server_close()
        self.thread.join()


# ---------------------------------------------------------------------------------------------
# A real vexa-sandbox process for a test class.

def start_sandbox(cls, executable, arguments):
    """Starts `executable` (vexa-sandbox) with `arguments` in a fresh data directory for the test
    class `cls`, with loopback kept clear of proxies, and registers a class cleanup that stops it
    and removes the directory. Returns the lines of its endpoints file as a dict ("http", "https",
    "legacy", ...)."""
    # Requests to loopback go straight there, whatever proxy is configured.
    no_proxy = mock.patch.dict(os.environ, {"no_proxy": "127.0.0.1", "NO_PROXY": "127.0.0.1"})
    no_proxy.start()
    cls.addClassCleanup(no_proxy.stop)
    sandbox = SandboxProcess(executable, arguments)
    cls.addClassCleanup(sandbox.stop)
    return sandbox.endpoints


def take_option(name):
    """The value that follows `name` on the command line, taken off it before unittest reads the
    rest; None when it is not there."""
    if name not in sys.argv[1:]:
        return None
    at = sys.argv.index(name)
    value = sys.argv[at + 1]
    del sys.argv[at:at + 2]
    return value


def main():
    """Loads the module named by the first argument and runs the calling script's tests."""
    if len(sys.argv) < 2:
        sys.exit(f"usage: {sys.argv[0]} /path/to/VexaComponent32.so [unittest options]")
    HostTestCase.module = Module(sys.argv[1])
    unittest.main(module="__main__", argv=[sys.argv[0]] + sys.argv[2:])
