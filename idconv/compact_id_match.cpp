// The compact-ID comparison.
#include "idconv/compact_id_format.h"
#include "idconv/id_conv.h"

namespace idconv {

bool compact_ids_match(std::string_view wanted, std::string_view candidate) {
    if (wanted.substr(0, format::tag_length) == format::tag_pci) {
        return wanted.substr(0, format::pci_match_window) ==
               candidate.substr(0, format::pci_match_window);
    }
    return wanted == candidate;
}

}  // namespace idconv
