// qv7_installdevice with bad or extreme input, and the two library-global
// texts between calls.
#include "install_fixture.h"

#include <string>

namespace install_test {
namespace {

using entry_point = sim_test;

const std::string earlier_wanted = "PNPPNP0501";
const std::string earlier_found = "ACPI\\PNP0501\\1";

// An empty or null INF path: -4 before anything else, whatever the ID.
struct no_inf_case {
    std::string name;
    const char* inf_path;
    const char* wanted;
};

void PrintTo(const no_inf_case& row, std::ostream* os) { *os << row.name; }

using no_inf_path = sim_table_test<no_inf_case>;

TEST_P(no_inf_path, gives_minus_4_and_touches_nothing) {
    standard_machine();
    set_library_state(earlier_wanted, earlier_found);

    EXPECT_EQ(qv7_installdevice(GetParam().inf_path, GetParam().wanted), QV7_E_NO_INF_PATH);

    EXPECT_EQ(machine().ops(), nothing()) << "no platform operation";
    EXPECT_EQ(ID_MAIN2::wanted_compact_id, earlier_wanted);
    EXPECT_EQ(ID_MAIN2::found_instance_id, earlier_found);
}

INSTANTIATE_TEST_SUITE_P(arguments, no_inf_path, testing::Values(
    no_inf_case{"null_inf_null_id", nullptr, nullptr},
    no_inf_case{"null_inf_empty_id", nullptr, ""},
    no_inf_case{"null_inf_matching_id", nullptr, nic_compact_id.c_str()},
    no_inf_case{"empty_inf_null_id", "", nullptr},
    no_inf_case{"empty_inf_empty_id", "", ""},
    no_inf_case{"empty_inf_matching_id", "", nic_compact_id.c_str()},
    no_inf_case{"empty_inf_unmatched_id", "", "PCI10EC81390000000000000000"}),
    row_name());

TEST_F(entry_point, minus_4_keeps_what_the_previous_call_left) {
    standard_machine();
    ASSERT_EQ(install(nic_inf_path, nic_compact_id), QV7_INSTALLED);
    const std::size_t calls_before = machine().log.size();

    EXPECT_EQ(qv7_installdevice("", mouse_compact_id.c_str()), QV7_E_NO_INF_PATH);

    EXPECT_EQ(machine().log.size(), calls_before);
    EXPECT_EQ(ID_MAIN2::wanted_compact_id, nic_compact_id);
    EXPECT_EQ(ID_MAIN2::found_instance_id, nic_instance_id);
}

// A null or empty wanted ID names no device.
struct no_id_case {
    std::string name;
    const char* wanted;
};

void PrintTo(const no_id_case& row, std::ostream* os) { *os << row.name; }

using no_wanted_id = sim_table_test<no_id_case>;

TEST_P(no_wanted_id, gives_minus_1) {
    standard_machine();
    set_library_state(earlier_wanted, earlier_found);

    EXPECT_EQ(qv7_installdevice(nic_inf_path.c_str(), GetParam().wanted), QV7_E_NO_DEVICE);

    EXPECT_EQ(ID_MAIN2::wanted_compact_id, "");
    EXPECT_EQ(ID_MAIN2::found_instance_id, "");
    EXPECT_EQ(machine().count("SetupDiGetDeviceInstanceIdA"), 0u);
    EXPECT_EQ(machine().count("SetupDiCreateDeviceInfoList"), 0u);
}

INSTANTIATE_TEST_SUITE_P(arguments, no_wanted_id, testing::Values(
    no_id_case{"null_id", nullptr},
    no_id_case{"empty_id", ""}),
    row_name());

// A wanted ID of 1 MiB.
constexpr std::size_t one_mib = 1024 * 1024;

struct long_id_case {
    std::string name;
    std::string wanted;
    int result;
};

void PrintTo(const long_id_case& row, std::ostream* os) { *os << row.name; }

using long_wanted_id = sim_table_test<long_id_case>;

TEST_P(long_wanted_id, compared_by_the_rule_of_its_tag) {
    standard_machine();
    EXPECT_EQ(install(nic_inf_path, GetParam().wanted), GetParam().result);
    EXPECT_EQ(ID_MAIN2::wanted_compact_id.size(), GetParam().wanted.size());
    EXPECT_EQ(ID_MAIN2::wanted_compact_id, GetParam().wanted);
    expect_clean_platform();
}

INSTANTIATE_TEST_SUITE_P(ids, long_wanted_id, testing::Values(
    long_id_case{"usb_tag_compared_whole_no_match", "USB" + std::string(one_mib - 3, '7'), -1},
    long_id_case{"no_tag_no_match", std::string(one_mib, 'Q'), -1},
    long_id_case{"pci_tag_first_19_of_adapter_match", nic_compact_id.substr(0, 19) + std::string(one_mib - 19, '0'),
                 1}),
    row_name());

// Instance IDs at the width of the 256-byte buffer.
struct instance_id_case {
    std::string name;
    std::size_t length;
    int result;
};

void PrintTo(const instance_id_case& row, std::ostream* os) { *os << row.name; }

using instance_id_width = sim_table_test<instance_id_case>;

TEST_P(instance_id_width, fits_the_buffer_or_not) {
    std::string instance_id = nic_hardware_id + "\\";
    instance_id.resize(GetParam().length, '7');
    add_nic(instance_id);
    add_nic_inf();

    EXPECT_EQ(install(nic_inf_path, nic_compact_id), GetParam().result);

    if (GetParam().result == QV7_INSTALLED) {
        EXPECT_EQ(ID_MAIN2::found_instance_id, instance_id);
        const std::vector<sim::call> open = calls_of("SetupDiOpenDeviceInfoA");
        ASSERT_EQ(open.size(), 1u);
        EXPECT_EQ(open[0].text, instance_id);
    } else {
        EXPECT_EQ(ID_MAIN2::found_instance_id, "");
        EXPECT_EQ(machine().count("SetupDiCreateDeviceInfoList"), 0u);
    }
    expect_clean_platform();
}

INSTANTIATE_TEST_SUITE_P(lengths, instance_id_width, testing::Values(
    instance_id_case{"of_255_characters_fits", 255, 1},
    instance_id_case{"of_256_characters_does_not_fit", 256, -1},
    instance_id_case{"of_1000_characters_does_not_fit", 1000, -1}),
    row_name());

using between_calls = sim_test;

TEST_F(between_calls, globals_hold_wanted_and_found_after_the_call) {
    standard_machine();
    ASSERT_EQ(install(nic_inf_path, nic_compact_id), QV7_INSTALLED);
    EXPECT_EQ(ID_MAIN2::wanted_compact_id, nic_compact_id);
    EXPECT_EQ(ID_MAIN2::found_instance_id, nic_instance_id);

    ASSERT_EQ(install(nic_inf_path, mouse_compact_id), QV7_E_NO_DRIVER);
    EXPECT_EQ(ID_MAIN2::wanted_compact_id, mouse_compact_id);
    EXPECT_EQ(ID_MAIN2::found_instance_id, mouse_instance_id);
}

TEST_F(between_calls, device_removed_between_calls_gives_minus_1) {
    standard_machine();
    ASSERT_EQ(install(nic_inf_path, nic_compact_id), QV7_INSTALLED);
    ASSERT_EQ(ID_MAIN2::found_instance_id, nic_instance_id);

    machine().devices[nic_index].present = false;

    EXPECT_EQ(install(nic_inf_path, nic_compact_id), QV7_E_NO_DEVICE);
    EXPECT_EQ(ID_MAIN2::found_instance_id, "");
    EXPECT_EQ(machine().count("SetupDiOpenDeviceInfoA"), 1u) << "only the first call opened the device";
    expect_clean_platform();
}

TEST_F(between_calls, every_call_loads_and_frees_newdev_afresh) {
    standard_machine();
    ASSERT_EQ(install(nic_inf_path, nic_compact_id), QV7_INSTALLED);
    ASSERT_EQ(install(nic_inf_path, nic_compact_id), QV7_INSTALLED);
    EXPECT_EQ(machine().modules_loaded, 2);
    EXPECT_EQ(machine().sets_created, 4);
    expect_clean_platform();
}

// The caller's texts are read, never written.
TEST_F(entry_point, arguments_not_written) {
    standard_machine();
    char inf[64];
    char wanted[64];
    inf[nic_inf_path.copy(inf, sizeof inf - 1)] = '\0';
    wanted[nic_compact_id.copy(wanted, sizeof wanted - 1)] = '\0';

    ASSERT_EQ(qv7_installdevice(inf, wanted), QV7_INSTALLED);
    EXPECT_EQ(std::string(inf), nic_inf_path);
    EXPECT_EQ(std::string(wanted), nic_compact_id);
}

}  // namespace
}  // namespace install_test
