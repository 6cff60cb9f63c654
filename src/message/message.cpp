#include "message/message.h"

#include "contract/contents.h"

namespace vexa {

Message::Message() : context_(ServiceContext::Defaults()) {}

std::span<const DispEntry> Message::DispatchMembers() {
    using M = Members<Message>;
    static constexpr auto rows = JoinRows(FrontRows<Message, IMessage>(),
                                          std::array{
                                              M::Method<&IMessage::SetAccountInfo>("SetAccountInfo", 14),
                                              M::Method<&IMessage::Send>("Send", 21),
                                              M::Method<&IMessage::SendOne>("SendOne", 22),
                                              M::Method<&IMessage::CreateContents>("CreateContents", 57),
                                          });
    return rows;
}

HRESULT Message::get_ServiceCode(BSTR*) noexcept { return VEXA_E_DEPRECATED; }
HRESULT Message::put_ServiceCode(BSTR) noexcept { return VEXA_E_DEPRECATED; }
HRESULT Message::get_OfficeName(BSTR*) noexcept { return VEXA_E_DEPRECATED; }
HRESULT Message::put_OfficeName(BSTR) noexcept { return VEXA_E_DEPRECATED; }
HRESULT Message::Login(BSTR, LONG, BSTR, BSTR, IDispatch**) noexcept { return VEXA_E_DEPRECATED; }

// Lists made here belong to the REST backend, where LogLists.AddDirect is retired.
HRESULT Message::CreateLogLists(IDispatch** ppLogLists) noexcept {
    return CreateAndHandOut<LogLists>(ppLogLists, [](LogLists& lists) { lists.SetRestOwned(); });
}

HRESULT Message::CreateLogListDirect(LONG Year, LONG Month, BSTR Index, VEXA_MESSAGE_TYPE Type,
                                     IDispatch** ppLogList) noexcept {
    return CreateLogListFor(Year, Month, Index, Type, ppLogList);
}

HRESULT Message::CreateContents(IDispatch** ppContents) noexcept {
    return CreateAndHandOut<Contents>(ppContents);
}

}  // namespace vexa
