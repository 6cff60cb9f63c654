// How many receivers the sandbox stores per second when several hosts send batches of 100 at once
// over HTTPS, and where the time of one batch goes. An in-process sandbox (scratch directory,
// HTTPS and HTTP listeners, one account with ample credit) serves:
//   hosts/https, hosts/http: 1, 2, 4, 8 threads, each with its own Message sending the same batch
//                            of 100 SMS receivers in a loop (rates: receivers and batches stored);
// and, one batch on one thread, the parts of a send:
//   batch/service:           the sandbox's Service::Handle of the component's request, in-process
//                            (authentication, request document, rules, store, reply document);
//   batch/store/N:           Store::AddTransfer of a transfer of N receivers (one SQLite
//                            transaction in WAL mode, with its commit);
//   batch/sqlite_floor:      the floor: SQLite alone inserting the rows of a batch of 100 (the
//                            transfer's and its receivers', one transaction) on a file of its
//                            own with the store's schema and pragmas, statements prepared once;
//   batch/documents/client:  the component's request built and its reply read into SendResults;
//   batch/documents/server:  the sandbox's request document read and its reply written;
//   batch/ca_file_load:      the system's CA file read into a fresh certificate store, which
//                            libcurl does for each new TLS context (the component keeps its
//                            context for the process, so once per set of trusted certificates).
// Every send is checked before measuring, and at the end the store must hold exactly the
// transfers and receivers sent.
#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <curl/curl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <openssl/x509_vfy.h>
#include <optional>
#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <vector>

#include "automation/text.h"
#include "message/message.h"
#include "sandbox/local_time.h"
#include "sandbox/reply_documents.h"
#include "sandbox/request_documents.h"
#include "sandbox/rules.h"
#include "sandbox/sandbox.h"
#include "sandbox/schema.h"
#include "scratch_directory.h"
#include "send_documents.h"

namespace vexa {
namespace {

constexpr int kBatch = 100;
constexpr int64_t kCredit = 1000000000;  // ten million batches: never runs out
constexpr char kUser[] = "bench";
constexpr char kPassword[] = "secret";
constexpr char kSender[] = "02-000-0000";
constexpr char kCommon[] = "[공지] 오늘 밤 10시부터 정기 점검이 있습니다.";
constexpr char kRemoteAddress[] = "127.0.0.1";

enum class Scheme { kHttps, kHttp };

// The batch every host sends, in UTF-8: personal texts and names, no number that does not exist.
std::vector<bench::Person> Batch() {
    std::vector<bench::Person> batch;
    for (int i = 1; i <= kBatch; ++i) {
        char phone[32];
        std::snprintf(phone, sizeof phone, "010-%04d-%04d", 1000 + i, 2000 + i);
        const std::string n = std::to_string(i);
        batch.push_back({phone, "고객 " + n, "안녕하세요 " + n + "번 고객님, 예약이 확인되었습니다."});
    }
    return batch;
}

// A host: its own Message pointed at the sandbox, holding the batch and the contents it sends.
class Host {
public:
    Host(const std::string& url, const std::filesystem::path& certificate) {
        Message::CreateInstance(nullptr, IID_IMessage, message_.OutVoid());
        ComPtr<IServiceEndpoint> endpoint;
        message_->QueryInterface(IID_IServiceEndpoint, endpoint.OutVoid());
        endpoint->SetEndpoint(Bstr(Utf16FromUtf8(url)).Get());
        endpoint->SetTrustedCertificates(Bstr(Utf16FromUtf8(certificate.string())).Get());
        message_->SetAccountInfo(Bstr(Utf16FromUtf8(kUser)).Get(), Bstr(Utf16FromUtf8(kPassword)).Get());

        message_->CreateReceivers(receivers_.Out());
        ComPtr<IReceivers> list;
        receivers_->QueryInterface(IID_IReceivers, list.OutVoid());
        for (const bench::Person& p : Batch()) {
            list->AddDirect(Bstr(Utf16FromUtf8(p.phone)).Get(), Bstr(Utf16FromUtf8(p.message)).Get(),
                            VEXA_DIRECT, 0.0);
            LONG count = 0;
            list->get_Count(&count);
            ComPtr<IDispatch> item;
            list->get_Item(count - 1, item.Out());
            ComPtr<IReceiver2> named;
            item->QueryInterface(IID_IReceiver2, named.OutVoid());
            named->put_Name(Bstr(Utf16FromUtf8(p.name)).Get());
        }
        ComPtr<IDispatch> contentsDisp;
        message_->CreateContents(contentsDisp.Out());
        contentsDisp->QueryInterface(IID_IContents, contents_.OutVoid());
        contents_->put_Type(VEXA_MESSAGE_TYPE_SMS);
        contents_->put_Message(Bstr(Utf16FromUtf8(kCommon)).Get());
    }

