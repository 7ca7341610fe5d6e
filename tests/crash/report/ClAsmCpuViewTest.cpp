#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "crash/core/ClCore.h"
#include "crash/debug/ClDisAsm.h"
#include "crash/report/ClAsmCpuView.h"

namespace {

using namespace kv::crash;

constexpr uint32_t kCode = 0x00401000;

std::string Le32(uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i) & 0xFF);
    return s;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find("\r\n", at);
        EXPECT_NE(end, std::string::npos) << "text not ended by CR LF";
        if (end == std::string::npos) break;
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// One procedure of the fake debug data: [first, last] with a line per address step.
struct Proc {
    uint32_t first, last;
    std::string unit, cls, proc;
    uint32_t firstLine;
    uint32_t bytesPerLine;
};

class FakeEnvironment final : public TAsmViewEnvironment {
public:
    TRegionMemory memory;
    std::vector<Proc> procs;
    std::map<uint32_t, std::string> objects;

    const TMemoryReader& Memory() const override { return memory; }
    void GetDebugInfoByAddr(uint32_t address, TCrashDebugInfo& info) const override {
        info = TCrashDebugInfo();
        info.Addr = address;
        for (const Proc& p : procs) {
            if (address < p.first || address > p.last) continue;
            info.DebugDetail = ddSourceCode;
            info.UnitName = p.unit;
            info.ClassName = p.cls;
            info.ProcedureName = p.proc;
            const uint32_t step = (address - p.first) / p.bytesPerLine;
            info.Line = p.firstLine + step;
            info.ProcOffsetLine = step;
            return;
        }
        if (memory.IsValid(address, 1)) info.DebugDetail = ddModule;
    }
    std::string ObjectClassName(uint32_t address) const override {
        const auto it = objects.find(address);
        return it == objects.end() ? std::string() : it->second;
    }
};

struct Listing {
    std::string text;
    std::string title = "untouched";
    std::vector<std::string> lines;
};

Listing Build(const FakeEnvironment& env, uint32_t exceptionAddress) {
    const TCrashModuleOptions options("Kolvane.exe");
    Listing l;
    l.text = BuildAssemblerView(exceptionAddress, l.title, options, env);
    l.lines = SplitLines(l.text);
    return l;
}

// The instruction lines only (comment lines left out).
std::vector<std::string> CodeLines(const Listing& l) {
    std::vector<std::string> out;
    for (const std::string& line : l.lines)
        if (!line.empty() && line[0] != ';') out.push_back(line);
    return out;
}

std::string AddressOf(const std::string& line) {
    return line.substr(0, 8);
}

TEST(ClAsmView, NothingWithoutOptionOrReadableAddress) {
    FakeEnvironment env;
    env.memory.Add(kCode, std::string(64, '\x90'));
    TCrashModuleOptions off("Kolvane.exe");
    TLogOptions logOptions = off.LogOptions();
    logOptions.Exclude(loSaveAssemblerAndCPUSections);
    off.SetLogOptions(logOptions);
    std::string title = "untouched";
    EXPECT_EQ(BuildAssemblerView(kCode + 8, title, off, env), "");
    EXPECT_EQ(title, "untouched");

    // Only 3 bytes readable at the address.
    const Listing l = Build(env, kCode + 61);
    EXPECT_EQ(l.text, "");
    EXPECT_EQ(l.title, "untouched");
}

TEST(ClAsmView, TenInstructionsBeforeAndAfterAtMost) {
    FakeEnvironment env;
    env.memory.Add(kCode, std::string(0x100, '\x90'));
    const Listing l = Build(env, kCode + 0x80);
    const std::vector<std::string> code = CodeLines(l);
    ASSERT_EQ(code.size(), 21u);
    EXPECT_EQ(AddressOf(code.front()), "00401076");
    EXPECT_EQ(AddressOf(code[10]), "00401080");
    EXPECT_NE(code[10].find("; <-- EXCEPTION"), std::string::npos);
    EXPECT_EQ(AddressOf(code.back()), "0040108A");
    // The disassembler's text follows the address and two blanks.
    TDisAsm disasm;
    uint32_t size = 0;
    const uint8_t nop = 0x90;
    EXPECT_EQ(code[0], "00401076  " + disasm.GetInstruction(&nop, 1, kCode + 0x76, size));
}

