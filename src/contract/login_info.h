// LoginInfo: the account state a front object holds and hands out.
#pragma once

#include <cstdint>
#include <vector>

#include "automation/bstr.h"
#include "automation/dispatch.h"
#include "contract/contract_interfaces.h"
#include "vexa/VexaComponent.h"

namespace vexa {

class LoginInfo final : public AutomationObject<LoginInfo, ILoginInfo, ILoginInfo2, ILoginInfo3> {
public:
    using TickSource = uint32_t (*)();

    LoginInfo();
    static std::span<const DispEntry> DispatchMembers();

    HRESULT STDMETHODCALLTYPE get_ServerIP(BSTR* pVal) noexcept override {
        return CopyBstrOut(serverIp_.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_ServerPort(LONG* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_UserID(BSTR* pVal) noexcept override {
        return CopyBstrOut(userId_.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_UserPassword(BSTR* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_UserName(BSTR* pVal) noexcept override {
        return CopyBstrOut(userName_.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_UserPhoneNumber(BSTR* pVal) noexcept override {
        return CopyBstrOut(userPhone_.Get(), pVal);
    }
    HRESULT STDMETHODCALLTYPE get_Logined(VEXA_RESULT* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ServerVersion(BSTR* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ServerTime(DATE* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_FreeCall(LONG* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_FreePoint(LONG* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_UserPhoneNumbers(VARIANT* pVal) noexcept override;

    // Setters, grouped as the login code fills them. The server time is stamped with the tick
    // count of the moment it is stored, so ServerTime keeps running.
    void SetServerDetails(Bstr ip, LONG port, Bstr version, DATE serverTime);
    void SetServerTime(DATE serverTime);
    // The password is kept in the legacy protocol's scrambled form.
    void SetUserDetails(Bstr userId, Bstr scrambledPassword, Bstr userName, Bstr userPhone);
    void SetFreeCall(LONG freeCall) { freeCall_ = freeCall; }
    void SetLogined(VEXA_RESULT logined) { logined_ = logined; }
    // Marks information that came from the REST service, which has no password or version.
    void SetRestOwned() { restOwned_ = true; }
    void SetUserPhoneNumbers(std::vector<Bstr> numbers) { userPhones_ = std::move(numbers); }

    // The stored (scrambled) password, for the legacy backend's later requests.
    const Bstr& ScrambledPassword() const { return password_; }
    // Tests replace the millisecond tick counter.
    void SetTickSource(TickSource source) { tickSource_ = source; }

private:
    Bstr serverIp_;
    LONG serverPort_ = 0;
    Bstr userId_;
    Bstr password_;
    Bstr userName_;
    Bstr userPhone_;
    std::vector<Bstr> userPhones_;
    LONG freeCall_ = 0;
    VEXA_RESULT logined_ = VEXA_FAILED;
    Bstr serverVersion_;
    DATE serverTime_ = 0.0;
    uint32_t serverTimeStamp_ = 0;
    bool restOwned_ = false;
    TickSource tickSource_;
};

}  // namespace vexa
