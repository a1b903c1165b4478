// qvinst's help, usage and version texts.
#pragma once

#include <string>
#include <string_view>

namespace qvinst {

enum class build_kind {
    windows,  // every command
    host,     // id only: list, find and install need Windows
};

std::string_view qvinst_version();

// The full help, with the exit-status table (--help).
std::string help_text(build_kind build);

// The synopsis printed to stderr after bad arguments.
std::string usage_text();

// What a command that needs Windows prints on the host build.
std::string needs_windows_text(std::string_view command);

}  // namespace qvinst
