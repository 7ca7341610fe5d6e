#include "crash/report/ClAsmCpuView.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "crash/core/ClCore.h"
#include "crash/debug/ClDebugInfo.h"
#include "crash/debug/ClDisAsm.h"
#include "crash/hooks/ClHook.h"
#include "crash/capture/CrashLogUtils.h"

namespace kv::crash {

namespace {

// Bytes of code shown before and after the exception address, and instructions at most.
constexpr uint32_t kCodeWindow = 70;
constexpr size_t kMaxInstructionsBefore = 10;
constexpr int kMaxInstructionsAfter = 10;
constexpr size_t kMaxInstructionBytes = 15;
constexpr size_t kDecoderBytes = 19; // what the length decoder may look at
constexpr size_t kMaxImmediateText = 32;

constexpr const char* kLineBreak = "\r\n";
constexpr const char* kUnknownRegister = "????    ";

// Stack words and memory bytes of the dump.
constexpr uint32_t kDumpLines = 16;
constexpr uint32_t kStackBytes = kDumpLines * 4;
constexpr uint32_t kMemoryBytes = kDumpLines * 16;
constexpr size_t kStackTitleWidth = 21;

std::string Hex8(uint32_t v) {
    return IntToHex(v, 8);
}

// Copies the readable bytes at addr (up to max, stopping at the first unreadable one or at the
// end of the address space); returns how many.
size_t ReadAvailable(const TMemoryReader& memory, uint32_t addr, uint8_t* out, size_t max) {
    const uint64_t room = (uint64_t(1) << 32) - addr;
    if (max > room) max = static_cast<size_t>(room);
    if (max == 0) return 0;
    if (memory.Read(addr, out, static_cast<uint32_t>(max))) return max;
    size_t n = 0;
    while (n < max && memory.Read(addr + static_cast<uint32_t>(n), out + n, 1)) ++n;
    return n;
}

// The instruction length decoder's size of the instruction at addr; 1 for an undecodable one.
uint32_t DecodedSize(const TMemoryReader& memory, uint32_t addr) {
    uint8_t bytes[kDecoderBytes];
    const size_t n = ReadAvailable(memory, addr, bytes, sizeof bytes);
    if (n == 0) return 1;
    const AsmShape shape = DecodeAsmShape(bytes, n);
    return shape.known && shape.length > 0 ? shape.length : 1;
}

bool ShowsLocation(const TCrashDebugInfo& info) {
    return info.DebugDetail == ddProcedure || info.DebugDetail == ddUnitAndProcedure ||
           info.DebugDetail == ddSourceCode;
}

// Unit (without extension), class and procedure joined by ".", empty parts left out.
std::string LocationName(const TCrashDebugInfo& info) {
    std::string name;
    for (const std::string& part :
         {ChangeFileExt(info.UnitName, ""), info.ClassName, info.ProcedureName}) {
        if (part.empty()) continue;
        if (!name.empty()) name += ".";
        name += part;
    }
    return name;
}

// A call, jump or address operand named after the code there, or after the class of the
// object there.
void NameTarget(void* param, uint32_t /*valueAddress*/, uint32_t target, std::string& result) {
    const auto& env = *static_cast<const TAsmViewEnvironment*>(param);
    TCrashDebugInfo info;
    env.GetDebugInfoByAddr(target, info);
    if (info.DebugDetail >= ddProcedure) {
        std::string name = LocationName(info);
        if (!name.empty()) {
            if (info.ProcOffsetLine > 1) name += " (Line=" + IntToStr(info.Line) + ")";
            result = name;
            return;
        }
    }
    std::string className = env.ObjectClassName(target);
    if (!className.empty()) result = className;
}

// The integer of an immediate's text: an optional sign, then "$" and hexadecimal digits or
// decimal digits, within 32 bits; false when the text is no such number.
bool ParseImmediate(const std::string& text, uint32_t& value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const bool hex = i < text.size() && text[i] == '$';
    if (hex) ++i;
    if (i >= text.size()) return false;
    uint64_t v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return false;
        v = v * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
        if (v > 0xFFFFFFFFull) return false;
    }
    value = negative ? uint32_t(0) - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
    return true;
}

// A 4-byte immediate that may point at text: the text shown after it.
void AnnotateImmediate(void* param, uint32_t /*valueAddress*/, uint32_t operandSize,
                       bool /*isSigned*/, std::string& result) {
    if (operandSize != 4) return;
    uint32_t address = 0;
    if (!ParseImmediate(result, address)) return;
    const TMemoryReader& memory = static_cast<const TAsmViewEnvironment*>(param)->Memory();
    std::string chars;
    bool endedByZero = false;
    // One byte more than is shown: a double-byte character across the limit is left out whole.
    for (size_t i = 0; i <= kMaxImmediateText; ++i) {
        uint8_t b = 0;
        if (uint64_t(address) + i > 0xFFFFFFFFu ||
            !memory.ReadU8(address + static_cast<uint32_t>(i), b))
            break;
        if (b == 0) {
            endedByZero = i < kMaxImmediateText;
            break;
        }
        chars += b < 32 ? '.' : static_cast<char>(b);
    }
    if (chars.size() > kMaxImmediateText) chars.resize(AnsiPrefixLength(chars, kMaxImmediateText));
    // Nothing readable there: the number is no address.
    if (chars.empty() && !endedByZero && !memory.IsValid(address, 1)) return;
    result += "  ; '" + chars + "'";
    if (!endedByZero) result += "...";
}

// The instruction addresses from the synchronised start up to, but not including, the
// exception address: at most kMaxInstructionsBefore of them.
std::vector<uint32_t> InstructionsBefore(const TMemoryReader& memory, uint32_t exceptionAddress) {
    uint32_t first = exceptionAddress >= kCodeWindow ? exceptionAddress - kCodeWindow : 0;
    while (first < exceptionAddress && !memory.IsValid(first, 1)) ++first;
    std::vector<uint32_t> positions;
    for (uint32_t start = first; start <= exceptionAddress; ++start) {
        positions.clear();
        uint64_t at = start;
        while (at < exceptionAddress) {
            positions.push_back(static_cast<uint32_t>(at));
            at += DecodedSize(memory, static_cast<uint32_t>(at));
        }
        if (at == exceptionAddress) break;
    }
    if (positions.size() > kMaxInstructionsBefore)
        positions.erase(positions.begin(),
                        positions.end() - static_cast<std::ptrdiff_t>(kMaxInstructionsBefore));
    return positions;
}

// Pads the code part of every commented line to one column.
void AlignComments(std::vector<std::string>& lines) {
    size_t width = 0;
    for (const std::string& line : lines)
        width = std::max(width, Trim(std::string_view(line).substr(0, line.find(';'))).size());
    width += 2;
    for (std::string& line : lines) {
        const size_t semicolon = line.find(';');
        // Lines that are comments as a whole stay at the left margin.
        if (semicolon == std::string::npos || semicolon == 0 || semicolon >= width) continue;
        line.insert(semicolon, width - semicolon, ' ');
    }
}

} // namespace

