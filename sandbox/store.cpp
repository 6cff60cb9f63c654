#include "sandbox/store.h"

#include "sandbox/schema.h"

namespace vexa::sandbox {

namespace {

constexpr int kBusyTimeoutMs = 5000;

constexpr const char* kTransferColumns =
    "SELECT id, month, month_index, day, type, sender, message, subject, reservation, send_time, write_time, "
    "cost, user_ip, deleted_time, cancelled_time, "
    "(SELECT COUNT(*) FROM images WHERE images.transfer_id = transfers.id), via FROM transfers ";

Transfer ReadTransfer(const Statement& row) {
    Transfer t;
    t.id = row.Int(0);
    t.key = {row.Text(1), row.Int(2)};
    t.day = static_cast<int>(row.Int(3));
    t.type = row.Text(4);
    t.sender = row.Text(5);
    t.message = row.Text(6);
    t.subject = row.Text(7);
    t.reservation = row.Int(8) != 0;
    t.sendTime = row.Int(9);
    t.writeTime = row.Int(10);
    t.cost = row.Int(11);
    t.userIp = row.Text(12);
    t.deletedTime = row.OptionalInt(13);
    t.cancelledTime = row.OptionalInt(14);
    t.imageCount = static_cast<int>(row.Int(15));
    t.via = row.Text(16);
    return t;
}

}  // namespace

Store::Store(const std::filesystem::path& file) : db_(file) {
    db_.SetBusyTimeout(kBusyTimeoutMs);
    db_.Execute(kConnectionPragmas);
    db_.TruncateLogAfter(kLogFramesBeforeCheckpoint);
    MigrateSchema(db_);
}

int Store::SchemaVersion() {
    std::lock_guard lock(mutex_);
    return SchemaVersionOf(db_);
}

int64_t Store::StatementsPrepared() {
    std::lock_guard lock(mutex_);
    return db_.StatementsPrepared();
}

Store::AccountChange Store::SetUpAccount(const AccountSetup& setup) {
    // Deliberately slow, so done before the store is held.
    const PasswordHash hash = HashPassword(setup.password);
    std::lock_guard lock(mutex_);
    Transaction transaction(db_);
    std::optional<int64_t> existing;
    {
        Statement find(db_, "SELECT id FROM accounts WHERE user_id = ?");
        if (find.Bind(setup.userId).Step()) existing = find.Int(0);
    }
    AccountChange change = AccountChange::kPasswordSet;
    if (existing) {
        Statement(db_,
                  "UPDATE accounts SET password_salt = ?, password_digest = ?, password_iterations = ? "
                  "WHERE id = ?")
            .Bind(Blob{hash.salt}, Blob{hash.digest}, hash.iterations, *existing)
            .Run();
    } else {
        Statement(db_,
                  "INSERT INTO accounts (user_id, name, password_salt, password_digest, password_iterations, "
                  "credit) VALUES (?, ?, ?, ?, ?, ?)")
            .Bind(setup.userId, setup.name, Blob{hash.salt}, Blob{hash.digest}, hash.iterations, setup.credit)
            .Run();
        Statement(db_, "INSERT INTO return_phones (account_id, position, phone) VALUES (?, 1, ?)")
            .Bind(db_.LastInsertId(), setup.returnPhone)
            .Run();
        change = AccountChange::kCreated;
    }
    transaction.Commit();
    ++version_;
    return change;
}

std::vector<std::string> Store::UserIds() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> ids;
    Statement select(db_, "SELECT user_id FROM accounts ORDER BY id");
    while (select.Step()) ids.push_back(select.Text(0));
    return ids;
}

void Store::LoadReturnPhones(Account& account) {
    Statement phones(db_, "SELECT phone FROM return_phones WHERE account_id = ? ORDER BY position");
    phones.Bind(account.id);
    while (phones.Step()) account.returnPhones.push_back(phones.Text(0));
}

