// The inbox's script and style sheet, compiled in: the pages load nothing from anywhere else.
#pragma once

#include <string_view>

namespace vexa::sandbox {

struct StaticFile {
    std::string_view contentType;
    std::string_view body;
};

// The file served at /inbox/static/{name}, or nullptr.
const StaticFile* FindStaticFile(std::string_view name);

}  // namespace vexa::sandbox
