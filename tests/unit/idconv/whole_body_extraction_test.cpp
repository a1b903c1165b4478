// Whole-body items ("MODEMWAVE\", "PCMCIA\", "LPTENUM\", "USBPRINT\"): the
// rest of the item, first 40 characters, unchanged.
#include "test_support.h"

namespace idconv_test {
namespace {

using namespace std::string_literals;

class whole_body_extraction : public testing::TestWithParam<conversion_case> {};
TEST_P(whole_body_extraction, builds) { expect_conversion(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, whole_body_extraction, testing::Values(
    conversion_case{"lptenum_cut_to_40", "LPTENUM\\ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefgh",
                    "PRTABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd"},
    conversion_case{"pcmcia_underscore_kept", "PCMCIA\\Some-Card_Name-1234", "PCCSome-Card_Name-1234"},
    conversion_case{"modemwave", "MODEMWAVE\\X", "MDWX"},
    conversion_case{"usbprint", "USBPRINT\\HPLaserJet", "PRUHPLaserJet"},
    conversion_case{"lower_case_prefix_body_unchanged", "usbprint\\hpLaser", "PRUhpLaser"},
    conversion_case{"lower_case_modemwave", "modemwave\\abc", "MDWabc"},
    conversion_case{"body_exactly_40", "PCMCIA\\" + chars40, "PCC" + chars40},
    conversion_case{"body_41_cut_to_40", "PCMCIA\\" + chars40 + "e", "PCC" + chars40},
    conversion_case{"ampersand_and_underscore_not_split", "PCMCIA\\A&B_C&VEN_1", "PCCA&B_C&VEN_1"},
    conversion_case{"backslashes_kept", "LPTENUM\\HP\\LASER", "PRTHP\\LASER"},
    conversion_case{"star_after_prefix_stepped", "PCMCIA\\*ABC", "PCCABC"},
    conversion_case{"star_ending_item_kept", "PCMCIA\\*", "PCC*"},
    conversion_case{"second_star_kept", "PCMCIA\\**ABC", "PCC*ABC"},
    conversion_case{"modemwave_star_ending_item_kept", "MODEMWAVE\\*", "MDW*"},
    conversion_case{"modemwave_star_stepped", "MODEMWAVE\\*X", "MDWX"},
    conversion_case{"later_item_replaces_longer_body", "PCMCIA\\LONGNAME,PCMCIA\\X", "PCCX"},
    conversion_case{"trailing_blanks_dropped", "LPTENUM\\HPLASER  ", "PRTHPLASER"},
    conversion_case{"leading_blanks_dropped", " \tLPTENUM\\HPLASER", "PRTHPLASER"},
    conversion_case{"interior_blank_kept", "LPTENUM\\HP LASER", "PRTHP LASER"},
    conversion_case{"high_bytes_kept", "PCMCIA\\\xC4\xD6\xFF", "PCC\xC4\xD6\xFF"},
    conversion_case{"nul_byte_inside_kept", "PCMCIA\\A\0B"s, "PCCA\0B"s}),
    row_name{});

}  // namespace
}  // namespace idconv_test
