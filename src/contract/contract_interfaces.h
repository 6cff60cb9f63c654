// The contract's interfaces as QueryInterface knows them: each one's IID and, for the default
// dual interface of a class, its dispinterface's DIID.
#pragma once

#include "automation/interface_traits.h"
#include "vexa/VexaComponent.h"

namespace vexa {

template <>
struct InterfaceTraits<IMessage> : DualInterfaceIds<IID_IMessage, DIID_DispMessage> {};
template <>
struct InterfaceTraits<ISMS> : DualInterfaceIds<IID_ISMS, DIID_DispSMS> {};
template <>
struct InterfaceTraits<IReceiver> : DualInterfaceIds<IID_IReceiver, DIID_DispReceiver> {};
template <>
struct InterfaceTraits<IReceiver2> : InterfaceIds<IID_IReceiver2> {};
template <>
struct InterfaceTraits<IReceivers> : DualInterfaceIds<IID_IReceivers, DIID_DispReceivers> {};
template <>
struct InterfaceTraits<IContents> : DualInterfaceIds<IID_IContents, DIID_DispContents> {};
template <>
struct InterfaceTraits<ISendResult> : DualInterfaceIds<IID_ISendResult, DIID_DispSendResult> {};
template <>
struct InterfaceTraits<ISendResult2> : InterfaceIds<IID_ISendResult2> {};
template <>
struct InterfaceTraits<ISendResults> : DualInterfaceIds<IID_ISendResults, DIID_DispSendResults> {};
template <>
struct InterfaceTraits<ILogList> : DualInterfaceIds<IID_ILogList, DIID_DispLogList> {};
template <>
struct InterfaceTraits<ILogList2> : InterfaceIds<IID_ILogList2> {};
template <>
struct InterfaceTraits<ILogList3> : InterfaceIds<IID_ILogList3> {};
template <>
struct InterfaceTraits<ILogLists> : DualInterfaceIds<IID_ILogLists, DIID_DispLogLists> {};
template <>
struct InterfaceTraits<ILogDetail> : DualInterfaceIds<IID_ILogDetail, DIID_DispLogDetail> {};
template <>
struct InterfaceTraits<ILogDetail2> : InterfaceIds<IID_ILogDetail2> {};
template <>
struct InterfaceTraits<ILogDetails> : DualInterfaceIds<IID_ILogDetails, DIID_DispLogDetails> {};
template <>
struct InterfaceTraits<ILogDetails2> : InterfaceIds<IID_ILogDetails2> {};
template <>
struct InterfaceTraits<ILogDetails3> : InterfaceIds<IID_ILogDetails3> {};
// Its class has no dispinterface of its own: IDispatch reaches the dual interface.
template <>
struct InterfaceTraits<ILogDetailsCollection> : InterfaceIds<IID_ILogDetailsCollection> {};
template <>
struct InterfaceTraits<IDeleteResult> : DualInterfaceIds<IID_IDeleteResult, DIID_DispDeleteResult> {};
template <>
struct InterfaceTraits<IDeleteResults> : DualInterfaceIds<IID_IDeleteResults, DIID_DispDeleteResults> {};
template <>
struct InterfaceTraits<ICancelResult> : DualInterfaceIds<IID_ICancelResult, DIID_DispCancelResult> {};
template <>
struct InterfaceTraits<ICancelResults> : DualInterfaceIds<IID_ICancelResults, DIID_DispCancelResults> {};
template <>
struct InterfaceTraits<ILoginInfo> : DualInterfaceIds<IID_ILoginInfo, DIID_DispLoginInfo> {};
template <>
struct InterfaceTraits<ILoginInfo2> : InterfaceIds<IID_ILoginInfo2> {};
template <>
struct InterfaceTraits<ILoginInfo3> : InterfaceIds<IID_ILoginInfo3> {};
// Message's private interface.
template <>
struct InterfaceTraits<IServiceEndpoint> : InterfaceIds<IID_IServiceEndpoint> {};
// LogDetails' private interface.
template <>
struct InterfaceTraits<ILogDetailsSubject> : InterfaceIds<IID_ILogDetailsSubject> {};

}  // namespace vexa
