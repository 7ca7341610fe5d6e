#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <string>
#include <vector>

#include "../support/CodeListing.h"
#include "crash/debug/ClDisAsm.h"

namespace {

// The disassembler shows lock and repeat prefixes as instructions of their own, and objdump
// joins a wait with the instruction after it; everywhere else the sizes agree.
TEST(TDisAsm, SizesAgreeWithObjdumpOverOurCode) {
    const auto listing = kvtest::ReadCodeListing();
    ASSERT_GT(listing.size(), 10000u);
    const kv::crash::TDisAsm da{};
    size_t checked = 0;
    for (const auto& insn : listing) {
        const uint8_t first = insn.bytes[0];
        if (first == 0xF0 || first == 0xF2 || first == 0xF3 || first == 0x9B) continue;
        auto bytes = insn.bytes;
        bytes.resize(bytes.size() + 16, 0);
        uint32_t size = 0;
        const std::string text = da.GetInstruction(bytes.data(), bytes.size(), 0x401000, size);
        ASSERT_EQ(text.rfind("DB ", 0), std::string::npos) << insn.line << " -> " << text;
        ++checked;
        ASSERT_EQ(size, insn.bytes.size()) << insn.line << " -> " << text;
    }
    EXPECT_GT(checked, listing.size() * 9 / 10);
}

// The general, MMX and XMM registers an instruction names, sorted (objdump writes them in the
// other order); segment registers that objdump adds for implicit operands and x87 stack
// registers (written one-operand here) are left out.
std::string RegisterNames(const std::string& text, bool percent) {
    static const std::regex kPlain(R"(\b(e?[abcd]x|[abcd][lh]|e?[sd]i|e?[sb]p|x?mm[0-7])\b)",
                                   std::regex::icase);
    static const std::regex kPercent(R"(%(e?[abcd]x|[abcd][lh]|e?[sd]i|e?[sb]p|x?mm[0-7])\b)");
    std::vector<std::string> names;
    for (std::sregex_iterator it(text.begin(), text.end(), percent ? kPercent : kPlain), end;
         it != end; ++it) {
        std::string n = (*it)[1].str();
        for (auto& ch : n) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        names.push_back(n);
    }
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const auto& n : names) joined += n + " ";
    return joined;
}

TEST(TDisAsm, RegistersAgreeWithObjdumpOverOurCode) {
    const auto listing = kvtest::ReadCodeListing();
    ASSERT_GT(listing.size(), 10000u);
    const kv::crash::TDisAsm da{};
    for (const auto& insn : listing) {
        const uint8_t first = insn.bytes[0];
        if (first == 0xF0 || first == 0xF2 || first == 0xF3 || first == 0x9B) continue;
        if (insn.bytes == std::vector<uint8_t>{0x66, 0x90}) continue; // nop, or xchg ax, ax
        auto bytes = insn.bytes;
        bytes.resize(bytes.size() + 16, 0);
        uint32_t size = 0;
        const std::string text = da.GetInstruction(bytes.data(), bytes.size(), 0x401000, size);
        const std::string theirs = insn.text.substr(0, insn.text.find('<'));
        ASSERT_EQ(RegisterNames(text, false), RegisterNames(theirs, true))
            << insn.line << " -> " << text;
    }
}

// In this process: the first instruction of a system routine, and an address that cannot be
// read.
TEST(TDisAsm, ReadsOnlyReadableMemory) {
    const kv::crash::TDisAsm da{};
    uint32_t size = 0;
    const auto proc = reinterpret_cast<uintptr_t>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount"));
    ASSERT_NE(proc, 0u);
    const std::string text = da.GetInstruction(static_cast<uint32_t>(proc), size);
    EXPECT_FALSE(text.empty());
    EXPECT_GE(size, 1u);
    EXPECT_LE(size, 15u);

    // The last bytes of a committed page followed by a reserved one: the instruction is cut off.
    auto* page = static_cast<uint8_t*>(VirtualAlloc(nullptr, 0x2000, MEM_RESERVE, PAGE_NOACCESS));
    ASSERT_NE(page, nullptr);
    ASSERT_NE(VirtualAlloc(page, 0x1000, MEM_COMMIT, PAGE_READWRITE), nullptr);
    page[0xFFE] = 0xB8; // mov eax, imm32 needs 3 bytes more
    page[0xFFF] = 0x01;
    const auto at = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(page + 0xFFE));
    EXPECT_EQ(da.GetInstruction(at, size), "DB      $B8, $01  //");
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(da.GetInstruction(at + 2, size), "??");
    EXPECT_EQ(size, 1u);
    VirtualFree(page, 0, MEM_RELEASE);
}

} // namespace
