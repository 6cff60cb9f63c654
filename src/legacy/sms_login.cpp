// SMS: logging in, refreshing the login information, and the login that opens every packet.
#include <ctime>
#include <optional>

#include "automation/date.h"
#include "automation/decimal_text.h"
#include "automation/guarded.h"
#include "automation/text.h"
#include "contract/read_property.h"
#include "environment/client_description.h"
#include "legacy/protocol/scramble.h"
#include "legacy/sms.h"

namespace vexa {

using VexaCore::CUserBundle;
using VexaCore::UserReply;

namespace {

// The service sends Unix seconds; none (or 0) means it gave no time, and the local clock stands in.
DATE ServerTimeOf(const UserReply& reply) {
    const int64_t seconds = ReadDecimal64(reply.serverTime);
    DATE date = 0.0;
    if (seconds != 0 && DateFromTimeT(seconds, date)) return date;
    DateFromTimeT(std::time(nullptr), date);
    return date;
}

// The password as the service takes it: scrambled, and without a space, which it would not
// read back. Each try has a fair chance for a password of human length; a very long one may never
// come out without a space, and is refused (nullopt) rather than tried forever.
std::optional<std::string> ScrambleForLogin(const std::string& password) {
    for (int attempt = 0; attempt < 10000; ++attempt) {
        std::string scrambled = VexaCore::ScrambleText(password);
        if (scrambled.find(' ') == std::string::npos) return scrambled;
    }
    return std::nullopt;
}

// A reply that is an "ERROR" element and nothing of a login: the server failed, it did not refuse.
bool IsServerError(const Quill::CTPMLParser& reply) {
    const Quill::TPMLNode* first = reply.FirstElement();
    return first && first->Name() == "ERROR";
}

}  // namespace

const SMS::ClientFacts& SMS::Client() const {
    if (!client_)
        client_ =
            ClientFacts{DescribeAdapterAddress(), DescribeComputer(), DescribeUser(), DescribeHostModule()};
    return *client_;
}

void SMS::DescribeLogin(CUserBundle& user, const std::string& userId,
                        const std::string& scrambledPassword) const {
    user.SetLogin(userId, scrambledPassword);
    // The host's machine, user and program, as far as they can be told.
    const ClientFacts& client = Client();
    if (!client.adapterAddress.empty()) user.SetEtcInfo("macaddress", client.adapterAddress);
    if (!client.computer.empty()) user.SetEtcInfo("computername", client.computer);
    if (!client.user.empty()) user.SetEtcInfo("username", client.user);
    user.SetEtcInfo("servicecode", ToLocal(serviceCode_.Get()));
    user.SetEtcInfo("modulename", client.module);
}

bool SMS::Exchange(const std::string& host, LONG port, const Quill::CTPMLParser& request,
                   Quill::CTPMLParser& reply) const {
    if (port <= 0 || port > 65535) return false;
    VexaCore::CAtlSyncSocket socket(host, static_cast<uint16_t>(port), timeouts_);
    return socket.Exchange(request, reply) == 1;
}

HRESULT SMS::ExchangeAccount(const std::string& host, LONG port, const std::string& userId,
                             const std::string& scrambledPassword,
                             const std::function<HRESULT(const UserReply&)>& readReply) const {
    CUserBundle request;
    DescribeLogin(request, userId, scrambledPassword);
    request.AddRefer("phone_return");
    request.AddRefer("user_name");
    request.SetStatus();
    request.Process();
    Quill::CTPMLParser replyDocument;
    if (!Exchange(host, port, request.Document(), replyDocument)) return VEXA_E_NOTCONNECTED;

    if (IsServerError(replyDocument)) return VEXA_E_SERVERERROR;
    const CUserBundle reply(&replyDocument);
    if (reply.HasError()) return VEXA_E_SERVERERROR;
    return readReply(reply.Reply());
}

HRESULT SMS::Login(BSTR ServerIP, LONG ServerPort, BSTR UserID, BSTR UserPassword,
                   IDispatch** ppLoginInfo) noexcept {
    ClearOut(ppLoginInfo);
    loginInfo_.Reset();  // logged out until this succeeds
    return Guarded([&]() -> HRESULT {
        const Bstr host = SysStringLen(ServerIP) > 0 ? Bstr(ServerIP) : BstrFromLocal(kDefaultLegacyHost);
        const LONG port = ServerPort == 0 ? kDefaultLegacyPort : ServerPort;
        const std::optional<std::string> scrambledOrNone = ScrambleForLogin(ToLocal(UserPassword));
        if (!scrambledOrNone) return E_INVALIDARG;
        const std::string& scrambled = *scrambledOrNone;

        return ExchangeAccount(
            ToLocal(host.Get()), port, ToLocal(UserID), scrambled, [&](const UserReply& r) -> HRESULT {
                if (!r.loginSeen || r.loginResult != "succeed") return VEXA_E_LOGINFAIL;
                ComPtr<LoginInfo> info = LoginInfo::Make();
                if (!info) return E_OUTOFMEMORY;
                info->SetServerDetails(host, port, BstrFromLocal(r.serverVersion), ServerTimeOf(r));
                info->SetUserDetails(Bstr(UserID), BstrFromLocal(scrambled),
                                     BstrFromLocal(r.Refer("user_name")),
                                     BstrFromLocal(r.Refer("phone_return")));
                info->SetLogined(VEXA_SUCCEEDED);
                if (r.statusSeen) info->SetFreeCall(ReadDecimal32(r.call));
                loginInfo_ = info;
                return ppLoginInfo ? HandOutDispatch(loginInfo_, ppLoginInfo) : S_OK;
            });
    });
}

HRESULT SMS::UpdateLoginInfo() noexcept {
    if (!loginInfo_) return VEXA_E_NOTLOGINED;
    return Guarded([&] {
        LONG port = 0;
        loginInfo_->get_ServerPort(&port);
        const Bstr hostText = ReadBstr(loginInfo_.Get(), &LoginInfo::get_ServerIP);
        const Bstr userText = ReadBstr(loginInfo_.Get(), &LoginInfo::get_UserID);
        return ExchangeAccount(ToLocal(hostText.Get()), port, ToLocal(userText.Get()),
                               ToLocal(loginInfo_->ScrambledPassword().Get()),
                               [&](const UserReply& r) { return RefreshFrom(r, hostText, port, userText); });
    });
}

// What a reply told of the account; what it did not tell stays as it was.
HRESULT SMS::RefreshFrom(const UserReply& r, const Bstr& host, LONG port, const Bstr& userId) {
    if (r.loginSeen && r.loginResult != "succeed") {
        loginInfo_->SetLogined(VEXA_FAILED);
        return VEXA_E_LOGINFAIL;
    }
    if (r.loginSeen) {
        loginInfo_->SetLogined(VEXA_SUCCEEDED);
        const Bstr version = r.serverVersion.empty()
                                 ? ReadBstr(loginInfo_.Get(), &LoginInfo::get_ServerVersion)
                                 : BstrFromLocal(r.serverVersion);
        loginInfo_->SetServerDetails(host, port, version, ServerTimeOf(r));
    }
    const std::string* name = r.FindRefer("user_name");
    const std::string* phone = r.FindRefer("phone_return");
    if (name || phone)
        loginInfo_->SetUserDetails(
            userId, loginInfo_->ScrambledPassword(),
            name ? BstrFromLocal(*name) : ReadBstr(loginInfo_.Get(), &LoginInfo::get_UserName),
            phone ? BstrFromLocal(*phone) : ReadBstr(loginInfo_.Get(), &LoginInfo::get_UserPhoneNumber));
    if (r.statusSeen) loginInfo_->SetFreeCall(ReadDecimal32(r.call));
    return S_OK;
}

// A "USER" element of a packet's reply: a refused login, the credit, the server time.
HRESULT SMS::ReadUserReply(Quill::CTPMLParser& element) {
    const CUserBundle reply(&element);
    LONG port = 0;
    loginInfo_->get_ServerPort(&port);
    return RefreshFrom(reply.Reply(), ReadBstr(loginInfo_.Get(), &LoginInfo::get_ServerIP), port,
                       ReadBstr(loginInfo_.Get(), &LoginInfo::get_UserID));
}

}  // namespace vexa
