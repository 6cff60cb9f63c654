#include "legacy/user_bundle.h"

#include "automation/decimal_text.h"
#include "legacy/protocol/escape_field.h"

namespace VexaCore {

using Quill::CTPMLParser;
using Quill::InsertPosition;
using Quill::TPMLNode;

const std::string* UserReply::FindRefer(std::string_view name) const {
    for (const auto& [key, value] : refer)
        if (key == name) return &value;
    return nullptr;
}

std::string UserReply::Refer(std::string_view name) const {
    const std::string* value = FindRefer(name);
    return value ? *value : std::string();
}

CUserBundle::CUserBundle(CTPMLParser* reply) : CUnknownBundle(reply) {
    if (reply) Process();
}

void CUserBundle::SetLogin(const std::string& userId, const std::string& password) {
    login_ = true;
    userId_ = EscapeField(userId);
    password_ = password;
    Touch();
}

void CUserBundle::SetLogout() {
    logout_ = true;
    Touch();
}

void CUserBundle::SetStatus() {
    status_ = true;
    Touch();
}

void CUserBundle::AddRefer(const std::string& name) {
    refer_ = true;
    referNames_.push_back(EscapeField(name));
    Touch();
}

void CUserBundle::AddModify(const std::string& name, const std::string& value) {
    modify_ = true;
    modifications_.emplace_back(name, value);
    Touch();
}

void CUserBundle::SetEtcInfo(const std::string& name, const std::string& value) {
    TPMLNode* info = etcInfo_.FirstElement();
    if (!info) info = CTPMLParser::AddElement(etcInfo_.Root(), "ETCINFO");
    CTPMLParser::SetAttribute(info, name, value);
    Touch();
}

void CUserBundle::Process() {
    if (ReplyMode())
        Read();
    else
        Build();
    CUnknownBundle::Process();
}

void CUserBundle::Build() {
    TPMLNode* user = StartRequest("USER");
    if (login_) {
        TPMLNode* login = CTPMLParser::AddElement(user, "LOGIN");
        CTPMLParser::AddElement(login, "USER_ID", userId_);
        CTPMLParser::AddElement(login, "PASSWORD", password_);
        if (const TPMLNode* info = etcInfo_.FirstElement())
            CTPMLParser::CopyNode(login, info, InsertPosition::LastChild);
    }
    if (logout_) CTPMLParser::AddElement(user, "LOGOUT");
    if (status_) CTPMLParser::AddElement(user, "STATUS");
    if (refer_) {
        TPMLNode* refer = CTPMLParser::AddElement(user, "REFER");
        for (const std::string& name : referNames_) CTPMLParser::AddElement(refer, name);
    }
    if (modify_) {
        TPMLNode* modify = CTPMLParser::AddElement(user, "MODIFY");
        for (const auto& [name, value] : modifications_) CTPMLParser::AddElement(modify, name, value);
    }
}

void CUserBundle::Read() {
    reply_ = {};
    ResetError();
    const TPMLNode* user = ReplyElement();
    if (!user) return;
    for (const TPMLNode* child = user->FirstChild(); child; child = child->Next()) {
        if (!child->IsElement()) continue;
        const std::string& name = child->Name();
        if (name == "ERROR") {
            SetError(*child);
            return;
        }
        if (name == "LOGIN") {
            reply_.loginSeen = true;
            reply_.loginResult = CTPMLParser::GetAttribute(child, "result");
            reply_.userId = CTPMLParser::GetChildText(child, "USER_ID");
            reply_.serverVersion = CTPMLParser::GetChildText(child, "VERSION");
            reply_.serverTime = CTPMLParser::GetChildText(child, "SERVERTIME");
            if (const TPMLNode* news = CTPMLParser::FindChild(child, "NEWS")) {
                reply_.newsWidth = vexa::ReadDecimal32((CTPMLParser::GetAttribute(news, "width")));
                reply_.newsHeight = vexa::ReadDecimal32((CTPMLParser::GetAttribute(news, "height")));
                reply_.newsUrl = CTPMLParser::GetAttribute(news, "url");
            }
            reply_.payType = CTPMLParser::GetChildText(child, "PAYTYPE");
            if (const TPMLNode* upgrade = CTPMLParser::FindChild(child, "UPGRADE")) {
                reply_.upgradeType = CTPMLParser::GetAttribute(upgrade, "type");
                reply_.upgradeUrl = CTPMLParser::GetAttribute(upgrade, "url");
            }
        } else if (name == "LOGOUT") {
            reply_.logoutResult = CTPMLParser::GetAttribute(child, "result");
        } else if (name == "MODIFY") {
            reply_.modifyResult = CTPMLParser::GetAttribute(child, "result");
        } else if (name == "STATUS") {
            reply_.statusSeen = true;
            reply_.call = CTPMLParser::GetChildText(child, "CALL");
            reply_.point = CTPMLParser::GetChildText(child, "POINT");
            reply_.free = CTPMLParser::GetChildText(child, "FREE");
        } else if (name == "REFER") {
            for (const TPMLNode* pair = child->FirstChild(); pair; pair = pair->Next())
                reply_.refer.emplace_back(pair->Name(), pair->Value());
        }
        if (const TPMLNode* error = CTPMLParser::FindChild(child, "ERROR")) {
            reply_.requestError = true;
            reply_.requestErrorCode = CTPMLParser::GetAttribute(error, "code");
            reply_.requestErrorMessage = error->Value();
            return;
        }
    }
}

}  // namespace VexaCore
