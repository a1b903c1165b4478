// The export removes its own two arguments (8 bytes) from the stack,
// whatever the outcome of the call.
#include "tests/e2e/newdev_protocol.h"
#include "tests/e2e/run_context.h"
#include "tests/e2e/stdcall_probe.h"

#include <cstdio>

namespace e2e {
namespace {

const std::vector<std::string> device_ids = {"PCI\\VEN_5156&DEV_0C01&SUBSYS_00015156"};
constexpr const char* device_compact_id = "PCI51560C0151560001";

enum class inf_arg { served, unserved, null };

struct convention_case {
    const char* name;
    inf_arg inf;
    const char* compact_id;
    int expected;
};

const convention_case convention_cases[] = {
    {"null INF path, -4", inf_arg::null, device_compact_id, result::no_inf_path},
    {"no matching device, -1", inf_arg::served, "PCI51560C0151560002", result::no_device},
    {"no driver in the INF, -2", inf_arg::unserved, device_compact_id, result::no_driver},
    {"installed, 1", inf_arg::served, device_compact_id, result::installed},
};

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08lx", static_cast<unsigned long>(value));
    return text;
}

}  // namespace

void run_calling_convention_cases(run_context& ctx) {
    const std::string served = write_inf(ctx, "convention.inf", {device_ids[0]});
    const std::string unserved =
        write_inf(ctx, "convention-unserved.inf", {"PCI\\VEN_5156&DEV_0CFF"});
    for (const auto& row : convention_cases) {
        checks c;
        auto device = make_device(c, device_ids);
        if (device && use_newdev(c, ctx, newdev_kind::substitute)) {
            steer_substitute({newdev_protocol::succeed_action});
            const char* inf = row.inf == inf_arg::served     ? served.c_str()
                              : row.inf == inf_arg::unserved ? unserved.c_str()
                                                             : nullptr;
            const stack_probe probe = call_pushing_arguments(ctx.library.entry(), inf, row.compact_id);
            c.expect_result(probe.result, row.expected);
            c.expect(probe.esp_after == probe.esp_before,
                     "esp " + hex(probe.esp_before) + " before the pushes, " +
                         hex(probe.esp_after) + " after the call");
            c.note("esp " + hex(probe.esp_before) + " before and " + hex(probe.esp_after) +
                   " after");
        }
        ctx.log.record(std::string("calling convention: callee removes 8 bytes: ") + row.name, c);
    }
}

}  // namespace e2e
