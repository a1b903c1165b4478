// The device search: which present device the walk settles on, and how it
// walks (operations, arguments, failures of the walk itself).
#include "install_fixture.h"

#include <string>

namespace install_test {
namespace {

using arrange_fn = void (*)();

const std::string first_nic = "PCI\\VEN_8086&DEV_1234&SUBSYS_5678ABCD&REV_03\\FIRST";
const std::string second_nic = "PCI\\VEN_8086&DEV_1234&SUBSYS_5678ABCD&REV_03\\SECOND";

// A PCMCIA ID that fills the whole 8192-byte property with no zero byte in it.
const std::string pcmcia_prefix = "PCMCIA\\";
std::string unterminated_pcmcia_ids(std::size_t size) {
    std::string ids = pcmcia_prefix;
    for (std::size_t i = ids.size(); i < size; ++i) {
        ids += static_cast<char>('A' + i % 26);
    }
    return ids;
}
const std::string pcmcia_compact_id = "PCC" + unterminated_pcmcia_ids(8192).substr(pcmcia_prefix.size(), 40);

void two_matches() {
    add_nic(first_nic);
    sim::add_device(beep_instance_id, {"ROOT\\LEGACY_BEEP"});
    add_nic(second_nic);
    add_nic_inf();
}
void later_match_instance_id_unreadable() {
    two_matches();
    sim::platform().fault.instance_id_read_fails.insert(2);
}
void earlier_match_instance_id_unreadable() {
    two_matches();
    sim::platform().fault.instance_id_read_fails.insert(0);
}
void match_then_device_without_hardware_id() {
    add_nic(first_nic);
    sim::add_device_without_hardware_id(second_nic);
    add_nic_inf();
}
void match_then_property_read_fails_on_match() {
    two_matches();
    sim::platform().fault.property_read_fails.insert(2);
}
void only_match_property_read_fails() {
    standard_machine();
    sim::platform().fault.property_read_fails.insert(nic_index);
}
void first_id_unconvertible_second_convertible() {
    sim::add_device(first_nic, {"ROOT\\QUORVANT_VIRTUAL", nic_hardware_id});
    add_nic_inf();
}
// Whole-text comparison: the first ID alone gives "USB045E0040000000"; the
// list read past its first zero would give something else.
void usb_list_with_more_specific_second_id() {
    add_device_with_driver(mouse_instance_id, {"USB\\VID_045E&PID_0040", "USB\\VID_045E&PID_0040&REV_0300&MI_01"});
}
void usb_mouse() {
    add_device_with_driver(mouse_instance_id, {"USB\\VID_045E&PID_0040&REV_0300&MI_01"});
}
void enumeration_fails_mid_walk() {
    two_matches();
    sim::platform().fault.enum_fails_at_index = 2;
}
void enumeration_fails_at_first_device() {
    standard_machine();
    sim::platform().fault.enum_fails_at_index = 0;
}
void walk_set_not_obtainable() {
    standard_machine();
    sim::platform().fault.get_class_devs = true;
}
void property_of_8192_bytes_without_zero() {
    sim::add_device(beep_instance_id, {"ROOT\\LEGACY_BEEP"});
    sim::platform().devices.push_back(sim::device{first_nic, unterminated_pcmcia_ids(8192), true, {}, {}});
    sim::driver drv;
    drv.hardware_id = unterminated_pcmcia_ids(8192);
    drv.description = "card";
    sim::platform().infs[nic_inf_path].drivers.push_back(drv);
}
void property_of_8193_bytes() {
    sim::platform().devices.push_back(sim::device{first_nic, unterminated_pcmcia_ids(8193), true, {}, {}});
    add_nic_inf();
}

struct search_case {
    std::string name;
    arrange_fn arrange;
    std::string wanted;
    std::string found;  // empty: no device found, the call ends with -1
};

void PrintTo(const search_case& row, std::ostream* os) { *os << row.name << ": " << row.wanted; }

using device_search = sim_table_test<search_case>;

// Each row twice: failed reads leave the buffer as it was, or first write
// the adapter's hardware ID into it (a text that would match). Either way a
// failed read gives empty text.
TEST_P(device_search, finds) {
    const search_case& row = GetParam();
    for (const std::string& junk : {std::string(), nic_hardware_id + '\0' + nic_hardware_id}) {
        SCOPED_TRACE(junk.empty() ? "failed reads leave the buffer" : "failed reads write into it");
        sim::reset();
        set_library_state("", "");
        row.arrange();
        machine().fault.failed_read_writes = junk;

        const int result = install(nic_inf_path, row.wanted);

        EXPECT_EQ(ID_MAIN2::found_instance_id, row.found);
        EXPECT_EQ(ID_MAIN2::wanted_compact_id, row.wanted);
        EXPECT_EQ(result, row.found.empty() ? QV7_E_NO_DEVICE : QV7_INSTALLED);
        if (!row.found.empty()) {
            ASSERT_EQ(machine().install_calls.size(), 1u);
            EXPECT_EQ(machine().install_calls.front().selected_device, row.found);
        }
        EXPECT_EQ(machine().live_sets(), 0);
        EXPECT_EQ(machine().bad_handle_uses, nothing());
    }
}

INSTANTIATE_TEST_SUITE_P(rows, device_search, testing::Values(
    search_case{"no_present_device_matches", standard_machine, "PCI10EC81390000000000000000", ""},
    search_case{"single_match", standard_machine, nic_compact_id, nic_instance_id},
    search_case{"last_of_two_matches_wins", two_matches, nic_compact_id, second_nic},
    search_case{"later_match_with_unreadable_instance_id_empties_result", later_match_instance_id_unreadable,
                nic_compact_id, ""},
    search_case{"earlier_match_with_unreadable_instance_id_then_later_match", earlier_match_instance_id_unreadable,
                nic_compact_id, second_nic},
    search_case{"device_without_hardware_id_right_after_match_passed_over", match_then_device_without_hardware_id,
                nic_compact_id, first_nic},
    search_case{"unreadable_property_right_after_match_passed_over", match_then_property_read_fails_on_match,
                nic_compact_id, first_nic},
    search_case{"unreadable_property_of_only_match_passed_over", only_match_property_read_fails, nic_compact_id,
                ""},
    search_case{"only_first_hardware_id_counts", first_id_unconvertible_second_convertible, nic_compact_id, ""},
    search_case{"list_cut_at_first_zero", usb_list_with_more_specific_second_id, "USB045E0040000000",
                mouse_instance_id},
    search_case{"pci_wanted_matches_on_first_19_characters", standard_machine, "PCI80861234ABCD567802000100",
                nic_instance_id},
    search_case{"pci_wanted_of_exactly_19_characters", standard_machine, "PCI80861234ABCD5678", nic_instance_id},
    search_case{"pci_subsystem_differs_within_19", standard_machine, "PCI80861234ABCD567900000300", ""},
    search_case{"pci_wanted_shorter_than_19", standard_machine, "PCI80861234", ""},
    search_case{"pci_lower_case_tag_compared_whole", standard_machine, "pci80861234ABCD567800000300", ""},
    search_case{"usb_wanted_compared_whole", usb_mouse, "USB045E0040030001", mouse_instance_id},
    search_case{"usb_wanted_prefix_of_device_id", usb_mouse, "USB045E004003000", ""},
    search_case{"usb_wanted_longer_than_device_id", usb_mouse, "USB045E00400300010", ""},
    search_case{"empty_wanted_matches_nothing", standard_machine, "", ""},
    search_case{"enumeration_failure_mid_walk_keeps_earlier_match", enumeration_fails_mid_walk, nic_compact_id,
                first_nic},
    search_case{"enumeration_failure_at_first_device", enumeration_fails_at_first_device, nic_compact_id, ""},
    search_case{"walk_set_not_obtainable", walk_set_not_obtainable, nic_compact_id, ""},
    search_case{"property_of_8192_bytes_without_terminator", property_of_8192_bytes_without_zero,
                pcmcia_compact_id, first_nic},
    search_case{"property_longer_than_buffer_reads_nothing", property_of_8193_bytes, pcmcia_compact_id, ""}),
    row_name());

using device_walk = sim_test;

// Three devices, the adapter in the middle.
TEST_F(device_walk, visits_every_device_in_order_with_the_walk_arguments) {
    standard_machine();
    ASSERT_EQ(install(nic_inf_path, nic_compact_id), QV7_INSTALLED);

    const std::vector<sim::call> class_devs = calls_of("SetupDiGetClassDevsA");
    ASSERT_EQ(class_devs.size(), 1u);
    EXPECT_EQ(class_devs[0].values, (std::vector<std::uintptr_t>{0, 0, 0, DIGCF_PRESENT | DIGCF_ALLCLASSES}));
    EXPECT_EQ(class_devs[0].values.back(), 6u);
    const HDEVINFO walk_set = set_returned_by("SetupDiGetClassDevsA");

    // Indices 0..3, the last one past the end; size field 28 before each.
    const std::vector<sim::call> enums = calls_of("SetupDiEnumDeviceInfo");
    ASSERT_EQ(enums.size(), 4u);
    for (std::size_t i = 0; i < enums.size(); ++i) {
        EXPECT_EQ(enums[i].handle, walk_set);
        EXPECT_EQ(enums[i].values[0], i) << "member index";
        EXPECT_EQ(enums[i].values[1], 28u) << "element size field before enumeration " << i;
    }
    EXPECT_EQ(enums.back().result, 0u);

    // One hardware-ID read per device: SPDRP_HARDWAREID, 8192 bytes, both
    // out-words given.
    const std::vector<sim::call> properties = calls_of("SetupDiGetDeviceRegistryPropertyA");
    ASSERT_EQ(properties.size(), 3u);
    for (const sim::call& c : properties) {
        EXPECT_EQ(c.handle, walk_set);
        EXPECT_EQ(c.values[0], SPDRP_HARDWAREID);
        EXPECT_NE(c.values[1], 0u) << "value-type word";
        EXPECT_NE(c.values[2], 0u) << "buffer";
        EXPECT_EQ(c.values[3], 8192u);
        EXPECT_NE(c.values[4], 0u) << "required-size word";
    }

    // The instance ID only of the matching device, into 256 bytes.
    const std::vector<sim::call> instance_ids = calls_of("SetupDiGetDeviceInstanceIdA");
    ASSERT_EQ(instance_ids.size(), 1u);
    EXPECT_EQ(instance_ids[0].handle, walk_set);
    EXPECT_NE(instance_ids[0].values[0], 0u);
    EXPECT_EQ(instance_ids[0].values[1], 256u);
    EXPECT_GT(position_of("SetupDiGetDeviceInstanceIdA"), 4u) << "read after the adapter's property";

    // The walk set is destroyed once, before the install set is created.
    const std::vector<sim::call> destroys = calls_of("SetupDiDestroyDeviceInfoList");
    ASSERT_EQ(destroys.size(), 2u);
    EXPECT_EQ(destroys[0].handle, walk_set);
    EXPECT_LT(position_of("SetupDiDestroyDeviceInfoList"), position_of("SetupDiCreateDeviceInfoList"));
    EXPECT_EQ(machine().bad_handle_uses, nothing());
}

TEST_F(device_walk, walk_set_failure_visits_nothing_and_destroys_nothing) {
    standard_machine();
    machine().fault.get_class_devs = true;

    EXPECT_EQ(install(nic_inf_path, nic_compact_id), QV7_E_NO_DEVICE);

    EXPECT_EQ(machine().ops(), std::vector<std::string>{"SetupDiGetClassDevsA"});
    EXPECT_EQ(machine().sets_destroyed, 0);
    expect_clean_platform();
}

TEST_F(device_walk, enumeration_failure_ends_the_walk_there) {
    two_matches();
    add_nic("PCI\\VEN_8086&DEV_1234&SUBSYS_5678ABCD&REV_03\\THIRD");
    machine().fault.enum_fails_at_index = 2;

    EXPECT_EQ(install(nic_inf_path, nic_compact_id), QV7_INSTALLED);

    EXPECT_EQ(ID_MAIN2::found_instance_id, first_nic);
    const std::vector<sim::call> enums = calls_of("SetupDiEnumDeviceInfo");
    ASSERT_EQ(enums.size(), 3u);
    EXPECT_EQ(enums.back().values[0], 2u);
    EXPECT_EQ(machine().count("SetupDiGetDeviceRegistryPropertyA"), 2u);
    EXPECT_EQ(machine().count("SetupDiGetDeviceInstanceIdA"), 1u);
    EXPECT_EQ(machine().sets_created, 2);
    expect_clean_platform();
}

// A walk that finds nothing reads no instance ID at all.
TEST_F(device_walk, instance_id_read_only_for_matches) {
    standard_machine();
    add_nic(nic2_instance_id);

    EXPECT_EQ(install(nic_inf_path, mouse_compact_id), QV7_E_NO_DRIVER);
    EXPECT_EQ(ID_MAIN2::found_instance_id, mouse_instance_id);
    EXPECT_EQ(machine().count("SetupDiGetDeviceInstanceIdA"), 1u);

    sim::reset();
    standard_machine();
    EXPECT_EQ(install(nic_inf_path, "PNPPNP0501"), QV7_E_NO_DEVICE);
    EXPECT_EQ(machine().count("SetupDiGetDeviceInstanceIdA"), 0u);
    EXPECT_EQ(machine().count("SetupDiGetDeviceRegistryPropertyA"), 3u);
}

}  // namespace
}  // namespace install_test
