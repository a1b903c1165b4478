// Which device and which driver: the last matching device in enumeration
// order gets the driver, and the driver search reads only the INF passed.
#include "tests/e2e/newdev_protocol.h"
#include "tests/e2e/run_context.h"
#include "platform/unique_handle.h"

namespace e2e {
namespace {

// Runs the driver search the way it goes without a single-INF restriction
// (the INF folder of Windows) and returns the INF of the driver the class
// installer selects, or empty text.
std::string unrestricted_choice(const std::string& instance_id) {
    platform::unique_hdevinfo set{SetupDiCreateDeviceInfoList(nullptr, nullptr)};
    if (!set.valid()) return {};
    SP_DEVINFO_DATA dev{};
    dev.cbSize = sizeof dev;
    if (!SetupDiOpenDeviceInfoA(set.get(), instance_id.c_str(), nullptr, 0, &dev)) return {};
    SetupDiBuildDriverInfoList(set.get(), &dev, SPDIT_COMPATDRIVER);
    SetupDiCallClassInstaller(DIF_SELECTBESTCOMPATDRV, set.get(), &dev);
    SP_DRVINFO_DATA_A driver{};
    driver.cbSize = sizeof driver;
    alignas(SP_DRVINFO_DETAIL_DATA_A) char buffer[4096] = {};
    auto* detail = reinterpret_cast<SP_DRVINFO_DETAIL_DATA_A*>(buffer);
    detail->cbSize = sizeof(SP_DRVINFO_DETAIL_DATA_A);
    if (!SetupDiGetSelectedDriverA(set.get(), &dev, &driver) ||
        !SetupDiGetDriverInfoDetailA(set.get(), &dev, &driver, detail, sizeof buffer, nullptr)) {
        return {};
    }
    return detail->InfFileName;
}

// An INF placed in the Windows INF folder for one case, deleted afterwards.
class system_inf {
public:
    system_inf(const std::string& file_name, const driver_package& package)
        : path_(windows_inf_folder() + file_name) {
        written_ = write_file(path_, driver_inf_text(package));
    }
    system_inf(const system_inf&) = delete;
    system_inf& operator=(const system_inf&) = delete;
    ~system_inf() { DeleteFileA(path_.c_str()); }
    bool written() const { return written_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    bool written_ = false;
};

struct twin_case {
    const char* name;
    std::vector<std::string> first_ids;
    std::vector<std::string> second_ids;
    const char* compact_id;
    const char* inf_hardware_id;
};

const twin_case twin_cases[] = {
    {"of two devices with one hardware ID the one enumerated last gets the driver",
     {"PCI\\VEN_5156&DEV_0B01&SUBSYS_00015156&REV_01", "PCI\\VEN_5156&DEV_0B01&SUBSYS_00015156"},
     {"PCI\\VEN_5156&DEV_0B01&SUBSYS_00015156&REV_01", "PCI\\VEN_5156&DEV_0B01&SUBSYS_00015156"},
     "PCI51560B015156000100000100", "PCI\\VEN_5156&DEV_0B01&SUBSYS_00015156"},
    {"of two PCI revisions the 19-character ID names, the one enumerated last gets it",
     {"PCI\\VEN_5156&DEV_0B02&SUBSYS_00015156&REV_01", "PCI\\VEN_5156&DEV_0B02&SUBSYS_00015156"},
     {"PCI\\VEN_5156&DEV_0B02&SUBSYS_00015156&REV_02", "PCI\\VEN_5156&DEV_0B02&SUBSYS_00015156"},
     "PCI51560B0251560001", "PCI\\VEN_5156&DEV_0B02&SUBSYS_00015156"},
    {"of two USB devices with one ID the one enumerated last gets the driver",
     {"USB\\VID_5156&PID_0B03&REV_0100"}, {"USB\\VID_5156&PID_0B03&REV_0100"},
     "USB51560B03010000", "USB\\VID_5156&PID_0B03&REV_0100"},
};

void run_twin_case(run_context& ctx, const twin_case& row) {
    checks c;
    const driver_package package{row.inf_hardware_id, "Quorvant twin device", "04/01/2024,1.0.0.0",
                                 "twin"};
    const std::string inf = write_inf(ctx, "twins.inf", package);
    auto first = make_device(c, row.first_ids);
    auto second = make_device(c, row.second_ids);
    if (first && second && use_newdev(c, ctx, newdev_kind::substitute)) {
        const auto devices = list_present_devices();
        const int first_pos = enumeration_position(devices, first->instance_id());
        const int second_pos = enumeration_position(devices, second->instance_id());
        c.expect(first_pos >= 0 && second_pos >= 0, "a created device is not present");
        const std::string& last = first_pos > second_pos ? first->instance_id() : second->instance_id();
        const std::string& other = first_pos > second_pos ? second->instance_id() : first->instance_id();
        c.note("enumerated last: " + last);

        steer_substitute({newdev_protocol::install_action});
        const unsigned long calls = read_substitute_report().calls;
        c.expect_result(ctx.library.install(inf, row.compact_id), result::installed);
        expect_handover(c, ctx, calls, last, inf);
        expect_driver(c, last, package);
        expect_no_driver(c, other);
    }
    ctx.log.record(std::string("selection: ") + row.name, c);
}

const std::vector<std::string> newer_ids = {"PCI\\VEN_5156&DEV_0B11&SUBSYS_00015156&REV_01",
                                            "PCI\\VEN_5156&DEV_0B11&SUBSYS_00015156"};
constexpr const char* newer_compact_id = "PCI51560B1151560001";

void run_newer_inf_cases(run_context& ctx) {
    const driver_package passed{newer_ids[1], "Quorvant device, passed INF", "01/01/2020,1.0.0.0",
                                "passed"};
    const driver_package newer{newer_ids[1], "Quorvant device, newer INF", "12/31/2030,9.9.0.0",
                               "newer"};
    const std::string passed_inf = write_inf(ctx, "passed.inf", passed);
    const std::string unserved_inf =
        write_inf(ctx, "passed-unserved.inf", {"PCI\\VEN_5156&DEV_0BFF&SUBSYS_00015156"});
    system_inf installed_newer("qv-e2e-newer.inf", newer);

    {
        // The premise of the two cases below: left to itself, the driver
        // search of this prefix finds the newer INF and prefers it.
        checks c;
        c.expect(installed_newer.written(), "cannot write " + installed_newer.path());
        auto device = make_device(c, newer_ids);
        if (device) {
            const std::string choice = unrestricted_choice(device->instance_id());
            c.expect(same_path(choice, installed_newer.path()),
                     "unrestricted search chose " + quoted(choice));
        }
        ctx.log.record("selection: control: an unrestricted driver search picks the newer INF", c);
    }
    {
        checks c;
        auto device = make_device(c, newer_ids);
        if (device && use_newdev(c, ctx, newdev_kind::substitute)) {
            steer_substitute({newdev_protocol::install_action});
            const unsigned long calls = read_substitute_report().calls;
            c.expect_result(ctx.library.install(passed_inf, newer_compact_id), result::installed);
            expect_handover(c, ctx, calls, device->instance_id(), passed_inf);
            expect_driver(c, device->instance_id(), passed);
        }
        ctx.log.record(
            "selection: a newer INF for the device in windows\\inf is not used", c);
    }
    {
        checks c;
        auto device = make_device(c, newer_ids);
        if (device && use_newdev(c, ctx, newdev_kind::substitute)) {
            steer_substitute({newdev_protocol::install_action});
            const unsigned long calls = read_substitute_report().calls;
            c.expect_result(ctx.library.install(unserved_inf, newer_compact_id), result::no_driver);
            c.expect_equal("InstallSelectedDriver calls", read_substitute_report().calls, calls);
            expect_no_driver(c, device->instance_id());
        }
        ctx.log.record(
            "selection: an INF in windows\\inf that serves the device is not searched, -2", c);
    }
}

}  // namespace

void run_selection_cases(run_context& ctx) {
    for (const auto& row : twin_cases) run_twin_case(ctx, row);
    run_newer_inf_cases(ctx);
}

}  // namespace e2e
