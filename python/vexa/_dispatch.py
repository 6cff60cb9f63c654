"""Objects of the component as Python objects, bound late: members are found by name through
IDispatch (once per class, in any letter case) and called through Invoke.

Each object belongs to the thread that made it, as the component's objects live in their
creator's apartment. Using it from another thread raises ComError(RPC_E_WRONG_THREAD); a reference
that Python drops on another thread is handed back to the owner, which releases it at its next call.
"""

import ctypes
import os
import threading
from ctypes import byref, c_int32, c_uint32, c_void_p

from . import _abi
from ._abi import (DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT, DISPID_NEWENUM, DISPID_VALUE,
                   GUID, VARIANT, unsigned)
from ._module import Module, activate, class_id
from ._stream import HostStream
from ._variant import from_variant, invoke
from .errors import (DISP_E_BADPARAMCOUNT, DISP_E_MEMBERNOTFOUND, DISP_E_UNKNOWNNAME, E_INVALIDARG,
                     RPC_E_WRONG_THREAD, ComError)

# -- references dropped on a thread that does not own them ------------------------------------------

_handed_back = {}  # owner thread id -> pointers it must release
_handed_back_lock = threading.Lock()


def _release_handed_back():
    """Releases what other threads dropped of this thread's objects."""
    if not _handed_back:
        return
    with _handed_back_lock:
        pointers = _handed_back.pop(threading.get_ident(), ())
    for pointer in pointers:
        _abi.release(pointer)


class _Counted:
    """One counted reference to an interface of the component, on its owner's thread."""

    __slots__ = ("_module", "_ptr", "_thread", "__weakref__")

    @classmethod
    def _adopt(cls, module, pointer):
        """A new Python object holding the reference `pointer` carries."""
        self = object.__new__(cls)
        self._own(module, pointer)
        return self

    def _own(self, module, pointer):
        object.__setattr__(self, "_module", module)
        object.__setattr__(self, "_ptr", pointer)
        object.__setattr__(self, "_thread", threading.get_ident())

    def _check_thread(self, member):
        if threading.get_ident() != self._thread:
            raise ComError(RPC_E_WRONG_THREAD,
                           f"this object belongs to the thread that made it (id {self._thread}) and was "
                           f"used on thread {threading.get_ident()}; make the objects on the thread that uses them",
                           member=member)
        if self._ptr is None:
            raise ComError(E_INVALIDARG, "the object was released", member=member)
        _release_handed_back()

    def _release(self):
        pointer = self._ptr
        if pointer is None:
            return
        object.__setattr__(self, "_ptr", None)
        if threading.get_ident() == self._thread:
            _abi.release(pointer)
        else:
            with _handed_back_lock:
                _handed_back.setdefault(self._thread, []).append(pointer)

    def __del__(self):
        try:
            self._release()
        except Exception:  # noqa: BLE001 (an interpreter that is shutting down)
            pass


def _wrap(module, typed=False):
    """The adopter of references a call returns: an IDispatch becomes a Dispatch (of its typed
    class when `typed` and the class has one); an IUnknown one too when it answers IDispatch, else
    it stays a bare reference."""
    def adopt(pointer, is_dispatch):
        if not is_dispatch:
            hr, dispatch = _abi.query_interface(pointer, _abi.IID_IDispatch)
            if hr != 0:
                return Unknown._adopt(module, pointer)
            _abi.release(pointer)
            pointer = dispatch
        cls = Dispatch
        if typed:
            cls = Dispatch._typed_classes.get(_ClassInfo.of(pointer).class_name(pointer), Dispatch)
        return cls._adopt(module, pointer)
    return adopt


class Unknown(_Counted):
    """A reference to an object that is not reachable by name (it has no IDispatch)."""

    __slots__ = ()

    def __repr__(self):
        return f"<vexa.Unknown at 0x{self._ptr or 0:x}>"


# -- what is known of a class: names, kinds of members -------------------------------------------