TEST(ClAsmView, StartsAtTheSynchronisedPosition) {
    // From the first byte, B8 takes five bytes and overshoots; from the second, 01 02 takes two
    // and 03 needs its operand byte beyond; from the third, 02 03 lands on the address.
    FakeEnvironment env;
    env.memory.Add(kCode, std::string("\xB8\x01\x02\x03\x90\x90\xC3\x90", 8));
    const Listing l = Build(env, kCode + 4);
    const std::vector<std::string> code = CodeLines(l);
    ASSERT_EQ(code.size(), 4u);
    EXPECT_EQ(AddressOf(code[0]), "00401002");
    EXPECT_EQ(AddressOf(code[1]), "00401004");
    // A return after the exception address ends the listing with itself.
    EXPECT_EQ(AddressOf(code[3]), "00401006");
}

TEST(ClAsmView, ReturnAtTheExceptionAddressDoesNotEndIt) {
    FakeEnvironment env;
    env.memory.Add(kCode, std::string("\x90\xC3\x90\xC2\x04\x00\x90\x90", 8));
    const std::vector<std::string> code = CodeLines(Build(env, kCode + 1));
    ASSERT_EQ(code.size(), 4u);
    EXPECT_EQ(AddressOf(code[3]), "00401003");
}

TEST(ClAsmView, ListingStartsWithTheExceptionProcedure) {
    FakeEnvironment env;
    env.memory.Add(kCode, std::string(0x60, '\x90') + "\xC3");
    env.procs = {{kCode, kCode + 0x2F, "First.pas", "", "Setup", 10, 0x100},
                 {kCode + 0x30, kCode + 0x60, "Second.cpp", "TFoo", "Run", 20, 4}};
    const Listing l = Build(env, kCode + 0x36);
    ASSERT_GE(l.lines.size(), 4u);
    const std::string comment = "Second.TFoo.Run (Line=20 - Offset=0)";
    EXPECT_EQ(l.lines[0], "; " + comment);
    EXPECT_EQ(l.lines[1], "; " + std::string(comment.size(), '-'));
    EXPECT_EQ(AddressOf(l.lines[2]), "00401030");
    // Within the procedure a new line gets a comment of its own after a separator line.
    EXPECT_EQ(l.lines[3], "00401031  " + l.lines[3].substr(10));
    EXPECT_EQ(l.lines[4], "00401032  " + l.lines[4].substr(10));
    EXPECT_EQ(l.lines[5], "00401033  " + l.lines[5].substr(10));
    EXPECT_EQ(l.lines[6], ";");
    EXPECT_EQ(l.lines[7], "; Line=21 - Offset=1");
    EXPECT_EQ(l.lines[8], "; " + std::string(18, '-'));
    EXPECT_EQ(AddressOf(l.lines[9]), "00401034");
    // The listing goes on to the return and its last line is that return.
    EXPECT_EQ(AddressOf(l.lines.back()), "00401040");
}

TEST(ClAsmView, ProcedureChangeAfterTheExceptionKeepsTheStart) {
    FakeEnvironment env;
    env.memory.Add(kCode, std::string(0x40, '\x90'));
    env.procs = {{kCode, kCode + 0x0F, "First.pas", "", "Setup", 10, 0x100},
                 {kCode + 0x10, kCode + 0x40, "Second", "", "Run", 20, 0x100}};
    const Listing l = Build(env, kCode + 0x0C);
    ASSERT_FALSE(l.lines.empty());
    EXPECT_EQ(l.lines[0], "; First.Setup (Line=10 - Offset=0)");
    bool sawSecond = false;
    for (size_t i = 0; i < l.lines.size(); ++i)
        if (l.lines[i] == "; Second.Run (Line=20 - Offset=0)") {
            sawSecond = true;
            EXPECT_EQ(l.lines[i - 1], ";");
        }
    EXPECT_TRUE(sawSecond);
}

