#include <cmath>
#include <cwchar>

#include "checks.h"
#include "com_support.h"

namespace host {

namespace {

constexpr wchar_t kSender[] = L"02-555-1234";
constexpr wchar_t kText[] = L"레거시로 보낸 문자입니다 (it's #1)";
constexpr double kSecond = 1.0 / 86400;

ComPtr<ISMS> NewSms() {
    ComPtr<ISMS> sms;
    CheckHr("SMS",
            CoCreateInstance(CLSID_SMS, nullptr, CLSCTX_INPROC_SERVER, IID_ISMS,
                             reinterpret_cast<void**>(sms.GetAddressOf())),
            S_OK);
    return sms;
}

ComPtr<ILoginInfo> Login(const std::string& name, ISMS* sms, const LegacyServer& server,
                         const std::wstring& user, const std::wstring& password, HRESULT expected = S_OK) {
    ComPtr<IDispatch> info;
    CheckHr(name,
            sms->Login(Bstr(server.host).Get(), server.port, Bstr(user).Get(), Bstr(password).Get(),
                       info.GetAddressOf()),
            expected);
    return expected == S_OK ? Query<ILoginInfo>(name, info.Get()) : nullptr;
}

// Tomorrow at 10:00, local time, as a host computes it.
DATE TomorrowAtTen() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    now.wHour = 10;
    now.wMinute = now.wSecond = now.wMilliseconds = 0;
    DATE date = 0;
    SystemTimeToVariantTime(&now, &date);
    return date + 1;
}

}  // namespace

