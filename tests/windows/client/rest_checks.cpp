#include <cmath>
#include <cwchar>
#include <vector>

#include "checks.h"
#include "com_support.h"

namespace host {

namespace {

constexpr wchar_t kReturnPhone[] = L"02-123-4567";
constexpr double kSecond = 1.0 / 86400;

struct Month {
    LONG year, month;
    std::wstring key;  // as the service names a month: "YYYYMM"
};

Month ThisMonth() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t key[16];
    std::swprintf(key, 16, L"%04u%02u", now.wYear, now.wMonth);
    return {now.wYear, now.wMonth, key};
}

// The local time some seconds from now as an automation DATE, as a host computes it.
DATE LocalDateFromNow(double seconds) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    DATE date = 0;
    SystemTimeToVariantTime(&now, &date);
    return date + seconds * kSecond;
}

LONG PortOf(const std::wstring& url) { return std::wcstol(url.c_str() + url.rfind(L':') + 1, nullptr, 10); }

ComPtr<IMessage> NewMessage(const std::string& name, const std::wstring& url, const std::wstring& user,
                            const std::wstring& password) {
    ComPtr<IMessage> message;
    CheckHr(name + ": Message",
            CoCreateInstance(CLSID_Message, nullptr, CLSCTX_INPROC_SERVER, IID_IMessage,
                             reinterpret_cast<void**>(message.GetAddressOf())),
            S_OK);
    if (!message) return message;
    if (ComPtr<IServiceEndpoint> endpoint =
            Query<IServiceEndpoint>(name + ": IServiceEndpoint", message.Get()))
        CheckHr(name + ": SetEndpoint", endpoint->SetEndpoint(Bstr(url).Get()), S_OK);
    CheckHr(name + ": SetAccountInfo", message->SetAccountInfo(Bstr(user).Get(), Bstr(password).Get()), S_OK);
    return message;
}

struct Addressee {
    std::wstring phone;
    std::wstring name;
    DATE at = 0;  // 0: at once
};

ComPtr<ISendResults> Send(const std::string& name, IMessage* message, const std::vector<Addressee>& to,
                          VEXA_MESSAGE_TYPE type, const std::wstring& text,
                          const std::wstring& subject = L"") {
    ComPtr<IDispatch> listDisp, contentsDisp, resultsDisp;
    CheckHr(name + ": CreateReceivers", message->CreateReceivers(listDisp.GetAddressOf()), S_OK);
    CheckHr(name + ": CreateContents", message->CreateContents(contentsDisp.GetAddressOf()), S_OK);
    ComPtr<IReceivers> list = Query<IReceivers>(name + ": IReceivers", listDisp.Get());
    ComPtr<IContents> contents = Query<IContents>(name + ": IContents", contentsDisp.Get());
    if (!list || !contents) return nullptr;
    for (const Addressee& a : to) {
        const HRESULT added = list->AddDirect(Bstr(a.phone).Get(), Bstr(text).Get(),
                                              a.at == 0 ? VEXA_DIRECT : VEXA_RESERVATION, a.at);
        if (FAILED(added)) CheckHr(name + ": AddDirect", added, S_OK);
        const LONG count = Read(name + ": Receivers.Count", list.Get(), &IReceivers::get_Count);
        if (ComPtr<IReceiver2> added2 =
                Query<IReceiver2>(name + ": IReceiver2", Item(name, list.Get(), count - 1).Get()))
            added2->put_Name(Bstr(a.name).Get());
    }
    contents->put_Type(type);
    contents->put_Message(Bstr(text).Get());
    contents->put_Subject(Bstr(subject).Get());
    CheckHr(name + ": Send",
            message->Send(Bstr(kReturnPhone).Get(), listDisp.Get(), contentsDisp.Get(),
                          resultsDisp.GetAddressOf()),
            S_OK);
    return Query<ISendResults>(name + ": ISendResults", resultsDisp.Get());
}

ComPtr<ILoginInfo> LoginInfo(IMessage* message) {
    ComPtr<IDispatch> info;
    CheckHr("LoginInfo", message->get_LoginInfo(info.GetAddressOf()), S_OK);
    return Query<ILoginInfo>("ILoginInfo", info.Get());
}

LONG FreeCallAfterUpdate(IMessage* message) {
    CheckHr("UpdateLoginInfo", message->UpdateLoginInfo(), S_OK);
    ComPtr<ILoginInfo> info = LoginInfo(message);
    return Read("FreeCall", info.Get(), &ILoginInfo::get_FreeCall);
}