    // One Send of the batch; its results, or null when it failed or did not answer every receiver.
    ComPtr<ISendResults> Send() {
        ComPtr<IDispatch> resultsDisp;
        if (message_->Send(from_.Get(), receivers_.Get(), contents_.Get(), resultsDisp.Out()) != S_OK ||
            !resultsDisp)
            return {};
        ComPtr<ISendResults> results;
        resultsDisp->QueryInterface(IID_ISendResults, results.OutVoid());
        LONG count = 0;
        if (!results || results->get_Count(&count) != S_OK || count != kBatch) return {};
        return results;
    }

private:
    ComPtr<IMessage> message_;
    ComPtr<IDispatch> receivers_;
    ComPtr<IContents> contents_;
    Bstr from_{Utf16FromUtf8(kSender)};
};

// What a batch costs SQLite itself: the transfer's row and its receivers' rows inserted in one
// transaction, on a file with the store's schema and pragmas, each statement prepared once and
// its texts bound without copies. Nothing else: no debit, no next index, no wrapper.
class SqliteFloor {
public:
    SqliteFloor(const std::filesystem::path& file, sandbox::NewTransfer batch) : batch_(std::move(batch)) {
        { sandbox::Store schema(file); }
        sqlite3* raw = nullptr;
        const int opened = sqlite3_open(file.c_str(), &raw);
        db_.reset(raw);
        if (opened != SQLITE_OK ||
            sqlite3_exec(raw, sandbox::kConnectionPragmas, nullptr, nullptr, nullptr) != SQLITE_OK ||
            sqlite3_exec(raw,
                         "INSERT INTO accounts (user_id, name, password_salt, password_digest, "
                         "password_iterations, credit) VALUES ('floor', 'floor', x'00', x'00', 1, 0)",
                         nullptr, nullptr, nullptr) != SQLITE_OK) {
            throw std::runtime_error(std::string("sqlite floor: ") + sqlite3_errmsg(raw));
        }
        accountId_ = sqlite3_last_insert_rowid(raw);
        begin_ = Prepare("BEGIN IMMEDIATE");
        commit_ = Prepare("COMMIT");
        transfer_ = Prepare(
            "INSERT INTO transfers (account_id, month, month_index, day, type, sender, message, subject, "
            "reservation, send_time, write_time, cost, user_ip, via) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
            "?, ?, ?, ?)");
        receiver_ = Prepare(
            "INSERT INTO receivers (transfer_id, position, phone, name, message, send_time, delivery_time, "
            "result) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    }

    // One batch stored; false when SQLite refused it.
    bool Insert() {
        const sandbox::NewTransfer& t = batch_;
        sqlite3_stmt* row = transfer_.get();
        Int(row, 1, accountId_);
        Text(row, 2, t.month);
        Int(row, 3, ++index_);
        Int(row, 4, t.day);
        Text(row, 5, t.type);
        Text(row, 6, t.sender);
        Text(row, 7, t.message);
        Text(row, 8, t.subject);
        Int(row, 9, t.reservation ? 1 : 0);
        Int(row, 10, t.sendTime);
        Int(row, 11, t.writeTime);
        Int(row, 12, t.cost);
        Text(row, 13, t.userIp);
        Text(row, 14, t.via);
        if (!Run(begin_.get()) || !Run(row)) return Abandon();
        const int64_t id = sqlite3_last_insert_rowid(db_.get());
        int64_t position = 0;
        for (const sandbox::Receiver& r : t.receivers) {
            sqlite3_stmt* receiver = receiver_.get();
            Int(receiver, 1, id);
            Int(receiver, 2, ++position);
            Text(receiver, 3, r.phone);
            Text(receiver, 4, r.name);
            Text(receiver, 5, r.message);
            Int(receiver, 6, r.sendTime);
            Int(receiver, 7, r.deliveryTime);
            Int(receiver, 8, r.result);
            if (!Run(receiver)) return Abandon();
        }
        return Run(commit_.get()) || Abandon();
    }

private:
    struct Closer {
        void operator()(sqlite3* db) const { sqlite3_close(db); }
    };
    struct Finalizer {
        void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
    };
    using Prepared = std::unique_ptr<sqlite3_stmt, Finalizer>;

    Prepared Prepare(const char* sql) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v3(db_.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr) != SQLITE_OK) {
            sqlite3_finalize(raw);
            throw std::runtime_error(std::string("sqlite floor: ") + sqlite3_errmsg(db_.get()));
        }
        return Prepared(raw);
    }
    // The batch outlives every statement run, so its texts are bound in place.
    static void Text(sqlite3_stmt* stmt, int index, const std::string& text) {
        sqlite3_bind_text64(stmt, index, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
    }
    static void Int(sqlite3_stmt* stmt, int index, int64_t value) { sqlite3_bind_int64(stmt, index, value); }
    static bool Run(sqlite3_stmt* stmt) {
        const int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        return rc == SQLITE_DONE;
    }
    bool Abandon() {
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }

    std::unique_ptr<sqlite3, Closer> db_;
    Prepared begin_, commit_, transfer_, receiver_;
    sandbox::NewTransfer batch_;
    int64_t accountId_ = 0;
    int64_t index_ = 0;
};

sandbox::SandboxOptions Options(const std::filesystem::path& dataDir) {
    sandbox::SandboxOptions options;
    options.dataDir = dataDir;
    options.accounts.push_back({kUser, kPassword, kCredit, "Bench", kSender});
    return options;
}

// The sandbox, the parts of a send taken apart, and the count of what was stored.
class Rig {
public:
    Rig() {
        context_ = ServiceContext::Defaults();
        context_.SetCredentials(kUser, kPassword);
        for (const bench::Person& p : Batch()) {
            local_.push_back({Utf8ToLocal(p.phone), Utf8ToLocal(p.name), Utf8ToLocal(p.message)});
        }
        const std::string path = "/messages/" + std::string(kUser);
        request_ = {"POST",
                    path,
                    context_.authorization,
                    context_.realm,
                    bench::BuildSendRequest(context_, sender_, common_, local_),
                    sandbox_.GetEndpoints().https,
                    kRemoteAddress};
        selfUrl_ = request_.baseUrl + path;
        account_ = *sandbox_.GetStore().FindAccount(kUser);
        const sandbox::LocalDay today = sandbox::LocalDayOf(clock_.Now());
        month_ = sandbox::MonthKey(today.year, today.month);
        day_ = today.day;
        for (int receivers : {kBatch, 1}) planned_.emplace(receivers, Transfer(receivers));
        floor_ = std::make_unique<SqliteFloor>(directory_.Path() / "floor.db", planned_.at(kBatch));
    }

