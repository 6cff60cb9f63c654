"""The component's module in this process: its exported runtime functions (every string, VARIANT
and array it hands out is freed with them), its class objects, and activation through the
registry as C++ hosts do it."""

import ctypes
import os
import threading
from ctypes import byref, c_int32, c_uint32, c_void_p

from . import _abi
from ._abi import HRESULT, GUID, unsigned
from .errors import CLASS_E_CLASSNOTAVAILABLE, CO_E_CLASSSTRING, CO_E_DLLNOTFOUND, ComError, VEXA_E_REGISTRYDAMAGED

# The creatable classes by every name a host may use for them, in lower case: ProgIDs are not
# case-sensitive. Used when a module is given by path and no registry is asked.
CLSID_Message = GUID.parse("{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}")
CLSID_SMS = GUID.parse("{5009B528-A40B-4158-A5C3-20633C473278}")
_PROGIDS = {
    "vexacomponent.message": CLSID_Message,
    "vexacomponent.message.1": CLSID_Message,
    "vexacomponent.sms": CLSID_SMS,
    "vexacomponent.sms.1": CLSID_SMS,
}

_RUNTIME = [
    ("DllGetClassObject", HRESULT, [c_void_p, c_void_p, c_void_p]),
    ("DllCanUnloadNow", HRESULT, []),
    ("SysAllocStringLen", c_void_p, [c_void_p, c_uint32]),
    ("SysFreeString", None, [c_void_p]),
    ("SysStringLen", c_uint32, [c_void_p]),
    ("VariantInit", None, [c_void_p]),
    ("VariantClear", HRESULT, [c_void_p]),
    ("VariantCopy", HRESULT, [c_void_p, c_void_p]),
    ("VariantChangeType", HRESULT, [c_void_p, c_void_p, ctypes.c_uint16, ctypes.c_uint16]),
    ("SafeArrayCreateVector", c_void_p, [ctypes.c_uint16, c_int32, c_uint32]),
    ("SafeArrayDestroy", HRESULT, [c_void_p]),
    ("SafeArrayGetDim", c_uint32, [c_void_p]),
    ("SafeArrayGetLBound", HRESULT, [c_void_p, c_uint32, c_void_p]),
    ("SafeArrayGetUBound", HRESULT, [c_void_p, c_uint32, c_void_p]),
    ("SafeArrayGetElement", HRESULT, [c_void_p, c_void_p, c_void_p]),
    ("SafeArrayAccessData", HRESULT, [c_void_p, c_void_p]),
    ("SafeArrayUnaccessData", HRESULT, [c_void_p]),
    ("CreateStreamOnHGlobal", HRESULT, [c_void_p, c_int32, c_void_p]),
]


def class_id(name):
    """The CLSID of a creatable class named by a ProgID or a CLSID text, without a registry."""
    known = _PROGIDS.get(name.strip().lower())
    if known is not None:
        return known
    try:
        return GUID.parse(name)
    except ValueError:
        raise ComError(CO_E_CLASSSTRING, member=name) from None


