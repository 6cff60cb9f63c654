"""A stream of the host's: a Python file-like object (anything with read()) seen by the component
as an IStream, for AddJPEGImageStream. The COM object is kept alive, with the Python object it
reads, for as long as the component holds a reference to it."""

import ctypes
from ctypes import c_int64, c_uint32, c_uint64, c_void_p

from . import _abi
from ._abi import HRESULT, ULONG, GUID, STATSTG
from .errors import E_NOINTERFACE, E_NOTIMPL, STG_E_ACCESSDENIED, STG_E_INVALIDFUNCTION, STG_E_READFAULT

S_OK, S_FALSE = 0, 1
STGTY_STREAM = 2

_QueryInterface = ctypes.CFUNCTYPE(HRESULT, c_void_p, ctypes.POINTER(GUID), ctypes.POINTER(c_void_p))
_Count = ctypes.CFUNCTYPE(ULONG, c_void_p)
_Read = ctypes.CFUNCTYPE(HRESULT, c_void_p, c_void_p, c_uint32, ctypes.POINTER(c_uint32))
_Seek = ctypes.CFUNCTYPE(HRESULT, c_void_p, c_int64, c_uint32, ctypes.POINTER(c_uint64))
_SetSize = ctypes.CFUNCTYPE(HRESULT, c_void_p, c_uint64)
_CopyTo = ctypes.CFUNCTYPE(HRESULT, c_void_p, c_void_p, c_uint64, c_void_p, c_void_p)
_Commit = ctypes.CFUNCTYPE(HRESULT, c_void_p, c_uint32)
_Revert = ctypes.CFUNCTYPE(HRESULT, c_void_p)
_Region = ctypes.CFUNCTYPE(HRESULT, c_void_p, c_uint64, c_uint64, c_uint32)
_Stat = ctypes.CFUNCTYPE(HRESULT, c_void_p, ctypes.POINTER(STATSTG), c_uint32)
_Clone = ctypes.CFUNCTYPE(HRESULT, c_void_p, ctypes.POINTER(c_void_p))


class _Vtable(ctypes.Structure):
    _fields_ = [("QueryInterface", _QueryInterface), ("AddRef", _Count), ("Release", _Count),
                ("Read", _Read), ("Write", _Read), ("Seek", _Seek), ("SetSize", _SetSize), ("CopyTo", _CopyTo),
                ("Commit", _Commit), ("Revert", _Revert), ("LockRegion", _Region), ("UnlockRegion", _Region),
                ("Stat", _Stat), ("Clone", _Clone)]


class _Object(ctypes.Structure):
    _fields_ = [("vtable", ctypes.POINTER(_Vtable))]


class HostStream:
    """One IStream over one Python file-like object."""

    live = {}  # address of the COM object -> HostStream, while references are held

    def __init__(self, file):
        self.file, self.refs, self.error = file, 0, None
        self.object = _Object(ctypes.pointer(_VTABLE))
        self.address = ctypes.addressof(self.object)

    @classmethod
    def new_reference(cls, file):
        """The IStream pointer of a new stream over `file`, carrying one reference."""
        stream = cls(file)
        stream.refs = 1
        cls.live[stream.address] = stream
        return stream.address

    @classmethod
    def of(cls, address):
        return cls.live[address]


def _guarded(failure):
    """A callback that turns a Python exception into `failure`, kept on the stream for the caller."""
    def decorate(function):
        def callback(this, *args):
            stream = HostStream.live.get(this)
            if stream is None:
                return failure
            try:
                return function(stream, *args)
            except BaseException as error:  # nothing may unwind through the component
                stream.error = stream.error or error
                return failure
        return callback
    return decorate


_INTERFACES = (_abi.IID_IUnknown, _abi.IID_ISequentialStream, _abi.IID_IStream)


@_guarded(E_NOINTERFACE)
def _query_interface(stream, riid, ppv):
    if not ppv:
        return 0x80004003
    if riid and riid.contents in _INTERFACES:
        stream.refs += 1
        ppv[0] = stream.address
        return S_OK
    ppv[0] = None
    return E_NOINTERFACE


def _add_ref(this):
    stream = HostStream.live.get(this)
    if stream is None:
        return 0
    stream.refs += 1
    return stream.refs


def _release(this):
    stream = HostStream.live.get(this)
    if stream is None:
        return 0
    stream.refs -= 1
    if stream.refs == 0:
        del HostStream.live[this]
    return stream.refs


@_guarded(STG_E_READFAULT)
def _read(stream, pv, cb, pcb_read):
    data = bytearray()
    while len(data) < cb:
        piece = stream.file.read(cb - len(data))
        if not piece:
            break
        data += piece
    if data:
        ctypes.memmove(pv, bytes(data), len(data))
    if pcb_read:
        pcb_read[0] = len(data)
    return S_OK if len(data) == cb else S_FALSE


@_guarded(STG_E_ACCESSDENIED)
def _write(stream, pv, cb, pcb_written):
    if not hasattr(stream.file, "write"):
        return STG_E_ACCESSDENIED
    written = stream.file.write(ctypes.string_at(pv, cb))
    if pcb_written:
        pcb_written[0] = cb if written is None else written
    return S_OK


@_guarded(STG_E_INVALIDFUNCTION)
def _seek(stream, move, origin, new_position):
    if origin not in (0, 1, 2) or not hasattr(stream.file, "seek"):
        return STG_E_INVALIDFUNCTION
    position = stream.file.seek(move, origin)
    if new_position:
        new_position[0] = position
    return S_OK


@_guarded(STG_E_INVALIDFUNCTION)
def _stat(stream, statstg, flag):
    if not statstg:
        return 0x80004003
    ctypes.memset(statstg, 0, ctypes.sizeof(STATSTG))
    statstg.contents.type = STGTY_STREAM
    file = stream.file
    if hasattr(file, "seek") and hasattr(file, "tell"):
        here = file.tell()
        statstg.contents.cbSize = file.seek(0, 2)
        file.seek(here)
    return S_OK


def _not_implemented(*args):
    return E_NOTIMPL


def _invalid(*args):
    return STG_E_INVALIDFUNCTION


def _commit(this, flags):
    return S_OK


_VTABLE = _Vtable(_QueryInterface(_query_interface), _Count(_add_ref), _Count(_release), _Read(_read),
                  _Read(_write), _Seek(_seek), _SetSize(_invalid), _CopyTo(_not_implemented), _Commit(_commit),
                  _Revert(_not_implemented), _Region(_invalid), _Region(_invalid), _Stat(_stat),
                  _Clone(_not_implemented))