ComPtr<ILogLists> Logs(const std::string& name, IMessage* message, VEXA_LOGBY by,
                       VEXA_MESSAGE_TYPE type = VEXA_MESSAGE_TYPE_ALL) {
    const Month month = ThisMonth();
    ComPtr<IDispatch> lists;
    CheckHr(name + ": RequestLog",
            message->RequestLog(month.year, month.month, by, type, lists.GetAddressOf()), S_OK);
    return Query<ILogLists>(name + ": ILogLists", lists.Get());
}

// One of the month's transfers by its index: RequestLogDetail, CancelReservation or DeleteLog.
template <class Result>
ComPtr<Result> ForTransfer(const std::string& name, IMessage* message,
                           HRESULT (STDMETHODCALLTYPE IMessage::*call)(LONG, LONG, BSTR, VEXA_MESSAGE_TYPE,
                                                                       IDispatch**),
                           const wchar_t* index, VEXA_MESSAGE_TYPE type = VEXA_MESSAGE_TYPE_SMS) {
    const Month month = ThisMonth();
    ComPtr<IDispatch> result;
    CheckHr(name, (message->*call)(month.year, month.month, Bstr(index).Get(), type, result.GetAddressOf()),
            S_OK);
    return Query<Result>(name, result.Get());
}

// The elements that a collection's enumerator hands out, each an object.
LONG EnumeratedObjects(const std::string& name, ILogLists* lists) {
    ComPtr<IUnknown> unknown;
    CheckHr(name + ": _NewEnum", lists->get__NewEnum(unknown.GetAddressOf()), S_OK);
    ComPtr<IEnumVARIANT> items = Query<IEnumVARIANT>(name + ": IEnumVARIANT", unknown.Get());
    LONG objects = 0;
    for (Variant item; items && items->Next(1, item.Out(), nullptr) == S_OK;)
        objects += item.Get().vt == VT_DISPATCH && item.Get().pdispVal != nullptr;
    return objects;
}

void CheckAccount(IMessage* message, const std::wstring& url, const Account& account) {
    CheckHr("UpdateLoginInfo", message->UpdateLoginInfo(), S_OK);
    ComPtr<ILoginInfo> info = LoginInfo(message);
    if (!info) return;
    CheckProp("LoginInfo.UserID", info.Get(), &ILoginInfo::get_UserID, account.user);
    CheckProp("LoginInfo.UserName", info.Get(), &ILoginInfo::get_UserName, account.user);
    CheckProp("LoginInfo.UserPhoneNumber", info.Get(), &ILoginInfo::get_UserPhoneNumber, L"02-000-0000");
    CheckProp("LoginInfo.Logined", info.Get(), &ILoginInfo::get_Logined, VEXA_SUCCEEDED);
    CheckProp("LoginInfo.FreeCall", info.Get(), &ILoginInfo::get_FreeCall, account.credit);
    CheckProp("LoginInfo.ServerIP", info.Get(), &ILoginInfo::get_ServerIP, L"localhost");
    CheckProp("LoginInfo.ServerPort", info.Get(), &ILoginInfo::get_ServerPort, PortOf(url));
    if (ComPtr<ILoginInfo3> info3 = Query<ILoginInfo3>("ILoginInfo3", info.Get())) {
        Variant numbers;
        CheckHr("LoginInfo.UserPhoneNumbers", info3->get_UserPhoneNumbers(numbers.Out()), S_OK);
        const bool isArray = numbers.Get().vt == (VT_ARRAY | VT_BSTR) && numbers.Get().parray;
        Check("LoginInfo.UserPhoneNumbers is an array of strings", isArray,
              "vt " + std::to_string(numbers.Get().vt));
        LONG lower = -1, upper = -1;
        Bstr first;
        if (isArray) {
            SafeArrayGetLBound(numbers.Get().parray, 1, &lower);
            SafeArrayGetUBound(numbers.Get().parray, 1, &upper);
            SafeArrayGetElement(numbers.Get().parray, &lower, first.Out());
        }
        // One number, at index 0 whatever ArrayBase is.
        CheckEqual("LoginInfo.UserPhoneNumbers lower bound", lower, 0L);
        CheckEqual("LoginInfo.UserPhoneNumbers upper bound", upper, 0L);
        CheckEqual("LoginInfo.UserPhoneNumbers(0)", first.Text(), std::wstring(L"02-000-0000"));
    }
}

}  // namespace

