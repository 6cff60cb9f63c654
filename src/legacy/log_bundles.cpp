#include "legacy/log_bundles.h"

namespace VexaCore {

using Quill::CTPMLParser;
using Quill::TPMLNode;

namespace {

std::string Attribute(const TPMLNode* node, const char* name) {
    return CTPMLParser::GetAttribute(node, name);
}

// The element children of node called name.
template <class Visit>
void ForEachChild(const TPMLNode* node, std::string_view name, Visit&& visit) {
    for (const TPMLNode* child = node->FirstChild(); child; child = child->Next())
        if (child->IsElement() && child->Name() == name) visit(child);
}

void AddKeys(TPMLNode* top, const char* name, const std::vector<LogRecord>& keys) {
    TPMLNode* list = CTPMLParser::AddElement(top, name);
    for (const LogRecord& key : keys) CTPMLParser::AddElement(list, "DATE", key.date);
}

void AddLogs(TPMLNode* top, const char* name, const std::vector<LogRecord>& logs) {
    if (logs.empty()) return;
    TPMLNode* list = CTPMLParser::AddElement(top, name);
    for (const LogRecord& log : logs) {
        TPMLNode* element = CTPMLParser::AddElement(list, "LOG");
        CTPMLParser::SetAttribute(element, "date", log.date);
        CTPMLParser::SetAttribute(element, "index", log.index);
    }
}

}  // namespace

void CLogListBundle::AddReferDate(const std::string& key) {
    referSwitch_ = true;
    refer_.push_back({.date = key});
    Touch();
}

void CLogListBundle::AddReferResDate(const std::string& key) {
    referResSwitch_ = true;
    referRes_.push_back({.date = key});
    Touch();
}

void CLogListBundle::AddDrop(const std::string& date, const std::string& index) {
    drop_.push_back({.date = date, .index = index});
    Touch();
}

void CLogListBundle::AddCancel(const std::string& date, const std::string& index) {
    cancel_.push_back({.date = date, .index = index});
    Touch();
}

void CLogListBundle::Process() {
    if (!ReplyMode()) {
        TPMLNode* top = StartRequest("LOGLIST");
        if (referSwitch_) AddKeys(top, "REFER", refer_);
        if (referResSwitch_) AddKeys(top, "REFERRES", referRes_);
        AddLogs(top, "DROP", drop_);
        AddLogs(top, "CANCEL", cancel_);
        CUnknownBundle::Process();
        return;
    }
    refer_.clear(), referRes_.clear(), drop_.clear(), cancel_.clear();
    referSwitch_ = referResSwitch_ = false;
    ResetError();
    const TPMLNode* top = ReplyElement();
    for (const TPMLNode* child = top ? top->FirstChild() : nullptr; child; child = child->Next()) {
        if (!child->IsElement()) continue;
        const std::string& name = child->Name();
        if (name == "ERROR") {
            SetError(*child);
            break;
        }
        if (name == "REFER" || name == "REFERRES") {
            (name == "REFER" ? referSwitch_ : referResSwitch_) = true;
            std::vector<LogRecord>& list = name == "REFER" ? refer_ : referRes_;
            ForEachChild(child, "LOG", [&](const TPMLNode* log) {
                list.push_back({.date = Attribute(log, "date"),
                                .index = Attribute(log, "index"),
                                .logClass = Attribute(log, "class"),
                                .phoneSend = Attribute(log, "phoneSend"),
                                .phoneBack = Attribute(log, "phoneBack"),
                                .countTotal = Attribute(log, "countTotal"),
                                .countSucceed = Attribute(log, "countSucceed"),
                                .countFailure = Attribute(log, "countFailure"),
                                .message = Attribute(log, "message"),
                                .timeSend = Attribute(log, "timeSend"),
                                .timeWrite = Attribute(log, "timeWrite")});
            });
        } else if (name == "DROP") {
            ForEachChild(child, "LOG", [&](const TPMLNode* log) {
                drop_.push_back({.date = Attribute(log, "date"),
                                 .index = Attribute(log, "index"),
                                 .result = Attribute(log, "result")});
            });
        } else if (name == "CANCEL") {
            ForEachChild(child, "LOG", [&](const TPMLNode* log) {
                cancel_.push_back({.date = Attribute(log, "date"),
                                   .index = Attribute(log, "index"),
                                   .countTotal = Attribute(log, "countTotal"),
                                   .countSucceed = Attribute(log, "countCanceled"),
                                   .countFailure = Attribute(log, "countRemain"),
                                   .result = Attribute(log, "result")});
            });
        }
    }
    CUnknownBundle::Process();
}

void CLogDetailBundle::AddDetailRequest(const std::string& date, const std::string& index) {
    groups_.push_back({.date = date, .index = index});
    Touch();
}

void CLogDetailBundle::Process() {
    if (!ReplyMode()) {
        TPMLNode* top = StartRequest("LOGDETAIL");
        for (const DetailGroup& group : groups_) {
            TPMLNode* refer = CTPMLParser::AddElement(top, "REFER");
            CTPMLParser::SetAttribute(refer, "date", group.date);
            CTPMLParser::SetAttribute(refer, "index", group.index);
        }
        CUnknownBundle::Process();
        return;
    }
    groups_.clear();
    ResetError();
    const TPMLNode* top = ReplyElement();
    for (const TPMLNode* child = top ? top->FirstChild() : nullptr; child; child = child->Next()) {
        if (!child->IsElement()) continue;
        if (child->Name() == "ERROR") {
            SetError(*child);
            break;
        }
        if (child->Name() != "REFER") continue;
        DetailGroup group{.date = Attribute(child, "date"),
                          .index = Attribute(child, "index"),
                          .phoneBack = Attribute(child, "phoneBack"),
                          .tranDate = Attribute(child, "tranDate"),
                          .message = Attribute(child, "message")};
        ForEachChild(child, "LOG", [&](const TPMLNode* log) {
            group.records.push_back({.index = Attribute(log, "index"),
                                     .phoneSend = Attribute(log, "phoneSend"),
                                     .message = Attribute(log, "message"),
                                     .status = Attribute(log, "status"),
                                     .result = Attribute(log, "result"),
                                     .tranDate = Attribute(log, "tranDate"),
                                     .tranRsltDate = Attribute(log, "tranRsltDate")});
        });
        groups_.push_back(std::move(group));
    }
    CUnknownBundle::Process();
}

}  // namespace VexaCore
