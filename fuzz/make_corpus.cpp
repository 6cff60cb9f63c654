// The fuzz targets' seed corpora, written into the folder given (fuzz/make-corpus writes
// fuzz/corpus): what the component and the sandbox write on both wires, each exchange run for real
// against a sandbox in memory; the tests' picture fixtures; and a few texts of each format that no
// writer of ours makes (comments, CDATA, another encoding). Each target's folder is made afresh.
// Scrambled passwords and substitution keys are random, so those seeds differ from run to run.
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "automation/text.h"
#include "imaging/image_entry.h"
#include "legacy/log_bundles.h"
#include "legacy/protocol/packet_frame.h"
#include "legacy/protocol/scramble.h"
#include "legacy/send_sms_bundle.h"
#include "legacy/user_bundle.h"
#include "picture_fixtures.h"
#include "registry/registry_file.h"
#include "rest/messages_document.h"
#include "rest/transfers_document.h"
#include "sandbox/legacy_service.h"
#include "sandbox/sandbox.h"
#include "sandbox/service.h"
#include "vexa/VexaComponent.h"

namespace {

namespace fs = std::filesystem;
using namespace vexa;
using Quill::CTPMLParser;
using VexaCore::CUnknownBundle;

constexpr int64_t kNow = 1709615229;  // 2024-03-05 14:07:09 in Seoul
constexpr const char* kUser = "kim";
constexpr const char* kPassword = "secret";

class Corpus {
public:
    explicit Corpus(fs::path root) : root_(std::move(root)) {}

    // The target whose seeds follow; its folder starts empty.
    void Target(std::string_view name) {
        folder_ = root_ / name;
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }

