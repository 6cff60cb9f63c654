"""What the generated typed classes (typed.py) are made of: a base class whose results are typed
too, properties and methods called by dispid, and the registry of classes by name."""

from ._abi import DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT
from ._dispatch import Dispatch


class Typed(Dispatch):
    """An object of the component whose class is known: members called by dispid, and every
    object it hands out typed as well."""

    __slots__ = ()
    _typed = True
    _progid = None

    def __init__(self, module=None):
        if self._progid is None:
            raise TypeError(f"{type(self).__name__} objects come from the front objects' factories and results")
        super().__init__(self._progid, module)


class prop:
    """A property of a typed class; `settable` ones take a value too."""

    __slots__ = ("dispid", "name", "settable")

    def __init__(self, dispid, name, settable=False):
        self.dispid, self.name, self.settable = dispid, name, settable

    def __get__(self, obj, owner=None):
        if obj is None:
            return self
        obj._check_thread(self.name)
        return obj._invoke(self.dispid, DISPATCH_PROPERTYGET, (), self.name)

    def __set__(self, obj, value):
        if not self.settable:
            raise AttributeError(f"{self.name} is read-only")
        obj._check_thread(self.name)
        obj._invoke(self.dispid, DISPATCH_PROPERTYPUT, (value,), self.name, put=True)


def method(obj, dispid, name, get=False, args=()):
    """Calls a method (or, with `get`, a property that takes arguments) by its dispid."""
    obj._check_thread(name)
    return obj._invoke(dispid, DISPATCH_PROPERTYGET if get else DISPATCH_METHOD, args, name)


def typed_class(cls):
    """Registers a generated class, so that objects of that class come out typed."""
    Dispatch._typed_classes[cls.__name__] = cls
    return cls
