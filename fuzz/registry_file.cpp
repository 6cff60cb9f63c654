// The registry stand-in's .reg files. Whatever parses is written and parsed again: the keys and
// values read back are those written, and writing them again gives the same text. Every key is
// the one its own path finds: no two keys' paths differ only in case.
#include "registry/registry_file.h"

#include <string>

#include "fuzz_support.h"

namespace {

using vexa::RegistryFile;
using vexa::RegistryKey;

bool SameKeys(const RegistryFile& a, const RegistryFile& b) {
    const auto& x = a.Keys();
    const auto& y = b.Keys();
    if (x.size() != y.size()) return false;
    for (size_t i = 0; i < x.size(); ++i) {
        if (x[i].path != y[i].path || x[i].defaultValue != y[i].defaultValue || x[i].values != y[i].values)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using vexa::fuzz::Check;
    std::string error;
    const std::optional<RegistryFile> file = RegistryFile::Parse(vexa::fuzz::AsText(data, size), &error);
    if (!file) {
        Check(!error.empty(), "a refused file is told why");
        return 0;
    }
    for (const RegistryKey& key : file->Keys()) Check(file->Find(key.path) == &key, "a key's path finds it");
    const std::string written = file->Serialize();
    const std::optional<RegistryFile> again = RegistryFile::Parse(written, &error);
    Check(again.has_value(), "what the writer writes parses");
    Check(SameKeys(*file, *again), "what the writer writes parses to the keys it was written from");
    Check(again->Serialize() == written, "writing the keys read back gives the same text");
    return 0;
}
