// The "USER" element: login with the client description, logout, account status, the lookup and
// change of account fields.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "legacy/unknown_bundle.h"

namespace VexaCore {

struct UserReply {
    bool loginSeen = false;
    std::string loginResult;
    std::string userId;
    std::string serverVersion;
    std::string serverTime;
    int32_t newsWidth = 0;
    int32_t newsHeight = 0;
    std::string newsUrl;
    std::string payType;
    std::string upgradeType;
    std::string upgradeUrl;
    bool statusSeen = false;
    std::string call, point, free;
    std::string logoutResult;
    std::string modifyResult;
    std::vector<std::pair<std::string, std::string>> refer;
    // An "ERROR" found inside one of the reply's elements.
    bool requestError = false;
    std::string requestErrorCode;
    std::string requestErrorMessage;

    // The value of a refer pair, "" when the reply did not give it.
    std::string Refer(std::string_view name) const;
    // The same, or nullptr when the reply did not give it.
    const std::string* FindRefer(std::string_view name) const;
};

class CUserBundle : public CUnknownBundle {
public:
    // With a reply document the bundle reads it at once.
    explicit CUserBundle(Quill::CTPMLParser* reply = nullptr);

    // The user ID goes through EscapeField; the password as given (the scrambled form).
    void SetLogin(const std::string& userId, const std::string& password);
    void SetLogout();
    void SetStatus();
    void AddRefer(const std::string& name);
    void AddModify(const std::string& name, const std::string& value);
    // An attribute of the client description "ETCINFO" sent with the login.
    void SetEtcInfo(const std::string& name, const std::string& value);

    void Process() override;
    const UserReply& Reply() const { return reply_; }

private:
    void Build();
    void Read();

    bool login_ = false, logout_ = false, status_ = false, refer_ = false, modify_ = false;
    std::string userId_, password_;
    Quill::CTPMLParser etcInfo_;
    std::vector<std::string> referNames_;
    std::vector<std::pair<std::string, std::string>> modifications_;
    UserReply reply_;
};

}  // namespace VexaCore
