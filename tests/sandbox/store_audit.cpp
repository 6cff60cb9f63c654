#include "store_audit.h"

#include "sandbox/sqlite.h"

namespace vexa::sandbox::test {

StoreContents ReadStore(const std::filesystem::path& file, const std::string& user) {
    Database db(file);
    StoreContents contents;
    {
        Statement check(db, "PRAGMA integrity_check");
        while (check.Step()) contents.integrity += (contents.integrity.empty() ? "" : "\n") + check.Text(0);
    }
    Statement account(db, "SELECT id, credit FROM accounts WHERE user_id = ?");
    if (!account.Bind(user).Step()) return contents;
    const int64_t id = account.Int(0);
    contents.credit = account.Int(1);
    Statement transfers(db, "SELECT message, month, month_index, cost FROM transfers WHERE account_id = ?");
    transfers.Bind(id);
    while (transfers.Step()) {
        contents.transfersByText[transfers.Text(0)].push_back({transfers.Text(1), transfers.Int(2)});
        ++contents.transfers;
        contents.charged += transfers.Int(3);
    }
    return contents;
}

std::string Discrepancies(const StoreContents& store, const std::vector<Acknowledged>& acknowledged,
                          int64_t startCredit, bool nothingElse) {
    std::string found;
    auto note = [&found](const std::string& line) { found += line + "\n"; };
    if (store.integrity != "ok") note("integrity: " + store.integrity);
    for (const auto& [text, transfers] : store.transfersByText) {
        if (transfers.size() != 1) note(text + ": stored " + std::to_string(transfers.size()) + " times");
    }
    for (const Acknowledged& sent : acknowledged) {
        const auto stored = store.transfersByText.find(sent.text);
        if (stored == store.transfersByText.end()) {
            note(sent.text + ": acknowledged as " + sent.month + "/" + std::to_string(sent.index) +
                 " but not stored");
        } else if (stored->second.front().month != sent.month || stored->second.front().index != sent.index) {
            note(sent.text + ": acknowledged as " + sent.month + "/" + std::to_string(sent.index) +
                 ", stored as " + stored->second.front().month + "/" +
                 std::to_string(stored->second.front().index));
        }
    }
    if (nothingElse && store.transfers != static_cast<int64_t>(acknowledged.size())) {
        note("stored " + std::to_string(store.transfers) + " transfers for " +
             std::to_string(acknowledged.size()) + " acknowledged");
    }
    if (store.credit != startCredit - store.charged) {
        note("credit " + std::to_string(store.credit) + ", but " + std::to_string(startCredit) + " less " +
             std::to_string(store.charged) + " charged");
    }
    return found;
}

}  // namespace vexa::sandbox::test