std::optional<Account> Store::FindAccount(std::string_view userId) {
    std::lock_guard lock(mutex_);
    Statement row(db_, "SELECT id, user_id, name, credit FROM accounts WHERE user_id = ?");
    if (!row.Bind(userId).Step()) return std::nullopt;
    Account account{row.Int(0), row.Text(1), row.Text(2), {}, row.Int(3)};
    LoadReturnPhones(account);
    return account;
}

std::optional<Store::Login> Store::FindLogin(std::string_view userId) {
    std::lock_guard lock(mutex_);
    Statement row(db_,
                  "SELECT id, user_id, name, credit, password_salt, password_digest, password_iterations "
                  "FROM accounts WHERE user_id = ?");
    if (!row.Bind(userId).Step()) return std::nullopt;
    Login login{{row.Int(0), row.Text(1), row.Text(2), {}, row.Int(3)},
                {row.BlobBytes(4), row.BlobBytes(5), static_cast<int>(row.Int(6))}};
    LoadReturnPhones(login.account);
    return login;
}

Store::AddOutcome Store::AddTransfer(int64_t accountId, const NewTransfer& t) {
    std::lock_guard lock(mutex_);
    Transaction transaction(db_);
    AddOutcome outcome;
    {
        Statement debit(
            db_, "UPDATE accounts SET credit = credit - ? WHERE id = ? AND credit >= ? RETURNING credit");
        if (!debit.Bind(t.cost, accountId, t.cost).Step()) {
            Statement credit(db_, "SELECT credit FROM accounts WHERE id = ?");
            if (credit.Bind(accountId).Step()) outcome.credit = credit.Int(0);
            return outcome;
        }
        outcome.credit = debit.Int(0);
    }

    TransferKey key{t.month, 0};
    {
        Statement next(
            db_,
            "SELECT COALESCE(MAX(month_index), 0) + 1 FROM transfers WHERE account_id = ? AND month = ?");
        next.Bind(accountId, t.month).Step();
        key.index = next.Int(0);
    }

    Statement(db_,
              "INSERT INTO transfers (account_id, month, month_index, day, type, sender, message, subject, "
              "reservation, send_time, write_time, cost, user_ip, via) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
              "?, ?, ?, ?)")
        .Bind(accountId, key.month, key.index, t.day, t.type, t.sender, t.message, t.subject, t.reservation,
              t.sendTime, t.writeTime, t.cost, t.userIp, t.via)
        .Run();
    const int64_t id = db_.LastInsertId();
    Statement receiver(db_,
                       "INSERT INTO receivers (transfer_id, position, phone, name, message, send_time, "
                       "delivery_time, result) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    int position = 0;
    for (const Receiver& r : t.receivers) {
        receiver.Bind(id, ++position, r.phone, r.name, r.message, r.sendTime, r.deliveryTime, r.result).Run();
    }
    Statement image(db_, "INSERT INTO images (transfer_id, position, jpeg) VALUES (?, ?, ?)");
    position = 0;
    for (const std::string& jpeg : t.images) image.Bind(id, ++position, Blob{jpeg}).Run();
    transaction.Commit();
    ++version_;
    outcome.key = key;
    return outcome;
}

void Store::LoadDetails(Transfer& transfer) {
    Statement rows(db_,
                   "SELECT phone, name, message, send_time, delivery_time, result FROM receivers "
                   "WHERE transfer_id = ? ORDER BY position");
    rows.Bind(transfer.id);
    transfer.receivers.clear();
    while (rows.Step()) {
        transfer.receivers.push_back({rows.Text(0), rows.Text(1), rows.Text(2), rows.Int(3), rows.Int(4),
                                      static_cast<int>(rows.Int(5))});
    }
}

std::vector<Transfer> Store::ReadListed(int64_t accountId, const LogFilter& filter, const char* order) {
    Statement rows(db_, std::string(kTransferColumns) +
                            "WHERE account_id = ? AND (? = '' OR month = ?) AND day BETWEEN ? AND ? AND "
                            "deleted_time IS NULL AND (? = '' OR type = ?) AND (? = 0 OR reservation = 1) "
                            "ORDER BY " +
                            order);
    rows.Bind(accountId, filter.month, filter.month, filter.firstDay, filter.lastDay, filter.type,
              filter.type, filter.reservationOnly);
    std::vector<Transfer> transfers;
    while (rows.Step()) transfers.push_back(ReadTransfer(rows));
    for (Transfer& t : transfers) LoadDetails(t);
    return transfers;
}

std::vector<Transfer> Store::ListTransfers(int64_t accountId, const LogFilter& filter) {
    std::lock_guard lock(mutex_);
    return ReadListed(accountId, filter, "month_index");
}

std::vector<Transfer> Store::ListRecentTransfers(int64_t accountId, const LogFilter& filter) {
    std::lock_guard lock(mutex_);
    return ReadListed(accountId, filter, "write_time DESC, month DESC, month_index DESC");
}

std::optional<Transfer> Store::FindTransferLocked(int64_t accountId, const TransferKey& key) {
    Statement row(db_,
                  std::string(kTransferColumns) + "WHERE account_id = ? AND month = ? AND month_index = ?");
    if (!row.Bind(accountId, key.month, key.index).Step()) return std::nullopt;
    Transfer transfer = ReadTransfer(row);
    LoadDetails(transfer);
    return transfer;
}

std::optional<Transfer> Store::FindTransfer(int64_t accountId, const TransferKey& key) {
    std::lock_guard lock(mutex_);
    return FindTransferLocked(accountId, key);
}

bool Store::DeleteTransfer(int64_t accountId, const TransferKey& key, int64_t now) {
    std::lock_guard lock(mutex_);
    Statement(db_,
              "UPDATE transfers SET deleted_time = ? "
              "WHERE account_id = ? AND month = ? AND month_index = ? AND deleted_time IS NULL")
        .Bind(now, accountId, key.month, key.index)
        .Run();
    if (db_.Changes() != 1) return false;
    ++version_;
    return true;
}

Store::CancelOutcome Store::CancelTransfer(int64_t accountId, const TransferKey& key, int64_t now,
                                           const std::function<bool(const Transfer&)>& cancellable) {
    std::lock_guard lock(mutex_);
    Transaction transaction(db_);
    CancelOutcome outcome;
    outcome.transfer = FindTransferLocked(accountId, key);
    if (!outcome.transfer || !cancellable(*outcome.transfer)) return outcome;
    const Transfer& t = *outcome.transfer;
    Statement(db_, "UPDATE transfers SET cancelled_time = ? WHERE id = ?").Bind(now, t.id).Run();
    Statement(db_, "UPDATE receivers SET result = ? WHERE transfer_id = ?")
        .Bind(kResultCancelled, t.id)
        .Run();
    Statement(db_, "UPDATE accounts SET credit = credit + ? WHERE id = ?").Bind(t.cost, accountId).Run();
    transaction.Commit();
    ++version_;
    outcome.cancelled = true;
    return outcome;
}

std::optional<std::string> Store::Image(int64_t accountId, const TransferKey& key, int position) {
    std::lock_guard lock(mutex_);
    Statement row(db_,
                  "SELECT images.jpeg FROM images JOIN transfers ON transfers.id = images.transfer_id "
                  "WHERE transfers.account_id = ? AND transfers.month = ? AND transfers.month_index = ? "
                  "AND images.position = ?");
    if (!row.Bind(accountId, key.month, key.index, position).Step()) return std::nullopt;
    return row.BlobBytes(0);
}

std::vector<std::string> Store::Images(int64_t accountId, const TransferKey& key) {
    std::lock_guard lock(mutex_);
    Statement rows(db_,
                   "SELECT images.jpeg FROM images JOIN transfers ON transfers.id = images.transfer_id "
                   "WHERE transfers.account_id = ? AND transfers.month = ? AND transfers.month_index = ? "
                   "ORDER BY images.position");
    rows.Bind(accountId, key.month, key.index);
    std::vector<std::string> images;
    while (rows.Step()) images.push_back(rows.BlobBytes(0));
    return images;
}

std::vector<AccountSummary> Store::AccountSummaries() {
    std::lock_guard lock(mutex_);
    Statement rows(db_,
                   "SELECT id, user_id, name, credit, "
                   "(SELECT COUNT(*) FROM transfers t WHERE t.account_id = a.id AND t.deleted_time IS NULL), "
                   "(SELECT COUNT(*) FROM receivers r JOIN transfers t ON t.id = r.transfer_id "
                   "WHERE t.account_id = a.id AND t.deleted_time IS NULL) "
                   "FROM accounts a ORDER BY id");
    std::vector<AccountSummary> summaries;
    while (rows.Step()) {
        summaries.push_back(
            {{rows.Int(0), rows.Text(1), rows.Text(2), {}, rows.Int(3)}, rows.Int(4), rows.Int(5)});
    }
    for (AccountSummary& s : summaries) LoadReturnPhones(s.account);
    return summaries;
}

std::vector<ReceivedMessage> Store::FindReceived(std::string_view phoneDigits, int64_t limit) {
    std::lock_guard lock(mutex_);
    // Phones are digits and hyphens, so without their hyphens they are their digits.
    Statement rows(db_,
                   "SELECT t.id, t.month, t.month_index, t.day, t.type, t.sender, t.message, t.subject, "
                   "t.reservation, t.send_time, t.write_time, t.cost, t.user_ip, t.deleted_time, "
                   "t.cancelled_time, (SELECT COUNT(*) FROM images WHERE images.transfer_id = t.id), t.via, "
                   "a.user_id, r.phone, r.name, r.message, r.send_time, r.delivery_time, r.result "
                   "FROM receivers r JOIN transfers t ON t.id = r.transfer_id JOIN accounts a ON a.id = "
                   "t.account_id WHERE t.deleted_time IS NULL AND (? = '' OR REPLACE(r.phone, '-', '') = ?) "
                   "ORDER BY t.write_time DESC, t.id DESC, r.position LIMIT ?");
    rows.Bind(phoneDigits, phoneDigits, limit);
    std::vector<ReceivedMessage> found;
    while (rows.Step()) {
        found.push_back({rows.Text(17),
                         ReadTransfer(rows),
                         {rows.Text(18), rows.Text(19), rows.Text(20), rows.Int(21), rows.Int(22),
                          static_cast<int>(rows.Int(23))}});
    }
    return found;
}

std::optional<int64_t> Store::NextStateChange(int64_t now) {
    std::lock_guard lock(mutex_);
    Statement row(db_,
                  "SELECT MIN(CASE WHEN r.send_time > ? THEN r.send_time ELSE r.delivery_time END) "
                  "FROM receivers r JOIN transfers t ON t.id = r.transfer_id "
                  "WHERE t.deleted_time IS NULL AND r.result != ? AND r.delivery_time > ?");
    row.Bind(now, kResultCancelled, now).Step();
    return row.OptionalInt(0);
}

bool Store::SetCredit(int64_t accountId, int64_t credit) {
    std::lock_guard lock(mutex_);
    Statement(db_, "UPDATE accounts SET credit = ? WHERE id = ?").Bind(credit, accountId).Run();
    if (db_.Changes() != 1) return false;
    ++version_;
    return true;
}

int64_t Store::ClearTransfers(int64_t accountId) {
    std::lock_guard lock(mutex_);
    // Receivers and images go with their transfers (ON DELETE CASCADE).
    Statement(db_, "DELETE FROM transfers WHERE account_id = ?").Bind(accountId).Run();
    const int64_t removed = db_.Changes();
    ++version_;
    return removed;
}

}  // namespace vexa::sandbox
