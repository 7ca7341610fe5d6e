#include <gtest/gtest.h>

#include "widgets/WlExControls.h"

namespace {

using namespace kv;

TEST(WlDlgCodes, ResultAndSetBothWays) {
    static const struct {
        const char* name;
        uint32_t result;
        TWlDlgCodes codes;
    } kCases[] = {
        {"want arrows", 0x0001, WlDlgCode(dcWantArrows)},
        {"want tab", 0x0002, WlDlgCode(dcWantTab)},
        {"want all keys", 0x0004, WlDlgCode(dcWantAllKeys)},
        {"has set sel", 0x0008, WlDlgCode(dcHasSetSel)},
        {"want chars", 0x0080, WlDlgCode(dcWantChars)},
        {"button", 0x2000, WlDlgCode(dcButton)},
        {"edit box", 0x0001 | 0x0080 | 0x0008,
         WlDlgCode(dcWantArrows) | WlDlgCode(dcWantChars) | WlDlgCode(dcHasSetSel)},
        {"nothing", 0, 0},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(DlgCodesFromResult(c.result), c.codes) << c.name;
        EXPECT_EQ(DlgCodesToResult(c.codes), c.result) << c.name;
    }
    // Answers without a member (a default push button) are lost only on the way back.
    EXPECT_EQ(DlgCodesFromResult(0x0010 | 0x2000), WlDlgCode(dcButton));
    EXPECT_EQ(DlgCodesToResult(WlDlgCode(dcNative)), 0u);
}

TEST(WlKeyData, ShiftBits) {
    EXPECT_EQ(WlKeyDataFromShift(0), 0u);
    EXPECT_EQ(WlKeyDataFromShift(2), 1u << 29); // Alt
    EXPECT_EQ(WlKeyDataFromShift(4), 1u << 28); // Ctrl
    EXPECT_EQ(WlKeyDataFromShift(1), 1u << 27); // Shift
    for (unsigned shift = 0; shift < 8; ++shift)
        EXPECT_EQ(WlShiftFromKeyData(WlKeyDataFromShift(shift)), shift);
}

} // namespace
