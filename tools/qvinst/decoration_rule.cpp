// The platform's choice among the decorations of a manufacturer line.
#include "tools/qvinst/decoration_rule.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <tuple>

namespace qvinst {
namespace {

constexpr std::string_view nt_prefix = "nt";
constexpr std::string_view x86 = "x86";

enum field : std::size_t { major, minor, product_type, suite_mask, build, field_count };

struct decoration {
    std::string_view architecture;
    std::array<std::optional<unsigned long>, field_count> fields;
};

// A number in decimal or, with "0x", hexadecimal; none for an empty field or
// one that is no number.
std::optional<unsigned long> number(std::string_view text) {
    const std::string digits(text);
    char* end = nullptr;
    const unsigned long value = std::strtoul(digits.c_str(), &end, 0);
    if (digits.empty() || end != digits.c_str() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<decoration> parse(std::string_view text) {
    if (text.size() < nt_prefix.size() || !same_text(text.substr(0, nt_prefix.size()), nt_prefix)) {
        return std::nullopt;
    }
    text.remove_prefix(nt_prefix.size());
    decoration out;
    std::size_t dot = text.find('.');
    out.architecture = text.substr(0, dot);
    for (std::size_t f = major; f < field_count && dot != std::string_view::npos; ++f) {
        text.remove_prefix(dot + 1);
        dot = text.find('.');
        out.fields[f] = number(text.substr(0, dot));
    }
    return out;
}

bool architecture_applies(const decoration& d, const target_system& system) {
    return d.architecture.empty() ? system.architecture == x86
                                  : same_text(d.architecture, system.architecture);
}

unsigned long value_of(const decoration& d, field f) { return d.fields[f].value_or(0); }

bool applies(const decoration& d, const target_system& system) {
    const auto version = std::make_tuple(value_of(d, major), value_of(d, minor), value_of(d, build));
    const auto running = std::make_tuple(system.major, system.minor, system.build);
    const auto& type = d.fields[product_type];
    const unsigned long suites = value_of(d, suite_mask);
    return architecture_applies(d, system) && version <= running &&
           (!type || *type == system.product_type) && (system.suite_mask & suites) == suites;
}

// Orders the decorations that apply: the one the platform prefers is largest.
auto preference(const decoration& d) {
    const bool names_product = d.fields[product_type] || d.fields[suite_mask];
    return std::make_tuple(value_of(d, major), value_of(d, minor), value_of(d, build),
                           names_product, !d.architecture.empty());
}

}  // namespace

bool same_text(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<std::size_t> chosen_decoration(const std::vector<std::string>& listed,
                                             const target_system& system) {
    std::optional<std::size_t> chosen;
    std::optional<decoration> best;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const std::optional<decoration> d = parse(listed[i]);
        if (d && applies(*d, system) && (!best || preference(*d) > preference(*best))) {
            best = d;
            chosen = i;
        }
    }
    return chosen;
}

bool reads_undecorated(const std::vector<std::string>& listed, const target_system& system) {
    return system.architecture == x86 && !chosen_decoration(listed, system);
}

bool for_architecture(std::string_view decoration, const target_system& system) {
    if (decoration.empty()) {
        return system.architecture == x86;
    }
    const std::optional<struct decoration> d = parse(decoration);
    return d && architecture_applies(*d, system);
}

}  // namespace qvinst
