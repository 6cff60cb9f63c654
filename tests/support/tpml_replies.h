// Replies of the legacy service as tests build them: markup elements written into a document, the
// document framed as the service sends it.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "legacy/protocol/packet_frame.h"
#include "legacy/protocol/tpml.h"
#include "scripted_tcp_server.h"

namespace vexa::test {

// An element below parent with attributes and an optional text.
inline Quill::TPMLNode* Add(Quill::TPMLNode* parent, std::string_view name,
                            std::initializer_list<std::pair<const char*, std::string>> attributes = {},
                            std::string_view text = {}) {
    Quill::TPMLNode* element = Quill::TPMLTree::AddElement(parent, name, text);
    for (const auto& [attribute, value] : attributes)
        Quill::TPMLTree::SetAttribute(element, attribute, value);
    return element;
}

// A reply frame holding what `build` writes below the document's root.
inline TcpScript Reply(const std::function<void(Quill::TPMLNode* root)>& build) {
    Quill::CTPMLParser document;
    build(document.Root());
    std::string text;
    document.Serialize(text);
    return {VexaCore::FramePacket(text, VexaCore::kPlainProtocolVersion, VexaCore::kCompressionThreshold)};
}

}  // namespace vexa::test