namespace {

class TProcessAsmViewEnvironment final : public TAsmViewEnvironment {
public:
    const TMemoryReader& Memory() const override { return ProcessMemory(); }
    void GetDebugInfoByAddr(uint32_t address, TCrashDebugInfo& info) const override {
        crash::GetDebugInfoByAddr(address, 0, info, false, false);
    }
    std::string ObjectClassName(uint32_t address) const override {
        return GetValidObjectClassName(
            reinterpret_cast<const void*>(static_cast<uintptr_t>(address)));
    }
};

} // namespace

const TAsmViewEnvironment& ProcessAsmViewEnvironment() {
    static const TProcessAsmViewEnvironment env;
    return env;
}

std::string BuildAssemblerView(uint32_t exceptionAddress, std::string& asmTitle,
                               const TCrashModuleOptions& options, const TAsmViewEnvironment& env) {
    if (!options.LogOptions().Contains(loSaveAssemblerAndCPUSections)) return {};
    const TMemoryReader& memory = env.Memory();
    if (!memory.IsValid(exceptionAddress, 4)) return {};

    std::vector<uint32_t> positions = InstructionsBefore(memory, exceptionAddress);
    positions.push_back(exceptionAddress);
    uint32_t last = exceptionAddress <= 0xFFFFFFFFu - kCodeWindow ? exceptionAddress + kCodeWindow
                                                                  : 0xFFFFFFFFu;
    while (last > exceptionAddress && !memory.IsValid(last, 1)) --last;

    TDisAsm disasm;
    disasm.Param = const_cast<TAsmViewEnvironment*>(&env);
    disasm.OnCallInstr = NameTarget;
    disasm.OnJumpInstr = NameTarget;
    disasm.OnAddressRef = NameTarget;
    disasm.OnImmidiateData = AnnotateImmediate;

    std::vector<std::string> lines;
    std::string lastName, lastLineText;
    size_t procedureStart = 0;
    int after = 0;
    size_t index = 0;
    uint64_t address = positions.front();
    while (address <= last) {
        const uint32_t at = static_cast<uint32_t>(address);
        uint8_t code[kMaxInstructionBytes];
        const size_t available = ReadAvailable(memory, at, code, sizeof code);
        if (available == 0) break;
        uint32_t size = 0;
        std::string line = Hex8(at) + "  " + disasm.GetInstruction(code, available, at, size);
        if (at == exceptionAddress) line += "  ; <-- EXCEPTION";

        TCrashDebugInfo info;
        env.GetDebugInfoByAddr(at, info);
        if (ShowsLocation(info)) {
            const std::string name = LocationName(info) + " ";
            const std::string lineText =
                "Line=" + IntToStr(info.Line) + " - Offset=" + IntToStr(info.ProcOffsetLine);
            std::string comment;
            if (name != lastName) {
                comment = name;
                if (at <= exceptionAddress) procedureStart = lines.size();
            }
            if (lineText != lastLineText)
                comment = comment.empty() ? lineText : comment + "(" + lineText + ")";
            lastName = name;
            lastLineText = lineText;
            if (!comment.empty()) {
                if (!lines.empty()) lines.emplace_back(";");
                lines.push_back("; " + comment);
                lines.push_back("; " + std::string(comment.size(), '-'));
            }
        }
        lines.push_back(std::move(line));

        if (at > exceptionAddress) {
            ++after;
            // A return or far return ends the procedure.
            if (after >= kMaxInstructionsAfter || (code[0] >= 0xC2 && code[0] <= 0xCB)) break;
        }
        // Up to the exception address the synchronised steps; after it the disassembler's.
        if (++index < positions.size())
            address = positions[index];
        else
            address += std::max<uint32_t>(size, 1);
    }

    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(procedureStart));
    if (!lines.empty() && lines.front() == ";") lines.erase(lines.begin());
    AlignComments(lines);

    std::string text;
    size_t longest = 0;
    for (const std::string& line : lines) {
        longest = std::max(longest, line.size());
        text += line + kLineBreak;
    }
    const std::string header = options.GetCustomizedExpandedTexts(mtDialog_AsmHeader);
    asmTitle = header + ":" + kLineBreak + std::string(std::max(header.size() + 1, longest), '-');
    return text;
}

