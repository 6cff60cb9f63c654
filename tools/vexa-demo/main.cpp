// A small host program: loads the component, creates a Message, builds receivers and contents
// through it, and prints them back, both through the vtables and late-bound.
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>

#include "../common/vexa_module.h"
#include "vexa/com_ptr.h"

using namespace vexa_host;
using vexa::ComPtr;

namespace {

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) {
        std::fprintf(stderr, "%s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
        throw std::runtime_error(what);
    }
}

// Late-bound property get with no arguments, as a scripting host does it.
std::string GetByName(const VexaModule& m, IDispatch* obj, const char16_t* name) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    Check(obj->GetIDsOfNames(IID_NULL, names, 1, 0, &id), "GetIDsOfNames");
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    m.VariantInit(&result);
    Check(obj->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), "Invoke");
    std::string text;
    if (result.vt == VT_BSTR)
        text = Utf8(std::u16string(result.bstrVal, m.SysStringLen(result.bstrVal)));
    else if (result.vt == VT_I4)
        text = std::to_string(result.lVal);
    else if (result.vt == VT_DATE)
        text = std::to_string(result.date);
    m.VariantClear(&result);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PATH/VexaComponent32.so\n", argv[0]);
        return 2;
    }
    try {
        VexaModule module(argv[1]);
        ComPtr<IMessage> message;
        Check(module.CreateObject(CLSID_Message, IID_IMessage, message.OutVoid()), "creating Message");

        LONG major = 0, minor = 0;
        message->get_VersionMajor(&major);
        message->get_VersionMinor(&minor);
        std::printf("VexaComponent %d.%d loaded from %s\n", major, minor, argv[1]);

        ComPtr<IDispatch> receiversDisp;
        Check(message->CreateReceivers(receiversDisp.Out()), "CreateReceivers");
        ComPtr<IReceivers> receivers;
        Check(receiversDisp.As(IID_IReceivers, receivers), "IReceivers");
        struct {
            const char* phone;
            const char* text;
            const char* name;
        } people[] = {{"010-1234-5678", "안녕하세요, 데모입니다.", "김철수"},
                      {"010-9876-5432", "Hello from the demo", "Jane"}};
        for (const auto& p : people) {
            ComPtr<IDispatch> receiverDisp;
            ModuleString phone(module, Utf16(p.phone)), text(module, Utf16(p.text));
            Check(
                message->CreateReceiverDirect(phone.Get(), text.Get(), VEXA_DIRECT, 0.0, receiverDisp.Out()),
                "CreateReceiverDirect");
            ComPtr<IReceiver2> named;
            Check(receiverDisp.As(IID_IReceiver2, named), "IReceiver2");
            ModuleString name(module, Utf16(p.name));
            named->put_Name(name.Get());
            Check(receivers->Add(receiverDisp.Get()), "Receivers.Add");
        }

        LONG count = 0;
        receivers->get_Count(&count);
        std::printf("Receivers: %d\n", count);
        for (LONG i = 0; i < count; ++i) {
            ComPtr<IDispatch> item;
            Check(receivers->get_Item(i, item.Out()), "Receivers.Item");
            std::printf("  [%d] %s  %s  \"%s\"\n", i, GetByName(module, item.Get(), u"Name").c_str(),
                        GetByName(module, item.Get(), u"phone").c_str(),
                        GetByName(module, item.Get(), u"MESSAGE").c_str());
        }

        ComPtr<IDispatch> contentsDisp;
        Check(message->CreateContents(contentsDisp.Out()), "CreateContents");
        ComPtr<IContents> contents;
        Check(contentsDisp.As(IID_IContents, contents), "IContents");
        ModuleString subject(module, Utf16("공지")), body(module, Utf16("내일 회의는 10시에 시작합니다."));
        contents->put_Type(VEXA_MESSAGE_TYPE_LMS);
        contents->put_Subject(subject.Get());
        contents->put_Message(body.Get());
        std::printf("Contents: type %s, subject \"%s\", message \"%s\", %s images\n",
                    GetByName(module, contentsDisp.Get(), u"Type").c_str(),
                    GetByName(module, contentsDisp.Get(), u"Subject").c_str(),
                    GetByName(module, contentsDisp.Get(), u"Message").c_str(),
                    GetByName(module, contentsDisp.Get(), u"ImageCount").c_str());

        ModuleString text(module);
        message->GetErrorMessage(VEXA_E_NOTLOGINED, text.Out());
        ComPtr<IDispatch> loginInfo;
        const HRESULT hr = message->get_LoginInfo(loginInfo.Out());
        std::printf("LoginInfo before any request: 0x%08X \"%s\"\n", static_cast<unsigned>(hr),
                    Utf8(text.Text()).c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexa-demo: %s\n", e.what());
        return 1;
    }
    return 0;
}
