// command_line: the long options of our programs, read the same way everywhere.
//
// Offers: OptionSpec (one option a program accepts), OptionValue and CommandLine (what was
// given, in order), parse_command_line and format_option_help.
// Depends on: nothing.
//
// Options are long only: `--name`, `--name value` or `--name=value`. A program lists what it
// accepts; anything else (an unknown option, a missing or unexpected value, an option given
// twice, an argument that is not an option) ends parsing with one line of error text, which
// the program prints with its usage before exiting with code 2.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace textdemo {

struct OptionSpec {
    std::string_view name;        // without the leading "--"
    std::string_view value_name;  // shown in the help ("FILE", "MS"); empty for a flag
    std::string_view help;        // one line; more lines may follow after '\n'
};

struct OptionValue {
    std::string_view name;  // the option's name, as listed
    std::string value;      // empty for a flag
};

struct CommandLine {
    std::vector<OptionValue> given;  // in command-line order, each name at most once
    std::string error;               // non-empty when the command line is bad

    // The value of an option, or null when it was not given.
    const std::string* find(std::string_view name) const;
    bool has(std::string_view name) const { return find(name) != nullptr; }
};

// args: the arguments after the program name.
CommandLine parse_command_line(std::span<const std::string> args, std::span<const OptionSpec> specs);

// One block of aligned lines, "  --name VALUE   help", for a program's usage text.
std::string format_option_help(std::span<const OptionSpec> specs);

}  // namespace textdemo
