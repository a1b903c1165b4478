// qv_device: the helper that the scripts run inside a Wine prefix around a
// setup program or the demo.
//
//   qv_device create HWID [HWID...]        prints the new device's instance ID
//   qv_device remove INSTANCE_ID
//   qv_device list                         present devices: instance ID, first hardware ID
//   qv_device show INSTANCE_ID             the device and the driver bound to it
//   qv_device driver-value INSTANCE_ID NAME  one value of the device's driver key
//   qv_device call LIBRARY INF COMPACT_ID  loads the library, calls qv7_installdevice,
//                                          prints the result; exit code 0 for 1, 2, 3
//
// Exit code 1 on failure, 2 on a usage error.
#include "tests/e2e/quorvant_library.h"
#include "tests/e2e/virtual_devices.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fputs(
        "usage: qv_device create HWID [HWID...] | remove ID | list | show ID\n"
        "                 | driver-value ID NAME | call LIBRARY INF COMPACT_ID\n",
        stderr);
    return 2;
}

int create(const std::vector<std::string>& ids) {
    std::string error;
    auto device = e2e::virtual_device::create(ids, error);
    if (!device) {
        std::fprintf(stderr, "qv_device: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", device->release().c_str());
    return 0;
}

int list() {
    for (const auto& d : e2e::list_present_devices()) {
        std::printf("%s\t%s\n", d.instance_id.c_str(), d.first_hardware_id.c_str());
    }
    return 0;
}

std::string first_hardware_id(const std::string& id) {
    for (const auto& d : e2e::list_present_devices()) {
        if (d.instance_id == id) return d.first_hardware_id;
    }
    return {};
}

int show(const std::string& id) {
    const e2e::bound_driver d = e2e::read_bound_driver(id, {});
    if (!d.present) {
        std::fprintf(stderr, "qv_device: no device %s\n", id.c_str());
        return 1;
    }
    std::printf("  device       %s\n", id.c_str());
    std::printf("  hardware ID  %s\n", first_hardware_id(id).c_str());
    if (d.driver_key.empty()) {
        std::printf("  driver       none bound\n");
        return 0;
    }
    std::printf("  description  %s\n", d.description.c_str());
    std::printf("  driver key   %s\n", d.driver_key.c_str());
    for (const auto& [name, value] : d.values) {
        std::printf("    %-22s %s\n", name.c_str(), value.c_str());
    }
    return 0;
}

int driver_value(const std::string& id, const std::string& name) {
    const e2e::bound_driver d = e2e::read_bound_driver(id, name);
    if (!d.present || d.driver_key.empty()) return 1;
    std::printf("%s\n", d.marker.c_str());
    return 0;
}

int call(const std::string& library_path, const std::string& inf, const std::string& wanted) {
    const e2e::quorvant_library library(library_path);
    if (!library.loaded()) {
        std::fprintf(stderr, "qv_device: %s\n", library.error().c_str());
        return 1;
    }
    const int result = library.install(inf, wanted);
    std::printf("%d\n", result);
    return result > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage();
    const std::string& command = args[0];
    if (command == "create" && args.size() >= 2) return create({args.begin() + 1, args.end()});
    if (command == "remove" && args.size() == 2) return e2e::remove_device(args[1]) ? 0 : 1;
    if (command == "list" && args.size() == 1) return list();
    if (command == "show" && args.size() == 2) return show(args[1]);
    if (command == "driver-value" && args.size() == 3) return driver_value(args[1], args[2]);
    if (command == "call" && args.size() == 4) return call(args[1], args[2], args[3]);
    return usage();
}
