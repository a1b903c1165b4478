// qvinst id: one compact ID per text, in order, by the library's conversion.
#include "qvinst_test_support.h"

#include "tools/qvinst/commands.h"

#include <string>
#include <vector>

namespace {

using qvinst_test::row_name;

const std::string pci_text = "PCI\\VEN_1234&DEV_5678&SUBSYS_9ABC0DEF&CC_030000&REV_01";
const std::string pci_compact = "PCI123456780DEF9ABC03000100";
const std::string usb_text = "USB\\VID_0A1B&PID_2C3D&MI_01";
const std::string usb_compact = "USB0A1B2C3D000001";
const std::string root_text = "ROOT\\ABC";  // fits no bus

struct id_case {
    std::string name;
    std::vector<std::string> texts;
    bool json;
    std::string out;
    int status;
};

void PrintTo(const id_case& row, std::ostream* os) { *os << row.name; }

class IdCommand : public testing::TestWithParam<id_case> {};

TEST_P(IdCommand, PrintsEachTextsCompactIdAndEnds) {
    const id_case& row = GetParam();
    qvinst::invocation call;
    call.json = row.json;
    call.operands = row.texts;
    const qvinst::command_result result = qvinst::run_id(call);
    EXPECT_EQ(result.out, row.out);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, row.status);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IdCommand,
    testing::Values(
        id_case{"one_line_per_text_in_the_order_given", {usb_text, pci_text, usb_text}, false,
                usb_compact + "\n" + pci_compact + "\n" + usb_compact + "\n", qvinst::exit_success},
        // A list: the last accepted item decides, so the USB item wins.
        id_case{"whole_text_converted_as_the_library_does", {pci_text + "," + usb_text}, false,
                usb_compact + "\n", qvinst::exit_success},
        id_case{"dash_and_status_3_for_a_text_without_one", {root_text, pci_text}, false,
                "-\n" + pci_compact + "\n", qvinst::exit_no_compact_id},
        id_case{"empty_text_has_none", {""}, false, "-\n", qvinst::exit_no_compact_id},
        id_case{"json_pairs_each_text_with_its_compact_id", {usb_text, root_text}, true,
                R"({"ids":[{"hardware_id":"USB\\VID_0A1B&PID_2C3D&MI_01","compact_id":"USB0A1B2C3D000001"},)"
                R"({"hardware_id":"ROOT\\ABC","compact_id":""}]})"
                "\n",
                qvinst::exit_no_compact_id}),
    row_name{});

}  // namespace