TEST(ClAsmView, NamesTargetsAndShowsTextAtImmediates) {
    FakeEnvironment env;
    const uint32_t call = kCode;      // E8 rel32 to a procedure's fourth line
    const uint32_t none = kCode + 20; // B8 a number that is no address
    // call, mov eax,[object], mov eax,text, mov eax,longer text, mov eax,5, nop, ret
    std::string code = "\xE8" + Le32(0x00500010 - (call + 5)) + "\xA1" + Le32(0x00600000) + "\xB8" +
                       Le32(0x00700000) + "\xB8" + Le32(0x00700100) + "\xB8" + Le32(0x00000005) +
                       "\x90\xC3";
    env.memory.Add(kCode, code);
    env.memory.Add(0x00500000, std::string(0x20, '\x90'));
    env.memory.Add(0x00600000, std::string(8, '\0'));
    env.memory.Add(0x00700000, std::string("Hi\tthere\0junk", 13));
    env.memory.Add(0x00700100, std::string(40, 'x'));
    env.procs = {{0x00500000, 0x0050001F, "Target.pas", "TWorker", "Go", 7, 4}};
    env.objects[0x00600000] = "TFoo";

    const std::vector<std::string> lines = CodeLines(Build(env, none));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_NE(lines[0].find("Target.TWorker.Go (Line=11)"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("[TFoo]"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("  ; 'Hi.there'"), std::string::npos) << lines[2];
    EXPECT_EQ(lines[2].find("'..."), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("  ; '" + std::string(32, 'x') + "'..."), std::string::npos)
        << lines[3];
    EXPECT_EQ(lines[4].find("; '"), std::string::npos) << lines[4];
    EXPECT_NE(lines[4].find("; <-- EXCEPTION"), std::string::npos) << lines[4];
    EXPECT_EQ(AddressOf(lines[1]), "00401005");
}

TEST(ClAsmView, TextAtAnImmediateIsCutBetweenCharacters) {
    FakeEnvironment env;
    env.memory.Add(kCode, "\xB8" + Le32(0x00700000) + std::string(0x20, '\x90') + "\xC3");
    env.memory.Add(0x00700000, std::string(31, 'x') + "\x95\x5C\x8E\xA6"); // 表 at the limit
    const std::vector<std::string> lines = CodeLines(Build(env, kCode + 5));
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("  ; '" + std::string(31, 'x') + "'..."), std::string::npos)
        << lines[0];
}

TEST(ClAsmView, CommentsAlignedAndTitleRule) {
    FakeEnvironment env;
    std::string code = std::string("\x90\xB8", 2) + Le32(0x00700000) + "\x90\x90\xC3\x90\x90";
    env.memory.Add(kCode, code);
    env.memory.Add(0x00700000, std::string("ab\0", 3));
    const Listing l = Build(env, kCode + 6);
    ASSERT_EQ(l.lines.size(), 5u);
    size_t longest = 0;
    size_t column = std::string::npos;
    for (const std::string& line : l.lines) {
        longest = std::max(longest, line.size());
        const size_t semicolon = line.find(';');
        if (semicolon == std::string::npos) continue;
        if (column == std::string::npos) column = semicolon;
        EXPECT_EQ(semicolon, column) << line;
    }
    ASSERT_NE(column, std::string::npos);
    // Two blanks after the longest code part.
    size_t longestCode = 0;
    for (const std::string& line : l.lines)
        longestCode = std::max(longestCode, Trim(line.substr(0, line.find(';'))).size());
    EXPECT_EQ(column, longestCode + 2);
    EXPECT_EQ(l.title, "Assembler Information:\r\n" + std::string(longest, '-'));
}

// ---- CPU view ----

std::string Context(const std::map<uint32_t, uint32_t>& values) {
    std::string record(kContextReadSize, '\0');
    for (const auto& [offset, value] : values) record.replace(offset, 4, Le32(value));
    return record;
}

constexpr uint32_t kContext = 0x00300000;
constexpr uint32_t kStack = 0x0012FF00;
constexpr uint32_t kData = 0x00800000;

std::string StackBytes() {
    std::string s;
    for (uint32_t k = 0; k < 16; ++k) s += Le32(0x11110000 + k);
    return s;
}

std::string DataBytes() {
    std::string s;
    for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
    return s;
}

TEST(ClCpuView, RegistersFromTheContextRecord) {
    TRegionMemory memory;
    memory.Add(kContext, Context({{0xB0, 0xA},
                                  {0x9C, 0xD1},
                                  {0xA4, 0xB},
                                  {0xA0, 0x51},
                                  {0xAC, 0xC},
                                  {0xC4, 0x5B},
                                  {0xA8, 0xD},
                                  {0xB8, 0x1B}}));
    const std::pair<TContextRegister, const char*> cases[] = {
        {crEAX, "0000000A"}, {crEDI, "000000D1"}, {crEBX, "0000000B"}, {crESI, "00000051"},
        {crECX, "0000000C"}, {crESP, "0000005B"}, {crEDX, "0000000D"}, {crEIP, "0000001B"}};
    for (const auto& [reg, expected] : cases)
        EXPECT_EQ(FormatContextRegister(kContext, reg, memory), expected) << int(reg);
    EXPECT_EQ(FormatContextRegister(0, crEAX, memory), "????    ");
    // One byte short of the record.
    TRegionMemory shortRecord;
    shortRecord.Add(kContext, std::string(kContextReadSize - 1, '\0'));
    EXPECT_EQ(FormatContextRegister(kContext, crEAX, shortRecord), "????    ");
}

TEST(ClCpuView, DumpLinesAndColumns) {
    TRegionMemory memory;
    memory.Add(kStack, StackBytes());
    memory.Add(kData, DataBytes());
    const std::vector<std::string> lines =
        SplitLines(FormatStackAndMemoryDump(kStack, kData, memory));
    ASSERT_EQ(lines.size(), 16u);
    for (const std::string& line : lines) EXPECT_EQ(line.size(), 96u);
    EXPECT_EQ(lines[0], "0012FF00: 11110000   00800000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C "
                        "0D 0E 0F  ................");
    EXPECT_EQ(lines[2], "0012FF08: 11110002   00800020: 20 21 22 23 24 25 26 27 28 29 2A 2B 2C "
                        "2D 2E 2F   !\"#$%&'()*+,-./");
    EXPECT_EQ(lines[7].substr(21), "00800070: 70 71 72 73 74 75 76 77 78 79 7A 7B 7C 7D 7E 7F  "
                                   "pqrstuvwxyz{|}~.");
    EXPECT_EQ(lines[15].substr(0, 29), "0012FF3C: 1111000F   008000F0");
}

TEST(ClCpuView, DumpNeedsBothBlocks) {
    TRegionMemory memory;
    memory.Add(kStack, StackBytes().substr(0, 63));
    memory.Add(kData, DataBytes());
    EXPECT_EQ(FormatStackAndMemoryDump(kStack, kData, memory), "");
    TRegionMemory shortData;
    shortData.Add(kStack, StackBytes());
    shortData.Add(kData, DataBytes().substr(0, 255));
    EXPECT_EQ(FormatStackAndMemoryDump(kStack, kData, shortData), "");
}

TEST(ClCpuView, WholeTextWithoutContext) {
    TRegionMemory memory;
    memory.Add(kStack, StackBytes());
    memory.Add(kData, DataBytes());
    const TCrashModuleOptions options("Kolvane.exe");
    EXPECT_EQ(FormatStackTitle(options), "Stack:               ");
    const std::string dump = FormatStackAndMemoryDump(kStack, kData, memory);
    const std::string expected = "Registers:\r\n"
                                 "-----------------------------\r\n"
                                 "EAX: ????       EDI: ????    \r\n"
                                 "EBX: ????       ESI: ????    \r\n"
                                 "ECX: ????       ESP: ????    \r\n"
                                 "EDX: ????       EIP: ????    \r\n"
                                 "\r\n"
                                 "Stack:               Memory Dump:\r\n" +
                                 std::string(18, '-') + "   " + std::string(75, '-') + "\r\n" +
                                 dump;
    EXPECT_FALSE(dump.empty());
    EXPECT_EQ(BuildCPUView(0, kStack, kData, options, memory), expected);
    // The memory column starts under its title.
    const std::vector<std::string> lines = SplitLines(expected);
    EXPECT_EQ(lines[7].find("Memory Dump"), 21u);
    EXPECT_EQ(lines[9].find("00800000"), 21u);
}

TEST(ClCpuView, NothingWithoutOption) {
    TCrashModuleOptions options("Kolvane.exe");
    TLogOptions logOptions = options.LogOptions();
    logOptions.Exclude(loSaveAssemblerAndCPUSections);
    options.SetLogOptions(logOptions);
    EXPECT_EQ(BuildCPUView(0, kStack, kData, options, TRegionMemory()), "");
}

} // namespace
