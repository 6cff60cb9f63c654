#include "contract/login_info.h"

#include "automation/date.h"
#include "automation/guarded.h"
#include "automation/out_param.h"
#include "automation/safearray.h"
#include "automation/text.h"
#include "legacy/protocol/scramble.h"

namespace vexa {

LoginInfo::LoginInfo() : tickSource_(&TickCount) {}

std::span<const DispEntry> LoginInfo::DispatchMembers() {
    using M = Members<LoginInfo>;
    static constexpr DispEntry rows[] = {
        M::Get<&ILoginInfo::get_ServerIP>("ServerIP", 1),
        M::Get<&ILoginInfo::get_ServerPort>("ServerPort", 2),
        M::Get<&ILoginInfo::get_UserID>("UserID", 3),
        M::Get<&ILoginInfo::get_UserPassword>("UserPassword", 4),
        M::Get<&ILoginInfo::get_UserName>("UserName", 5),
        M::Get<&ILoginInfo::get_UserPhoneNumber>("UserPhoneNumber", 6),
        M::Get<&ILoginInfo::get_Logined>("Logined", 7),
        M::Get<&ILoginInfo::get_ServerVersion>("ServerVersion", 8),
        M::Get<&ILoginInfo::get_ServerTime>("ServerTime", 9),
        M::Get<&ILoginInfo::get_FreeCall>("FreeCall", 10),
        M::Get<&ILoginInfo2::get_FreePoint>("FreePoint", 11),
        M::Get<&ILoginInfo3::get_UserPhoneNumbers>("UserPhoneNumbers", 12),
    };
    return rows;
}

HRESULT LoginInfo::get_ServerPort(LONG* pVal) noexcept { return CopyOut(serverPort_, pVal); }
HRESULT LoginInfo::get_Logined(VEXA_RESULT* pVal) noexcept { return CopyOut(logined_, pVal); }
HRESULT LoginInfo::get_FreeCall(LONG* pVal) noexcept { return CopyOut(freeCall_, pVal); }
HRESULT LoginInfo::get_FreePoint(LONG*) noexcept { return VEXA_E_DEPRECATED; }

HRESULT LoginInfo::get_UserPassword(BSTR* pVal) noexcept {
    if (restOwned_) return VEXA_E_DEPRECATED;
    if (!pVal) return S_OK;
    return Guarded([&] {
        *pVal = BstrFromLocal(VexaCore::UnscrambleText(ToLocal(password_.Get()))).Detach();
        return S_OK;
    });
}

HRESULT LoginInfo::get_ServerVersion(BSTR* pVal) noexcept {
    if (restOwned_) return VEXA_E_DEPRECATED;
    return CopyBstrOut(serverVersion_.Get(), pVal);
}

// The stored server time advanced by the whole seconds that passed since it was stored.
HRESULT LoginInfo::get_ServerTime(DATE* pVal) noexcept {
    const uint32_t elapsedMs = tickSource_() - serverTimeStamp_;  // modulo 2^32: wrap-around is harmless
    const double span = static_cast<double>(elapsedMs / 1000) / 86400.0;
    return CopyOut(LinearToDate(DateToLinear(serverTime_) + span), pVal);
}

HRESULT LoginInfo::get_UserPhoneNumbers(VARIANT* pVal) noexcept {
    if (!pVal) return S_OK;
    return BstrArrayVariant(userPhones_, pVal);
}

void LoginInfo::SetServerDetails(Bstr ip, LONG port, Bstr version, DATE serverTime) {
    serverIp_ = std::move(ip);
    serverPort_ = port;
    serverVersion_ = std::move(version);
    SetServerTime(serverTime);
}

void LoginInfo::SetServerTime(DATE serverTime) {
    serverTime_ = serverTime;
    serverTimeStamp_ = tickSource_();
}

void LoginInfo::SetUserDetails(Bstr userId, Bstr scrambledPassword, Bstr userName, Bstr userPhone) {
    userId_ = std::move(userId);
    password_ = std::move(scrambledPassword);
    userName_ = std::move(userName);
    userPhone_ = std::move(userPhone);
}

}  // namespace vexa