GET, GET_WITH_ARGUMENTS, METHOD = "get", "get with arguments", "method"

# The component's classes by the dual interface each one alone answers, for repr().
_CLASS_NAMES = [
    ("Message", "2F5CD1F5-13D5-4BF6-AAC8-A2D563FF0512"), ("SMS", "273716DF-AD0D-404A-B197-19A2C67ABDB5"),
    ("Receiver", "01952A20-842B-4597-B08B-1C05BCA7BDED"), ("Receivers", "74E4A813-42B5-4729-BA40-938E958BC0E7"),
    ("Contents", "463AD8E7-5480-4EB0-9CB9-5B1E25978C18"), ("SendResult", "5111672A-B3EA-4111-9937-08C2779D7404"),
    ("SendResults", "8FC814E1-639E-47AB-B32F-67B86298765C"), ("LogList", "FC97480C-B4A2-4C4B-8DC4-AE191D58222F"),
    ("LogLists", "9BACFED7-FC39-4032-A190-50688F89D2A4"), ("LogDetail", "D6B9D7CF-EA9A-4EB9-9272-A7790581D074"),
    ("LogDetails", "391DF203-3182-44A6-8CE2-E02F5913AA94"),
    ("LogDetailsCollection", "99C92B75-A45C-4C45-856F-43E68F2A11FA"),
    ("DeleteResult", "A3491DB1-8E08-4235-98AF-8ECF424021BC"),
    ("DeleteResults", "94A68FBC-CFBA-445F-9127-E601DC3365D1"),
    ("CancelResult", "DDE2FC89-AB1D-4DA3-963E-01BD6D47FF5A"),
    ("CancelResults", "08A056A6-8F81-4CC8-A806-A6452581005A"), ("LoginInfo", "33BB4915-25AF-4C0D-97AE-949F4181D6F3"),
]
_CLASS_NAMES = [(name, GUID.parse(iid)) for name, iid in _CLASS_NAMES]


class _ClassInfo:
    """Names and kinds of one class's members, found once. Objects of one class share their
    vtable, so its address names the class."""

    _known = {}
    _lock = threading.Lock()

    @classmethod
    def of(cls, pointer):
        key = _abi.vtable_of(pointer)
        with cls._lock:
            info = cls._known.get(key)
            if info is None:
                info = cls._known[key] = cls()
            return info

    def __init__(self):
        self.dispids = {}  # lower-case name -> dispid, or None for a name the class lacks
        self.kinds = {}  # dispid -> GET, GET_WITH_ARGUMENTS or METHOD
        self.name = None

    def dispid(self, pointer, name):
        key = name.lower()
        if key not in self.dispids:
            text = ctypes.create_string_buffer(name.encode("utf-16-le") + b"\0\0")
            names = (c_void_p * 1)(ctypes.addressof(text))
            dispid = c_int32()
            hr = unsigned(_abi.vcall(pointer, _abi.SLOT_GETIDSOFNAMES, [c_void_p, c_void_p, c_uint32, c_uint32,
                                                                        c_void_p],
                                     byref(_abi.IID_NULL), names, 1, _abi.LOCALE_USER_DEFAULT, byref(dispid)))
            if hr not in (0, DISP_E_UNKNOWNNAME):
                raise ComError(hr, member=name)
            self.dispids[key] = dispid.value if hr == 0 else None
        return self.dispids[key]

    def class_name(self, pointer):
        if self.name is None:
            self.name = "object"
            for name, iid in _CLASS_NAMES:
                hr, found = _abi.query_interface(pointer, iid)
                if hr == 0:
                    _abi.release(found)
                    self.name = name
                    break
        return self.name


# -- the objects ----------------------------------------------------------------------------------

