// What became of a receiver, and of a transfer as a whole, in the words vexa prints (and puts in
// its JSON): "delivered", "pending", "reserved", "cancelled", "no such number", "failed".
//
// The component tells a receiver only as requested / waiting for its report / reported, with the
// report's outcome. A reservation not yet due and a cancelled one are both "requested" there; the
// transfer's log entry (its mode, send time and counts) tells them apart.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "vexa/VexaComponent.h"

namespace vexa_cli {

enum class Delivery { Delivered, Pending, Reserved, Cancelled, NoSuchNumber, Failed };

std::string DeliveryWord(Delivery delivery);

// A transfer as its log entry describes it.
struct TransferFacts {
    bool reservation = false;
    bool due = false;                                    // its send time has come
    int64_t total = 0, delivered = 0, notDelivered = 0;  // the entry's total, success and failure counts
    VEXA_MESSAGE_TYPE type = VEXA_MESSAGE_TYPE_SMS;
    DATE sendTime = 0.0;
};

// `facts` is the transfer's entry; none when the log does not list it (a deleted transfer).
Delivery ReceiverDelivery(VEXA_TRANS_STATUS status, VEXA_TRANS_RESULT result,
                          const std::optional<TransferFacts>& facts);

// A log entry's receivers by what became of them, and a word for the transfer.
struct TransferDelivery {
    std::string state;  // "reserved", "cancelled", "pending", "delivered", "partly delivered", "failed"
    int64_t delivered = 0, pending = 0, reserved = 0, cancelled = 0, failed = 0;
};

// `hasUnsentReceivers` is asked only when the counts cannot tell a cancelled reservation from one
// whose every receiver failed: whether any receiver of the transfer was never handed over.
TransferDelivery SummarizeTransfer(const TransferFacts& facts,
                                   const std::function<bool()>& hasUnsentReceivers);

}  // namespace vexa_cli
