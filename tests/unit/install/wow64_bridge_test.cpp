// The bridge to the 64-bit helper, its plain parts: which helper serves
// which process, where a WOW64 caller's path leads in the native view,
// which folders are full paths, and the shared section's request and
// answer, for installation, staging and removal.
#include "install/bridge/machines.h"
#include "install/bridge/native_view.h"
#include "install/bridge/section.h"

#include "idconv/compact_id.h"
#include "include/quorvant.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace install_test {
namespace {

constexpr USHORT unknown = IMAGE_FILE_MACHINE_UNKNOWN;
constexpr USHORT x86 = IMAGE_FILE_MACHINE_I386;
constexpr USHORT x64 = IMAGE_FILE_MACHINE_AMD64;
constexpr USHORT arm64 = IMAGE_FILE_MACHINE_ARM64;

TEST(wow64_helper_choice, a_helper_only_where_the_process_may_not_install) {
    struct row {
        const char* name;
        USHORT image;
        wow64::machines m;
        const wchar_t* helper;
    };
    const wchar_t* const x64_helper = wow64::row_of(wow64::machine_name::AMD64).helper;
    const wchar_t* const arm64_helper = wow64::row_of(wow64::machine_name::ARM64).helper;
    const row rows[] = {
        {"x86 library, x86 on x64", x86, {x86, x64}, x64_helper},
        {"x86 library, x86 on ARM64", x86, {x86, arm64}, arm64_helper},
        {"x86 library, 32-bit Windows", x86, {unknown, x86}, nullptr},
        {"x86 library, IsWow64Process2 absent, WOW64", x86,
         wow64::machines_without_is_wow64_process2(true), x64_helper},
        {"x86 library, IsWow64Process2 absent, no WOW64", x86,
         wow64::machines_without_is_wow64_process2(false), nullptr},
        {"x64 library on x64", x64, {unknown, x64}, nullptr},
        {"x64 library emulated on ARM64", x64, {unknown, arm64}, arm64_helper},
        {"x64 library, IsWow64Process2 absent", x64,
         wow64::machines_without_is_wow64_process2(false), nullptr},
        {"ARM64 library on ARM64", arm64, {unknown, arm64}, nullptr},
        {"unknown process machine on x64", x86, {unknown, x64}, nullptr},
    };
    for (const row& r : rows) {
        const wchar_t* chosen = wow64::helper_file_name(r.image, r.m);
        EXPECT_EQ(chosen ? std::wstring(chosen) : L"(none)",
                  r.helper ? std::wstring(r.helper) : L"(none)")
            << r.name;
    }
}

TEST(wow64_native_view, system32_is_syswow64_and_sysnative_is_system32) {
    const wow64::view_folders folders{L"C:\\Windows", L"C:\\Windows\\system32",
                                      L"C:\\Windows\\SysWOW64"};
    const std::pair<std::wstring, std::wstring> rows[] = {
        {L"C:\\Windows\\System32\\x.inf", L"C:\\Windows\\SysWOW64\\x.inf"},
        {L"c:\\WINDOWS\\SYSTEM32\\drivers\\x.inf", L"C:\\Windows\\SysWOW64\\drivers\\x.inf"},
        {L"C:\\Windows\\Sysnative\\x.inf", L"C:\\Windows\\system32\\x.inf"},
        {L"C:\\Windows\\SYSNATIVE\\a\\x.inf", L"C:\\Windows\\system32\\a\\x.inf"},
        // Not redirected: these subfolders, other folders, look-alikes.
        {L"C:\\Windows\\System32\\DriverStore\\x.inf", L"C:\\Windows\\System32\\DriverStore\\x.inf"},
        {L"C:\\Windows\\System32\\drivers\\etc\\x.inf", L"C:\\Windows\\System32\\drivers\\etc\\x.inf"},
        {L"C:\\Windows\\System32\\catroot2\\x.inf", L"C:\\Windows\\System32\\catroot2\\x.inf"},
        {L"C:\\Windows\\System32x\\x.inf", L"C:\\Windows\\System32x\\x.inf"},
        {L"C:\\Windows\\Sysnativex\\x.inf", L"C:\\Windows\\Sysnativex\\x.inf"},
        {L"C:\\Windows\\SysWOW64\\x.inf", L"C:\\Windows\\SysWOW64\\x.inf"},
        {L"D:\\Windows\\System32\\x.inf", L"D:\\Windows\\System32\\x.inf"},
        {L"C:\\x\\Pr\u014Dg Files\\x.inf", L"C:\\x\\Pr\u014Dg Files\\x.inf"},
    };
    for (const auto& [path, native] : rows) {
        const wow64::redirection to = wow64::native_view(path, folders);
        EXPECT_EQ(std::wstring(to.with) + path.substr(to.cut), native);
    }
    // A process with one view (no SysWOW64 folder) maps nothing.
    const std::wstring system32 = L"C:\\Windows\\System32\\x.inf";
    EXPECT_EQ(wow64::native_view(system32, {L"C:\\Windows", L"C:\\Windows\\system32", L""}).cut, 0u);
}

TEST(wow64_native_view, only_a_full_path_names_the_helpers_folder) {
    const std::pair<const wchar_t*, bool> rows[] = {
        {L"C:\\Program Files (x86)\\Vendor\\", true},
        {L"z:\\", true},
        {L"\\\\server\\share\\helpers\\", true},
        {L"C:\\Program Files\\Vendor", false},  // no closing backslash
        {L"\\\\?\\C:\\long\\", true},
        {L"", false},
        {L"helpers\\", false},           // the current folder's
        {L".\\", false},
        {L"C:helpers\\", false},            // the current folder of drive C
        {L"\\Program Files\\Vendor\\", false},  // the current drive's root
        {L"\\\\\\x\\", false},
        {L"1:\\x\\", false},
        {L"C:/x/", false},
    };
    for (const auto& [path, full] : rows) {
        EXPECT_EQ(wow64::is_full_folder(path), full) << std::wstring(path).size();
    }
}

std::vector<unsigned char> section_with(std::u16string_view inf, std::string_view wanted,
                                        wow64::operation what = wow64::operation::install) {
    std::vector<unsigned char> section(wow64::section_size(inf.size(), wanted.size()));
    wow64::write_request(section.data(), what, inf, wanted);
    return section;
}

TEST(wow64_section, request_arrives_byte_for_byte) {
    // A lead byte of code page 932 at the end of the ID; a trail byte 0x5C
    // (in UTF-16 the path holds it as one unit) and quotes in the path.
    const std::string wanted = "PCI51560F0151560001 \"a\\\"b\\\\\" \x81";
    const std::u16string inf = u"C:\\x\\Pr\u014Dg \"Files\"\\\u8868";
    const std::vector<unsigned char> section = section_with(inf, wanted);
    const wow64::request got = wow64::read_request(section.data(), section.size());
    ASSERT_TRUE(got.valid);
    EXPECT_EQ(got.what, wow64::operation::install);
    EXPECT_TRUE(got.inf_path == inf);
    EXPECT_EQ(got.wanted, wanted);
    EXPECT_FALSE(wow64::read_answer(section.data()).answered) << "no answer before the helper's";
    for (const auto what : {wow64::operation::stage, wow64::operation::remove}) {
        const std::vector<unsigned char> package = section_with(u"oem12.inf", "", what);
        const wow64::request asked = wow64::read_request(package.data(), package.size());
        ASSERT_TRUE(asked.valid);
        EXPECT_EQ(asked.what, what);
        EXPECT_TRUE(asked.inf_path == u"oem12.inf");
        EXPECT_FALSE(wow64::read_package_answer(package.data(), what).answered);
    }
}

TEST(wow64_section, malformed_requests_are_refused) {
    const std::string longest(idconv::compact_id::capacity + 1, 'P');
    const std::vector<unsigned char> good = section_with(u"C:\\a.inf", longest);
    ASSERT_TRUE(wow64::read_request(good.data(), good.size()).valid);
    const auto header_field = [](std::vector<unsigned char> s, std::size_t field, std::uint32_t v) {
        std::memcpy(s.data() + wow64::request_offset + 4 * field, &v, sizeof v);
        return s;
    };
    std::vector<unsigned char> zero_in_path = good;
    zero_in_path[wow64::inf_offset + 2] = 0;
    zero_in_path[wow64::inf_offset + 3] = 0;
    const std::vector<std::pair<const char*, std::vector<unsigned char>>> rows = {
        {"no marker", header_field(good, 0, 0)},
        {"empty path", header_field(good, 1, 0)},
        {"path past the section", header_field(good, 1, 100)},
        {"ID past the section", header_field(good, 2, static_cast<std::uint32_t>(longest.size() + 1))},
        {"a zero in the path", zero_in_path},
        {"the section cut short", std::vector<unsigned char>(good.begin(), good.end() - 1)},
        {"no room for a header", std::vector<unsigned char>(good.begin(), good.begin() + 20)},
        {"no operation", header_field(good, 3, 0)},
        {"an unknown operation", header_field(good, 3, 4)},
        {"a wanted ID with staging", section_with(u"C:\\a.inf", "P", wow64::operation::stage)},
        {"a wanted ID with removal", section_with(u"C:\\a.inf", "P", wow64::operation::remove)},
    };
    for (const auto& [name, section] : rows) {
        EXPECT_FALSE(wow64::read_request(section.data(), section.size()).valid) << name;
    }
    const std::vector<unsigned char> too_long =
        section_with(u"C:\\a.inf", longest + "P");
    EXPECT_FALSE(wow64::read_request(too_long.data(), too_long.size()).valid)
        << "an ID longer than the longest compact ID plus one";
}

TEST(wow64_section, only_a_whole_answer_with_a_result_code_counts) {
    std::vector<unsigned char> section = section_with(u"C:\\a.inf", "PCI");
    const std::pair<int, DWORD> answered[] = {
        {QV7_INSTALLED, 0},
        {QV7_INSTALLED_NEEDS_RESTART, 0},
        {QV7_E_INSTALL_FAILED, ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED},
        {QV7_E_NO_NEWDEV, ERROR_MOD_NOT_FOUND},
        {QV7_E_OUT_OF_MEMORY, ERROR_NOT_ENOUGH_MEMORY},
        {wow64::not_delegated, 0}};
    for (const auto& [result, error] : answered) {
        wow64::write_answer(section.data(), result, error);
        const wow64::answer got = wow64::read_answer(section.data());
        EXPECT_TRUE(got.answered) << result;
        EXPECT_EQ(got.outcome.result, result);
        EXPECT_EQ(got.outcome.error, error);
    }
    for (const int not_a_code : {4, -5, -6, -11, 160}) {
        wow64::write_answer(section.data(), not_a_code, 0);
        EXPECT_FALSE(wow64::read_answer(section.data()).answered) << not_a_code;
    }
    // Each field changed after the answer was written: a torn or stray write.
    for (std::size_t byte = 0; byte < sizeof(wow64::answer_record); ++byte) {
        wow64::write_answer(section.data(), QV7_INSTALLED, 0);
        section[byte] ^= 0x01;
        EXPECT_FALSE(wow64::read_answer(section.data()).answered) << "byte " << byte;
    }
    // An answer to another operation is no answer to an installation.
    wow64::write_package_answer(section.data(), wow64::operation::stage,
                                {true, driver_package::result::staged, 0, "oem1.inf", 0});
    EXPECT_FALSE(wow64::read_answer(section.data()).answered);
}

TEST(wow64_section, a_package_answer_carries_the_whole_outcome) {
    using driver_package::result;
    using wow64::operation;
    const std::string longest_name(platform::max_path - 1, 'n');
    struct row {
        operation what;
        wow64::package_outcome outcome;
    };
    const row answered[] = {
        {operation::stage, {true, result::staged, 0, "oem12.inf", 0}},
        {operation::stage, {true, result::not_a_package, ERROR_ACCESS_DENIED, "", 0}},
        {operation::remove, {true, result::removed_restart_needed, 0, longest_name, 3}},
        {operation::remove, {true, result::device_kept_driver, ERROR_INVALID_DATA, "oem7.inf", 1}},
        {operation::remove, {true, result::not_administrator, ERROR_ACCESS_DENIED, "", 0}},
        {operation::remove, {false, result::staged, 0, "", 0}},  // not delegated
    };
    for (const auto& [what, outcome] : answered) {
        std::vector<unsigned char> section = section_with(u"C:\\a.inf", "", what);
        wow64::write_package_answer(section.data(), what, outcome);
        const wow64::package_answer got = wow64::read_package_answer(section.data(), what);
        const std::string_view name = outcome.name;
        ASSERT_TRUE(got.answered) << name;
        EXPECT_EQ(got.outcome.delegated, outcome.delegated) << name;
        if (!outcome.delegated) continue;
        EXPECT_EQ(got.outcome.what, outcome.what) << name;
        EXPECT_EQ(got.outcome.error, outcome.error) << name;
        EXPECT_EQ(got.outcome.name, outcome.name);
        EXPECT_EQ(got.outcome.devices_removed, outcome.devices_removed) << name;
        const operation other = what == operation::stage ? operation::remove : operation::stage;
        EXPECT_FALSE(wow64::read_package_answer(section.data(), other).answered) << name;
        EXPECT_FALSE(wow64::read_answer(section.data()).answered) << name;
    }
    std::vector<unsigned char> section = section_with(u"C:\\a.inf", "", operation::remove);
    // Each byte changed after the answer was written.
    for (std::size_t byte = 0; byte < sizeof(wow64::answer_record); ++byte) {
        wow64::write_package_answer(section.data(), operation::remove,
                                    {true, result::removed, 0, "oem3.inf", 2});
        section[byte] ^= 0x01;
        EXPECT_FALSE(wow64::read_package_answer(section.data(), operation::remove).answered)
            << "byte " << byte;
    }
    // A result past the table, with its check made to hold.
    wow64::answer_record past{};
    past.operation = static_cast<std::uint32_t>(operation::remove);
    past.result = static_cast<std::int32_t>(std::size(driver_package::result_rows)) + 1;
    wow64::write_record(section.data(), past);
    EXPECT_FALSE(wow64::read_package_answer(section.data(), operation::remove).answered);
    // An installation request is answered as one.
    EXPECT_FALSE(wow64::read_package_answer(section.data(), operation::install).answered);
}

}  // namespace
}  // namespace install_test