void CheckLegacyFlow(const LegacyServer& server, const Account& account) {
    if (ComPtr<ISMS> refused = NewSms()) {
        Login("legacy: Login with a wrong password", refused.Get(), server, account.user,
              account.password + L"-not", VEXA_E_LOGINFAIL);
        ComPtr<IDispatch> none;
        CheckHr("legacy: LoginInfo after a refused login", refused->get_LoginInfo(none.GetAddressOf()),
                VEXA_E_NOTLOGINED);
        // A port where nothing listens: the server cannot be reached.
        Login("legacy: Login where nothing listens", refused.Get(), {server.host, 1}, account.user,
              account.password, VEXA_E_NOTCONNECTED);
    }

    ComPtr<ISMS> sms = NewSms();
    if (!sms) return;
    ComPtr<ILoginInfo> info = Login("legacy: Login", sms.Get(), server, account.user, account.password);
    if (!info) return;
    CheckProp("legacy: LoginInfo.UserID", info.Get(), &ILoginInfo::get_UserID, account.user);
    CheckProp("legacy: LoginInfo.UserPassword", info.Get(), &ILoginInfo::get_UserPassword, account.password);
    CheckProp("legacy: LoginInfo.Logined", info.Get(), &ILoginInfo::get_Logined, VEXA_SUCCEEDED);
    CheckProp("legacy: LoginInfo.ServerIP", info.Get(), &ILoginInfo::get_ServerIP, server.host);
    CheckProp("legacy: LoginInfo.ServerPort", info.Get(), &ILoginInfo::get_ServerPort, server.port);
    CheckProp("legacy: LoginInfo.FreeCall", info.Get(), &ILoginInfo::get_FreeCall, account.credit);
    CheckHr("legacy: OfficeName", sms->put_OfficeName(Bstr(L"본사").Get()), S_OK);

    // At once to a number and to one that does not exist, then a reservation for tomorrow.
    ComPtr<IDispatch> listDisp, resultsDisp;
    CheckHr("legacy: CreateReceivers", sms->CreateReceivers(listDisp.GetAddressOf()), S_OK);
    ComPtr<IReceivers> list = Query<IReceivers>("legacy: IReceivers", listDisp.Get());
    if (!list) return;
    for (const wchar_t* phone : {L"010-1234-5678", L"010-9999-0000"})
        CheckHr("legacy: AddDirect", list->AddDirect(Bstr(phone).Get(), Bstr(kText).Get(), VEXA_DIRECT, 0),
                S_OK);
    CheckHr("legacy: SendSMS", sms->SendSMS(Bstr(kSender).Get(), listDisp.Get(), resultsDisp.GetAddressOf()),
            S_OK);
    ComPtr<ISendResults> results = Query<ISendResults>("legacy: ISendResults", resultsDisp.Get());
    CheckProp("legacy: SendSMS results", results.Get(), &ISendResults::get_Count, 2L);
    ComPtr<ISendResult> first =
        Query<ISendResult>("legacy: result 0", Item("result 0", results.Get(), 0).Get());
    CheckProp("legacy: result 0 Result", first.Get(), &ISendResult::get_Result, VEXA_SUCCEEDED);
    const std::wstring date = Read("legacy: result 0 Date", first.Get(), &ISendResult::get_Date);
    const std::wstring sent = Read("legacy: result 0 Index", first.Get(), &ISendResult::get_Index);
    CheckProp("legacy: FreeCall after the send", info.Get(), &ILoginInfo::get_FreeCall, account.credit - 2);

    const DATE sendTime = TomorrowAtTen();
    ComPtr<IDispatch> receiver, resultDisp;
    CheckHr("legacy: CreateReceiverDirect",
            sms->CreateReceiverDirect(Bstr(L"010-2222-3333").Get(), Bstr(kText).Get(), VEXA_RESERVATION,
                                      sendTime, receiver.GetAddressOf()),
            S_OK);
    CheckHr("legacy: SendSMSOne",
            sms->SendSMSOne(Bstr(kSender).Get(), receiver.Get(), resultDisp.GetAddressOf()), S_OK);
    ComPtr<ISendResult> reservation = Query<ISendResult>("legacy: reservation", resultDisp.Get());
    CheckProp("legacy: reservation Result", reservation.Get(), &ISendResult::get_Result, VEXA_SUCCEEDED);
    const std::wstring reserved =
        Read("legacy: reservation Index", reservation.Get(), &ISendResult::get_Index);
    Check("legacy: the reservation is a transfer of its own", !reserved.empty() && reserved != sent);

    const LONG year = std::wcstol(date.substr(0, 4).c_str(), nullptr, 10);
    const LONG month = std::wcstol(date.substr(4).c_str(), nullptr, 10);
    const auto logs = [&](const std::string& name, VEXA_LOGBY by) {
        ComPtr<IDispatch> lists;
        CheckHr(name, sms->RequestLog(year, month, by, lists.GetAddressOf()), S_OK);
        return Query<ILogLists>(name, lists.Get());
    };
    if (ComPtr<ILogLists> all = logs("legacy: RequestLog", VEXA_BYALL)) {
        CheckProp("legacy: the month's log: Count", all.Get(), &ILogLists::get_Count, 2L);
        ComPtr<ILogList> log = Query<ILogList>("legacy: first log", Item("first log", all.Get(), 0).Get());
        CheckProp("legacy: first log Index", log.Get(), &ILogList::get_Index, sent);
        CheckProp("legacy: first log CountTotal", log.Get(), &ILogList::get_CountTotal, 2L);
        CheckProp("legacy: first log Message", log.Get(), &ILogList::get_Message, std::wstring(kText));
        CheckProp("legacy: first log ReturnPhone", log.Get(), &ILogList::get_ReturnPhone,
                  std::wstring(kSender));
    }
    if (ComPtr<ILogLists> listed = logs("legacy: RequestLog of reservations", VEXA_BYRESERVATION)) {
        CheckProp("legacy: reservations: Count", listed.Get(), &ILogLists::get_Count, 1L);
        ComPtr<ILogList> log =
            Query<ILogList>("legacy: reserved log", Item("reserved log", listed.Get(), 0).Get());
        const DATE at = Read("legacy: reserved log SendTime", log.Get(), &ILogList::get_SendTime);
        Check("legacy: reserved log SendTime", std::fabs(at - sendTime) < kSecond,
              "off by " + std::to_string((at - sendTime) / kSecond) + " s");
    }

    ComPtr<IDispatch> detailsDisp;
    CheckHr("legacy: RequestLogDetail",
            sms->RequestLogDetail(year, month, Bstr(sent).Get(), detailsDisp.GetAddressOf()), S_OK);
    if (ComPtr<ILogDetails> details = Query<ILogDetails>("legacy: ILogDetails", detailsDisp.Get())) {
        CheckProp("legacy: details Count", details.Get(), &ILogDetails::get_Count, 2L);
        CheckProp("legacy: details ReturnPhone", details.Get(), &ILogDetails::get_ReturnPhone,
                  std::wstring(kSender));
        ComPtr<ILogDetail> delivered =
            Query<ILogDetail>("legacy: detail 0", Item("detail 0", details.Get(), 0).Get());
        ComPtr<ILogDetail> missing =
            Query<ILogDetail>("legacy: detail 1", Item("detail 1", details.Get(), 1).Get());
        CheckProp("legacy: detail 0 Message", delivered.Get(), &ILogDetail::get_Message, std::wstring(kText));
        CheckProp("legacy: detail 0 Result", delivered.Get(), &ILogDetail::get_Result, VEXA_TRANS_SUCCEEDED);
        CheckProp("legacy: detail 1 Result", missing.Get(), &ILogDetail::get_Result,
                  VEXA_TRANS_NOTEXISTNUMBER);
    }

    ComPtr<IDispatch> cancelDisp, againDisp, deleteDisp;
    CheckHr("legacy: CancelReservation",
            sms->CancelReservation(year, month, Bstr(reserved).Get(), cancelDisp.GetAddressOf()), S_OK);
    ComPtr<ICancelResult> cancelled = Query<ICancelResult>("legacy: ICancelResult", cancelDisp.Get());
    CheckProp("legacy: cancel Result", cancelled.Get(), &ICancelResult::get_Result, VEXA_SUCCEEDED);
    CheckProp("legacy: cancel CountSucceed", cancelled.Get(), &ICancelResult::get_CountSucceed, 1L);
    CheckProp("legacy: FreeCall after the cancel", info.Get(), &ILoginInfo::get_FreeCall, account.credit - 2);
    CheckHr("legacy: CancelReservation again",
            sms->CancelReservation(year, month, Bstr(reserved).Get(), againDisp.GetAddressOf()), S_OK);
    CheckProp("legacy: cancel again Result", Query<ICancelResult>("legacy: again", againDisp.Get()).Get(),
              &ICancelResult::get_Result, VEXA_FAILED);

    CheckHr("legacy: DeleteLog", sms->DeleteLog(year, month, Bstr(sent).Get(), deleteDisp.GetAddressOf()),
            S_OK);
    CheckProp("legacy: delete Result", Query<IDeleteResult>("legacy: IDeleteResult", deleteDisp.Get()).Get(),
              &IDeleteResult::get_Result, VEXA_SUCCEEDED);
    CheckProp("legacy: the month's log after the delete: Count",
              logs("legacy: RequestLog again", VEXA_BYALL).Get(), &ILogLists::get_Count, 1L);
}

}  // namespace host
