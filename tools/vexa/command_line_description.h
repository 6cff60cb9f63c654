// What a command line accepts, read from the CLI11 App that parses it: the commands, their
// options and positionals with their help, for the shell completions and the man page.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace vexa_cli {

struct OptionDescription {
    std::vector<std::string> names;  // "--type", "-t"; empty for a positional
    std::string positional;          // the positional's name ("month"); empty for an option
    std::string description;
    std::string valueName;             // "YYYY-MM", "FILE"; empty for a flag
    std::vector<std::string> choices;  // the words a value of "sms|lms|mms" may be
    bool fileValue = false;            // a value named FILE, PATH or PEM is a file's name
    bool repeatable = false;
    bool required = false;
    std::string environment;  // the variable it falls back on
};

struct CommandDescription {
    std::string name;
    std::string description;
    std::vector<OptionDescription> options;  // options first, then positionals in order
    std::string footer;                      // what the help prints after the options (an example)
};

struct CommandLineDescription {
    CommandDescription program;  // the program's name, description and options before a command
    std::string footer;
    std::vector<CommandDescription> commands;
};

// The App's subcommands (hidden ones left out) with their options, in the order they were added.
CommandLineDescription DescribeCommandLine(const CLI::App& app);

}  // namespace vexa_cli
