#include <gtest/gtest.h>

#include "CodeListing.h"
#include "crash/capture/ClHook.h"

namespace {

// Wherever the tables give a length, it is objdump's length.
TEST(GetAsmSize, AgreesWithObjdumpOverOurCode) {
    const auto listing = kvtest::ReadCodeListing();
    ASSERT_GT(listing.size(), 10000u);
    size_t checked = 0;
    for (const auto& insn : listing) {
        auto bytes = insn.bytes;
        bytes.resize(bytes.size() + 32, 0);
        uint8_t length = 0;
        if (!kv::crash::GetAsmSize(bytes.data(), length)) continue;
        ++checked;
        ASSERT_EQ(length, insn.bytes.size()) << insn.line;
    }
    EXPECT_GT(checked, listing.size() * 9 / 10);
}

} // namespace
