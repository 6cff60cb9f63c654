// What QueryInterface knows of an interface: its IID and, for a dual interface that is its
// class's default, the DIID of its dispinterface (which answers with the same vtable). Every
// interface an object implements has its traits, written once beside the interface's
// identifiers, and the interface maps are built from them, so an entry can never pair one
// interface with another's identifier.
#pragma once

#include "vexa/automation.h"

namespace vexa {

// Left undefined: an interface without traits cannot be in a map.
template <class Itf>
struct InterfaceTraits;

// What a specialisation derives from: InterfaceTraits<IFoo> : InterfaceIds<IID_IFoo>, or
// DualInterfaceIds<IID_IFoo, DIID_DispFoo> for a default dual interface and its dispinterface.
// A specialisation may also name `using Extends = IBase;` when its interface derives from another
// that it must answer for too.
template <const IID& Iid>
struct InterfaceIds {
    static constexpr const IID* iid = &Iid;
};
template <const IID& Iid, const IID& DispIid>
struct DualInterfaceIds : InterfaceIds<Iid> {
    static constexpr const IID* dispIid = &DispIid;
};

template <>
struct InterfaceTraits<IClassFactory> : InterfaceIds<IID_IClassFactory> {};
template <>
struct InterfaceTraits<IEnumVARIANT> : InterfaceIds<IID_IEnumVARIANT> {};
template <>
struct InterfaceTraits<IObjectSafety> : InterfaceIds<IID_IObjectSafety> {};
template <>
struct InterfaceTraits<IProvideClassInfo> : InterfaceIds<IID_IProvideClassInfo> {};
template <>
struct InterfaceTraits<ISequentialStream> : InterfaceIds<IID_ISequentialStream> {};
template <>
struct InterfaceTraits<IStream> : InterfaceIds<IID_IStream> {
    using Extends = ISequentialStream;
};

}  // namespace vexa
