#include "tests/e2e/run_context.h"

namespace e2e {

std::string write_inf(const run_context& ctx, const std::string& file_name,
                      const driver_package& package) {
    const std::string path = ctx.folder + file_name;
    write_file(path, driver_inf_text(package));
    return path;
}

std::optional<virtual_device> make_device(checks& c, const std::vector<std::string>& ids) {
    std::string error;
    auto device = virtual_device::create(ids, error);
    c.expect(device.has_value(), "cannot create device " + ids.front() + ": " + error);
    return device;
}

bool use_newdev(checks& c, const run_context& ctx, newdev_kind kind) {
    std::string error;
    const bool ok = ctx.newdev.use(kind, error);
    c.expect(ok, std::string("cannot put ") + kind_name(kind) + " in place: " + error);
    return ok;
}

bool newdev_loaded() { return GetModuleHandleA("newdev.dll") != nullptr; }

bool same_path(const std::string& a, const std::string& b) {
    // Wine writes some paths with forward slashes ("C:/windows/inf\\x.inf").
    auto normal = [](std::string path) {
        for (char& ch : path) {
            if (ch == '/') ch = '\\';
        }
        return path;
    };
    return lstrcmpiA(normal(a).c_str(), normal(b).c_str()) == 0;
}

void expect_no_driver(checks& c, const std::string& instance_id) {
    const bound_driver d = read_bound_driver(instance_id, marker_value_name);
    c.expect(d.present, "device " + instance_id + " is gone");
    c.expect(d.driver_key.empty(), "device " + instance_id + " has driver key " + d.driver_key);
}

void expect_driver(checks& c, const std::string& instance_id, const driver_package& package) {
    const bound_driver d = read_bound_driver(instance_id, marker_value_name);
    c.expect(d.present, "device " + instance_id + " is gone");
    c.expect(!d.driver_key.empty(), "device " + instance_id + " has no driver key");
    c.expect_equal(instance_id + " description", d.description, package.description);
    c.expect_equal(instance_id + " " + marker_value_name, d.marker, package.marker);
}

void expect_handover(checks& c, const run_context& ctx, unsigned long calls_before,
                     const std::string& instance_id, const std::string& inf_path) {
    const substitute_report seen = read_substitute_report();
    c.expect_equal("InstallSelectedDriver calls", seen.calls, calls_before + 1);
    c.expect_equal("devices in the set", seen.devices, std::string("1"));
    c.expect(same_path(seen.device, instance_id),
             "selected device " + quoted(seen.device) + ", wanted " + quoted(instance_id));
    c.expect(same_path(seen.inf, inf_path),
             "selected driver's INF " + quoted(seen.inf) + ", wanted " + quoted(inf_path));
    c.expect(same_path(seen.module, ctx.newdev.system_path()),
             "NEWDEV loaded as " + quoted(seen.module) + ", wanted " +
                 quoted(ctx.newdev.system_path()));
    c.expect_equal("arguments", seen.arguments,
                   std::string("parent=0 reserved=0 backup=ffffffff"));
    c.expect_equal("bits of the installing process", seen.bits, std::to_string(ctx.installer_bits));
}

}  // namespace e2e