    const std::string& Url(Scheme scheme) const {
        return scheme == Scheme::kHttps ? sandbox_.GetEndpoints().https : sandbox_.GetEndpoints().http;
    }
    const std::filesystem::path& Certificate() const { return sandbox_.Certificate().certificate; }

    void Stored(int64_t transfers, int64_t receivers) {
        transfers_ += transfers;
        receivers_ += receivers;
    }

    // The whole service behind the listeners, without HTTP: true when the batch was stored.
    bool Service() {
        const sandbox::ServiceReply reply = service_.Handle(request_);
        if (reply.status != 200) return false;
        Stored(1, kBatch);
        return true;
    }

    // The store alone: the transfer that the service makes of the batch's first `receivers` (100 or
    // 1), made beforehand.
    bool Store(int receivers) {
        const auto planned = planned_.find(receivers);
        if (planned == planned_.end() || !sandbox_.GetStore().AddTransfer(account_.id, planned->second).key)
            return false;
        Stored(1, receivers);
        return true;
    }

    // The floor: SQLite alone storing the rows of a batch of 100.
    bool Floor() { return floor_->Insert(); }

    // What Send does with the documents: its request built, the sandbox's reply read.
    bool ClientDocuments() {
        const std::string body = bench::BuildSendRequest(context_, sender_, common_, local_);
        CRondoMessages entity(context_);
        const ComPtr<SendResults> results = bench::ReadSendResults(entity, bench::SendReply(reply_));
        return !body.empty() && results && results->Count() == kBatch;
    }