class Dispatch(_Counted):
    """An object of the component. `Dispatch("VexaComponent.Message")` makes a front object through
    the registry, `Dispatch(name, module=PATH)` (or VEXA_MODULE) from a module that is not
    registered. Objects the component returns are Dispatch objects too.

    Properties are attributes (`r.Phone = "010..."`, `r.Phone`), methods are called
    (`m.CreateReceiver()`), and a collection iterates, has len() and is indexed as its Item is:
    from ArrayBase (0 unless a front object's ArrayBase was set to 1); a negative index counts from
    the end."""

    __slots__ = ("_info",)
    _typed = False  # objects handed out by a typed object are typed too (vexa.typed)
    _typed_classes = {}  # class name -> typed class, filled when vexa.typed is imported

    def __init__(self, name, module=None):
        path = module or os.environ.get("VEXA_MODULE")
        if path:
            loaded = Module.load(path)
            pointer = loaded.create(class_id(name))
        else:
            loaded, pointer = activate(name)
        self._own(loaded, pointer)
        object.__setattr__(self, "_info", _ClassInfo.of(pointer))
        # As the command-line host does: `eval "$(vexa-sandbox --print-env)"` points new Message
        # objects at a running sandbox.
        if os.environ.get("VEXA_ENDPOINT") and self._info.class_name(pointer) == "Message":
            set_endpoint(self, os.environ["VEXA_ENDPOINT"], os.environ.get("VEXA_CACERT") or None)

    @classmethod
    def _adopt(cls, module, pointer):
        self = super()._adopt(module, pointer)
        object.__setattr__(self, "_info", _ClassInfo.of(pointer))
        return self

    def _new_reference(self):
        """The IDispatch pointer with a reference of its own, for a VARIANT the module will clear."""
        self._check_thread("argument")
        _abi.add_ref(self._ptr)
        return self._ptr

    def _invoke(self, dispid, flags, args, member, put=False, quiet=()):
        return invoke(self._module, self._ptr, dispid, flags, args, _wrap(self._module, self._typed), member=member,
                      put=put, quiet=quiet)

    def _dispid(self, name):
        dispid = self._info.dispid(self._ptr, name)
        if dispid is None:
            raise AttributeError(f"{self._info.class_name(self._ptr)} has no member {name!r}")
        return dispid

    def __getattr__(self, name):
        if name.startswith("__") or (name.startswith("_") and name.lower() != "_newenum"):
            raise AttributeError(name)
        self._check_thread(name)
        if name.lower() == "addjpegimagestream" and self._info.dispid(self._ptr, name) is None:
            return self._add_jpeg_image_stream_member()
        dispid = self._dispid(name)
        kinds = self._info.kinds
        kind = kinds.get(dispid)
        if kind in (METHOD, GET_WITH_ARGUMENTS):
            return _Member(self, name, dispid, DISPATCH_METHOD if kind == METHOD else DISPATCH_PROPERTYGET)
        try:
            value = self._invoke(dispid, DISPATCH_PROPERTYGET, (), name,
                                 quiet=() if kind else (DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT))
        except ComError as error:
            # Without type information the kind of a member shows in how a plain get is refused.
            if kind is None and error.hresult == DISP_E_MEMBERNOTFOUND:
                kinds[dispid] = METHOD
                return _Member(self, name, dispid, DISPATCH_METHOD)
            if kind is None and error.hresult == DISP_E_BADPARAMCOUNT:
                kinds[dispid] = GET_WITH_ARGUMENTS
                return _Member(self, name, dispid, DISPATCH_PROPERTYGET)
            kinds[dispid] = GET
            raise
        kinds[dispid] = GET
        return value

    def __setattr__(self, name, value):
        if name.startswith("_") and name.lower() != "_newenum":
            raise AttributeError(f"{name} cannot be set")
        member = getattr(type(self), name, None)
        if hasattr(member, "__set__"):  # a typed class's property
            member.__set__(self, value)
            return
        self._check_thread(name)
        self._invoke(self._dispid(name), DISPATCH_PROPERTYPUT, (value,), name, put=True)

    def __call__(self, *args):
        """The default member (a collection's Item)."""
        self._check_thread("Item")
        return self._invoke(DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, "Item")

    # -- collections ----------------------------------------------------------------------------
    def _is_collection(self):
        return self._info.dispid(self._ptr, "_NewEnum") is not None and \
            self._info.dispid(self._ptr, "Count") is not None

    def _require_collection(self, what):
        self._check_thread(what)
        if not self._is_collection():
            raise TypeError(f"{self._info.class_name(self._ptr)} is not a collection")

    def __len__(self):
        self._require_collection("Count")
        return self._invoke(self._dispid("Count"), DISPATCH_PROPERTYGET, (), "Count")

    def __bool__(self):
        if self._ptr is None:
            return True
        self._check_thread("Count")
        return len(self) > 0 if self._is_collection() else True

    def __iter__(self):
        self._require_collection("_NewEnum")
        unknown = invoke(self._module, self._ptr, DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET, (),
                         lambda pointer, is_dispatch: pointer, member="_NewEnum")
        try:
            hr, enumerator = _abi.query_interface(unknown, _abi.IID_IEnumVARIANT)
        finally:
            _abi.release(unknown)
        if hr != 0:
            raise ComError(hr, member="_NewEnum")
        return (_TypedEnumerator if self._typed else _Enumerator)._adopt(self._module, enumerator)

    def __getitem__(self, index):
        self._require_collection("Item")
        if not isinstance(index, int):
            raise TypeError("a collection is indexed by an integer")
        if index < 0:
            index += len(self) + self._module.ask_message(1, DISPATCH_PROPERTYGET, member="ArrayBase")
        try:
            return self._invoke(self._dispid("Item"), DISPATCH_PROPERTYGET, (index,), "Item")
        except ComError as error:
            if error.hresult == E_INVALIDARG:
                raise IndexError(f"no item at {index}") from error
            raise

    # -- the one member late binding cannot reach -----------------------------------------------
    def _add_jpeg_image_stream_member(self):
        hr, contents = _abi.query_interface(self._ptr, _abi.IID_IContents)
        if hr != 0:
            raise AttributeError(f"{self._info.class_name(self._ptr)} has no member 'AddJPEGImageStream'")
        _abi.release(contents)
        return lambda stream: add_jpeg_image_stream(self, stream)

    # -- identity -------------------------------------------------------------------------------
    def _identity(self):
        self._check_thread("QueryInterface")
        hr, unknown = _abi.query_interface(self._ptr, _abi.IID_IUnknown)
        if hr != 0:
            return self._ptr
        _abi.release(unknown)
        return unknown

    def __eq__(self, other):
        return isinstance(other, Dispatch) and self._identity() == other._identity()

    def __hash__(self):
        return hash(self._identity())

    def __repr__(self):
        if self._ptr is None or threading.get_ident() != self._thread:
            return "<vexa.Dispatch>"
        return f"<vexa.Dispatch {self._info.class_name(self._ptr)} at 0x{self._ptr:x}>"


