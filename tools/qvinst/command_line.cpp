// Parsing of qvinst's command line.
#include "tools/qvinst/command_line.h"

#include <cstddef>

namespace qvinst {
namespace {

constexpr std::string_view option_json = "--json";
constexpr std::string_view option_explain = "--explain";
constexpr std::string_view option_help = "--help";
constexpr std::string_view option_help_short = "-h";
constexpr std::string_view option_version = "--version";
constexpr std::string_view end_of_options = "--";

const command_row* shape_named(std::string_view name) {
    for (const command_row& shape : command_rows) {
        if (shape.name == name) {
            return &shape;
        }
    }
    return nullptr;
}

bool is_option(std::string_view arg) { return arg.size() > 1 && arg.front() == '-'; }

}  // namespace

std::string_view command_name(command what) {
    if (what == command::help) {
        return option_help;
    }
    if (what == command::version) {
        return option_version;
    }
    for (const command_row& shape : command_rows) {
        if (shape.what == what) {
            return shape.name;
        }
    }
    return "?";
}

bool parse_command_line(int argc, const char* const* argv, invocation& out, std::string& error) {
    bool help = false;
    bool version = false;
    bool json = false;
    bool explain = false;
    bool options_ended = false;
    std::vector<std::string> words;  // the command name and its operands

    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] ? argv[i] : "";
        if (!options_ended && is_option(arg)) {
            if (arg == end_of_options) {
                options_ended = true;
            } else if (arg == option_json) {
                json = true;
            } else if (arg == option_explain) {
                explain = true;
            } else if (arg == option_help || arg == option_help_short) {
                help = true;
            } else if (arg == option_version) {
                version = true;
            } else {
                error = "unknown option '" + std::string(arg) + "'";
                return false;
            }
            continue;
        }
        words.emplace_back(arg);
    }

    out = invocation{};
    if (help) {
        // --help wins over everything else on the line.
        out.what = command::help;
        return true;
    }
    if (version) {
        if (!words.empty() || json || explain) {
            error = "--version takes no command and no other option";
            return false;
        }
        out.what = command::version;
        return true;
    }
    if (words.empty()) {
        error = "no command given";
        return false;
    }
    const command_row* shape = shape_named(words.front());
    if (!shape) {
        error = "unknown command '" + words.front() + "'";
        return false;
    }
    const std::size_t operands = words.size() - 1;
    if (operands < shape->min_operands || operands > shape->max_operands) {
        error = std::string(shape->name) + " takes " + std::string(shape->operands_text);
        return false;
    }
    if (explain && shape->what != command::install) {
        error = "--explain goes with install only";
        return false;
    }
    out.what = shape->what;
    out.json = json;
    out.explain = explain;
    out.operands.assign(words.begin() + 1, words.end());
    return true;
}

}  // namespace qvinst
