#include "widgets/WlExControls.h"

namespace kv {

namespace {

// The system's DLGC_ values.
constexpr uint32_t kWantArrows = 0x0001, kWantTab = 0x0002, kWantAllKeys = 0x0004,
                   kHasSetSel = 0x0008, kWantChars = 0x0080, kButton = 0x2000;

struct Pair {
    uint32_t result;
    TWlDlgCode code;
};
constexpr Pair kPairs[] = {{kWantArrows, dcWantArrows},   {kWantTab, dcWantTab},
                           {kWantAllKeys, dcWantAllKeys}, {kWantChars, dcWantChars},
                           {kButton, dcButton},           {kHasSetSel, dcHasSetSel}};

} // namespace

TWlDlgCodes DlgCodesFromResult(uint32_t result) {
    TWlDlgCodes codes = 0;
    for (const Pair& p : kPairs)
        if (result & p.result) codes |= WlDlgCode(p.code);
    return codes;
}

uint32_t DlgCodesToResult(TWlDlgCodes codes) {
    uint32_t result = 0;
    for (const Pair& p : kPairs)
        if (codes & WlDlgCode(p.code)) result |= p.result;
    return result;
}

uint32_t WlKeyDataFromShift(unsigned shift) {
    uint32_t data = 0;
    if (shift & 2) data |= 1u << 29;
    if (shift & 4) data |= 1u << 28;
    if (shift & 1) data |= 1u << 27;
    return data;
}

} // namespace kv

namespace kv {

unsigned WlShiftFromKeyData(uint32_t keyData) {
    unsigned shift = 0;
    if (keyData & (1u << 29)) shift |= 2;
    if (keyData & (1u << 28)) shift |= 4;
    if (keyData & (1u << 27)) shift |= 1;
    return shift;
}

} // namespace kv