class _Member:
    """A method, or a property that takes arguments, bound to its object."""

    __slots__ = ("_object", "_name", "_dispid", "_flags")

    def __init__(self, obj, name, dispid, flags):
        self._object, self._name, self._dispid, self._flags = obj, name, dispid, flags

    def __call__(self, *args, **named):
        if named:
            raise TypeError(f"{self._name}: the component takes no named arguments")
        self._object._check_thread(self._name)
        return self._object._invoke(self._dispid, self._flags, args, self._name)

    def __repr__(self):
        return f"<vexa member {self._name}>"


class _Enumerator(_Counted):
    """An IEnumVARIANT as a Python iterator."""

    __slots__ = ()
    _typed = False

    def __iter__(self):
        return self

    def __next__(self):
        if self._ptr is None:
            raise StopIteration
        self._check_thread("Next")
        item, fetched = VARIANT(), c_uint32(0)
        hr = unsigned(_abi.vcall(self._ptr, _abi.SLOT_ENUM_NEXT, [c_uint32, c_void_p, c_void_p], 1, byref(item),
                                 byref(fetched)))
        if hr & 0x80000000:
            raise ComError(hr, self._module.error_text(hr), member="Next")
        if fetched.value == 0:
            self._release()
            raise StopIteration
        return from_variant(self._module, item, _wrap(self._module, self._typed))


