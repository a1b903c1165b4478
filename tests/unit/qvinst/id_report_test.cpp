// qvinst id: one compact ID per text, in order, by the library's conversion.
#include "qvinst_test_support.h"

#include "tools/qvinst/id_report.h"
#include "tools/qvinst/result_codes.h"

#include <string>
#include <vector>

namespace {

const std::string pci_text = "PCI\\VEN_1234&DEV_5678&SUBSYS_9ABC0DEF&CC_030000&REV_01";
const std::string pci_compact = "PCI123456780DEF9ABC03000100";
const std::string usb_text = "USB\\VID_0A1B&PID_2C3D&MI_01";
const std::string usb_compact = "USB0A1B2C3D000001";
const std::string root_text = "ROOT\\ABC";  // fits no bus

TEST(IdCommand, GivesOneRowPerTextInTheOrderGiven) {
    const auto rows = qvinst::convert_hardware_ids({usb_text, root_text, pci_text, usb_text});
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].hardware_id, usb_text);
    EXPECT_EQ(rows[0].compact_id, usb_compact);
    EXPECT_EQ(rows[1].compact_id, "");
    EXPECT_EQ(rows[2].compact_id, pci_compact);
    EXPECT_EQ(rows[3].compact_id, usb_compact);
}

TEST(IdCommand, ConvertsTheWholeTextAsTheLibraryDoes) {
    // A list: the last accepted item decides, so the USB item wins.
    const auto rows = qvinst::convert_hardware_ids({pci_text + "," + usb_text});
    EXPECT_EQ(rows.at(0).compact_id, usb_compact);
}

TEST(IdCommand, TextPrintsOneLinePerTextWithDashForNone) {
    const auto rows = qvinst::convert_hardware_ids({pci_text, root_text, ""});
    EXPECT_EQ(qvinst::id_text(rows), pci_compact + "\n-\n-\n");
}

TEST(IdCommand, JsonPairsEachTextWithItsCompactId) {
    const auto rows = qvinst::convert_hardware_ids({usb_text, root_text});
    EXPECT_EQ(qvinst::id_json(rows),
              R"({"ids":[{"hardware_id":"USB\\VID_0A1B&PID_2C3D&MI_01","compact_id":"USB0A1B2C3D000001"},)"
              R"({"hardware_id":"ROOT\\ABC","compact_id":""}]})"
              "\n");
}

TEST(IdCommand, EndsWithNoCompactIdStatusWhenAnyTextHasNone) {
    EXPECT_EQ(qvinst::id_exit_status(qvinst::convert_hardware_ids({pci_text, usb_text})),
              qvinst::exit_success);
    EXPECT_EQ(qvinst::id_exit_status(qvinst::convert_hardware_ids({pci_text, root_text})),
              qvinst::exit_no_compact_id);
    EXPECT_EQ(qvinst::id_exit_status(qvinst::convert_hardware_ids({""})),
              qvinst::exit_no_compact_id);
}

}  // namespace
