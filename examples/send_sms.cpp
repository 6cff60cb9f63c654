// A host that sends one SMS through VexaComponent, knowing it only by its ProgID: activates a
// Message object through libvexa-activation, points it at another service when asked, gives it
// the account, sends, and prints what the service did for each receiver.
//
//   send_sms PHONE TEXT
//
// The account comes from VEXA_USER and VEXA_PASSWORD. VEXA_ENDPOINT (http[s]://host[:port]) and
// VEXA_CACERT (a PEM file to trust besides the system's), when set, point the object at another
// service, such as a vexa-sandbox. Exit status: 0 sent to every receiver, 1 not, 2 usage.
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <memory>
#include <string>
#include <string_view>
#include <vexa/VexaComponent.h>
#include <vexa/activation.h>
#include <vexa/com_ptr.h>

namespace {

using vexa::ComPtr;

// UTF-8 (assumed well formed) to UTF-16, as BSTRs hold text, and back.
std::u16string Utf16(std::string_view utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i++]);
        const int more = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        char32_t c = more == 0 ? lead : lead & (0x3F >> more);
        for (int k = 0; k < more && i < utf8.size(); ++k) c = c << 6 | (utf8[i++] & 0x3F);
        if (c < 0x10000) {
            out += static_cast<char16_t>(c);
        } else {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        }
    }
    return out;
}

std::string Utf8(std::u16string_view utf16) {
    std::string out;
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < utf16.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
        } else if (c < 0x10000) {
            out += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                    static_cast<char>(0x80 | (c & 0x3F))};
        } else {
            out += {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3F)),
                    static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
        }
    }
    return out;
}

// The module's own string functions: BSTRs going in are made with them, and BSTRs coming out
// are freed with them.
struct Runtime {
    decltype(&SysAllocStringLen) allocate = nullptr;
    decltype(&SysStringLen) length = nullptr;
    decltype(&SysFreeString) free = nullptr;
};

// A BSTR owned here: made from UTF-8, or received from the component through Out().
class String {
public:
    explicit String(const Runtime& runtime, std::string_view utf8 = {}) : runtime_(runtime) {
        const std::u16string text = Utf16(utf8);
        if (!utf8.empty()) s_ = runtime_.allocate(text.data(), static_cast<UINT>(text.size()));
    }
    ~String() { runtime_.free(s_); }
    String(const String&) = delete;
    String& operator=(const String&) = delete;

    BSTR Get() const { return s_; }
    BSTR* Out() {
        runtime_.free(s_);
        s_ = nullptr;
        return &s_;
    }
    std::string Text() const { return s_ ? Utf8({s_, runtime_.length(s_)}) : std::string(); }

private:
    const Runtime& runtime_;
    BSTR s_ = nullptr;
};

struct CloseLibrary {
    void operator()(void* handle) const { dlclose(handle); }
};
using Library = std::unique_ptr<void, CloseLibrary>;

// The module that activation loaded for progId: opening it again hands back the same one.
Library OpenActivatedModule(const char16_t* progId, Runtime& runtime) {
    std::string path(4096, '\0');
    size_t size = path.size();
    if (FAILED(VexaResolveClass(progId, nullptr, path.data(), &size))) return nullptr;
    Library module(dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD));
    if (!module) return nullptr;
    runtime.allocate = reinterpret_cast<decltype(runtime.allocate)>(dlsym(module.get(), "SysAllocStringLen"));
    runtime.length = reinterpret_cast<decltype(runtime.length)>(dlsym(module.get(), "SysStringLen"));
    runtime.free = reinterpret_cast<decltype(runtime.free)>(dlsym(module.get(), "SysFreeString"));
    if (!runtime.allocate || !runtime.length || !runtime.free) return nullptr;
    return module;
}

// "text (0x8004A003)": the component's own words for a failure, and its code.
std::string Failure(IMessage* message, const Runtime& runtime, HRESULT hr) {
    String text(runtime);
    message->GetErrorMessage(static_cast<VEXA_E_CONSTANTS>(hr), text.Out());
    std::string words = text.Text();
    words.erase(words.find_last_not_of(" \r\n") + 1);  // the system's texts end in a line break
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return words + " (" + code + ")";
}

