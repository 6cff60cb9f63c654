#include "sandbox/inbox_json.h"

#include "sandbox/json_writer.h"
#include "sandbox/local_time.h"

namespace vexa::sandbox {

namespace {

void Time(JsonWriter& json, const std::string& name, int64_t seconds) {
    json.Member(name, seconds).Member(name + "Text", FormatLocalIso(seconds));
}

// The fields a list entry and a single transfer share.
void TransferFields(JsonWriter& json, const Transfer& t, int64_t now) {
    json.Member("month", t.key.month)
        .Member("index", t.key.index)
        .Member("type", t.type)
        .Member("sender", t.sender)
        .Member("via", t.via);
    Time(json, "writeTime", t.writeTime);
    Time(json, "sendTime", t.sendTime);
    json.Member("reservation", t.reservation).Member("subject", t.subject).Member("message", t.message);
    const StateCounts c = StateCountsAt(t, now);
    json.Key("counts")
        .BeginObject()
        .Member("total", c.total)
        .Member("delivered", c.delivered)
        .Member("pending", c.pending)
        .Member("reserved", c.reserved)
        .Member("cancelled", c.cancelled)
        .Member("noSuchNumber", c.noSuchNumber)
        .EndObject();
}

}  // namespace

std::string AccountsJson(const std::vector<AccountSummary>& accounts) {
    JsonWriter json;
    json.BeginObject().Key("accounts").BeginArray();
    for (const AccountSummary& a : accounts) {
        json.BeginObject()
            .Member("user", a.account.userId)
            .Member("name", a.account.name)
            .Member("credit", a.account.credit)
            .Member("transfers", a.transfers)
            .Member("receivers", a.receivers)
            .EndObject();
    }
    return json.EndArray().EndObject().Text();
}

std::string TransfersJson(const std::vector<Transfer>& transfers, int64_t now) {
    JsonWriter json;
    json.BeginObject().Key("transfers").BeginArray();
    for (const Transfer& t : transfers) {
        json.BeginObject();
        TransferFields(json, t, now);
        json.Member("images", t.imageCount).EndObject();
    }
    return json.EndArray().EndObject().Text();
}

std::string TransferJson(const std::string& user, const Transfer& t, const std::vector<Picture>& pictures,
                         int64_t now, const std::string& baseUrl) {
    JsonWriter json;
    json.BeginObject().Member("user", user);
    TransferFields(json, t, now);
    json.Key("images").BeginArray();
    for (const Picture& p : pictures) {
        json.BeginObject().Member("position", p.position).Member("bytes", static_cast<int64_t>(p.bytes));
        json.Key("width").OptionalInt(p.size ? std::optional<int64_t>(p.size->width) : std::nullopt);
        json.Key("height").OptionalInt(p.size ? std::optional<int64_t>(p.size->height) : std::nullopt);
        json.Member("url", baseUrl + PicturePath(user, t.key, p.position)).EndObject();
    }
    json.EndArray().Key("receivers").BeginArray();
    for (const Receiver& r : t.receivers) {
        json.BeginObject()
            .Member("phone", r.phone)
            .Member("name", r.name)
            .Member("message", EffectiveText(t, r))
            .Member("state", StateName(DeliveryStateAt(r, now)));
        Time(json, "sendTime", r.sendTime);
        Time(json, "deliveryTime", r.deliveryTime);
        json.EndObject();
    }
    return json.EndArray().EndObject().Text();
}

std::string MessagesJson(const std::vector<ReceivedMessage>& messages, int64_t now) {
    JsonWriter json;
    json.BeginObject().Key("messages").BeginArray();
    for (const ReceivedMessage& m : messages) {
        const Transfer& t = m.transfer;
        json.BeginObject()
            .Member("user", m.userId)
            .Member("month", t.key.month)
            .Member("index", t.key.index)
            .Member("type", t.type)
            .Member("sender", t.sender)
            .Member("phone", m.receiver.phone)
            .Member("name", m.receiver.name)
            .Member("subject", t.subject)
            .Member("message", EffectiveText(t, m.receiver))
            .Member("images", t.imageCount)
            .Member("state", StateName(DeliveryStateAt(m.receiver, now)));
        Time(json, "sendTime", m.receiver.sendTime);
        Time(json, "writeTime", t.writeTime);
        json.EndObject();
    }
    return json.EndArray().EndObject().Text();
}

std::string VersionJson(int64_t version, int64_t now, std::optional<int64_t> next) {
    JsonWriter json;
    json.BeginObject().Member("version", version).Member("now", now).Key("next").OptionalInt(next);
    return json.EndObject().Text();
}

std::string ErrorJson(const std::string& message) {
    JsonWriter json;
    return json.BeginObject().Member("error", message).EndObject().Text();
}

}  // namespace vexa::sandbox
