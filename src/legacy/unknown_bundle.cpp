#include "legacy/unknown_bundle.h"

namespace VexaCore {

using Quill::CTPMLParser;
using Quill::InsertPosition;
using Quill::TPMLNode;

CUnknownBundle::CUnknownBundle(CTPMLParser* reply)
    : replyMode_(reply != nullptr), active_(reply ? reply : &own_) {}

void CUnknownBundle::Process() {
    TPMLNode* top = active_->FirstElement();
    if (replyMode_) {
        const TPMLNode* tag = top ? CTPMLParser::FindChild(top, "TAG") : nullptr;
        if (tag) {
            tag_.Clear();
            CTPMLParser::CopyNode(tag_.Root(), tag, InsertPosition::LastChild);
            tagSaved_ = true;
        }
    } else if (tagSaved_ && top) {
        CTPMLParser::CopyNode(top, tag_.FirstElement(), InsertPosition::LastChild);
    }
    processed_ = true;
}

void CUnknownBundle::Append(CUnknownBundle& bundle) {
    if (!bundle.processed_) bundle.Process();
    CTPMLParser::MoveChildren(active_->Root(), bundle.active_->Root(), InsertPosition::LastChild);
}

void CUnknownBundle::UseForRequest() {
    replyMode_ = false;
    active_ = &own_;
    processed_ = false;
}

std::string CUnknownBundle::TopElementName() const {
    const TPMLNode* top = active_->FirstElement();
    return top ? top->Name() : std::string();
}

void CUnknownBundle::ResetError() {
    hasError_ = false;
    errorCode_.clear();
    errorMessage_.clear();
}

void CUnknownBundle::SetError(const TPMLNode& error) {
    hasError_ = true;
    errorCode_ = CTPMLParser::GetAttribute(&error, "code");
    errorMessage_ = error.Value();
}

TPMLNode* CUnknownBundle::StartRequest(const char* name) {
    active_->Clear();
    TPMLNode* top = CTPMLParser::AddElement(active_->Root(), name);
    CTPMLParser::SetAttribute(top, "type", "request");
    return top;
}

}  // namespace VexaCore