const char* Variable(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PHONE TEXT\n", argv[0]);
        return 2;
    }
    const char* user = Variable("VEXA_USER");
    const char* password = Variable("VEXA_PASSWORD");
    if (!user || !password) {
        std::fprintf(stderr, "set VEXA_USER and VEXA_PASSWORD to the messaging account\n");
        return 2;
    }

    const char16_t* progId = u"VexaComponent.Message";
    ComPtr<IMessage> message;
    if (const HRESULT hr = VexaCreateObject(progId, &IID_IMessage, message.OutVoid()); FAILED(hr)) {
        std::fprintf(stderr, "cannot activate VexaComponent.Message (0x%08X); is it registered?\n",
                     static_cast<unsigned>(hr));
        return 1;
    }
    Runtime runtime;
    const Library module = OpenActivatedModule(progId, runtime);
    if (!module) {
        std::fprintf(stderr, "cannot reach the module's string functions\n");
        return 1;
    }
    // Every call below answers an HRESULT; the first failure ends the program.
    auto failed = [&](HRESULT hr, const char* what) {
        if (SUCCEEDED(hr)) return false;
        std::fprintf(stderr, "%s: %s\n", what, Failure(message.Get(), runtime, hr).c_str());
        return true;
    };

    // Elsewhere than the built-in service: through the private IServiceEndpoint.
    if (const char* endpoint = Variable("VEXA_ENDPOINT")) {
        ComPtr<IServiceEndpoint> service;
        if (failed(message.As(IID_IServiceEndpoint, service), "IServiceEndpoint") ||
            failed(service->SetEndpoint(String(runtime, endpoint).Get()), "SetEndpoint"))
            return 1;
        if (const char* pem = Variable("VEXA_CACERT"))
            if (failed(service->SetTrustedCertificates(String(runtime, pem).Get()), "SetTrustedCertificates"))
                return 1;
    }
    if (failed(message->SetAccountInfo(String(runtime, user).Get(), String(runtime, password).Get()),
               "SetAccountInfo"))
        return 1;

    // One receiver, sent now, with the text; the contents make it an SMS.
    const String phone(runtime, argv[1]), text(runtime, argv[2]);
    ComPtr<IDispatch> receiversObject, contentsObject, resultsObject;
    ComPtr<IReceivers> receivers;
    ComPtr<IContents> contents;
    if (failed(message->CreateReceivers(receiversObject.Out()), "CreateReceivers") ||
        failed(receiversObject.As(IID_IReceivers, receivers), "IReceivers") ||
        failed(receivers->AddDirect(phone.Get(), text.Get(), VEXA_DIRECT, 0.0), "Receivers.AddDirect") ||
        failed(message->CreateContents(contentsObject.Out()), "CreateContents") ||
        failed(contentsObject.As(IID_IContents, contents), "IContents") ||
        failed(contents->put_Type(VEXA_MESSAGE_TYPE_SMS), "Contents.Type") ||
        failed(contents->put_Message(text.Get()), "Contents.Message"))
        return 1;
    // No return phone (a null BSTR is the empty one): the service shows the account's.
    if (failed(message->Send(nullptr, receiversObject.Get(), contentsObject.Get(), resultsObject.Out()),
               "Send"))
        return 1;

    // One result per receiver, counted from the module's ArrayBase.
    ComPtr<ISendResults> results;
    LONG base = 0, count = 0;
    if (failed(resultsObject.As(IID_ISendResults, results), "ISendResults") ||
        failed(message->get_ArrayBase(&base), "ArrayBase") || failed(results->get_Count(&count), "Count"))
        return 1;
    bool allSent = count > 0;
    for (LONG i = base; i < base + count; ++i) {
        ComPtr<IDispatch> item;
        ComPtr<ISendResult> result;
        String to(runtime), month(runtime), index(runtime);
        VEXA_RESULT outcome = VEXA_FAILED;
        if (failed(results->get_Item(i, item.Out()), "SendResults.Item") ||
            failed(item.As(IID_ISendResult, result), "ISendResult") ||
            failed(result->get_Phone(to.Out()), "Phone") || failed(result->get_Result(&outcome), "Result") ||
            failed(result->get_Date(month.Out()), "Date") || failed(result->get_Index(index.Out()), "Index"))
            return 1;
        if (outcome == VEXA_SUCCEEDED)
            std::printf("%s: sent (month %s, index %s)\n", to.Text().c_str(), month.Text().c_str(),
                        index.Text().c_str());
        else
            std::printf("%s: not sent\n", to.Text().c_str());
        allSent = allSent && outcome == VEXA_SUCCEEDED;
    }
    return allSent ? 0 : 1;
}
