// The sandbox's one SQLite file (WAL): accounts, transfers, receivers and images. Every method is
// one transaction, and the connection is used by one thread at a time, so requests served in
// parallel see each other's work whole or not at all. The connection keeps its statements
// prepared, so an operation parses its SQL only the first time it runs.
#pragma once

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
    std::string month;
    int firstDay = 1;
    int lastDay = 31;
    std::string type;  // empty: every type
    bool reservationOnly = false;
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

    int SchemaVersion();
    // How many statements the connection has prepared: each operation's once, on its first call.
    int64_t StatementsPrepared();

private:
    std::optional<Transfer> FindTransferLocked(int64_t accountId, const TransferKey& key);
    void LoadReturnPhones(Account& account);
    void LoadDetails(Transfer& transfer);

    std::mutex mutex_;
    Database db_;
};

}  // namespace vexa::sandbox