class Module:
    """One loaded module. Loaded once per path: a second load is the same module, as the dynamic
    linker gives it."""

    _loaded = {}
    _lock = threading.Lock()

    @classmethod
    def load(cls, path):
        real = os.path.realpath(path)
        with cls._lock:
            module = cls._loaded.get(real)
            if module is None:
                module = cls._loaded[real] = cls(real)
            return module

    def __init__(self, path):
        self.path = path
        try:
            self.dll = ctypes.CDLL(path)
        except OSError as error:
            raise ComError(CO_E_DLLNOTFOUND, f"{path}: {error}", member="load") from None
        for name, restype, argtypes in _RUNTIME:
            function = getattr(self.dll, name)
            function.restype, function.argtypes = restype, argtypes
            setattr(self, name, function)

    def can_unload(self):
        """True when the module answers DllCanUnloadNow with S_OK: no object of it is alive."""
        return unsigned(self.DllCanUnloadNow()) == 0

    def create(self, clsid, iid=_abi.IID_IDispatch):
        """A new instance of a class through its class object, as the registry's loader does."""
        factory = c_void_p()
        hr = unsigned(self.DllGetClassObject(byref(clsid), byref(_abi.IID_IClassFactory), byref(factory)))
        if hr != 0 or not factory.value:
            raise ComError(hr or CLASS_E_CLASSNOTAVAILABLE, member="DllGetClassObject")
        try:
            out = c_void_p()
            hr = unsigned(_abi.vcall(factory.value, _abi.SLOT_CLASSFACTORY_CREATEINSTANCE,
                                     [c_void_p, c_void_p, c_void_p], None, byref(iid), byref(out)))
        finally:
            _abi.release(factory.value)
        if hr != 0:
            # Not the component's text: asking for it would need this very class object again.
            raise ComError(hr, member="CreateInstance")
        return out.value

    # -- strings -------------------------------------------------------------------------------
    def bstr(self, text):
        """A new BSTR of the module's holding `text`; the caller frees it (SysFreeString)."""
        units = text.encode("utf-16-le", "surrogatepass")
        bstr = self.SysAllocStringLen(units, len(units) // 2)
        if not bstr:
            raise MemoryError("SysAllocStringLen")
        return bstr

    def read_bstr(self, bstr):
        if not bstr:
            return ""
        return ctypes.string_at(bstr, 2 * self.SysStringLen(bstr)).decode("utf-16-le", "surrogatepass")

    def ask_message(self, dispid, flags, args=(), member=None):
        """What a Message object answers of the module-wide state (an error text, ArrayBase), asked
        of a short-lived one, so that any object's caller can have it."""
        from ._variant import invoke  # noqa: PLC0415 (the two modules use each other)
        message = self.create(CLSID_Message)
        try:
            return invoke(self, message, dispid, flags, args, wrap=lambda pointer, is_dispatch: _abi.release(pointer),
                          member=member)
        finally:
            _abi.release(message)

    def error_text(self, hresult):
        """The component's own text for a code (its GetErrorMessage): any failure, of any object,
        gets the same text. Empty when even that cannot be asked."""
        try:
            return self.ask_message(-502, _abi.DISPATCH_METHOD, [c_int32(hresult).value], "GetErrorMessage")
        except ComError:
            return ""


# -- activation through the registry --------------------------------------------------------------

_ACTIVATION_NAMES = ("libvexa-activation.so.1", "libvexa-activation.so")
_activation = None


def _activation_library():
    """libvexa-activation: named by VEXA_ACTIVATION, else beside this package's installed prefix,
    else where the dynamic linker finds it."""
    global _activation
    if _activation is not None:
        return _activation
    candidates = []
    if os.environ.get("VEXA_ACTIVATION"):
        candidates.append(os.environ["VEXA_ACTIVATION"])
    try:
        from . import _install_paths  # written by `cmake --install`
        candidates += [os.path.join(_install_paths.LIBDIR, name) for name in _ACTIVATION_NAMES]
    except ImportError:
        pass
    candidates += _ACTIVATION_NAMES
    errors = []
    for candidate in candidates:
        try:
            library = ctypes.CDLL(candidate)
        except OSError as error:
            errors.append(str(error))
            continue
        library.VexaCreateObject.restype = HRESULT
        library.VexaCreateObject.argtypes = [c_void_p, c_void_p, c_void_p]
        library.VexaResolveClass.restype = HRESULT
        library.VexaResolveClass.argtypes = [c_void_p, c_void_p, c_void_p, c_void_p]
        _activation = library
        return library
    raise ComError(CO_E_DLLNOTFOUND, "libvexa-activation was not found (set VEXA_ACTIVATION, or give the module "
                   "with module= or VEXA_MODULE): " + "; ".join(errors), member="activation")


def _wide(text):
    return ctypes.create_string_buffer(text.encode("utf-16-le") + b"\0\0")


def activate(name):
    """(module, IDispatch pointer) of a new instance of the class the registry names `name` for."""
    library = _activation_library()
    wide = _wide(name)
    size = ctypes.c_size_t(0)
    hr = unsigned(library.VexaResolveClass(wide, None, None, byref(size)))
    if hr not in (0, 0x8007007A):  # success, or the buffer that was not given is too small
        raise ComError(hr, member=name)
    path = ctypes.create_string_buffer(size.value)
    hr = unsigned(library.VexaResolveClass(wide, None, path, byref(size)))
    if hr != 0:
        raise ComError(hr, member=name)
    module = Module.load(os.fsdecode(path.value))
    out = c_void_p()
    hr = unsigned(library.VexaCreateObject(wide, byref(_abi.IID_IDispatch), byref(out)))
    if hr != 0:
        raise ComError(hr, module.error_text(hr) if hr != VEXA_E_REGISTRYDAMAGED else None, member=name)
    return module, out.value
