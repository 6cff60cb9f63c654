#include "delivery_state.h"

#include <algorithm>

namespace vexa_cli {

namespace {

// Every receiver of a reservation counted as not delivered and none as delivered: what cancelling
// leaves (before its time nothing else can; after it, numbers that all failed look the same).
bool AllNotDelivered(const TransferFacts& facts) {
    return facts.reservation && facts.total > 0 && facts.delivered == 0 && facts.notDelivered >= facts.total;
}

}  // namespace

std::string DeliveryWord(Delivery delivery) {
    switch (delivery) {
        case Delivery::Delivered:
            return "delivered";
        case Delivery::Pending:
            return "pending";
        case Delivery::Reserved:
            return "reserved";
        case Delivery::Cancelled:
            return "cancelled";
        case Delivery::NoSuchNumber:
            return "no such number";
        case Delivery::Failed:
            break;
    }
    return "failed";
}

Delivery ReceiverDelivery(VEXA_TRANS_STATUS status, VEXA_TRANS_RESULT result,
                          const std::optional<TransferFacts>& facts) {
    switch (status) {
        case VEXA_TRANS_RECEIVED:
            if (result == VEXA_TRANS_SUCCEEDED) return Delivery::Delivered;
            if (result == VEXA_TRANS_NOTEXISTNUMBER) return Delivery::NoSuchNumber;
            return Delivery::Failed;
        case VEXA_TRANS_WAITING:
            return Delivery::Pending;
        case VEXA_TRANS_REQUESTED:
            break;
    }
    // Not handed over yet: a reservation that waits for its time, unless its transfer was
    // cancelled (or its time passed without it going out, which only cancelling does).
    if (!facts) return Delivery::Reserved;
    if (AllNotDelivered(*facts) || (facts->reservation && facts->due)) return Delivery::Cancelled;
    return facts->reservation ? Delivery::Reserved : Delivery::Pending;
}

TransferDelivery SummarizeTransfer(const TransferFacts& facts,
                                   const std::function<bool()>& hasUnsentReceivers) {
    TransferDelivery d;
    d.delivered = std::max<int64_t>(facts.delivered, 0);
    const int64_t open = std::max<int64_t>(facts.total - facts.delivered - facts.notDelivered, 0);
    const bool cancelled =
        AllNotDelivered(facts) && (!facts.due || (hasUnsentReceivers && hasUnsentReceivers()));
    if (cancelled) {
        d.state = "cancelled";
        d.cancelled = facts.total;
        return d;
    }
    d.failed = std::max<int64_t>(facts.notDelivered, 0);
    if (facts.reservation && !facts.due) {
        d.state = "reserved";
        d.reserved = open;
        return d;
    }
    d.pending = open;
    if (open > 0)
        d.state = "pending";
    else if (d.failed == 0)
        d.state = "delivered";
    else
        d.state = d.delivered > 0 ? "partly delivered" : "failed";
    return d;
}

}  // namespace vexa_cli