std::string FormatContextRegister(uint32_t context, TContextRegister reg,
                                  const TMemoryReader& memory) {
    // Offsets in the i386 CONTEXT record.
    static constexpr uint32_t kOffsets[] = {0xB0, 0x9C, 0xA4, 0xA0, 0xAC, 0xC4, 0xA8, 0xB8};
    uint32_t value = 0;
    if (context == 0 || reg >= std::size(kOffsets) || !memory.IsValid(context, kContextReadSize) ||
        !memory.ReadU32(context + kOffsets[reg], value))
        return kUnknownRegister;
    return Hex8(value);
}

std::string FormatStackTitle(const TCrashModuleOptions& options) {
    std::string title = options.GetCustomizedExpandedTexts(mtCPU_Stack) + ":";
    if (title.size() < kStackTitleWidth) title.resize(kStackTitleWidth, ' ');
    return title;
}

std::string FormatStackAndMemoryDump(uint32_t stackPointer, uint32_t address,
                                     const TMemoryReader& memory) {
    if (!memory.IsValid(stackPointer, kStackBytes) || !memory.IsValid(address, kMemoryBytes))
        return {};
    uint8_t stack[kStackBytes];
    uint8_t bytes[kMemoryBytes];
    // Either may have gone away since the test.
    if (!memory.Read(stackPointer, stack, kStackBytes) ||
        !memory.Read(address, bytes, kMemoryBytes))
        return {};
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (uint32_t k = 0; k < kDumpLines; ++k) {
        const uint8_t* w = stack + 4 * k;
        const uint32_t word =
            uint32_t(w[0]) | uint32_t(w[1]) << 8 | uint32_t(w[2]) << 16 | uint32_t(w[3]) << 24;
        text += Hex8(stackPointer + 4 * k) + ": " + Hex8(word) + "   ";
        text += Hex8(address + 16 * k) + ": ";
        const uint8_t* row = bytes + 16 * k;
        for (int i = 0; i < 16; ++i) {
            text += kDigits[row[i] >> 4];
            text += kDigits[row[i] & 15];
            text += ' ';
        }
        text += ' ';
        for (int i = 0; i < 16; ++i)
            text += row[i] < 32 || row[i] > 126 ? '.' : static_cast<char>(row[i]);
        text += kLineBreak;
    }
    return text;
}

std::string BuildCPUView(uint32_t context, uint32_t stackPointer, uint32_t exceptionAddress,
                         const TCrashModuleOptions& options, const TMemoryReader& memory) {
    if (!options.LogOptions().Contains(loSaveAssemblerAndCPUSections)) return {};
    auto reg = [&](TContextRegister r) { return FormatContextRegister(context, r, memory); };
    std::string text = options.GetCustomizedExpandedTexts(mtCPU_Registers) + ":" + kLineBreak;
    text += std::string(29, '-') + kLineBreak;
    text += "EAX: " + reg(crEAX) + "   EDI: " + reg(crEDI) + kLineBreak;
    text += "EBX: " + reg(crEBX) + "   ESI: " + reg(crESI) + kLineBreak;
    text += "ECX: " + reg(crECX) + "   ESP: " + reg(crESP) + kLineBreak;
    text += "EDX: " + reg(crEDX) + "   EIP: " + reg(crEIP) + kLineBreak;
    text += kLineBreak;
    text += FormatStackTitle(options) + options.GetCustomizedExpandedTexts(mtCPU_MemoryDump) + ":" +
            kLineBreak;
    text += std::string(18, '-') + "   " + std::string(75, '-') + kLineBreak;
    text += FormatStackAndMemoryDump(stackPointer, exceptionAddress, memory);
    return text;
}

} // namespace kv::crash
