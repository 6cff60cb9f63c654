#include "sandbox/inbox_pages.h"

#include "sandbox/html_text.h"
#include "sandbox/local_time.h"
#include "sandbox/rules.h"

namespace vexa::sandbox {

namespace {

constexpr size_t kHeadlineCharacters = 60;

std::string Page(const std::string& title, const std::string& bodyAttributes, const std::string& content) {
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>" +
           HtmlEscape(title) +
           " · vexa-sandbox inbox</title>"
           "<link rel=\"stylesheet\" href=\"/inbox/static/inbox.css\">"
           "<script src=\"/inbox/static/inbox.js\" defer></script></head>\n<body "
           "data-version=\"/inbox/api/version\"" +
           bodyAttributes + ">\n<p id=\"notice\" role=\"status\" hidden></p>\n" + content +
           "</body></html>\n";
}

std::string Attribute(const std::string& name, const std::string& value) {
    return " " + name + "=\"" + HtmlEscape(value) + "\"";
}

std::string Time(int64_t seconds) {
    return "<time datetime=\"" + HtmlEscape(FormatLocalIso(seconds)) + "\">" +
           HtmlEscape(FormatLocalTime(seconds)) + "</time>";
}

// `label` names the cell where a narrow screen shows rows without their table's head.
std::string Cell(const std::string& html, const char* cssClass = nullptr, const char* label = nullptr) {
    std::string cell = "<td";
    if (cssClass) cell += " class=\"" + std::string(cssClass) + "\"";
    if (label) cell += " data-label=\"" + std::string(label) + "\"";
    return cell + ">" + html + "</td>";
}

std::string Via(const Transfer& t) { return t.via == "legacy" ? "legacy" : "REST"; }

std::string TypeBadge(const Transfer& t) {
    return "<span class=\"type type-" + HtmlEscape(t.type) + "\">" + HtmlEscape(TypeLabel(t.type)) +
           "</span>";
}

// "sent 2026-12-11 10:15:00" or "reserved for …".
std::string WhenText(const Transfer& t) {
    return (t.reservation ? "reserved for " : "sent ") + Time(t.sendTime);
}

std::string Counts(const StateCounts& c) {
    std::string html = "<span class=\"count total\">" + std::to_string(c.total) +
                       (c.total == 1 ? " receiver" : " receivers") + "</span>";
    const auto add = [&](int64_t n, const char* state, const char* label) {
        if (n == 0) return;
        html += " <span class=\"count state-" + std::string(state) + "\">" + std::to_string(n) + " " + label +
                "</span>";
    };
    add(c.delivered, "delivered", "delivered");
    add(c.pending, "pending", "pending");
    add(c.reserved, "reserved", "reserved");
    add(c.cancelled, "cancelled", "cancelled");
    add(c.noSuchNumber, "no-such-number", "no such number");
    return html;
}

std::string Crumbs(const std::string& inner) {
    return "<nav class=\"crumbs\"><a href=\"/inbox/\">Accounts</a>" + inner + "</nav>\n";
}

std::string Option(const std::string& value, const std::string& label, const std::string& chosen) {
    return "<option value=\"" + value + "\"" + (value == chosen ? " selected" : "") + ">" + label +
           "</option>";
}

std::string QueryValue(const QueryValues& query, const char* name) {
    const auto found = query.find(name);
    return found == query.end() ? std::string() : found->second;
}

std::string Filters(const Account& account, const QueryValues& query) {
    const std::string type = QueryValue(query, "type");
    const auto input = [&](const char* name, const char* label, const char* extra) {
        return "<label>" + std::string(label) + " <input name=\"" + name + "\"" +
               Attribute("value", QueryValue(query, name)) + extra + "></label> ";
    };
    return "<form id=\"filters\" method=\"get\"" + Attribute("action", ListPath(account.userId)) + ">" +
           "<label>Type <select name=\"type\">" + Option("", "all", type) + Option("sms", "SMS", type) +
           Option("lms", "LMS", type) + Option("mms", "MMS", type) + "</select></label> " +
           input("month", "Month",
                 " placeholder=\"YYYYMM\" inputmode=\"numeric\" pattern=\"[0-9]{6}\" size=\"6\"") +
           input("from", "From day", " type=\"number\" min=\"1\" max=\"31\"") +
           input("to", "to", " type=\"number\" min=\"1\" max=\"31\"") +
           "<label><input type=\"checkbox\" name=\"reserved\" value=\"1\"" +
           (QueryValue(query, "reserved") == "1" ? " checked" : "") + "> reserved only</label> " +
           input("q", "Search", " type=\"search\" placeholder=\"phone, name, text\"") +
           "<button type=\"submit\">Filter</button> <a" + Attribute("href", ListPath(account.userId)) +
           ">Clear</a></form>\n";
}

std::string TransferRow(const Account& account, const Transfer& t, int64_t now) {
    return "<tr class=\"transfer\"" + Attribute("data-month", t.key.month) +
           Attribute("data-index", std::to_string(t.key.index)) + Attribute("data-type", t.type) + ">" +
           Cell("<a class=\"open\"" + Attribute("href", TransferPagePath(account.userId, t.key)) + ">" +
                TypeBadge(t) + " " + HtmlEscape(t.key.month) + "/" + std::to_string(t.key.index) + "</a>") +
           Cell(HtmlEscape(t.sender), "phone") + Cell(Via(t)) + Cell(WhenText(t)) +
           Cell(HtmlEscape(Excerpt(Headline(t), kHeadlineCharacters)), "text") +
           Cell(Counts(StateCountsAt(t, now)), "counts") +
           Cell(std::to_string(t.imageCount), "num", "pictures") + "</tr>\n";
}

std::string PictureFigure(const Account& account, const Transfer& t, const Picture& p) {
    std::string caption = std::to_string(p.bytes) + " bytes";
    std::string size;
    if (p.size) {
        caption += ", " + std::to_string(p.size->width) + " × " + std::to_string(p.size->height) + " px";
        size = Attribute("width", std::to_string(p.size->width)) +
               Attribute("height", std::to_string(p.size->height));
    }
    return "<figure><img class=\"picture\"" +
           Attribute("src", PicturePath(account.userId, t.key, p.position)) + size +
           Attribute("alt", "Picture " + std::to_string(p.position)) + "><figcaption>" +
           std::to_string(p.position) + ": " + caption + "</figcaption></figure>";
}

std::string ReceiverCard(const Account& account, const Transfer& t, const std::vector<Picture>& pictures,
                         const Receiver& r, int64_t now) {
    const DeliveryState state = DeliveryStateAt(r, now);
    std::string bubble = "<p class=\"from\">" + HtmlEscape(t.sender) + "</p>";
    if (t.type != "sms" && !t.subject.empty())
        bubble += "<p class=\"subject\">" + HtmlEscape(t.subject) + "</p>";
    for (const Picture& p : pictures) {
        bubble += "<img class=\"attached\"" +
                  Attribute("src", PicturePath(account.userId, t.key, p.position)) +
                  Attribute("alt", "Picture " + std::to_string(p.position)) + ">";
    }
    bubble += "<p class=\"text\">" + HtmlEscape(EffectiveText(t, r)) + "</p>";
    std::string times;
    switch (state) {
        case DeliveryState::kReserved:
            times = "goes out " + Time(r.sendTime);
            break;
        case DeliveryState::kPending:
            times = "handed over " + Time(r.sendTime) + ", report due " + Time(r.deliveryTime);
            break;
        case DeliveryState::kDelivered:
        case DeliveryState::kNoSuchNumber:
            times = "handed over " + Time(r.sendTime) + ", reported " + Time(r.deliveryTime);
            break;
        case DeliveryState::kCancelled:
            times = "was to go out " + Time(r.sendTime);
            break;
    }
    const std::string name = StateName(state);
    return "<div class=\"receiver\"" + Attribute("data-phone", r.phone) + Attribute("data-state", name) +
           "><div class=\"screen\"><div class=\"bubble\">" + bubble +
           "</div></div><p class=\"who\"><strong>" + HtmlEscape(r.phone) + "</strong> " + HtmlEscape(r.name) +
           "</p><p class=\"when\"><span class=\"state state-" + name + "\">" + name + "</span> " + times +
           "</p></div>\n";
}

}  // namespace

std::string AccountsPage(const std::vector<AccountSummary>& accounts) {
    std::string rows;
    for (const AccountSummary& a : accounts) {
        const std::string& user = a.account.userId;
        const std::string api = AccountApiPath(user);
        rows +=
            "<tr class=\"account\"" + Attribute("data-user", user) + ">" +
            Cell("<a" + Attribute("href", ListPath(user)) + ">" + HtmlEscape(user) + "</a>") +
            Cell(HtmlEscape(a.account.name)) +
            Cell(std::to_string(a.account.credit), "num credit", "credit") +
            Cell(std::to_string(a.transfers), "num", "transfers") +
            Cell(std::to_string(a.receivers), "num", "receivers") +
            Cell("<button type=\"button\" data-action=\"credit\"" + Attribute("data-url", api + "/credit") +
                     Attribute("data-credit", std::to_string(a.account.credit)) +
                     ">Set credit</button> <button type=\"button\" data-action=\"clear\"" +
                     Attribute("data-url", api + "/clear") + ">Delete all</button>",
                 "actions") +
            "</tr>\n";
    }
    return Page(
        "Accounts", "",
        "<main><h1>Accounts</h1>\n<div id=\"live\"><div class=\"scroll\"><table id=\"accounts\"><thead><tr>"
        "<th>User ID</th><th>Name</th><th>Credit</th><th>Transfers</th><th>Receivers</th><th></th>"
        "</tr></thead><tbody>\n" +
            rows + "</tbody></table></div>" +
            (accounts.empty() ? "<p class=\"empty\">No accounts: start the sandbox with --account.</p>"
                              : "") +
            "</div></main>\n");
}

std::string TransfersPage(const Account& account, const QueryValues& query,
                          const std::vector<Transfer>& shown, size_t selected, int64_t now) {
    std::string rows;
    for (const Transfer& t : shown) rows += TransferRow(account, t, now);
    std::string summary = std::to_string(selected) + (selected == 1 ? " transfer" : " transfers");
    if (shown.size() < selected) summary += ", the newest " + std::to_string(shown.size()) + " shown";
    return Page(
        account.userId, "",
        Crumbs(" / " + HtmlEscape(account.userId)) + "<main><h1>" + HtmlEscape(account.userId) + " <small>" +
            HtmlEscape(account.name) + "</small></h1>\n" + Filters(account, query) +
            "<div id=\"live\"><p class=\"summary\">" + summary +
            "</p><div class=\"scroll\"><table id=\"transfers\"><thead><tr><th>Transfer</th><th>Sender</th>"
            "<th>Via</th><th>Time</th><th>Subject or text</th><th>Receivers</th><th>Pictures</th></tr>"
            "</thead><tbody>\n" +
            rows + "</tbody></table></div></div></main>\n");
}

std::string TransferPage(const Account& account, const Transfer& t, const std::vector<Picture>& pictures,
                         int64_t now) {
    const std::string api = TransferApiPath(account.userId, t.key);
    const std::string name = t.key.month + "/" + std::to_string(t.key.index);
    std::string actions;
    if (CanCancel(t, now)) {
        actions += "<button type=\"button\" data-action=\"cancel\"" + Attribute("data-url", api + "/cancel") +
                   ">Cancel reservation</button> ";
    }
    actions += "<button type=\"button\" data-action=\"delete\"" + Attribute("data-url", api + "/delete") +
               Attribute("data-then", ListPath(account.userId)) + ">Delete</button>";
    std::string facts = "<dt>Sender</dt><dd>" + HtmlEscape(t.sender) + "</dd><dt>Via</dt><dd>" + Via(t) +
                        "</dd><dt>Written</dt><dd>" + Time(t.writeTime) + "</dd><dt>Reservation</dt><dd>" +
                        (t.reservation ? "for " + Time(t.sendTime) : std::string("none, sent at once")) +
                        (t.cancelledTime ? ", cancelled " + Time(*t.cancelledTime) : std::string()) + "</dd>";
    if (!t.subject.empty()) facts += "<dt>Subject</dt><dd>" + HtmlEscape(t.subject) + "</dd>";
    facts += "<dt>Common text</dt><dd class=\"text\">" + HtmlEscape(t.message) + "</dd>";
    std::string figures;
    for (const Picture& p : pictures) figures += PictureFigure(account, t, p);
    std::string receivers;
    for (const Receiver& r : t.receivers) receivers += ReceiverCard(account, t, pictures, r, now);
    const std::string title = t.subject.empty() ? TypeLabel(t.type) + " " + name : t.subject;
    return Page(title, Attribute("data-back", ListPath(account.userId)),
                Crumbs(" / <a" + Attribute("href", ListPath(account.userId)) + ">" +
                       HtmlEscape(account.userId) + "</a> / " + HtmlEscape(name)) +
                    "<main><div id=\"live\"><section id=\"transfer\"" + Attribute("data-month", t.key.month) +
                    Attribute("data-index", std::to_string(t.key.index)) + Attribute("data-type", t.type) +
                    "><h1>" + TypeBadge(t) + " " + HtmlEscape(title) + "</h1>\n<p class=\"actions\">" +
                    actions + "</p>\n<dl class=\"facts\">" + facts + "</dl>\n" +
                    (pictures.empty() ? std::string()
                                      : "<h2>Pictures</h2><div class=\"pictures\">" + figures + "</div>\n") +
                    "<h2>Receivers <small>" + Counts(StateCountsAt(t, now)) +
                    "</small></h2>\n<div class=\"receivers\">\n" + receivers +
                    "</div></section></div></main>\n");
}

std::string MessagePage(const std::string& title, const std::string& text) {
    return Page(
        title, "",
        Crumbs("") + "<main><h1>" + HtmlEscape(title) + "</h1><p>" + HtmlEscape(text) + "</p></main>\n");
}

}  // namespace vexa::sandbox
