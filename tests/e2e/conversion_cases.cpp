// Hardware IDs of every supported bus, turned into compact IDs by the
// library and matched against present devices: the compact ID finds the
// device (-2 from an INF that does not serve it), a near miss does not (-1).
#include "tests/e2e/newdev_protocol.h"
#include "tests/e2e/run_context.h"

namespace e2e {
namespace {

struct conversion_case {
    const char* name;
    std::vector<std::string> hardware_ids;  // the device's list; the first one counts
    std::vector<std::string> found_by;
    std::vector<std::string> missed_by;
};

// Vendors and products that no device of Wine's own carries.
const conversion_case conversion_cases[] = {
    {"PCI with all fields",
     {"PCI\\VEN_1234&DEV_5678&SUBSYS_9ABC0DEF&CC_030000&REV_01"},
     {"PCI123456780DEF9ABC03000100", "PCI123456780DEF9ABC", "PCI123456780DEF9ABC0C030201"},
     {"PCI123456780DEF9ABD", "pci123456780def9abc03000100", "PCI123456780DEF9AB",
      "PCI123456789ABC0DEF03000100"}},
    {"PCI with defaults", {"PCI\\VEN_1234&DEV_5679"},
     {"PCI123456790000000000000000", "PCI1234567900000000"},
     {"PCI12345679ffff", "PCI1234567900000001"}},
    {"USB with interface", {"USB\\VID_0A1B&PID_2C3D&REV_0100&MI_01"},
     {"USB0A1B2C3D010001"},
     {"USB0A1B2C3D0100", "USB0A1B2C3D010000", "usb0a1b2c3d010001", "USB0a1b2c3d010001"}},
    {"USB with defaults", {"USB\\VID_0A1B&PID_2C3E"}, {"USB0A1B2C3E000000"},
     {"USB0A1B2C3E", "USB0A1B2C3E0000"}},
    {"ACPI", {"ACPI\\QVA0A03"}, {"PNPQVA0A03"}, {"PNPQVA0a03", "ACPQVA0A03", "PNPQVA0A03 "}},
    {"ISAPNP", {"ISAPNP\\QVI0501"}, {"PNPQVI0501"}, {"PNPQVI050", "PNPQVI05010"}},
    {"star PnP", {"*QVS0C01"}, {"PNPQVS0C01"}, {"PNP*QVS0C01", "PNPqvs0C01"}},
    {"BIOS", {"BIOS\\*QVB0C02"}, {"PNPQVB0C02"}, {"PNP*QVB0C02", "BIOQVB0C02"}},
    {"MONITOR", {"MONITOR\\QVM1234"}, {"MONQVM1234"}, {"PNPQVM1234", "MONQVM12345"}},
    {"PCMCIA", {"PCMCIA\\Quorvant-Card_E2E-1234"}, {"PCCQuorvant-Card_E2E-1234"},
     {"PCCQuorvant-Card_E2E-123", "PCCquorvant-card_e2e-1234"}},
    {"MODEMWAVE", {"MODEMWAVE\\QV_Wave_0001"}, {"MDWQV_Wave_0001"},
     {"MDWqv_wave_0001", "MDWQV_Wave_00010"}},
    {"LPTENUM with a body cut to 40 characters",
     {"LPTENUM\\QuorvantPrinterABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"},
     {"PRTQuorvantPrinterABCDEFGHIJKLMNOPQRSTUVWXY"},
     {"PRTQuorvantPrinterABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789",
      "PRTQuorvantPrinterABCDEFGHIJKLMNOPQRSTUVWX"}},
    {"USBPRINT", {"USBPRINT\\QuorvantLaser7A1B"}, {"PRUQuorvantLaser7A1B"},
     {"PRTQuorvantLaser7A1B", "PRUQuorvantLaser7A1"}},
    {"prefix in lower case", {"monitor\\QVN5678"}, {"MONQVN5678"}, {"MONqvn5678"}},
    {"only the first hardware ID counts",
     {"ROOT\\QV_E2E_FIRST", "PCI\\VEN_1234&DEV_567A"},
     {},
     {"PCI1234567A0000000000000000", "PCI1234567A00000000"}},
    {"a bus without a compact ID is never found", {"VIRTUAL\\QVV0001"}, {},
     {"", "VIRQVV0001", "PNPQVV0001"}},
};

}  // namespace

void run_conversion_cases(run_context& ctx) {
    const std::string unserved =
        write_inf(ctx, "conversion-unserved.inf", {"ROOT\\QV_E2E_NOBODY"});
    for (const auto& row : conversion_cases) {
        checks c;
        auto device = make_device(c, row.hardware_ids);
        if (device && use_newdev(c, ctx, newdev_kind::substitute)) {
            steer_substitute({newdev_protocol::install_action});
            for (const auto& id : row.found_by) {
                c.expect_equal("result for " + quoted(id), ctx.library.install(unserved, id),
                               result::no_driver);
            }
            for (const auto& id : row.missed_by) {
                c.expect_equal("result for " + quoted(id), ctx.library.install(unserved, id),
                               result::no_device);
            }
            expect_no_driver(c, device->instance_id());
        }
        ctx.log.record(std::string("conversion: ") + row.name + " (" + row.hardware_ids.front() +
                           ")",
                       c);
    }
}

}  // namespace e2e
