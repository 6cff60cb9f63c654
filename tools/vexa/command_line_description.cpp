#include "command_line_description.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <string_view>

namespace vexa_cli {

namespace {

// "sms|lms|mms" (before any validator's ":..." that CLI11 appends): the words a value may be.
std::vector<std::string> Choices(const std::string& valueName) {
    const std::string_view name = std::string_view(valueName).substr(0, valueName.find(':'));
    if (name.find('|') == std::string_view::npos) return {};
    std::vector<std::string> words;
    for (size_t start = 0; start <= name.size();) {
        const size_t end = std::min(name.find('|', start), name.size());
        const std::string_view word = name.substr(start, end - start);
        if (word.empty() || !std::ranges::all_of(word, [](char c) { return std::islower(c) != 0; }))
            return {};
        words.emplace_back(word);
        start = end + 1;
    }
    return words;
}

OptionDescription Describe(const CLI::Option& option) {
    OptionDescription described;
    for (const std::string& name : option.get_lnames()) described.names.push_back("--" + name);
    for (const std::string& name : option.get_snames()) described.names.push_back("-" + name);
    if (described.names.empty()) described.positional = option.get_name(true);
    described.description = option.get_description();
    if (option.get_type_size() != 0) {
        described.valueName = option.get_type_name();
        described.choices = Choices(described.valueName);
        described.fileValue =
            described.valueName == "FILE" || described.valueName == "PATH" || described.valueName == "PEM";
    }
    described.repeatable = option.get_items_expected_max() > 1;
    described.required = option.get_required();
    described.environment = option.get_envname();
    return described;
}

CommandDescription Describe(const CLI::App& app) {
    CommandDescription described{app.get_name(), app.get_description(), {}, app.get_footer()};
    const auto options = app.get_options();
    for (const bool positionals : {false, true})
        for (const CLI::Option* option : options)
            if (option->nonpositional() != positionals) described.options.push_back(Describe(*option));
    return described;
}

}  // namespace

CommandLineDescription DescribeCommandLine(const CLI::App& app) {
    CommandLineDescription described{Describe(app), app.get_footer(), {}};
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; }))
        if (!command->get_group().empty()) described.commands.push_back(Describe(*command));
    return described;
}

}  // namespace vexa_cli
