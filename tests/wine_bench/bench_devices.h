// The device population of the search benchmark: many present
// root-enumerated devices of the System class, created inside one process.
// A process per device (qv_device create) costs about 0.1 s under Wine,
// which makes 2,000 devices take minutes; created here they cost well under
// a millisecond each.
//
// The prefix is thrown away after the run, so the devices are never removed.
#pragma once

#include <string>

namespace wine_bench {

// The first hardware ID of the bench device numbered `n`. The IDs rotate
// through the bus shapes the conversion reads (PCI, USB, ACPI, "*", monitor,
// printer), with numbers taken from `n`, so every device converts to a
// non-empty compact ID and the search compares it with the wanted one.
std::string bench_hardware_id(unsigned n);

// A compact ID that no bench device and no device of a fresh prefix has.
inline constexpr const char* unmatched_compact_id = "PNPZZZ0000";

class device_population {
public:
    // Creates devices until this population holds `count`; false (and
    // `error`) when the platform refuses one.
    bool grow_to(unsigned count, std::string& error);
    unsigned size() const { return created_; }

private:
    unsigned created_ = 0;
};

}  // namespace wine_bench