    void Add(std::string_view name, std::string_view bytes) {
        std::ofstream(folder_ / name, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    void Add(std::string_view name, const test::PictureBytes& bytes) {
        Add(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }

    // For the targets whose first byte picks what the rest is.
    void Add(std::string_view name, uint8_t mode, std::string_view rest) {
        Add(name, std::string(1, static_cast<char>(mode)) + std::string(rest));
    }

private:
    fs::path root_;
    fs::path folder_;
};

std::string Local(std::string_view utf8) { return Utf8ToLocal(utf8); }

std::string Written(const CTPMLParser& document) {
    std::string text;
    document.Serialize(text);
    return text;
}

// ---- The legacy wire ----

std::string Scrambled(std::string_view password) {
    std::string text = VexaCore::ScrambleText(password);
    while (text.find(' ') != std::string::npos) text = VexaCore::ScrambleText(password);
    return text;
}

// A bundle's own element, as the client builds it.
std::string ElementText(CUnknownBundle& bundle) {
    bundle.Process();
    return Written(bundle.Document());
}

// A packet as the client sends it: a login as the client describes itself, then the method.
std::string Packet(const std::string& userId, CUnknownBundle& method) {
    VexaCore::CUserBundle login;
    login.SetLogin(userId, Scrambled(kPassword));
    login.SetEtcInfo("macaddress", "00-11-22-33-44-55");
    login.SetEtcInfo("computername", "DESK");
    login.SetEtcInfo("username", "clerk");
    login.SetEtcInfo("servicecode", "");
    login.SetEtcInfo("modulename", "host.exe");
    CUnknownBundle packet;
    packet.Append(login);
    packet.Append(method);
    VexaCore::CUserBundle status;
    status.SetStatus();
    packet.Append(status);
    return Written(packet.Document());
}

struct LegacyMethod {
    const char* name;
    std::string element;  // the method's element alone
    std::string packet;   // with the login of kUser
};

std::vector<LegacyMethod> LegacyMethods() {
    std::vector<LegacyMethod> methods;
    VexaCore::CSendSMSBundle send;
    send.SetSender("02-555-1212");
    send.AddReceiver(Local("홍길동"), "010-1234-5678", Local("안녕하세요"), true, 0);
    send.AddReceiver("O'Brien", "010-2222-3333", "it's \\ 100% <ok> & \"done\"\r\n  twice", true, 0);
    send.AddReceiver("", "010-4444-5555", Local("예약 문자"), false, kNow + 86400);
    methods.push_back({"sendsms", ElementText(send), Packet(kUser, send)});

    VexaCore::CLogListBundle list;
    list.AddReferDate("202403");
    list.AddReferResDate("2024030105");
    methods.push_back({"loglist", ElementText(list), Packet(kUser, list)});

    VexaCore::CLogListBundle drop;
    drop.AddDrop("202403", "1");
    drop.AddCancel("202403", "3");
    methods.push_back({"logdrop", ElementText(drop), Packet(kUser, drop)});

    VexaCore::CLogDetailBundle detail;
    detail.AddDetailRequest("202403", "1");
    methods.push_back({"logdetail", ElementText(detail), Packet(kUser, detail)});

    VexaCore::CUserBundle user;
    user.SetStatus();
    user.AddRefer("phone_return");
    user.AddRefer("user_name");
    user.AddModify("user_name", "kim");
    user.SetLogout();
    methods.push_back({"user", ElementText(user), Packet(kUser, user)});
    return methods;
}

// Markup that the writer does not make but the reader takes.
constexpr std::string_view kHandwrittenMarkup[] = {
    "<USER type=\"reply\"><LOGIN result=\"succeed\"><USER_ID>kim</USER_ID></LOGIN></USER>",
    "<SENDSMS type=\"reply\">\n<RESULT phone=\"010-1234-5678\" date=\"202403\" index=\"7\">succeed</RESULT>\n"
    "<ERROR code=\"200\">not&nbsp;enough&amp;credit</ERROR></SENDSMS>",
    "<MESSAGE><![CDATA[<b>raw & text</b>]]></MESSAGE>",
    "<A x=\"&quot;&lt;&gt;&equ;&slsh;&br;&tab;&nbsp;\"><B/><C value=\"v\"><D/></C></A>",
    "<EMPTY/><EMPTY></EMPTY>",
};

void WriteLegacySeeds(Corpus& corpus, sandbox::LegacyService& service) {
    const std::vector<LegacyMethod> methods = LegacyMethods();
    std::vector<std::pair<std::string, std::string>> documents;  // name, text
    for (const LegacyMethod& m : methods) {
        documents.emplace_back(std::string(m.name) + "-request", m.packet);
        documents.emplace_back(std::string(m.name) + "-reply",
                               service.Handle(m.packet, "127.0.0.9").document);
    }
    VexaCore::CLogListBundle refused;
    refused.AddReferDate("202403");
    const std::string refusedLogin = Packet("nobody", refused);
    documents.emplace_back("refused-login-reply", service.Handle(refusedLogin, "127.0.0.9").document);
    documents.emplace_back("bad-document-reply", service.Handle("<USER>", "127.0.0.9").document);

    corpus.Target("tpml");
    for (const auto& [name, text] : documents) corpus.Add(name, text);
    int n = 0;
    for (std::string_view text : kHandwrittenMarkup) corpus.Add("handwritten-" + std::to_string(++n), text);

    corpus.Target("frame");
    for (const auto& [name, text] : documents) {
        corpus.Add(name + "-plain", VexaCore::FramePacket(text, VexaCore::kPlainProtocolVersion, -1));
        corpus.Add(name + "-compressed", VexaCore::FramePacket(text, VexaCore::kPlainProtocolVersion, 0));
        corpus.Add(name + "-substituted",
                   VexaCore::FramePacket(text, VexaCore::kSubstitutedProtocolVersion, -1));
    }

    // The packets of users the fuzz target's sandbox does not know, so their logins are refused;
    // the method elements alone, after the target's own login.
    corpus.Target("sandbox_legacy");
    for (const LegacyMethod& m : methods) {
        VexaCore::CUserBundle stranger;
        stranger.SetLogin("lee", Scrambled(kPassword));
        CUnknownBundle packet;
        packet.Append(stranger);
        corpus.Add(std::string(m.name) + "-packet", 0, Written(packet.Document()) + m.element);
        corpus.Add(std::string(m.name) + "-frame", 1,
                   VexaCore::FramePacket(m.packet, VexaCore::kPlainProtocolVersion, 0));
        corpus.Add(std::string(m.name) + "-logged-in", 2, m.element);
    }
    corpus.Add("refused-login-packet", 0, refusedLogin);
    corpus.Add("substituted-frame", 1,
               VexaCore::FramePacket(methods.front().packet, VexaCore::kSubstitutedProtocolVersion, -1));
}

// ---- The REST wire ----

class RestSandbox {
public:
    explicit RestSandbox(sandbox::Store& store)
        : service_(store, {sandbox::DefaultRealm(), 0}, [] { return kNow; }) {
        context_.SetCredentials(kUser, kPassword);
    }

    sandbox::ServiceReply Call(const std::string& method, const std::string& target,
                               const std::string& body = {}, bool authorized = true) {
        sandbox::ServiceRequest r;
        r.method = method;
        r.target = target;
        r.authorization = authorized ? context_.authorization : "Basic a2ltOndyb25n";
        r.realm = sandbox::DefaultRealm();
        r.body = body;
        r.baseUrl = "https://127.0.0.1:8443";
        r.remoteAddress = "127.0.0.5";
        return service_.Handle(r);
    }

private:
    sandbox::Service service_;
    ServiceContext context_;
};

std::string SendDocument(const CRondoMessage& message) {
    CRondoMessages messages{ServiceContext{}};
    messages.message = message;
    return messages.BuildRequest();
}

ReceiverRecord Receiver(std::string phone, std::string message, int64_t sendTime = 0, std::string name = {}) {
    ReceiverRecord r;
    r.phone = std::move(phone);
    r.message = std::move(message);
    r.sendTime = sendTime;
    r.name = std::move(name);
    return r;
}

std::vector<CRondoMessage> SendRequests() {
    std::vector<CRondoMessage> requests(4);
    CRondoMessage& sms = requests[0];
    sms.message = Local("안녕하세요");
    sms.receivers = {Receiver("010-1234-5678", sms.message, 0, Local("홍길동")),
                     Receiver("010-2222-3333", "its own text & <markup>")};
    CRondoMessage& lms = requests[1];
    lms.type = "lms";
    lms.subject = Local("제목");
    lms.sender = "02-555-1212";
    lms.message = std::string(100, 'x');
    lms.receivers = {Receiver("010-4444-5555", lms.message)};
    CRondoMessage& reserved = requests[2];
    reserved.reservation = true;
    reserved.message = "later";
    reserved.receivers = {Receiver("010-6666-7777", "later", kNow + 86400)};
    CRondoMessage& mms = requests[3];
    mms.type = "mms";
    mms.message = "picture";
    const test::PictureBytes jpeg = test::EncodedJpeg(8, 8, TJPF_RGB, TJSAMP_420, 0x80);
    mms.images = {JpegDataUri(jpeg)};
    mms.receivers = {Receiver("010-8888-9999", "picture")};
    return requests;
}

// The structured form the request target builds a send document from.
std::string SendFields(const CRondoMessage& m) {
    const uint8_t flags =
        static_cast<uint8_t>((m.reservation ? 1 : 0) | (m.free ? 2 : 0) | (m.images.size() << 2));
    std::string out(1, static_cast<char>(flags));
    const auto field = [&](std::string_view text) { out.append(text).push_back('\0'); };
    field(m.sender), field(m.message), field(m.type), field(m.subject);
    for (const std::string& image : m.images) field(image);
    for (const ReceiverRecord& r : m.receivers)
        field(r.phone), field(r.name), field(r.message), field(std::to_string(r.sendTime));
    out.pop_back();
    return out;
}

void WriteRestSeeds(Corpus& corpus, RestSandbox& rest) {
    CRondoTransfers transfers{ServiceContext{}};
    const std::vector<CRondoMessage> sends = SendRequests();
    const std::vector<LogKey> keys = {{"1", "202403", "sms"}, {"4", "202403", "mms"}};
    const std::string keysDocument = transfers.BuildLogsRequest(keys);

    std::vector<std::pair<std::string, std::string>> replies[4];  // by the reply target's reader
    replies[0].emplace_back("users", rest.Call("GET", "/users/kim/status").body);
    replies[0].emplace_back("users-unauthorized", rest.Call("GET", "/users/kim/status", {}, false).body);
    int n = 0;
    for (const CRondoMessage& m : sends)
        replies[1].emplace_back("messages-" + std::to_string(++n),
                                rest.Call("POST", "/messages/kim", SendDocument(m)).body);
    replies[1].emplace_back("messages-bad-request", rest.Call("POST", "/messages/kim", "<messages>").body);
    ServiceContext kim;
    kim.userId = kUser;
    CRondoTransfers paths{kim};
    replies[2].emplace_back("logs", rest.Call("GET", paths.LogsPath("202403", 0, false)).body);
    replies[2].emplace_back("logs-reserved", rest.Call("GET", paths.LogsPath("202403", 1, true)).body);
    replies[3].emplace_back("detail-mms", rest.Call("GET", paths.DetailPath(2024, 3, 3, "4")).body);
    replies[3].emplace_back("detail-sms", rest.Call("GET", paths.DetailPath(2024, 3, 1, "1")).body);
    replies[3].emplace_back("detail-missing", rest.Call("GET", paths.DetailPath(2024, 3, 1, "99")).body);
    replies[2].emplace_back("logs-cancel", rest.Call("PUT", "/transfers/kim/cancel", keysDocument).body);
    replies[2].emplace_back("logs-delete", rest.Call("DELETE", "/transfers/kim", keysDocument).body);

    corpus.Target("rest_reply");
    for (uint8_t reader = 0; reader < 4; ++reader) {
        for (const auto& [name, body] : replies[reader]) corpus.Add(name, reader, body);
    }
    // A document in the local encoding, which the reader converts through its own code page.
    corpus.Add(
        "users-euc-kr", 0,
        "<?xml version=\"1.0\" encoding=\"EUC-KR\"?>\n<users><status><username>" + Local("홍길동") +
            "</username><phoneReturns><phoneReturn>02-1</phoneReturn></phoneReturns></status></users>");

    corpus.Target("sandbox_request");
    n = 0;
    for (const CRondoMessage& m : sends) {
        corpus.Add("send-" + std::to_string(++n), 0, SendDocument(m));
        corpus.Add("send-fields-" + std::to_string(n), 2, SendFields(m));
    }
    corpus.Add("logs", 1, keysDocument);
    std::string keyFields;
    for (const LogKey& k : keys) keyFields += k.index + '\0' + k.date + '\0' + k.type + '\0';
    keyFields.pop_back();
    corpus.Add("logs-fields", 3, keyFields);
    corpus.Add("send-doctype", 0,
               "<!DOCTYPE messages [<!ENTITY a \"b\">]><messages><message>&a;</message></messages>");
}

// ---- Files and values ----

void WriteRegistrySeeds(Corpus& corpus) {
    corpus.Target("registry_file");
    RegistryFile file;
    const std::string clsid = "HKEY_CLASSES_ROOT\\CLSID\\{E17CBD66-320E-4BBD-96EF-FA7DAB21974A}";
    file.SetDefault(clsid, "Message Object");
    file.SetValue(clsid, "AppID", "{5009B528-A40B-4158-A5C3-20633C473278}");
    file.SetDefault(clsid + "\\InprocServer32", "/opt/vexa/lib/vexa/VexaComponent32.so");
    file.SetValue(clsid + "\\InprocServer32", "ThreadingModel", "Apartment");
    file.SetDefault(clsid + "\\ProgID", "VexaComponent.Message.1");
    file.SetDefault("HKEY_CLASSES_ROOT\\VexaComponent.Message", "Message Object");
    file.SetDefault("HKEY_CLASSES_ROOT\\VexaComponent.Message\\CurVer", "VexaComponent.Message.1");
    corpus.Add("registration", file.Serialize());
    RegistryFile odd;
    odd.SetValue("HKEY_CURRENT_USER\\Software\\Vexa [test]", "path \"quoted\"",
                 "C:\\Program Files\\Vexa\\\r\nnext");
    odd.SetDefault("HKEY_CURRENT_USER\\Software\\Vexa [test]\\Empty", "");
    corpus.Add("escapes", odd.Serialize());
    corpus.Add(
        "hand-edited",
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n; a comment\r\n[HKEY_CLASSES_ROOT\\A]\r\n"
        "@ = \"x\"\r\n  \"Name\"=\"y\"  \r\n\r\n[hkey_classes_root\\a]\r\n\"other\"=\"z\"\r\n");
    corpus.Add("dword", "[HKEY_CLASSES_ROOT\\A]\n\"n\"=dword:00000001\n");
}

void WritePictureSeeds(Corpus& corpus) {
    using namespace test;
    corpus.Target("picture");
    corpus.Add("solid.png", SolidPng(3, 2, {200, 10, 10, 255}));
    corpus.Add("interlaced-alpha.png",
               PngPicture(
                   5, 4, true,
                   [](uint32_t x, uint32_t y) {
                       return Rgba{uint8_t(40 * x), uint8_t(50 * y), 90, uint8_t(60 * x)};
                   },
                   true));
    corpus.Add("solid.bmp", SolidBmp(3, 3, {0, 128, 255, 255}));
    corpus.Add("icon.ico", PngIcon(SolidPng(2, 2, {1, 2, 3, 128}), 2, 2));
    corpus.Add("frames.gif", PaletteGif(2, 2, {255, 0, 0, 255}, {0, 0, 255, 255}, {0, 1}, 1));
    corpus.Add("grey.jpg", EncodedJpeg(8, 8, TJPF_GRAY, TJSAMP_GRAY, 0x40));
    corpus.Add("cmyk.jpg", EncodedJpeg(8, 8, TJPF_CMYK, TJSAMP_444, 0x40));
    corpus.Add("colour.jpg", EncodedJpeg(16, 16, TJPF_RGB, TJSAMP_420, 0x90));
    corpus.Add("declares-too-many.jpg",
               JpegDeclaring(EncodedJpeg(8, 8, TJPF_RGB, TJSAMP_420, 0x90), 20000, 20000));
    corpus.Add("declares-too-many.png", PngHeader(20000, 20000));
    // Savers gdk-pixbuf may lack are left out.
    for (const char* format : {"tiff", "ico", "bmp"}) {
        try {
            corpus.Add(std::string("saved.") + format, SolidPicture(format, 4, 3, {10, 200, 30, 255}));
        } catch (const std::exception&) {
        }
    }
}

void WriteVariantSeeds(Corpus& corpus) {
    corpus.Target("variant");
    constexpr std::string_view kTexts[] = {
        "0",
        "-128",
        "255",
        " 65535 ",
        "-2147483648",
        "1,234,567",
        "2.5",
        "-3.5e2",
        "1E+308",
        "&HFFFF",
        "&O777",
        "&H8000000000000000",
        "1.401298E-45",
        "3.402823E+38",
        "12/31/2099 23:59:59",
        "1899-12-30",
        "1/1/100",
        "13:45",
        "12:00:01",
        "True",
        " false ",
        "",
        "1e",
        "--1",
        "1.7976931348623157E+308",
    };
    int n = 0;
    for (std::string_view text : kTexts) corpus.Add("text-" + std::to_string(++n), text);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: vexa_fuzz_corpus FOLDER (fuzz/corpus)\n";
        return 2;
    }
    // The sandbox writes local times: those of the tests, whatever the machine's zone.
    setenv("TZ", "Asia/Seoul", 1);
    tzset();
    Corpus corpus(argv[1]);
    sandbox::Store store(":memory:");
    store.SetUpAccount({kUser, kPassword, 1000, "김", "02-123-4567"});  // the store keeps UTF-8
    RestSandbox rest(store);
    WriteRestSeeds(corpus, rest);
    sandbox::LegacyService legacy(store, {0}, [] { return kNow; });
    WriteLegacySeeds(corpus, legacy);
    WriteRegistrySeeds(corpus);
    WritePictureSeeds(corpus);
    WriteVariantSeeds(corpus);
    return 0;
}
