// Fuzz target of the hardware-ID conversion. Each input is a hardware-ID
// text; every violated invariant traps, so libFuzzer keeps the input.
//
// Invariants:
// - the compact ID is empty, or begins with the tag of a bus of the bus
//   table and is no longer than that bus allows, and it is followed by a
//   zero byte;
// - a non-empty compact ID matches itself;
// - the builder reads nothing outside its input (exactly-sized heap copies,
//   so ASan sees any overread) and gives the same result twice;
// - a trailing comma, a trailing blank, or a trailing "IRQHOLDER" item
//   changes nothing (unless the text already ends with a comma);
// - matching never reads outside either text, and gives the same answer
//   with the arguments swapped.
#include "idconv/compact_id_format.h"
#include "idconv/id_conv.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {

namespace fmt = idconv::format;

void require(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

// A heap copy of exactly `size` bytes: one byte too far is an ASan report.
class exact_copy {
public:
    exact_copy(const std::uint8_t* data, std::size_t size)
        : bytes_(new char[size == 0 ? 1 : size]), size_(size) {
        if (size != 0) {
            std::memcpy(bytes_.get(), data, size);
        }
    }
    std::string_view view() const { return {bytes_.get(), size_}; }

private:
    std::unique_ptr<char[]> bytes_;
    std::size_t size_;
};

// The longest compact ID with this tag, by the bus table; 0 for no tag.
std::size_t max_length_of_tag(std::string_view tag) {
    for (const fmt::bus& bus : fmt::buses) {
        if (!bus.tag.empty() && bus.tag == tag) {
            return bus.max_length;
        }
    }
    return 0;
}

void check_compact_id(const idconv::compact_id& id) {
    require(id.c_str()[id.size()] == '\0');
    if (id.empty()) {
        return;
    }
    const std::size_t limit = max_length_of_tag(id.view().substr(0, fmt::tag_length));
    require(limit != 0);
    require(id.size() <= limit);
    require(idconv::compact_ids_match(id, id));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const exact_copy input(data, size);
    const std::string_view text = input.view();

    const idconv::compact_id id = idconv::build_compact_id(text);
    check_compact_id(id);
    require(idconv::build_compact_id(text) == id);

    if (text.empty() || text.back() != ',') {
        const std::string with_text(text);
        require(idconv::build_compact_id(with_text + ",") == id);
        require(idconv::build_compact_id(with_text + " ") == id);
        require(idconv::build_compact_id(with_text + ",IRQHOLDER") == id);
    }

    // Split the input into a wanted and a candidate ID; the first byte
    // chooses where.
    const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
    const exact_copy wanted(data, cut);
    const exact_copy candidate(data + cut, size - cut);
    const bool forward = idconv::compact_ids_match(wanted.view(), candidate.view());
    const bool backward = idconv::compact_ids_match(candidate.view(), wanted.view());
    require(forward == backward);
    require(idconv::compact_ids_match(wanted.view(), wanted.view()));

    // And match the text's own compact ID against either half.
    if (!id.empty()) {
        require(idconv::compact_ids_match(id, wanted.view()) ==
                idconv::compact_ids_match(wanted.view(), id));
    }
    return 0;
}