    // What the sandbox does with them: the request read, the reply written (the records as the
    // send operation fills them).
    bool ServerDocuments() {
        std::string error;
        const std::optional<sandbox::SendRequest> request = sandbox::ReadSendRequest(request_.body, error);
        if (!request) return false;
        ReceiverRecord accepted;
        accepted.sendTime = clock_.Now();
        accepted.result = "succeed";
        accepted.index = "1";
        accepted.date = month_;
        std::vector<ReceiverRecord> records(request->receivers.size(), accepted);
        for (size_t i = 0; i < records.size(); ++i) {
            const sandbox::SendRequest::Receiver& r = request->receivers[i];
            records[i].phone = r.phone;
            records[i].message = r.message.value_or(request->message);
        }
        return !sandbox::MessagesReply(records, {&account_, selfUrl_}).empty();
    }

    // Before measuring: each path stores the batch whole, the same way, and the component reads the
    // service's reply. Keeps that reply for ClientDocuments.
    bool Check() {
        for (Scheme scheme : {Scheme::kHttps, Scheme::kHttp}) {
            Host host(Url(scheme), Certificate());
            const ComPtr<ISendResults> results = host.Send();
            if (!Expect(results && AllSucceeded(results.Get()), "a Send over HTTP(S) failed")) return false;
            Stored(1, kBatch);
        }
        const sandbox::ServiceReply reply = service_.Handle(request_);
        if (!Expect(reply.status == 200, "the in-process service refused the batch")) return false;
        Stored(1, kBatch);
        reply_ = reply.body;
        CRondoMessages entity(context_);
        const ComPtr<SendResults> results = bench::ReadSendResults(entity, bench::SendReply(reply_));
        if (!Expect(results && AllSucceeded(results.Get()), "the component did not read the service's reply"))
            return false;
        if (!Expect(ClientDocuments() && ServerDocuments(), "the documents alone failed")) return false;
        if (!Expect(Store(kBatch), "the store refused the transfer")) return false;
        if (!Expect(Floor(), "SQLite alone refused the batch's rows")) return false;

        // The transfers of Send, the in-process service and the store hold the same receivers.
        sandbox::Store& store = sandbox_.GetStore();
        const std::optional<sandbox::Transfer> sent = store.FindTransfer(account_.id, {month_, 1});
        const std::optional<sandbox::Transfer> served = store.FindTransfer(account_.id, {month_, 3});
        const std::optional<sandbox::Transfer> direct = store.FindTransfer(account_.id, {month_, 4});
        return Expect(sent && served && direct && SameReceivers(*sent, *served) &&
                          SameReceivers(*sent, *direct) && sent->sender == served->sender &&
                          sent->message == served->message,
                      "the paths stored different transfers");
    }

    // After measuring: the store holds exactly what was sent, under consecutive indexes, and the
    // credit went down by the receivers.
    bool StoreHoldsWhatWasSent() {
        sandbox::Store& store = sandbox_.GetStore();
        int64_t transfers = 0, receivers = 0;
        while (const std::optional<sandbox::Transfer> t =
                   store.FindTransfer(account_.id, {month_, transfers + 1})) {
            ++transfers;
            receivers += static_cast<int64_t>(t->receivers.size());
        }
        const std::optional<sandbox::Account> account = store.FindAccount(kUser);
        std::fprintf(
            stderr,
            "sandbox_bench: the store holds %lld transfers with %lld receivers; sent %lld with %lld\n",
            static_cast<long long>(transfers), static_cast<long long>(receivers),
            static_cast<long long>(transfers_.load()), static_cast<long long>(receivers_.load()));
        return Expect(transfers == transfers_ && receivers == receivers_ && account &&
                          account->credit == kCredit - receivers_,
                      "the store does not hold exactly what was sent");
    }

private:
    static bool Expect(bool ok, const char* what) {
        if (!ok) std::fprintf(stderr, "sandbox_bench: %s\n", what);
        return ok;
    }

