// The members that IMessage and ISMS name alike, with the same parameters: called one way on
// either front object. The two backends derive from this and add what differs.
#pragma once

#include <stdexcept>
#include <string>

#include "backend.h"
#include "session.h"

namespace vexa_cli {

template <class I>
class FrontCalls : public Backend {
public:
    IUnknown* Object() const override { return object_.Get(); }

    std::string ErrorText(HRESULT hr) const override {
        vexa_host::ModuleString text(session_.Module());
        if (FAILED(object_->GetErrorMessage(static_cast<VEXA_E_CONSTANTS>(hr), text.Out()))) return {};
        std::string utf8 = vexa_host::Utf8(text.Text());
        utf8.erase(utf8.find_last_not_of(" \r\n\t") + 1);  // system texts end with a line break
        return utf8;
    }

    LONG ArrayBase() const override { return Get(session_, object_.Get(), &I::get_ArrayBase, "ArrayBase"); }

    vexa::ComPtr<IDispatch> CreateReceivers() const override {
        vexa::ComPtr<IDispatch> receivers;
        session_.Check(object_->CreateReceivers(receivers.Out()), "CreateReceivers");
        return receivers;
    }

    vexa::ComPtr<IDispatch> CreateReceiverDirect(const std::string& phone, const std::string& text,
                                                 VEXA_SENDMODE mode, DATE sendTime) const override {
        vexa::ComPtr<IDispatch> receiver;
        session_.Check(
            object_->CreateReceiverDirect(session_.String(phone).Get(), session_.String(text).Get(), mode,
                                          sendTime, receiver.Out()),
            "CreateReceiverDirect");
        return receiver;
    }

    vexa::ComPtr<IDispatch> LastLoginInfo() const override {
        vexa::ComPtr<IDispatch> info;
        session_.Check(object_->get_LoginInfo(info.Out()), "LoginInfo");
        return info;
    }

    vexa::ComPtr<IDispatch> CreateLogLists() const override {
        vexa::ComPtr<IDispatch> lists;
        session_.Check(object_->CreateLogLists(lists.Out()), "CreateLogLists");
        return lists;
    }

    vexa::ComPtr<IDispatch> CancelReservations(IDispatch* logLists) const override {
        vexa::ComPtr<IDispatch> results;
        session_.Check(object_->CancelReservationByLists(logLists, results.Out()),
                       "CancelReservationByLists");
        return results;
    }

    vexa::ComPtr<IDispatch> DeleteLogs(IDispatch* logLists) const override {
        vexa::ComPtr<IDispatch> results;
        session_.Check(object_->DeleteLogByLists(logLists, results.Out()), "DeleteLogByLists");
        return results;
    }

protected:
    FrontCalls(const Session& session, const CLSID& clsid, const OLECHAR* progId, const IID& iid,
               const char* className)
        : session_(session) {
        const HRESULT hr = session.CreateFront(clsid, progId, iid, object_.OutVoid());
        if (FAILED(hr))
            throw std::runtime_error(std::string("cannot create a ") + className + " object (" + HexCode(hr) +
                                     ")");
    }

    const Session& session_;
    vexa::ComPtr<I> object_;
};

}  // namespace vexa_cli