class _TypedEnumerator(_Enumerator):
    __slots__ = ()
    _typed = True


# -- the members reached by vtable --------------------------------------------------------------

def _stream_reference(module, stream):
    """An IStream pointer with one reference for `stream`: bytes become a stream of the module's;
    a file-like object is served by this process (HostStream)."""
    if isinstance(stream, (bytes, bytearray, memoryview)):
        data = bytes(stream)
        pointer = c_void_p()
        hr = unsigned(module.CreateStreamOnHGlobal(None, 1, byref(pointer)))
        if hr != 0:
            raise ComError(hr, member="CreateStreamOnHGlobal")
        written = c_uint32()
        hr = unsigned(_abi.vcall(pointer.value, _abi.SLOT_STREAM_WRITE, [c_void_p, c_uint32, c_void_p], data,
                                 len(data), byref(written)))
        if hr == 0:
            hr = unsigned(_abi.vcall(pointer.value, _abi.SLOT_STREAM_SEEK, [ctypes.c_int64, c_uint32, c_void_p], 0,
                                     0, None))
        if hr != 0:
            _abi.release(pointer.value)
            raise ComError(hr, member="IStream")
        return pointer.value
    if hasattr(stream, "read"):
        return HostStream.new_reference(stream)
    raise TypeError("a stream is bytes or an object with read()")


def add_jpeg_image_stream(contents, stream):
    """Contents.AddJPEGImageStream: not in the dispinterface, so called through IContents."""
    contents._check_thread("AddJPEGImageStream")
    module = contents._module
    hr, dual = _abi.query_interface(contents._ptr, _abi.IID_IContents)
    if hr != 0:
        raise ComError(hr, member="AddJPEGImageStream")
    pointer = _stream_reference(module, stream)
    host = HostStream.live.get(pointer)
    try:
        result = c_int32()
        hr = unsigned(_abi.vcall(dual, _abi.SLOT_CONTENTS_ADDJPEGIMAGESTREAM, [c_void_p, c_void_p], pointer,
                                 byref(result)))
    finally:
        _abi.release(pointer)
        _abi.release(dual)
    if hr & 0x80000000:
        error = ComError(hr, module.error_text(hr), member="AddJPEGImageStream")
        if host is not None and host.error is not None:
            raise error from host.error
        raise error
    return result.value


def set_endpoint(message, url, cafile=None):
    """Points a Message object at another service endpoint ("https://127.0.0.1:8443"), trusting the
    certificates of the PEM file `cafile` besides the system's (None: the system's alone)."""
    if not isinstance(message, Dispatch):
        raise TypeError("set_endpoint takes a Message object")
    message._check_thread("SetEndpoint")
    module = message._module
    hr, endpoint = _abi.query_interface(message._ptr, _abi.IID_IServiceEndpoint)
    if hr != 0:
        raise ComError(hr, "only a Message object can be pointed at another endpoint", member="SetEndpoint")
    try:
        for slot, member, text in ((_abi.SLOT_ENDPOINT_SETENDPOINT, "SetEndpoint", url),
                                   (_abi.SLOT_ENDPOINT_SETTRUSTEDCERTIFICATES, "SetTrustedCertificates",
                                    "" if cafile is None else str(cafile))):
            bstr = module.bstr(text)
            try:
                hr = unsigned(_abi.vcall(endpoint, slot, [c_void_p], bstr))
            finally:
                module.SysFreeString(bstr)
            if hr != 0:
                raise ComError(hr, module.error_text(hr), member=f"{member}({text!r})")
    finally:
        _abi.release(endpoint)