    static bool AllSucceeded(ISendResults* results) {
        LONG count = 0;
        results->get_Count(&count);
        if (count != kBatch) return false;
        for (LONG i = 0; i < count; ++i) {
            ComPtr<IDispatch> item;
            ComPtr<ISendResult> result;
            VEXA_RESULT outcome = VEXA_FAILED;
            if (results->get_Item(i, item.Out()) != S_OK ||
                item->QueryInterface(IID_ISendResult, result.OutVoid()) != S_OK ||
                result->get_Result(&outcome) != S_OK || outcome != VEXA_SUCCEEDED)
                return false;
        }
        return true;
    }

    static bool SameReceivers(const sandbox::Transfer& a, const sandbox::Transfer& b) {
        if (a.receivers.size() != b.receivers.size()) return false;
        for (size_t i = 0; i < a.receivers.size(); ++i) {
            const sandbox::Receiver &x = a.receivers[i], &y = b.receivers[i];
            if (x.phone != y.phone || x.name != y.name || x.message != y.message) return false;
        }
        return true;
    }

    // A direct SMS transfer of the batch's first `receivers`, as the send operation makes it.
    sandbox::NewTransfer Transfer(int receivers) const {
        const int64_t now = clock_.Now();
        sandbox::NewTransfer t;
        t.month = month_;
        t.day = day_;
        t.type = "sms";
        t.sender = kSender;
        t.message = kCommon;
        t.sendTime = now;
        t.writeTime = now;
        t.userIp = kRemoteAddress;
        const std::vector<bench::Person> batch = Batch();
        for (int i = 0; i < receivers; ++i) {
            const bench::Person& p = batch[static_cast<size_t>(i)];
            t.receivers.push_back(sandbox::PlanDelivery(p.phone, p.name, p.message, now, now, 0));
        }
        t.cost = receivers * sandbox::CostPerReceiver(t.type);
        return t;
    }

