// Running out of memory: every allocation of a call in turn is made to fail.
// The call then returns -10 instead of throwing, and every set and module it
// acquired is released.
#include "allocation_failure.h"
#include "install_fixture.h"

#include <cstdio>
#include <string>

namespace install_test {
namespace {

using out_of_memory = sim_test;

TEST_F(out_of_memory, first_allocation_fails_gives_minus_10) {
    standard_machine();

    allocation_failure::fail_at(0);
    const int result = install(nic_inf_path, nic_compact_id);
    allocation_failure::disarm();

    ASSERT_TRUE(allocation_failure::fired());
    EXPECT_EQ(result, QV7_E_OUT_OF_MEMORY);
    EXPECT_EQ(machine().count("InstallSelectedDriver"), 0u);
    expect_clean_platform();
}

using arrange_fn = void (*)();

void no_change() {}
void no_entry_point() { sim::platform().newdev.has_entry_point = false; }
void not_nt_driver() {
    sim::platform().newdev.result = FALSE;
    sim::platform().newdev.last_error = 0xE000022D;
}
void two_adapters() { add_nic(nic2_instance_id); }

struct sweep_case {
    std::string name;
    arrange_fn arrange;
    std::string wanted;
    int result;  // without a failing allocation
};

void PrintTo(const sweep_case& row, std::ostream* os) { *os << row.name << " -> " << row.result; }

using allocation_sweep = sim_table_test<sweep_case>;

// Allocation n = 0, 1, 2, ... fails, until a call makes fewer allocations
// than n and so runs to its normal end.
TEST_P(allocation_sweep, each_failure_gives_minus_10_and_leaves_nothing) {
    const sweep_case& row = GetParam();
    constexpr std::size_t sweep_limit = 100000;
    std::size_t n = 0;
    for (; n < sweep_limit; ++n) {
        sim::reset();
        std::string().swap(ID_MAIN2::wanted_compact_id);
        std::string().swap(ID_MAIN2::found_instance_id);
        standard_machine();
        row.arrange();

        allocation_failure::fail_at(n);
        const int result = install(nic_inf_path, row.wanted);
        allocation_failure::disarm();
        const bool failed = allocation_failure::fired();

        EXPECT_EQ(result, failed ? QV7_E_OUT_OF_MEMORY : row.result) << "allocation " << n << " failing";
        EXPECT_EQ(machine().live_sets(), 0) << "allocation " << n;
        EXPECT_EQ(machine().live_modules(), 0) << "allocation " << n;
        EXPECT_EQ(machine().bad_handle_uses, nothing()) << "allocation " << n;
        EXPECT_EQ(calls_given_invalid_handle(), nothing()) << "allocation " << n;
        if (!failed) {
            EXPECT_EQ(allocation_failure::counted(), n) << "every allocation before it was reached";
            break;
        }
    }
    ASSERT_LT(n, sweep_limit);
    EXPECT_GT(n, 0u) << "the call allocates";
    std::printf("[          ] %s: %zu allocations, each failed once\n", row.name.c_str(), n);
}

INSTANTIATE_TEST_SUITE_P(calls, allocation_sweep, testing::Values(
    sweep_case{"full_installation", no_change, nic_compact_id, 1},
    sweep_case{"full_installation_last_of_two_matches", two_adapters, nic_compact_id, 1},
    sweep_case{"no_device", no_change, "PCI10EC81390000000000000000", -1},
    sweep_case{"no_driver", no_change, mouse_compact_id, -2},
    sweep_case{"no_entry_point", no_entry_point, nic_compact_id, -9},
    sweep_case{"not_nt_driver", not_nt_driver, nic_compact_id, -8}),
    row_name());

}  // namespace
}  // namespace install_test