void CheckTrust(const std::wstring& url, const Account& account, const std::wstring& pemFile) {
    ComPtr<IMessage> message = NewMessage("trust", url, account.user, account.password);
    ComPtr<IServiceEndpoint> endpoint = Query<IServiceEndpoint>("trust: IServiceEndpoint", message.Get());
    if (!endpoint) return;
    // The exchange fails as one without a reply would, and nothing is accepted silently.
    CheckHr("UpdateLoginInfo of a server not trusted", message->UpdateLoginInfo(), VEXA_E_SERVERERROR);
    ComPtr<IDispatch> info;
    CheckHr("LoginInfo after a server not trusted", message->get_LoginInfo(info.GetAddressOf()),
            VEXA_E_NOTLOGINED);
    // Wine's WinINet keeps no served chain of a refused server, so a certificate given here cannot
    // vouch for it there (http_checks covers that exchange); the prefix's Root store trusts the
    // server for the service flow instead. Only the argument is checked.
    const auto trust = [&](const std::wstring& file) {
        return endpoint->SetTrustedCertificates(Bstr(file).Get());
    };
    CheckHr("SetTrustedCertificates of a missing file", trust(pemFile + L".missing"), E_INVALIDARG);
    CheckHr("SetTrustedCertificates of the server's certificate", trust(pemFile), S_OK);
    CheckHr("SetTrustedCertificates of none", trust(L""), S_OK);
}

