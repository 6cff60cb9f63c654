"""The HRESULTs the component and its activation return, as constants, and the exception a
failing call raises.

    try:
        message.Login(...)
    except vexa.ComError as error:
        if error.hresult == vexa.errors.VEXA_E_LOGINFAIL: ...
"""

# The component's own codes, with the texts its GetErrorMessage gives for them.
VEXA_E_NOTCONNECTED = 0x8004A001
VEXA_E_SERVERERROR = 0x8004A002
VEXA_E_LOGINFAIL = 0x8004A003
VEXA_E_TOOBUSY = 0x8004A004
VEXA_E_RECEIVERNOTFOUND = 0x8004A005
VEXA_E_SOCKINITFAIL = 0x8004A006
VEXA_E_NOTLOGINED = 0x8004A007
VEXA_E_CANNOTASSIGN = 0x8004A008
VEXA_E_LOGLISTNOTFOUND = 0x8004A009
VEXA_E_NEEDFORCALL = 0x8004A00A
VEXA_E_NOTADDED = 0x8004A00B
VEXA_E_FILEISTOOLARGE = 0x8004A00C
VEXA_E_DEPRECATED = 0x8004A00D

# Standard codes the component returns or passes on.
S_OK = 0x00000000
S_FALSE = 0x00000001
E_NOTIMPL = 0x80004001
E_NOINTERFACE = 0x80004002
E_POINTER = 0x80004003
E_FAIL = 0x80004005
E_UNEXPECTED = 0x8000FFFF
E_OUTOFMEMORY = 0x8007000E
E_INVALIDARG = 0x80070057
E_ACCESSDENIED = 0x80070005

# Late binding (IDispatch::Invoke and GetIDsOfNames).
DISP_E_UNKNOWNINTERFACE = 0x80020001
DISP_E_MEMBERNOTFOUND = 0x80020003
DISP_E_PARAMNOTFOUND = 0x80020004
DISP_E_TYPEMISMATCH = 0x80020005
DISP_E_UNKNOWNNAME = 0x80020006
DISP_E_NONAMEDARGS = 0x80020007
DISP_E_BADVARTYPE = 0x80020008
DISP_E_EXCEPTION = 0x80020009
DISP_E_OVERFLOW = 0x8002000A
DISP_E_BADINDEX = 0x8002000B
DISP_E_BADPARAMCOUNT = 0x8002000E

# Activation and the apartment rule.
CLASS_E_NOAGGREGATION = 0x80040110
CLASS_E_CLASSNOTAVAILABLE = 0x80040111
REGDB_E_CLASSNOTREG = 0x80040154
CO_E_CLASSSTRING = 0x800401F3
CO_E_DLLNOTFOUND = 0x800401F8
VEXA_E_REGISTRYDAMAGED = 0x800703F1
RPC_E_WRONG_THREAD = 0x8001010E

# Streams a host hands in.
STG_E_INVALIDFUNCTION = 0x80030001
STG_E_ACCESSDENIED = 0x80030005
STG_E_READFAULT = 0x8003001E

NAMES = {value: name for name, value in list(globals().items())
         if name.isupper() and isinstance(value, int) and not name.startswith("S_")}

# What this package says for codes met before any module is there to say it (activation).
_OWN_TEXTS = {
    CO_E_CLASSSTRING: "Invalid class string: no class is registered under that name.",
    REGDB_E_CLASSNOTREG: "Class not registered.",
    CO_E_DLLNOTFOUND: "The module of the class could not be loaded.",
    VEXA_E_REGISTRYDAMAGED: "The registry file is damaged.",
    CLASS_E_CLASSNOTAVAILABLE: "The module does not have that class.",
}


def name_of(hresult):
    """The constant's name of a code ("VEXA_E_LOGINFAIL"), or None for a code not listed here."""
    return NAMES.get(hresult & 0xFFFFFFFF)


class ComError(Exception):
    """A call that failed: `hresult` (unsigned, as the constants above), `name` (the constant's
    name, or None), `text` (the component's own text for the code) and `member` (what was called)."""

    def __init__(self, hresult, text=None, member=None):
        self.hresult = hresult & 0xFFFFFFFF
        self.name = name_of(self.hresult)
        self.text = (text if text is not None else _OWN_TEXTS.get(self.hresult, "")).strip()
        self.member = member
        super().__init__(self.hresult, self.name, self.text, member)

    def __str__(self):
        where = f"{self.member}: " if self.member else ""
        name = f" {self.name}" if self.name else ""
        text = f": {self.text}" if self.text else ""
        return f"{where}0x{self.hresult:08X}{name}{text}"