    test::ScratchDirectory directory_;
    // Stands still, so that every transfer falls in one month whenever the run happens.
    sandbox::ManualClock clock_{static_cast<int64_t>(std::time(nullptr))};
    sandbox::Sandbox sandbox_{Options(directory_.Path()), clock_.AsClock()};
    sandbox::Service service_{sandbox_.GetStore(), {sandbox::DefaultRealm(), 0}, clock_.AsClock()};
    ServiceContext context_;
    sandbox::ServiceRequest request_;
    std::string selfUrl_;
    std::string reply_;
    sandbox::Account account_;
    std::string month_;
    int day_ = 0;
    // The batch in the component's local text, as Send reads it from the host's objects.
    const std::string sender_ = Utf8ToLocal(kSender);
    const std::string common_ = Utf8ToLocal(kCommon);
    std::vector<bench::Person> local_;
    std::map<int, sandbox::NewTransfer> planned_;  // by number of receivers
    std::unique_ptr<SqliteFloor> floor_;           // made of the batch of 100
    std::atomic<int64_t> transfers_{0};
    std::atomic<int64_t> receivers_{0};
};

Rig* rig = nullptr;

void CountRates(benchmark::State& state, int64_t batches, int receivers) {
    state.counters["batches"] = benchmark::Counter(static_cast<double>(batches), benchmark::Counter::kIsRate);
    state.counters["receivers"] =
        benchmark::Counter(static_cast<double>(batches * receivers), benchmark::Counter::kIsRate);
}

// One thread of N hosts: its own Message, sending the batch until the benchmark has enough.
void Hosts(benchmark::State& state, Scheme scheme) {
    Host host(rig->Url(scheme), rig->Certificate());
    // A first send outside the timing: the listeners' workers and the connections are under way
    // before the hosts are timed together.
    const int64_t warmUp = host.Send() ? 1 : 0;
    if (warmUp == 0) state.SkipWithError("a Send failed");
    int64_t sent = 0;
    for (auto _ : state) {
        if (!host.Send()) {
            state.SkipWithError("a Send failed");
            break;
        }
        ++sent;
    }
    rig->Stored(warmUp + sent, (warmUp + sent) * kBatch);
    CountRates(state, sent, kBatch);
}

// Batches of 100 stored one after another on one thread, by the service or by SQLite alone.
template <bool (Rig::*Work)()>
void Batches(benchmark::State& state) {
    int64_t stored = 0;
    for (auto _ : state) {
        if (!(rig->*Work)()) {
            state.SkipWithError("the batch was not stored");
            break;
        }
        ++stored;
    }
    CountRates(state, stored, kBatch);
}

void Store(benchmark::State& state) {
    const int receivers = static_cast<int>(state.range(0));
    int64_t stored = 0;
    for (auto _ : state) {
        if (!rig->Store(receivers)) {
            state.SkipWithError("the store refused the transfer");
            break;
        }
        ++stored;
    }
    CountRates(state, stored, receivers);
}

template <bool (Rig::*Work)()>
void Documents(benchmark::State& state) {
    for (auto _ : state) {
        if (!(rig->*Work)()) {
            state.SkipWithError("the documents failed");
            break;
        }
    }
}

struct EasyFree {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct X509StoreFree {
    void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};

// The CA file libcurl reads when it sets up a TLS context (its built-in default); empty when none.
std::string SystemCaFile() {
    const std::unique_ptr<CURL, EasyFree> easy(curl_easy_init());
    char* path = nullptr;
    if (!easy || curl_easy_getinfo(easy.get(), CURLINFO_CAINFO, &path) != CURLE_OK || !path) return {};
    return path;
}

void CaFileLoad(benchmark::State& state, const std::string& file) {
    for (auto _ : state) {
        const std::unique_ptr<X509_STORE, X509StoreFree> store(X509_STORE_new());
        if (!store || X509_STORE_load_file(store.get(), file.c_str()) != 1) {
            state.SkipWithError("the CA file did not load");
            break;
        }
    }
}

void Register() {
    // Real time (the hosts' wall clock); the CPU column is the whole process: hosts, listeners and
    // the store together.
    auto add = [](const char* name, auto run) {
        return benchmark::RegisterBenchmark(name, run)->UseRealTime()->MeasureProcessCPUTime()->Unit(
            benchmark::kMillisecond);
    };
    const std::pair<const char*, Scheme> schemes[] = {{"hosts/https", Scheme::kHttps},
                                                      {"hosts/http", Scheme::kHttp}};
    for (const auto& [name, scheme] : schemes) {
        add(name, [scheme = scheme](benchmark::State& state) { Hosts(state, scheme); })
            ->Threads(1)
            ->Threads(2)
            ->Threads(4)
            ->Threads(8);
    }
    add("batch/service", Batches<&Rig::Service>);
    add("batch/store", Store)->Arg(kBatch)->Arg(1);
    add("batch/sqlite_floor", Batches<&Rig::Floor>);
    add("batch/documents/client", Documents<&Rig::ClientDocuments>);
    add("batch/documents/server", Documents<&Rig::ServerDocuments>);
    if (const std::string file = SystemCaFile(); !file.empty()) {
        add("batch/ca_file_load", [file](benchmark::State& state) { CaFileLoad(state, file); });
    } else {
        std::fprintf(stderr, "sandbox_bench: libcurl names no CA file, batch/ca_file_load skipped\n");
    }
}

}  // namespace
}  // namespace vexa

int main(int argc, char** argv) {
    // Loopback is reached directly whatever proxy the environment names.
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    curl_global_init(CURL_GLOBAL_DEFAULT);

    int status = 0;
    {
        vexa::Rig rig;
        vexa::rig = &rig;
        if (!rig.Check()) return 1;
        vexa::Register();
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        if (!rig.StoreHoldsWhatWasSent()) status = 1;
        vexa::rig = nullptr;
    }
    curl_global_cleanup();
    return status;
}