void CheckServiceFlow(const std::wstring& url, const Account& account) {
    if (ComPtr<IMessage> wrong = NewMessage("wrong password", url, account.user, account.password + L"-not"))
        CheckHr("wrong password: UpdateLoginInfo", wrong->UpdateLoginInfo(), VEXA_E_LOGINFAIL);

    ComPtr<IMessage> message = NewMessage("account", url, account.user, account.password);
    if (!message) return;
    CheckAccount(message.Get(), url, account);
    const Month month = ThisMonth();

    // An SMS to three: one delivered, one number that does not exist, one that is no number.
    ComPtr<ISendResults> sms = Send("SMS to three", message.Get(),
                                    {{L"010-1234-5678", L"홍길동"}, {L"010-5555-0000", L""}, {L"abc", L""}},
                                    VEXA_MESSAGE_TYPE_SMS, L"안녕하세요");
    CheckProp("SMS to three: Count", sms.Get(), &ISendResults::get_Count, 3L);
    const VEXA_RESULT expected[] = {VEXA_SUCCEEDED, VEXA_SUCCEEDED, VEXA_FAILED};
    for (LONG i = 0; sms && i < 3; ++i) {
        const std::string name = "SMS to three: result " + std::to_string(i);
        ComPtr<ISendResult> r = Query<ISendResult>(name, Item(name, sms.Get(), i).Get());
        CheckProp(name + " Result", r.Get(), &ISendResult::get_Result, expected[i]);
        if (expected[i] != VEXA_SUCCEEDED) continue;
        CheckProp(name + " Date", r.Get(), &ISendResult::get_Date, month.key);
        CheckProp(name + " Index", r.Get(), &ISendResult::get_Index, L"1");
    }
    ComPtr<ILoginInfo> held = LoginInfo(message.Get());
    CheckProp("FreeCall refreshed by the send's reply", held.Get(), &ILoginInfo::get_FreeCall,
              account.credit - 2);

    ComPtr<ISendResults> lms =
        Send("LMS", message.Get(), {{L"010-2222-3333", L""}}, VEXA_MESSAGE_TYPE_LMS, L"긴 본문", L"제목");
    CheckProp("LMS: Index", lms.Get(), &ISendResults::get_Index, L"2");
    const DATE inAnHour = LocalDateFromNow(3600);
    ComPtr<ISendResults> later = Send("reservation", message.Get(), {{L"010-7777-8888", L"", inAnHour}},
                                      VEXA_MESSAGE_TYPE_SMS, L"나중에");
    CheckProp("reservation: Index", later.Get(), &ISendResults::get_Index, L"3");
    CheckEqual("FreeCall after three sends", FreeCallAfterUpdate(message.Get()), account.credit - 2 - 3 - 1);

    ComPtr<ILogLists> all = Logs("the month's log", message.Get(), VEXA_BYALL);
    CheckProp("the month's log: Count", all.Get(), &ILogLists::get_Count, 3L);
    if (all) {
        CheckEqual("the month's log: objects enumerated", EnumeratedObjects("the month's log", all.Get()),
                   3L);
        ComPtr<ILogList> third = Query<ILogList>("third log", Item("third log", all.Get(), 2).Get());
        CheckProp("third log: SendMode", third.Get(), &ILogList::get_SendMode, VEXA_RESERVATION);
        const DATE sendTime = Read("third log: SendTime", third.Get(), &ILogList::get_SendTime);
        Check("third log: SendTime", std::fabs(sendTime - inAnHour) <= kSecond,
              "off by " + std::to_string((sendTime - inAnHour) / kSecond) + " s");
        ComPtr<ILogList3> second = Query<ILogList3>("second log", Item("second log", all.Get(), 1).Get());
        CheckProp("second log: Type", second.Get(), &ILogList3::get_Type, VEXA_MESSAGE_TYPE_LMS);
    }
    CheckProp("reservations of the month: Count",
              Logs("reservations of the month", message.Get(), VEXA_BYRESERVATION).Get(),
              &ILogLists::get_Count, 1L);
    CheckProp("LMS of the month: Count",
              Logs("LMS of the month", message.Get(), VEXA_BYALL, VEXA_MESSAGE_TYPE_LMS).Get(),
              &ILogLists::get_Count, 1L);

    const auto detail = [&](const char* name, const wchar_t* index) {
        return ForTransfer<ILogDetails>(name, message.Get(), &IMessage::RequestLogDetail, index);
    };
    const auto cancel = [&](const char* name, const wchar_t* index) {
        return ForTransfer<ICancelResult>(name, message.Get(), &IMessage::CancelReservation, index);
    };
    const auto remove = [&](const char* name, const wchar_t* index, VEXA_MESSAGE_TYPE type) {
        return ForTransfer<IDeleteResult>(name, message.Get(), &IMessage::DeleteLog, index, type);
    };

    // Details: the rejected receiver was never stored; the others carry their delivery.
    if (ComPtr<ILogDetails> details = detail("detail of the SMS", L"1")) {
        CheckProp("detail of the SMS: Count", details.Get(), &ILogDetails::get_Count, 2L);
        CheckProp("detail of the SMS: ReturnPhone", details.Get(), &ILogDetails::get_ReturnPhone,
                  kReturnPhone);
        ComPtr<IDispatch> first = Item("detail 0", details.Get(), 0);
        ComPtr<ILogDetail> delivered = Query<ILogDetail>("detail 0", first.Get());
        ComPtr<ILogDetail> missing = Query<ILogDetail>("detail 1", Item("detail 1", details.Get(), 1).Get());
        CheckProp("detail 0: Name", Query<ILogDetail2>("detail 0", first.Get()).Get(), &ILogDetail2::get_Name,
                  L"홍길동");
        CheckProp("detail 0: Message", delivered.Get(), &ILogDetail::get_Message, L"안녕하세요");
        CheckProp("detail 0: Status", delivered.Get(), &ILogDetail::get_Status, VEXA_TRANS_RECEIVED);
        CheckProp("detail 0: Result", delivered.Get(), &ILogDetail::get_Result, VEXA_TRANS_SUCCEEDED);
        CheckProp("detail 1: Result", missing.Get(), &ILogDetail::get_Result, VEXA_TRANS_NOTEXISTNUMBER);
    }
    if (ComPtr<ILogDetails> waiting = detail("detail of the reservation", L"3")) {
        ComPtr<ILogDetail> first =
            Query<ILogDetail>("reserved detail", Item("reserved detail", waiting.Get(), 0).Get());
        CheckProp("reserved detail: Status", first.Get(), &ILogDetail::get_Status, VEXA_TRANS_REQUESTED);
    }

    // Cancelling gives the reservation's credit back; a direct transfer cannot be cancelled.
    ComPtr<ICancelResult> cancelled = cancel("cancel the reservation", L"3");
    CheckProp("cancel the reservation: Result", cancelled.Get(), &ICancelResult::get_Result, VEXA_SUCCEEDED);
    CheckProp("cancel the reservation: CountTotal", cancelled.Get(), &ICancelResult::get_CountTotal, 1L);
    CheckProp("cancel the reservation: CountSucceed", cancelled.Get(), &ICancelResult::get_CountSucceed, 1L);
    CheckEqual("FreeCall after the cancel", FreeCallAfterUpdate(message.Get()), account.credit - 2 - 3);
    ComPtr<ICancelResult> direct = cancel("cancel a direct transfer", L"1");
    CheckProp("cancel a direct transfer: Result", direct.Get(), &ICancelResult::get_Result, VEXA_FAILED);

    // Deleting removes a transfer from the log; an unknown one is refused.
    ComPtr<IDeleteResult> deleted = remove("delete the LMS", L"2", VEXA_MESSAGE_TYPE_LMS);
    CheckProp("delete the LMS: Result", deleted.Get(), &IDeleteResult::get_Result, VEXA_SUCCEEDED);
    ComPtr<IDeleteResult> unknown = remove("delete an unknown transfer", L"99", VEXA_MESSAGE_TYPE_SMS);
    CheckProp("delete an unknown transfer: Result", unknown.Get(), &IDeleteResult::get_Result, VEXA_FAILED);
    CheckProp("the month's log after the delete: Count",
              Logs("the month's log after the delete", message.Get(), VEXA_BYALL).Get(),
              &ILogLists::get_Count, 2L);
}

}  // namespace host
