"""VexaComponent from Python: the component's objects, bound late as script hosts bind them.

    import vexa
    m = vexa.Dispatch("VexaComponent.Message")
    m.SetAccountInfo("user", "password")
    r = m.CreateReceiverDirect("010-1234-5678", "Hello", vexa.VEXA_DIRECT, None)
    print(m.SendOne("02-000-0000", r, None).Result)
"""

import os

from . import constants, errors
from ._dispatch import Dispatch, Unknown, set_endpoint
from ._module import Module
from ._variant import date_from_datetime, datetime_from_date
from .constants import (VEXA_BYALL, VEXA_BYRESERVATION, VEXA_DIRECT, VEXA_FAILED, VEXA_MESSAGE_TYPE_ALL,
                        VEXA_MESSAGE_TYPE_LMS, VEXA_MESSAGE_TYPE_MMS, VEXA_MESSAGE_TYPE_SMS, VEXA_RESERVATION,
                        VEXA_SUCCEEDED, VEXA_TRANS_FAILED, VEXA_TRANS_NOTEXISTNUMBER, VEXA_TRANS_RECEIVED,
                        VEXA_TRANS_REQUESTED, VEXA_TRANS_SUCCEEDED, VEXA_TRANS_WAITING)
from .errors import ComError

__version__ = "4.2.0"


def load_module(path=None):
    """The module at `path` (default: VEXA_MODULE) as loaded in this process; its can_unload()
    tells whether every object of it has been released."""
    path = path or os.environ.get("VEXA_MODULE")
    if not path:
        raise ValueError("no module: give its path or set VEXA_MODULE")
    return Module.load(path)


def module_of(obj):
    """The module an object of the component comes from."""
    return obj._module


__all__ = [
    "Dispatch", "Unknown", "ComError", "Module", "set_endpoint", "load_module", "module_of", "date_from_datetime",
    "datetime_from_date", "constants", "errors", "VEXA_BYALL", "VEXA_BYRESERVATION", "VEXA_DIRECT", "VEXA_FAILED",
    "VEXA_MESSAGE_TYPE_ALL", "VEXA_MESSAGE_TYPE_LMS", "VEXA_MESSAGE_TYPE_MMS", "VEXA_MESSAGE_TYPE_SMS",
    "VEXA_RESERVATION", "VEXA_SUCCEEDED", "VEXA_TRANS_FAILED", "VEXA_TRANS_NOTEXISTNUMBER", "VEXA_TRANS_RECEIVED",
    "VEXA_TRANS_REQUESTED", "VEXA_TRANS_SUCCEEDED", "VEXA_TRANS_WAITING",
]
