// The base of the legacy protocol's bundles: a class that builds one top-level element of a
// request packet, or reads it back from a reply.
#pragma once

#include <string>

#include "legacy/protocol/tpml.h"

namespace VexaCore {

class CUnknownBundle {
public:
    // In reply mode the bundle reads `reply` (which it does not own); otherwise it builds a request
    // in a document of its own.
    explicit CUnknownBundle(Quill::CTPMLParser* reply = nullptr);
    CUnknownBundle(const CUnknownBundle&) = delete;
    CUnknownBundle& operator=(const CUnknownBundle&) = delete;
    virtual ~CUnknownBundle() = default;

    // Builds or reads, by mode, then applies the "TAG" rule; sets processed. Derived bundles end
    // theirs by calling this one.
    virtual void Process();

    // Processes bundle unless it is, then moves its top-level elements, in order, to the end of
    // this bundle's document.
    void Append(CUnknownBundle& bundle);

    // Turns a bundle that read a reply into one that builds a request; a saved "TAG" goes with it.
    void UseForRequest();

    std::string TopElementName() const;
    Quill::CTPMLParser& Document() { return *active_; }
    const Quill::CTPMLParser& Document() const { return *active_; }

    bool ReplyMode() const { return replyMode_; }
    bool Processed() const { return processed_; }
    bool HasError() const { return hasError_; }
    bool TagSaved() const { return tagSaved_; }
    const std::string& ErrorCode() const { return errorCode_; }
    const std::string& ErrorMessage() const { return errorMessage_; }

protected:
    // Request setters call this: the request must be built again.
    void Touch() { processed_ = false; }
    void ResetError();
    // Records an "ERROR" element of a reply: has error, its "code" and its text.
    void SetError(const Quill::TPMLNode& error);
    // The first top-level element of the active document, made afresh for a request: "NAME" with
    // type="request".
    Quill::TPMLNode* StartRequest(const char* name);
    // The first top-level element of a reply, or nullptr.
    const Quill::TPMLNode* ReplyElement() const { return active_->FirstElement(); }

private:
    bool replyMode_;
    bool processed_ = false;
    bool hasError_ = false;
    bool tagSaved_ = false;
    std::string errorCode_;
    std::string errorMessage_;
    Quill::CTPMLParser own_;
    Quill::CTPMLParser* active_;
    Quill::CTPMLParser tag_;
};

// The container of one packet: other bundles pour their elements into it.
using PacketBundle = CUnknownBundle;

}  // namespace VexaCore
