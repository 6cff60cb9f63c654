// The sandbox's legacy service: received bytes to a reply. The first byte picks what the rest is:
// a packet's text, a frame as the listener gathers it, or elements that follow a login that
// succeeds. Every reply parses, the service never fails inside (a store in memory does not), and
// the request log's line holds no control character.
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "legacy/protocol/packet_frame.h"
#include "legacy/protocol/scramble.h"
#include "legacy/protocol/tpml.h"
#include "sandbox/legacy_service.h"

namespace {

using namespace vexa::sandbox;
using Quill::CTPMLParser;
using Quill::TPMLNode;
using Quill::TPMLTree;
using vexa::fuzz::Check;

// Not in any seed or dictionary: a login that the fuzzer writes itself is refused quickly, without
// the password hash a known account would cost.
constexpr const char* kUserId = "fuzz-account";
constexpr const char* kPassword = "secret";
constexpr int64_t kNow = 1709600000;  // 2024-03-05 in Seoul
// The store grows with every send; it is made afresh now and then.
constexpr int kInputsPerStore = 4096;

// The start of a packet whose login succeeds: USER holding LOGIN with the password scrambled as the
// client scrambles it.
std::string LoginText() {
    std::string password = VexaCore::ScrambleText(kPassword);
    while (password.find(' ') != std::string::npos) password = VexaCore::ScrambleText(kPassword);
    CTPMLParser packet;
    TPMLNode* user = TPMLTree::AddElement(packet.Root(), "USER");
    TPMLTree::SetAttribute(user, "type", "request");
    TPMLNode* login = TPMLTree::AddElement(user, "LOGIN");
    TPMLTree::AddElement(login, "USER_ID", kUserId);
    TPMLTree::AddElement(login, "PASSWORD", password);
    std::string text;
    packet.Serialize(text);
    return text;
}

struct Sandbox {
    Sandbox() {
        store.SetUpAccount({kUserId, kPassword, 1'000'000'000, "Fuzz", "02-123-4567"});
        login = LoginText();
    }

    Store store{":memory:"};
    ManualClock clock{kNow};
    LegacyService service{store, {60}, clock.AsClock()};
    std::string login;
};

Sandbox& TheSandbox() {
    static std::unique_ptr<Sandbox> sandbox;
    static int inputs = 0;
    if (!sandbox) {
        // Local times in replies are the service's, in Seoul, whatever the machine's zone.
        setenv("TZ", "Asia/Seoul", 1);
        tzset();
    }
    if (!sandbox || ++inputs % kInputsPerStore == 0) sandbox = std::make_unique<Sandbox>();
    return *sandbox;
}

bool HasInternalError(const TPMLNode* node) {
    for (; node; node = node->Next()) {
        if (!node->IsElement()) continue;
        if (node->Name() == "ERROR" && TPMLTree::GetAttribute(node, "code") == legacy_error::kInternal)
            return true;
        if (HasInternalError(node->FirstChild())) return true;
    }
    return false;
}

void CheckAnswer(const LegacyAnswer& answer) {
    CTPMLParser reply;
    Check(reply.Parse(answer.document), "a reply parses");
    Check(reply.FirstElement() != nullptr, "a reply holds an element");
    Check(!HasInternalError(reply.Root()->FirstChild()), "the service does not fail inside");
    for (const char c : answer.summary)
        Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F,
              "a request's log line holds no control character");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Sandbox& sandbox = TheSandbox();
    vexa::fuzz::Fields in(vexa::fuzz::AsText(data, size));
    std::string packet;
    switch (in.Byte() % 3) {
        case 0:
            packet = in.Rest();
            break;
        case 1: {
            // What the listener does with the bytes it gathered: a frame that is not whole is not
            // answered yet, or not at all.
            if (VexaCore::MissingFrameBytes(in.Rest()) != 0) return 0;
            const std::optional<std::string> text = VexaCore::UnframePacket(in.Rest());
            if (!text) return 0;
            packet = *text;
            break;
        }
        default:
            packet = sandbox.login + std::string(in.Rest());
            break;
    }
    CheckAnswer(sandbox.service.Handle(packet, "127.0.0.9"));
    return 0;
}
