// The compact-ID comparison.
#include "idconv/compact_id_format.h"
#include "idconv/id_conv.h"

namespace idconv {

match_rule match_rule_for(std::string_view wanted) {
    return wanted.substr(0, format::tag_length) == format::tag_pci ? match_rule::pci_window
                                                                   : match_rule::whole_text;
}

bool compact_ids_match(std::string_view wanted, std::string_view candidate) {
    if (match_rule_for(wanted) == match_rule::pci_window) {
        return wanted.substr(0, format::pci_match_window) ==
               candidate.substr(0, format::pci_match_window);
    }
    return wanted == candidate;
}

}  // namespace idconv
