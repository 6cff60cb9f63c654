#include "message/log_mapping.h"

#include "automation/text.h"

namespace vexa {

namespace {

VEXA_TRANS_RESULT TransResultOf(const DetailRecord& record) {
    if (!record.resultDetail.empty())
        return static_cast<VEXA_TRANS_RESULT>(ReadDecimal32(record.resultDetail));
    return TransResultFromCode(record.result);
}

VEXA_MESSAGE_TYPE LogListTypeFromName(std::string_view word) {
    const int32_t type = TypeFromName(word);
    return type == 0 ? VEXA_MESSAGE_TYPE_SMS : static_cast<VEXA_MESSAGE_TYPE>(type);
}

}  // namespace

void FillLogList(LogList& list, const LogRecord& r) {
    LogList::Fields& f = list.Fill();
    f.date = BstrFromLocal(r.date);
    f.index = BstrFromLocal(r.index);
    f.message = BstrFromLocal(r.message);
    f.sendMode = r.isReservation ? VEXA_RESERVATION : VEXA_DIRECT;
    f.receiverPhone = BstrFromLocal(r.phoneSend);
    f.returnPhone = BstrFromLocal(r.phoneBack);
    f.countTotal = r.countTotal;
    f.countSucceed = r.countSuccess;
    f.countFailure = r.countFailure;
    f.sendTime = UnixSecondsToDate(r.timeSend);
    f.writeTime = UnixSecondsToDate(r.timeWrite);
    f.type = LogListTypeFromName(r.type);
}

void FillLogDetail(LogDetail& detail, const DetailRecord& r) {
    LogDetail::Fields& f = detail.Fill();
    f.name = BstrFromLocal(r.name);
    f.message = BstrFromLocal(r.message);
    f.receiverPhone = BstrFromLocal(r.phoneSend);
    f.status = TransStatusFromCode(r.status);
    f.result = TransResultOf(r);
    f.transDate = TransDateFromText(r.tranDate);
}

}  // namespace vexa
