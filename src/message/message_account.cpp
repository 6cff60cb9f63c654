// The account: credentials, the user-status request, and how every reply's outcome is judged
// and refreshes the login information.
#include <ctime>

#include "automation/date.h"
#include "automation/guarded.h"
#include "automation/text.h"
#include "message/message.h"

namespace vexa {

namespace {

// The reply's Date (already local time), or now when the reply gave none that converts.
DATE ServerTimeOf(const HttpResponse& response) {
    const SystemTime& t = response.serverDate;
    DATE date = 0.0;
    if (!t.IsZero() && PartsToDate({t.year, t.month, t.day, t.hour, t.minute, t.second}, date) && date != 0.0)
        return date;
    DateFromTimeT(std::time(nullptr), date);
    return date;
}

std::vector<Bstr> BstrsFromLocal(const std::vector<std::string>& texts) {
    std::vector<Bstr> out;
    out.reserve(texts.size());
    for (const std::string& t : texts) out.push_back(BstrFromLocal(t));
    return out;
}

}  // namespace

HRESULT Message::SetAccountInfo(BSTR UserID, BSTR UserPassword) noexcept {
    return Guarded([&]() -> HRESULT {
        const std::string id = ToLocal(UserID);
        const std::string password = ToLocal(UserPassword);
        if (id.empty() || password.empty()) return E_FAIL;
        context_.SetCredentials(id, password);  // nothing is verified until a request is made
        return S_OK;
    });
}

HRESULT Message::UpdateLoginInfo() noexcept {
    return Guarded([&]() -> HRESULT {
        CRondoUsers users(context_);
        const bool executed = users.RequestUserStatus();
        const HRESULT hr = ApplyReplyOutcome(users, executed);
        return FAILED(hr) ? hr : S_OK;
    });
}

HRESULT Message::ApplyReplyOutcome(const CRondoEntity& entity, bool executed) {
    if (!executed) return VEXA_E_NOTCONNECTED;
    switch (entity.Response().status) {
        case 200:
            return RefreshLoginInfo(entity);
        case 401:
            if (loginInfo_) loginInfo_->SetLogined(VEXA_FAILED);
            return VEXA_E_LOGINFAIL;
        case 540:
        case 541:
            return VEXA_E_NEEDFORCALL;
        default:
            return VEXA_E_SERVERERROR;
    }
}

// Only the info element's status counts; the user ID is the one this object sends.
HRESULT Message::RefreshLoginInfo(const CRondoEntity& entity) {
    const CRondoUserInfo info = entity.Info();
    if (!loginInfo_) {
        loginInfo_ = LoginInfo::Make();
        if (!loginInfo_) return E_OUTOFMEMORY;
    }
    const ServiceContext& context = entity.Context();
    loginInfo_->SetServerDetails(BstrFromLocal(context.host), static_cast<LONG>(context.port), Bstr(u""),
                                 ServerTimeOf(entity.Response()));
    loginInfo_->SetUserDetails(BstrFromLocal(context.userId), Bstr(u""), BstrFromLocal(info.status.userName),
                               BstrFromLocal(info.status.phoneReturn));
    loginInfo_->SetLogined(VEXA_SUCCEEDED);
    loginInfo_->SetFreeCall(info.status.call);
    loginInfo_->SetUserPhoneNumbers(BstrsFromLocal(info.status.phoneReturns));
    loginInfo_->SetRestOwned();
    return S_OK;
}

}  // namespace vexa
