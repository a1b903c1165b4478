// Faults the library must survive: INF files that are missing, serve
// nothing, cannot be read or are malformed give -2 and leave the device as
// it was; a device that goes away between two calls gives -1.
#include "tests/e2e/newdev_protocol.h"
#include "tests/e2e/run_context.h"
#include "platform/unique_handle.h"

namespace e2e {
namespace {

const std::vector<std::string> device_ids = {"PCI\\VEN_5156&DEV_0D01&SUBSYS_00015156&REV_01",
                                             "PCI\\VEN_5156&DEV_0D01&SUBSYS_00015156"};
constexpr const char* device_compact_id = "PCI51560D0151560001";

// How the INF handed to the library is broken.
enum class inf_fault { none, missing, folder, locked };

struct fault_case {
    const char* name;
    const char* file_name;
    inf_fault fault;
    std::string bytes;  // the file's contents, when it exists
};

std::string served_text() { return driver_inf_text({device_ids[1], "Quorvant fault-test device"}); }

std::string without_signature() {
    std::string text = served_text();
    const std::string signature = "Signature=\"$Windows NT$\"\r\n";
    text.erase(text.find(signature), signature.size());
    return text;
}

std::string cut_in_models_line() {
    std::string text = served_text();
    return text.substr(0, text.find("Device_Install,") + 10);
}

std::string binary_noise() {
    std::string bytes;
    unsigned state = 0x5156u;
    for (int i = 0; i < 4096; ++i) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>((state >> 16) & 0xff);
    }
    return bytes;
}

const fault_case fault_cases[] = {
    {"missing INF file gives -2", "fault-missing.inf", inf_fault::missing, {}},
    {"INF path naming a folder gives -2", "fault-folder.inf", inf_fault::folder, {}},
    {"INF without a model for the device gives -2", "fault-other-model.inf", inf_fault::none,
     driver_inf_text({"PCI\\VEN_5156&DEV_0DFF&SUBSYS_00015156"})},
    {"unreadable INF (open without sharing elsewhere) gives -2", "fault-locked.inf",
     inf_fault::locked, served_text()},
    {"malformed INF: empty file gives -2", "fault-empty.inf", inf_fault::none, ""},
    {"malformed INF: binary noise gives -2", "fault-noise.inf", inf_fault::none, binary_noise()},
    {"malformed INF: no Signature line gives -2", "fault-unsigned.inf", inf_fault::none,
     without_signature()},
    {"malformed INF: cut off in the model line gives -2", "fault-cut.inf", inf_fault::none,
     cut_in_models_line()},
};

void run_inf_fault(run_context& ctx, const fault_case& row) {
    checks c;
    const std::string path = ctx.folder + row.file_name;
    DeleteFileA(path.c_str());
    RemoveDirectoryA(path.c_str());
    platform::unique_handle lock;
    switch (row.fault) {
        case inf_fault::missing:
            break;
        case inf_fault::folder:
            c.expect(CreateDirectoryA(path.c_str(), nullptr) != FALSE, "cannot create " + path);
            break;
        case inf_fault::locked:
            c.expect(write_file(path, row.bytes), "cannot write " + path);
            lock.reset(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
            c.expect(lock.valid(), "cannot open " + path + " without sharing");
            break;
        case inf_fault::none:
            c.expect(write_file(path, row.bytes), "cannot write " + path);
            break;
    }
    auto device = make_device(c, device_ids);
    if (device && use_newdev(c, ctx, newdev_kind::substitute)) {
        steer_substitute({newdev_protocol::install_action});
        const unsigned long calls = read_substitute_report().calls;
        c.expect_result(ctx.library.install(path, device_compact_id), result::no_driver);
        c.expect_equal("InstallSelectedDriver calls", read_substitute_report().calls, calls);
        expect_no_driver(c, device->instance_id());
        // The same device takes a driver from a sound INF afterwards.
        const driver_package sound{device_ids[1], "Quorvant fault-test device"};
        const std::string sound_inf = write_inf(ctx, "fault-sound.inf", sound);
        c.expect_equal("result with a sound INF afterwards",
                       ctx.library.install(sound_inf, device_compact_id), result::installed);
        expect_driver(c, device->instance_id(), sound);
    }
    ctx.log.record(std::string("faults: ") + row.name, c);
    if (row.fault == inf_fault::folder) RemoveDirectoryA(path.c_str());
}

struct removal_case {
    const char* name;
    bool through_class_installer;  // DIF_REMOVE, or SetupDiRemoveDevice
};

const removal_case removal_cases[] = {
    {"device removed by DIF_REMOVE between two calls: the second gives -1", true},
    {"device removed by SetupDiRemoveDevice between two calls: the second gives -1", false},
};

bool remove_with_setupapi(const std::string& instance_id) {
    platform::unique_hdevinfo set{SetupDiCreateDeviceInfoList(nullptr, nullptr)};
    SP_DEVINFO_DATA dev{};
    dev.cbSize = sizeof dev;
    return set.valid() &&
           SetupDiOpenDeviceInfoA(set.get(), instance_id.c_str(), nullptr, 0, &dev) &&
           SetupDiRemoveDevice(set.get(), &dev);
}

void run_removal(run_context& ctx, const removal_case& row) {
    checks c;
    const std::string inf = write_inf(ctx, "removal.inf", {device_ids[1]});
    auto device = make_device(c, device_ids);
    if (device && use_newdev(c, ctx, newdev_kind::substitute)) {
        steer_substitute({newdev_protocol::succeed_action});
        c.expect_equal("first result", ctx.library.install(inf, device_compact_id),
                       result::installed);
        const std::string id = device->instance_id();
        const bool removed = row.through_class_installer ? device->remove()
                                                         : remove_with_setupapi(device->release());
        c.expect(removed, "cannot remove " + id);
        c.expect_equal("second result", ctx.library.install(inf, device_compact_id),
                       result::no_device);
    }
    ctx.log.record(std::string("faults: ") + row.name, c);
}

}  // namespace

void run_fault_cases(run_context& ctx) {
    for (const auto& row : fault_cases) run_inf_fault(ctx, row);
    for (const auto& row : removal_cases) run_removal(ctx, row);
}

}  // namespace e2e
