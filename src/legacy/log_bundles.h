// The "LOGLIST" element (a month's transfers, reservations only, deleting, cancelling) and the
// "LOGDETAIL" element (the receivers of given transfers).
#pragma once

#include <string>
#include <vector>

#include "legacy/unknown_bundle.h"

namespace VexaCore {

// One "LOG" of a list reply (requests use only date and index). A cancel reply's countCanceled
// is held in countSucceed, its countRemain in countFailure.
struct LogRecord {
    std::string date, index, logClass, phoneSend, phoneBack, countTotal, countSucceed, countFailure, message,
        timeSend, timeWrite, result;
};

class CLogListBundle : public CUnknownBundle {
public:
    explicit CLogListBundle(Quill::CTPMLParser* reply = nullptr) : CUnknownBundle(reply) {}

    void AddReferDate(const std::string& key);
    void AddReferResDate(const std::string& key);
    void AddDrop(const std::string& date, const std::string& index);
    void AddCancel(const std::string& date, const std::string& index);

    void Process() override;
    const std::vector<LogRecord>& Refer() const { return refer_; }
    const std::vector<LogRecord>& ReferRes() const { return referRes_; }
    const std::vector<LogRecord>& Drop() const { return drop_; }
    const std::vector<LogRecord>& Cancel() const { return cancel_; }

private:
    bool referSwitch_ = false, referResSwitch_ = false;
    std::vector<LogRecord> refer_, referRes_, drop_, cancel_;
};

struct DetailRecord {
    std::string index, phoneSend, message, status, result, tranDate, tranRsltDate;
};

struct DetailGroup {
    std::string date, index, phoneBack, tranDate, message;
    std::vector<DetailRecord> records;
};

class CLogDetailBundle : public CUnknownBundle {
public:
    explicit CLogDetailBundle(Quill::CTPMLParser* reply = nullptr) : CUnknownBundle(reply) {}

    void AddDetailRequest(const std::string& date, const std::string& index);

    void Process() override;
    const std::vector<DetailGroup>& Groups() const { return groups_; }

private:
    std::vector<DetailGroup> groups_;
};

}  // namespace VexaCore
