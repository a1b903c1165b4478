// The compact-ID comparison.
#include "idconv/compact_id_format.h"
#include "idconv/id_conv.h"
#include "idconv/text_cut.h"

namespace idconv {

match_rule match_rule_for(std::string_view wanted) noexcept {
    return first_chars(wanted, format::tag_length) == format::tag_pci ? match_rule::pci_window
                                                                      : match_rule::whole_text;
}

bool compact_ids_match(std::string_view wanted, std::string_view candidate) noexcept {
    if (match_rule_for(wanted) == match_rule::pci_window) {
        return first_chars(wanted, format::pci_match_window) ==
               first_chars(candidate, format::pci_match_window);
    }
    return wanted == candidate;
}

}  // namespace idconv
