// Memory: a call allocates nothing with operator new (the library is built
// without C++ exceptions), keeps only the wanted compact ID on the process
// heap, and reports a heap that has no room for it as -10, leaving nothing
// behind.
#include "allocation_failure.h"
#include "install_fixture.h"

#include <string>

namespace install_test {
namespace {

using arrange_fn = void (*)();

void no_change() {}
void no_entry_point() { sim::platform().newdev.has_entry_point = false; }
void not_nt_driver() {
    sim::platform().newdev.result = FALSE;
    sim::platform().newdev.last_error = ERROR_NON_WINDOWS_NT_DRIVER;
}
void two_adapters() { add_nic(nic2_instance_id); }

struct memory_case {
    std::string name;
    arrange_fn arrange;
    std::string wanted;
    int result;  // with memory enough
};

void PrintTo(const memory_case& row, std::ostream* os) { *os << row.name << " -> " << row.result; }

using memory = sim_table_test<memory_case>;

TEST_P(memory, no_operator_new_and_one_heap_block_kept) {
    const memory_case& row = GetParam();
    standard_machine();
    row.arrange();
    const long blocks_before = sim::live_heap_blocks();

    allocation_failure::fail_at(0);  // any allocation outside the simulation fails
    const int result = install(nic_inf_path, row.wanted);
    allocation_failure::disarm();

    EXPECT_FALSE(allocation_failure::fired()) << "the call used operator new";
    EXPECT_EQ(result, row.result);
    EXPECT_EQ(sim::live_heap_blocks() - blocks_before, 1) << "the wanted ID";
    expect_clean_platform();
}

TEST_P(memory, heap_without_room_gives_minus_10_and_leaves_nothing) {
    const memory_case& row = GetParam();
    standard_machine();
    row.arrange();
    set_library_state("PNPPNP0501", "ACPI\\PNP0501\\1");
    const long blocks_before = sim::live_heap_blocks();
    machine().fault.heap_alloc = true;

    EXPECT_EQ(install(nic_inf_path, row.wanted), QV7_E_OUT_OF_MEMORY);

    EXPECT_EQ(machine().count("SetupDiGetClassDevsA"), 0u) << "no search without the wanted ID";
    EXPECT_EQ(machine().count("InstallSelectedDriver"), 0u);
    EXPECT_EQ(ID_MAIN2::wanted_compact_id, "");
    EXPECT_EQ(ID_MAIN2::found_instance_id, "");
    EXPECT_EQ(sim::live_heap_blocks() - blocks_before, -1) << "the earlier wanted ID released";
    expect_clean_platform();
}

INSTANTIATE_TEST_SUITE_P(calls, memory, testing::Values(
    memory_case{"full_installation", no_change, nic_compact_id, 1},
    memory_case{"full_installation_last_of_two_matches", two_adapters, nic_compact_id, 1},
    memory_case{"no_device", no_change, "PCI10EC81390000000000000000", -1},
    memory_case{"no_driver", no_change, mouse_compact_id, -2},
    memory_case{"no_entry_point", no_entry_point, nic_compact_id, -9},
    memory_case{"not_nt_driver", not_nt_driver, nic_compact_id, -8}),
    row_name());

}  // namespace
}  // namespace install_test
