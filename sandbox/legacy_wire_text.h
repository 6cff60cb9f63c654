// Text between the legacy wire and the store. The wire carries CP949, and the client escapes
// user-supplied fields for the service's old storage (backslashes doubled, a backslash before each
// apostrophe); the store keeps UTF-8 as the REST side does.
#pragma once

#include <string>
#include <string_view>

namespace vexa::sandbox {

// A user-supplied field (user ID, sender, receiver's name, phone and message) as the client sent
// it, its escaping undone, in UTF-8.
std::string FieldFromWire(std::string_view local);

// Any other text, both ways.
std::string TextFromWire(std::string_view local);
std::string TextToWire(std::string_view utf8);

}  // namespace vexa::sandbox
