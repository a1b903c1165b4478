// Which models section the platform reads: the decorations a manufacturer
// line lists, against a system's architecture and version.
#include <gtest/gtest.h>

#include "tools/qvinst/inf_reading.h"

#include <optional>
#include <string>
#include <vector>

namespace {

using qvinst::target_system;

// Windows 10 build 19045, a workstation with the single-user terminal suite.
const target_system win10_x64{"amd64", 10, 0, 1, 0x100, 19045};
const target_system win10_x86{"x86", 10, 0, 1, 0x100, 19045};
const target_system win11_arm64{"arm64", 10, 0, 1, 0x100, 22631};
constexpr int none = -1;  // the undecorated section, or no section

struct decoration_case {
    const char* name;
    target_system system;
    std::vector<std::string> listed;
    int chosen;              // index in `listed`, or none
    bool reads_undecorated;
};

const decoration_case cases[] = {
    {"x64 reads NTamd64", win10_x64, {"NTx86", "NTamd64"}, 1, false},
    {"letter case does not matter", win10_x64, {"ntAMD64"}, 0, false},
    {"x64 reads no undecorated section", win10_x64, {}, none, false},
    {"x86 reads the undecorated one without decorations", win10_x86, {}, none, true},
    {"x86 reads NTx86", win10_x86, {"NTamd64", "NTx86"}, 1, false},
    {"x86 reads a plain NT", win10_x86, {"NT"}, 0, false},
    {"x64 does not read a plain NT", win10_x64, {"NT"}, none, false},
    {"arm64 reads NTarm64", win11_arm64, {"NTamd64", "NTarm64"}, 1, false},
    {"a newer Windows does not apply", win10_x64, {"NTamd64.99.0"}, none, false},
    {"a newer Windows leaves x86 the undecorated one", win10_x86, {"NTx86.99.0"}, none, true},
    {"the highest version not above the system's", win10_x64,
     {"NTamd64", "NTamd64.6.1", "NTamd64.10.0", "NTamd64.10.1"}, 2, false},
    {"a later build does not apply", win10_x64, {"NTamd64.10.0...22000", "NTamd64.6.3"}, 1,
     false},
    {"an earlier build applies, and wins over an older version", win10_x64,
     {"NTamd64.6.3", "NTamd64.10.0...17763"}, 1, false},
    {"another product type does not apply", win10_x64, {"NTamd64.10.0.3", "NTamd64"}, 1, false},
    {"the system's product type wins at the same version", win10_x64,
     {"NTamd64.10.0", "NTamd64.10.0.0x1"}, 1, false},
    {"a suite the system lacks does not apply", win10_x64, {"NTamd64.10.0.1.0x2"}, none, false},
    {"a suite the system has applies", win10_x64, {"NTamd64.10.0.1.0x100"}, 0, false},
    {"the architecture wins over a plain NT", win10_x86, {"NT.6.1", "NTx86.6.1"}, 1, false},
    {"the first of two equal ones", win10_x64, {"NTamd64", "ntamd64"}, 0, false},
    {"words that are no decoration", win10_x86, {"Win95", ""}, none, true},
};

TEST(DecorationRule, ReadsTheOneSectionThePlatformReads) {
    for (const decoration_case& row : cases) {
        SCOPED_TRACE(row.name);
        const std::optional<std::size_t> chosen = qvinst::chosen_decoration(row.listed, row.system);
        EXPECT_EQ(chosen ? static_cast<int>(*chosen) : none, row.chosen);
        EXPECT_EQ(qvinst::reads_undecorated(row.listed, row.system), row.reads_undecorated);
    }
}

TEST(DecorationRule, TellsTheArchitectureWhateverTheVersion) {
    EXPECT_TRUE(qvinst::for_architecture("NTamd64.99.0", win10_x64));
    EXPECT_FALSE(qvinst::for_architecture("NTx86", win10_x64));
    EXPECT_FALSE(qvinst::for_architecture("", win10_x64));
    EXPECT_TRUE(qvinst::for_architecture("", win10_x86));
    EXPECT_TRUE(qvinst::for_architecture("NT.5.1", win10_x86));
}

}  // namespace
