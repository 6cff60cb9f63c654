// The USER element: the login reply, the account's status, its fields by name, and the requests
// the sandbox does not carry out (LOGOUT: there is no session; MODIFY: accounts change only
// through --account).
#include <climits>
#include <optional>

#include "sandbox/legacy_elements.h"
#include "sandbox/legacy_wire_text.h"

namespace vexa::sandbox {

namespace {

using Quill::TPMLNode;
using Quill::TPMLTree;

std::string ReturnPhoneOf(const Account& account) {
    return account.returnPhones.empty() ? std::string() : account.returnPhones.front();
}

void WriteLogin(const LegacyCall& call, TPMLNode* user) {
    TPMLNode* login = TPMLTree::AddElement(user, "LOGIN");
    TPMLTree::SetAttribute(login, "result", "succeed");
    TPMLTree::AddElement(login, "USER_ID", TextToWire(call.account.userId));
    TPMLTree::AddElement(login, "VERSION", kLegacyServerVersion);
    TPMLTree::AddElement(login, "SERVERTIME", std::to_string(call.now));
    TPMLTree::AddElement(login, "PAYTYPE", kLegacyPayType);
}

void WriteStatus(const Account& account, TPMLNode* user) {
    TPMLNode* status = TPMLTree::AddElement(user, "STATUS");
    // The client reads the credit as a 32-bit number.
    TPMLTree::AddElement(status, "CALL",
                         std::to_string(account.credit > INT32_MAX ? INT32_MAX : account.credit));
    TPMLTree::AddElement(status, "POINT", "0");
    TPMLTree::AddElement(status, "FREE", "0");
}

// One element per name asked for, with the account's value; a name the sandbox does not know
// gets an empty one.
void WriteRefer(const Account& account, const TPMLNode& asked, TPMLNode* user) {
    TPMLNode* refer = TPMLTree::AddElement(user, "REFER");
    for (const TPMLNode* name = asked.FirstChild(); name; name = name->Next()) {
        if (!name->IsElement()) continue;
        std::string value;
        if (name->Name() == "phone_return") value = ReturnPhoneOf(account);
        if (name->Name() == "user_name") value = account.name;
        TPMLTree::AddElement(refer, name->Name(), TextToWire(value));
    }
}

}  // namespace

void AnswerUser(const LegacyCall& call, const TPMLNode& request, TPMLNode* root, bool answerLogin) {
    TPMLNode* user = TPMLTree::AddElement(root, "USER");
    TPMLTree::SetAttribute(user, "type", "reply");
    // Read when first needed: a send earlier in the packet has changed the credit since the login.
    std::optional<Account> current;
    const auto account = [&]() -> const Account& {
        if (!current) current = call.store.FindAccount(call.account.userId).value_or(call.account);
        return *current;
    };
    for (const TPMLNode* child = request.FirstChild(); child; child = child->Next()) {
        const std::string& name = child->Name();
        if (!child->IsElement()) continue;
        if (name == "LOGIN" && answerLogin) {
            WriteLogin(call, user);
        } else if (name == "STATUS") {
            WriteStatus(account(), user);
        } else if (name == "REFER") {
            WriteRefer(account(), *child, user);
        } else if (name == "LOGOUT") {
            TPMLTree::SetAttribute(TPMLTree::AddElement(user, "LOGOUT"), "result", "succeed");
        } else if (name == "MODIFY") {
            TPMLTree::SetAttribute(TPMLTree::AddElement(user, "MODIFY"), "result", "failed");
        }
    }
}

}  // namespace vexa::sandbox
