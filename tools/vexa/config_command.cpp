#include "config_command.h"

#include "profiles.h"

namespace vexa_cli {

namespace {

// What a key may hold, checked before it is kept.
void CheckValue(const std::string& key, const std::string& value) {
    if (value.empty())
        throw UsageError("config set " + key + " needs a value (config unset " + key + " removes it)");
    CheckUtf8(value, "the value");
    if (key == "legacy") ParseLegacyServer(value);
    if (key == "password_file") ReadPasswordFile(value);
}

}  // namespace

CommandResult RunConfig(const ConfigRequest& request, const std::filesystem::path& file) {
    const std::string name = request.profile.empty() ? kDefaultProfile : request.profile;
    Profiles profiles = file.empty() ? Profiles{} : LoadProfiles(file);
    if (request.action != ConfigRequest::Action::Show) {
        bool known = false;
        for (const ProfileKey& key : kProfileKeys) known = known || request.key == key.key;
        if (!known) {
            std::string keys;
            for (const ProfileKey& key : kProfileKeys)
                keys += (keys.empty() ? "" : ", ") + std::string(key.key);
            throw UsageError("unknown key '" + request.key + "': one of " + keys);
        }
        if (request.action == ConfigRequest::Action::Set) {
            CheckValue(request.key, request.value);
            profiles[name][request.key] = request.value;
        } else if (auto found = profiles.find(name); found != profiles.end()) {
            found->second.erase(request.key);
            if (found->second.empty()) profiles.erase(found);
        }
        SaveProfiles(file, profiles);
    }
    CommandResult result;
    result.report.fields = {{"file", "File", file.string()}, {"profile", "Profile", name}};
    const auto found = profiles.find(name);
    for (const ProfileKey& key : kProfileKeys) {
        Value value;
        if (found != profiles.end())
            if (const auto it = found->second.find(key.key); it != found->second.end()) value = it->second;
        result.report.fields.push_back({key.key, key.key, value});
    }
    return result;
}

}  // namespace vexa_cli
