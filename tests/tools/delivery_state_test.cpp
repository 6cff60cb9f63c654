// What vexa says became of receivers and transfers, from what the component and the log tell.
#include "delivery_state.h"

#include <gtest/gtest.h>

namespace vexa_cli {
namespace {

constexpr TransferFacts kDirect{false, true, 3, 0, 0};
constexpr TransferFacts kReservedNotDue{true, false, 3, 0, 0};
constexpr TransferFacts kCancelledBeforeItsTime{true, false, 3, 0, 3};
constexpr TransferFacts kCancelledLongAgo{true, true, 3, 0, 3};

TEST(DeliveryState, EachReceiverByItsStatusResultAndTransfer) {
    const struct {
        VEXA_TRANS_STATUS status;
        LONG result;
        std::optional<TransferFacts> facts;
        const char* expected;
    } kCases[] = {
        {VEXA_TRANS_RECEIVED, VEXA_TRANS_SUCCEEDED, kDirect, "delivered"},
        {VEXA_TRANS_RECEIVED, VEXA_TRANS_NOTEXISTNUMBER, kDirect, "no such number"},
        {VEXA_TRANS_RECEIVED, VEXA_TRANS_FAILED, kDirect, "failed"},
        {VEXA_TRANS_RECEIVED, 7, kDirect, "failed"},  // a service code the component passes on
        {VEXA_TRANS_WAITING, VEXA_TRANS_FAILED, kDirect, "pending"},
        {VEXA_TRANS_REQUESTED, VEXA_TRANS_FAILED, kDirect, "pending"},
        {VEXA_TRANS_REQUESTED, VEXA_TRANS_FAILED, kReservedNotDue, "reserved"},
        {VEXA_TRANS_REQUESTED, VEXA_TRANS_FAILED, kCancelledBeforeItsTime, "cancelled"},
        {VEXA_TRANS_REQUESTED, VEXA_TRANS_FAILED, kCancelledLongAgo, "cancelled"},
        // A deleted transfer is not in the log: a receiver not handed over is taken as reserved.
        {VEXA_TRANS_REQUESTED, VEXA_TRANS_FAILED, std::nullopt, "reserved"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(DeliveryWord(ReceiverDelivery(c.status, static_cast<VEXA_TRANS_RESULT>(c.result), c.facts)),
                  c.expected)
            << c.status << "/" << c.result;
    }
}

TEST(DeliveryState, ATransferByItsCounts) {
    const auto never = [] {
        ADD_FAILURE() << "the counts alone tell this transfer";
        return false;
    };
    const struct {
        TransferFacts facts;
        const char* state;
        int64_t delivered, pending, reserved, cancelled, failed;
    } kCases[] = {
        {{false, true, 3, 3, 0}, "delivered", 3, 0, 0, 0, 0},
        {{false, true, 3, 1, 0}, "pending", 1, 2, 0, 0, 0},
        {{false, true, 3, 2, 1}, "partly delivered", 2, 0, 0, 0, 1},
        {{false, true, 2, 0, 2}, "failed", 0, 0, 0, 0, 2},
        {kReservedNotDue, "reserved", 0, 0, 3, 0, 0},
        {kCancelledBeforeItsTime, "cancelled", 0, 0, 0, 3, 0},
    };
    for (const auto& c : kCases) {
        const TransferDelivery d = SummarizeTransfer(c.facts, never);
        EXPECT_EQ(d.state, c.state);
        EXPECT_EQ((std::array{d.delivered, d.pending, d.reserved, d.cancelled, d.failed}),
                  (std::array{c.delivered, c.pending, c.reserved, c.cancelled, c.failed}))
            << c.state;
    }
}

TEST(DeliveryState, AReservationThatWentWhollyWrongAfterItsTimeIsToldByItsReceivers) {
    // Cancelled receivers were never handed over; numbers that do not exist were, and failed.
    EXPECT_EQ(SummarizeTransfer(kCancelledLongAgo, [] { return true; }).state, "cancelled");
    const TransferDelivery failed = SummarizeTransfer(kCancelledLongAgo, [] { return false; });
    EXPECT_EQ(failed.state, "failed");
    EXPECT_EQ(failed.failed, 3);
}

}  // namespace
}  // namespace vexa_cli
