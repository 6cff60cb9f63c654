#include <string>
#include <vector>

#include "commands.h"
#include "string_array.h"

namespace vexa_cli {

using vexa::ComPtr;

CommandResult RunStatus(const Session& session, const StatusRequest&) {
    const ComPtr<IDispatch> info = session.Front().CurrentLoginInfo();
    const auto login = Query<ILoginInfo>(session, info.Get(), IID_ILoginInfo, "ILoginInfo");
    const auto login3 = Query<ILoginInfo3>(session, info.Get(), IID_ILoginInfo3, "ILoginInfo3");

    VARIANT numbers;
    session.Module().VariantInit(&numbers);
    session.Check(login3->get_UserPhoneNumbers(&numbers), "UserPhoneNumbers");
    std::vector<std::string> phones;
    for (const std::u16string& phone : vexa_host::TakeStringArray(session.Module(), numbers))
        phones.push_back(vexa_host::Utf8(phone));

    CommandResult result;
    result.report.fields = {
        {"userId", "User ID", GetText(session, login.Get(), &ILoginInfo::get_UserID, "UserID")},
        {"name", "Name", GetText(session, login.Get(), &ILoginInfo::get_UserName, "UserName")},
        {"returnPhone", "Return phone",
         GetText(session, login.Get(), &ILoginInfo::get_UserPhoneNumber, "UserPhoneNumber")},
        {"returnPhones", "Return phones", phones},
        {"credit", "Credit", int64_t{Get(session, login.Get(), &ILoginInfo::get_FreeCall, "FreeCall")}},
        {"serverTime", "Server time",
         DateValue(Get(session, login.Get(), &ILoginInfo::get_ServerTime, "ServerTime"))},
    };
    // Only the legacy service tells its version; for the REST one the component answers
    // VEXA_E_DEPRECATED, and the field is left out.
    vexa_host::ModuleString version(session.Module());
    if (const HRESULT hr = login->get_ServerVersion(version.Out()); hr != VEXA_E_DEPRECATED) {
        session.Check(hr, "ServerVersion");
        result.report.fields.push_back({"serverVersion", "Server version", vexa_host::Utf8(version.Text())});
    }
    return result;
}

}  // namespace vexa_cli
