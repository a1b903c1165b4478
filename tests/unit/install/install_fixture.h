// Shared pieces of the installation tests: a simulated machine with a PCI
// network adapter among other devices and the adapter's INF file, the
// fixture that starts every test on an empty machine, and queries over the
// platform's call log.
#pragma once

#include "include/quorvant.h"
#include "install/ID_MAIN2.h"
#include "tests/sim/sim_control.h"
#include "tests/unit/table_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace install_test {

// The adapter: its hardware-ID list (most specific first), its compact ID
// and its instance ID.
inline const std::string nic_hardware_id = "PCI\\VEN_8086&DEV_1234&SUBSYS_5678ABCD&REV_03";
inline const std::vector<std::string> nic_hardware_ids = {
    nic_hardware_id, "PCI\\VEN_8086&DEV_1234&SUBSYS_5678ABCD", "PCI\\VEN_8086&DEV_1234"};
inline const std::string nic_compact_id = "PCI80861234ABCD567800000300";
inline const std::string nic_instance_id = "PCI\\VEN_8086&DEV_1234&SUBSYS_5678ABCD&REV_03\\3&11583659&0&C8";

// A second adapter of the same model in another slot.
inline const std::string nic2_instance_id = "PCI\\VEN_8086&DEV_1234&SUBSYS_5678ABCD&REV_03\\3&11583659&0&E0";

// Devices around it: one whose ID fits no bus, one USB mouse.
inline const std::string beep_instance_id = "ROOT\\LEGACY_BEEP\\0000";
inline const std::string mouse_instance_id = "USB\\VID_045E&PID_0040\\5&2A3B4C5D&0&1";
inline const std::string mouse_compact_id = "USB045E0040030000";

// The INF file that holds the adapter's driver.
inline const std::string nic_inf_path = "C:\\drivers\\net\\quorvant_nic.inf";
inline const std::string nic_driver = "Quorvant Test Gigabit Adapter";
inline const std::string nic_driver_model_id = "PCI\\VEN_8086&DEV_1234";

inline sim::driver nic_driver_entry() {
    sim::driver drv;
    drv.hardware_id = nic_driver_model_id;
    drv.description = nic_driver;
    return drv;
}

inline void add_nic_inf(const std::string& path = nic_inf_path) {
    sim::platform().infs[path].drivers.push_back(nic_driver_entry());
}

inline std::size_t add_nic(const std::string& instance_id = nic_instance_id) {
    return sim::add_device(instance_id, nic_hardware_ids);
}

// Beep (index 0), adapter (index 1), mouse (index 2), and the adapter's INF.
inline constexpr std::size_t nic_index = 1;
inline void standard_machine() {
    sim::add_device(beep_instance_id, {"ROOT\\LEGACY_BEEP"});
    add_nic();
    sim::add_device(mouse_instance_id, {"USB\\VID_045E&PID_0040&REV_0300", "USB\\VID_045E&PID_0040"});
    add_nic_inf();
}

// Adds a device and a driver for its first hardware ID to the adapter's INF,
// so that a search that finds it goes on to install.
inline std::size_t add_device_with_driver(const std::string& instance_id,
                                          const std::vector<std::string>& hardware_ids) {
    const std::size_t index = sim::add_device(instance_id, hardware_ids);
    sim::driver drv;
    drv.hardware_id = hardware_ids.front();
    drv.description = "driver for " + instance_id;
    sim::platform().infs[nic_inf_path].drivers.push_back(drv);
    return index;
}

inline int install(const std::string& inf_path, const std::string& wanted) {
    return qv7_installdevice(inf_path.c_str(), wanted.c_str());
}

// A text of `length` characters that starts like a path and whose every
// position is told apart from its neighbours, so a cut in the wrong place
// shows.
inline std::string path_of_length(std::size_t length) {
    static const std::string alphabet = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string path = "C:\\drivers\\";
    while (path.size() < length) {
        path += alphabet[path.size() % alphabet.size()];
    }
    path.resize(length);
    return path;
}

// Log queries.
inline std::vector<sim::call> calls_of(const std::string& op) {
    std::vector<sim::call> found;
    for (const sim::call& c : sim::platform().log) {
        if (c.op == op) {
            found.push_back(c);
        }
    }
    return found;
}

inline constexpr std::size_t not_called = static_cast<std::size_t>(-1);

// Position of the first call of `op` in the log, or not_called.
inline std::size_t position_of(const std::string& op) {
    const auto& log = sim::platform().log;
    const auto it = std::find_if(log.begin(), log.end(), [&op](const sim::call& c) { return c.op == op; });
    return it == log.end() ? not_called : static_cast<std::size_t>(it - log.begin());
}

// Operations that were handed the failure value INVALID_HANDLE_VALUE.
inline std::vector<std::string> calls_given_invalid_handle() {
    std::vector<std::string> found;
    for (const sim::call& c : sim::platform().log) {
        if (c.handle == INVALID_HANDLE_VALUE) {
            found.push_back(c.op);
        }
    }
    return found;
}

// Handle a creating operation returned (first call of `op`).
inline HDEVINFO set_returned_by(const std::string& op) {
    const std::vector<sim::call> created = calls_of(op);
    return created.empty() ? nullptr : reinterpret_cast<HDEVINFO>(created.front().result);
}

inline std::vector<std::string> nothing() { return {}; }

// Sets the two library-global texts, as an earlier call would have left them.
inline void set_library_state(std::string_view wanted, std::string_view found) {
    ASSERT_TRUE(ID_MAIN2::wanted_compact_id.assign(wanted));
    auto& instance = ID_MAIN2::found_instance_id;
    ASSERT_LT(found.size(), instance.capacity);
    found.copy(instance.prepare_read(), found.size());
    instance.take_read(true);
}

}  // namespace install_test

namespace ID_MAIN2 {
// Failure messages show the library's texts as text.
inline void PrintTo(const kept_text& text, std::ostream* os) { *os << '"' << text.view() << '"'; }
template <std::size_t N>
void PrintTo(const bounded_text<N>& text, std::ostream* os) { *os << '"' << text.view() << '"'; }
}  // namespace ID_MAIN2

namespace install_test {

// Every test starts on an empty machine with both library globals empty.
class sim_test : public testing::Test {
protected:
    void SetUp() override {
        sim::reset();
        set_library_state("", "");
    }
    void TearDown() override { sim::reset(); }

    static sim::state& machine() { return sim::platform(); }

    // Nothing acquired is left behind and no released or failed handle was used.
    static void expect_clean_platform() {
        EXPECT_EQ(machine().live_sets(), 0);
        EXPECT_EQ(machine().live_modules(), 0);
        EXPECT_EQ(machine().live_keys(), 0);
        EXPECT_EQ(machine().bad_handle_uses, nothing());
        EXPECT_EQ(calls_given_invalid_handle(), nothing());
    }
};

template <typename Row>
class sim_table_test : public sim_test, public testing::WithParamInterface<Row> {};

using table_rows::row_name;

}  // namespace install_test
