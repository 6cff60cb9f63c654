// The sandbox process under load, through its HTTPS endpoint only: senders at once with reads of
// the logs between, the process killed with SIGKILL in the middle and started again on its
// directory, and the write-ahead log after many sends. Afterwards the store file is read directly:
// every acknowledged send is there exactly once and the credit adds up.
#include <csignal>
#include <gtest/gtest.h>
#include <memory>

#include "file_size_watch.h"
#include "load_rig.h"

namespace vexa::sandbox::test {
namespace {

constexpr int64_t kStartCredit = LoadRig::kStartCredit;

class StoreLoadTest : public testing::Test {
protected:
    LoadRig rig_{VEXA_SANDBOX_PATH};
    const std::filesystem::path& dir_ = rig_.Dir();
};

TEST_F(StoreLoadTest, SendersAtOnceAreEachStoredOnceAndTheCreditAddsUp) {
    std::unique_ptr<SandboxProcess> process = rig_.Start();
    SendLoad load(rig_.Plan(*process, 8, 25));
    const SendLoad::Outcome outcome = load.Finish();
    EXPECT_EQ(outcome.failures, 0) << outcome.firstFailure;
    EXPECT_EQ(outcome.acknowledged.size(), 200u);
    process->Stop();
    EXPECT_EQ(process->ExitCode(), 0) << process->Output();
    const StoreContents store = rig_.Stored();
    EXPECT_EQ(Discrepancies(store, outcome.acknowledged, kStartCredit, true), "");
    EXPECT_EQ(store.charged, 200);
}

// Killed twice in the middle of the load: each restart recovers the store from its log, which
// must then hold every send acknowledged before the kill, once, and at most the one send each
// sender had in flight besides.
TEST_F(StoreLoadTest, AKillMidLoadLosesNothingAcknowledged) {
    constexpr int kSenders = 8;
    std::vector<Acknowledged> acknowledged;
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::unique_ptr<SandboxProcess> process = rig_.Start();
        LoadPlan plan = rig_.Plan(*process, kSenders, 100000);
        plan.label = "round " + std::to_string(round);
        SendLoad load(plan);
        ASSERT_TRUE(load.WaitForAcknowledged(40)) << load.Finish().firstFailure;
        process->Kill();
        EXPECT_EQ(process->ExitCode(), 128 + SIGKILL);
        SendLoad::Outcome outcome = load.Finish();
        EXPECT_EQ(outcome.failures, kSenders);  // each sender ends at its first failed request
        acknowledged.insert(acknowledged.end(), outcome.acknowledged.begin(), outcome.acknowledged.end());
    }
    // A clean start and stop on the directory leaves the log applied.
    std::unique_ptr<SandboxProcess> process = rig_.Start();
    process->Stop();
    ASSERT_EQ(process->ExitCode(), 0) << process->Output();
    const StoreContents store = rig_.Stored();
    EXPECT_EQ(Discrepancies(store, acknowledged, kStartCredit, false), "");
    EXPECT_LE(store.transfers, static_cast<int64_t>(acknowledged.size()) + 2 * kSenders);
}

// One send with a large picture first, which the log must hold whole for a moment; then sends
// that each carry a smaller one, so that the log fills again and again in a few hundred sends. Its
// file is watched all along from the end of the large send: left to SQLite's own checkpoints it
// would keep the size of the largest transaction for good, and otherwise stay near 4 MiB.
TEST_F(StoreLoadTest, TheWriteAheadLogStaysSmallUnderLoad) {
    std::unique_ptr<SandboxProcess> process = rig_.Start();
    // Any Base64 text decodes to some picture bytes: 6 MiB, then 48 KiB.
    auto picture = [](size_t bytes) { return "data:image/jpeg;base64," + std::string(bytes / 3 * 4, 'Q'); };
    LoadPlan large = rig_.Plan(*process, 1, 1);
    large.type = "mms";
    large.image = picture(6 << 20);
    large.label = "large";
    const SendLoad::Outcome first = SendLoad(large).Finish();
    ASSERT_EQ(first.failures, 0) << first.firstFailure;

    const std::filesystem::path wal = dir_ / "sandbox.db-wal";
    FileSizeWatch watch(wal);
    LoadPlan plan = rig_.Plan(*process, 8, 40);
    plan.type = "mms";
    plan.image = picture(48 << 10);
    SendLoad::Outcome outcome = SendLoad(plan).Finish();
    EXPECT_EQ(outcome.failures, 0) << outcome.firstFailure;
    EXPECT_LT(watch.Largest(), 4u << 20);
    EXPECT_LT(std::filesystem::file_size(wal), 4u << 20);
    process->Stop();
    EXPECT_EQ(process->ExitCode(), 0) << process->Output();
    outcome.acknowledged.insert(outcome.acknowledged.end(), first.acknowledged.begin(),
                                first.acknowledged.end());
    EXPECT_EQ(Discrepancies(rig_.Stored(), outcome.acknowledged, kStartCredit, true), "");
}

}  // namespace
}  // namespace vexa::sandbox::test
