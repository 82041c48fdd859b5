// command_line: tokenising long options against a program's table, and their help lines.
#include "apps/command_line.hpp"

#include <algorithm>

namespace textdemo {

namespace {

constexpr std::size_t HELP_COLUMN = 24;

const OptionSpec* find_spec(std::span<const OptionSpec> specs, std::string_view name) {
    for (const OptionSpec& spec : specs)
        if (spec.name == name) return &spec;
    return nullptr;
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

const std::string* CommandLine::find(std::string_view name) const {
    for (const OptionValue& option : given)
        if (option.name == name) return &option.value;
    return nullptr;
}

CommandLine parse_command_line(std::span<const std::string> args, std::span<const OptionSpec> specs) {
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            line.error = (arg.size() > 1 && arg[0] == '-' ? "unknown option " : "unexpected argument ") + quoted(arg);
            return line;
        }
        const std::size_t equals = arg.find('=');
        const std::string_view name = std::string_view(arg).substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const OptionSpec* spec = find_spec(specs, name);
        if (!spec) {
            line.error = "unknown option " + quoted(arg.substr(0, equals));
            return line;
        }
        const std::string option = "--" + std::string(spec->name);
        if (line.has(spec->name)) {
            line.error = option + " is given twice";
            return line;
        }
        OptionValue value{spec->name, {}};
        if (spec->value_name.empty()) {
            if (equals != std::string::npos) {
                line.error = option + " takes no value";
                return line;
            }
        } else if (equals != std::string::npos) {
            value.value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value.value = args[++i];
        }
        if (!spec->value_name.empty() && value.value.empty()) {
            line.error = option + " needs a value (" + std::string(spec->value_name) + ")";
            return line;
        }
        line.given.push_back(std::move(value));
    }
    return line;
}

std::string format_option_help(std::span<const OptionSpec> specs) {
    std::string text;
    for (const OptionSpec& spec : specs) {
        std::string head = "  --" + std::string(spec.name);
        if (!spec.value_name.empty()) head += " " + std::string(spec.value_name);
        head.append(head.size() + 2 > HELP_COLUMN ? 2 : HELP_COLUMN - head.size(), ' ');
        std::string_view help = spec.help;
        for (bool first = true; first || !help.empty(); first = false) {
            const std::size_t end = std::min(help.find('\n'), help.size());
            text += (first ? head : std::string(HELP_COLUMN, ' ')) + std::string(help.substr(0, end)) + "\n";
            help.remove_prefix(std::min(end + 1, help.size()));
        }
    }
    return text;
}

}  // namespace textdemo
