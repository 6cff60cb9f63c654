// One front object of a loaded module, set up for a command: Message (the REST service) with its
// endpoint and account applied, or SMS logged in to a legacy server; and the checks that turn a
// failed call into a ComponentError carrying the component's own text.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "backend.h"
#include "module_location.h"
#include "vexa/com_ptr.h"
#include "vexa_module.h"

namespace vexa_cli {

// A call into the component failed; what() is "<member>: <the component's text> (<code>)".
class ComponentError : public std::runtime_error {
public:
    ComponentError(HRESULT code, std::string member, std::string text);
    HRESULT Code() const { return code_; }
    const std::string& Member() const { return member_; }
    // The component's own text for the code (GetErrorMessage), without the call and the code.
    const std::string& Text() const { return text_; }

    // What the command knew when the call failed, for the message people read: the file a
    // picture came from, or a sentence of facts ("the pictures come to 3,100,000 bytes ...").
    std::string file;
    std::string detail;

private:
    HRESULT code_;
    std::string member_;
    std::string text_;
};

// "0x8004A003": how codes are shown.
std::string HexCode(HRESULT hr);

class Session {
public:
    // Loads the module and creates the front object: SMS for a legacy server, else Message;
    // std::runtime_error when either fails. A registered component's front object is activated by
    // its ProgID; the module is loaded all the same, for its runtime functions (the same loaded
    // module: a path is loaded once per process).
    explicit Session(const ComponentLocation& component, std::optional<LegacyServer> legacy = {});
    explicit Session(const std::filesystem::path& modulePath, std::optional<LegacyServer> legacy = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Message only, through IServiceEndpoint; empty texts keep the built-in endpoint and the
    // system's trust. A URL or file that the component refuses is a UsageError.
    void SetEndpoint(const std::string& url, const std::string& trustedCertificates);
    // Message keeps the account for its calls; SMS logs in to the legacy server with it.
    void SetAccount(const std::string& user, const std::string& password);

    const vexa_host::VexaModule& Module() const { return module_; }
    const ComponentLocation& Component() const { return component_; }
    // A new front object: by progId when the component is registered, else by clsid from the
    // loaded module.
    HRESULT CreateFront(const CLSID& clsid, const OLECHAR* progId, const IID& iid, void** ppv) const;
    const Backend& Front() const { return *front_; }
    // The first index of the component's collections (its module-wide ArrayBase).
    LONG ArrayBase() const { return front_->ArrayBase(); }

    // Throws ComponentError for a failure code; `member` names the call.
    void Check(HRESULT hr, const std::string& member) const;
    // GetErrorMessage's text for the code, without the line break system texts end with.
    std::string ErrorText(HRESULT hr) const;

    // A BSTR made by the module from UTF-8 text.
    vexa_host::ModuleString String(const std::string& text) const;

private:
    ComponentLocation component_;
    vexa_host::VexaModule module_;  // declared before the front: outlives every object of the module
    std::unique_ptr<Backend> front_;
};

// A property read through a member function pointer of a dual interface, checked.
template <class I, class T>
T Get(const Session& session, I* object, HRESULT (STDMETHODCALLTYPE I::*get)(T*), const char* member) {
    T value{};
    session.Check((object->*get)(&value), member);
    return value;
}

// A string property as UTF-8.
template <class I>
std::string GetText(const Session& session, I* object, HRESULT (STDMETHODCALLTYPE I::*get)(BSTR*),
                    const char* member) {
    vexa_host::ModuleString text(session.Module());
    session.Check((object->*get)(text.Out()), member);
    return vexa_host::Utf8(text.Text());
}

// Another interface of an object the component handed out.
template <class I>
vexa::ComPtr<I> Query(const Session& session, IUnknown* object, REFIID iid, const char* interfaceName) {
    vexa::ComPtr<I> result;
    session.Check(vexa::QueryAs(object, iid, result), std::string("QueryInterface(") + interfaceName + ")");
    return result;
}

// The elements of a collection (anything with Count and Item), in order.
template <class C>
std::vector<vexa::ComPtr<IDispatch>> Items(const Session& session, C* collection, const char* name) {
    const LONG count = Get(session, collection, &C::get_Count, (std::string(name) + ".Count").c_str());
    const LONG base = session.ArrayBase();
    std::vector<vexa::ComPtr<IDispatch>> items;
    for (LONG i = 0; i < count; ++i) {
        vexa::ComPtr<IDispatch> item;
        session.Check(collection->get_Item(base + i, item.Out()), std::string(name) + ".Item");
        items.push_back(std::move(item));
    }
    return items;
}

}  // namespace vexa_cli
