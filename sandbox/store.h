// The sandbox's one SQLite file (WAL): accounts, transfers, receivers and images. Every method is
// one transaction, and the connection is used by one thread at a time, so requests served in
// parallel see each other's work whole or not at all. The connection keeps its statements
// prepared, so an operation parses its SQL only the first time it runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sandbox/password_hash.h"
#include "sandbox/records.h"
#include "sandbox/sqlite.h"

namespace vexa::sandbox {

struct AccountSetup {
    std::string userId;
    std::string password;
    // For a new account only.
    int64_t credit = 0;
    std::string name;
    std::string returnPhone;
};

// A transfer as a send writes it; the store gives it its index.
struct NewTransfer {
    std::string month;
    int day = 0;
    std::string type;
    std::string sender;
    std::string message;
    std::string subject;
    bool reservation = false;
    int64_t sendTime = 0;
    int64_t writeTime = 0;
    int64_t cost = 0;
    std::string userIp;
    std::string via = "rest";
    std::vector<Receiver> receivers;
    std::vector<std::string> images;  // JPEG bytes
};

struct LogFilter {
    std::string month;  // empty: every month (ListRecentTransfers only)
    int firstDay = 1;
    int lastDay = 31;
    std::string type;  // empty: every type
    bool reservationOnly = false;
};

// An account with how much it has sent: its listed transfers and their receivers.
struct AccountSummary {
    Account account;
    int64_t transfers = 0;
    int64_t receivers = 0;
};

// A receiver of a listed transfer, with the transfer (without its receivers) and its account.
struct ReceivedMessage {
    std::string userId;
    Transfer transfer;
    Receiver receiver;
};

class Store {
public:
    // Opens or creates the file and brings its schema up to date.
    explicit Store(const std::filesystem::path& file);

    enum class AccountChange { kCreated, kPasswordSet };
    // Creates the account, or sets the password of an existing one and leaves the rest as it is.
    AccountChange SetUpAccount(const AccountSetup& setup);
    std::optional<Account> FindAccount(std::string_view userId);
    // Every account's user ID, in the order they were created.
    std::vector<std::string> UserIds();
    // The account with the hash its password is checked against, read together.
    struct Login {
        Account account;
        PasswordHash password;
    };
    std::optional<Login> FindLogin(std::string_view userId);

    // Stores the transfer with the next index of its month and takes its cost from the credit,
    // or, when the credit does not cover it, stores nothing (key nullopt).
    struct AddOutcome {
        std::optional<TransferKey> key;
        int64_t credit = 0;  // the account's credit after the transaction, charged or not
    };
    AddOutcome AddTransfer(int64_t accountId, const NewTransfer& transfer);

    // The transfers the log shows, in index order; deleted ones are left out.
    std::vector<Transfer> ListTransfers(int64_t accountId, const LogFilter& filter);
    // Any transfer of the account, deleted ones included.
    std::optional<Transfer> FindTransfer(int64_t accountId, const TransferKey& key);

    // Takes the transfer out of the log; false when the account has no such listed transfer.
    bool DeleteTransfer(int64_t accountId, const TransferKey& key, int64_t now);

    // Cancels every receiver of the transfer and gives its cost back to the credit, when
    // `cancellable` allows it (judged inside the same transaction). The transfer as it was before,
    // or nullopt when the account has none of that key.
    struct CancelOutcome {
        std::optional<Transfer> transfer;
        bool cancelled = false;
    };
    CancelOutcome CancelTransfer(int64_t accountId, const TransferKey& key, int64_t now,
                                 const std::function<bool(const Transfer&)>& cancellable);

    // The JPEG bytes of the transfer's image at `position` (from 1).
    std::optional<std::string> Image(int64_t accountId, const TransferKey& key, int position);
    // All of them, in order.
    std::vector<std::string> Images(int64_t accountId, const TransferKey& key);

    // Every account, in the order they were created.
    std::vector<AccountSummary> AccountSummaries();
    // The listed transfers of the account in `filter`, newest written first (then the highest
    // index first).
    std::vector<Transfer> ListRecentTransfers(int64_t accountId, const LogFilter& filter);
    // The receivers of listed transfers whose phone has these digits (any phone when empty),
    // newest written first; at most `limit` of them (no limit when negative).
    std::vector<ReceivedMessage> FindReceived(std::string_view phoneDigits, int64_t limit);
    // The earliest moment after `now` at which a receiver of a listed transfer goes out or gets
    // its report, when any does.
    std::optional<int64_t> NextStateChange(int64_t now);

    // Sets the account's credit; false when there is no such account.
    bool SetCredit(int64_t accountId, int64_t credit);
    // Removes every transfer of the account with its receivers and images, listed or deleted;
    // how many transfers went. The account and its password stay.
    int64_t ClearTransfers(int64_t accountId);

    // Counts the writes: each send, cancel, delete, credit change, clearing and account set-up
    // adds one, so a reader can tell whether anything changed since it last looked.
    int64_t Version() const { return version_.load(); }

    int SchemaVersion();
    // How many statements the connection has prepared: each operation's once, on its first call.
    int64_t StatementsPrepared();

private:
    std::optional<Transfer> FindTransferLocked(int64_t accountId, const TransferKey& key);
    std::vector<Transfer> ReadListed(int64_t accountId, const LogFilter& filter, const char* order);
    void LoadReturnPhones(Account& account);
    void LoadDetails(Transfer& transfer);

    std::mutex mutex_;
    Database db_;
    std::atomic<int64_t> version_{0};
};

}  // namespace vexa::sandbox
