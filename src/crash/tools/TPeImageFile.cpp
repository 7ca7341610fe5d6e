#include "crash/tools/TPeImageFile.h"

#include <algorithm>
#include <cstdlib>

#include "crash/debug/ClByteReader.h"

namespace kv::crash::tools {

namespace {
constexpr uint32_t kSectionCode = 0x00000020;
constexpr uint32_t kSectionExecute = 0x20000000;
constexpr uint16_t kMachineI386 = 0x14C;
constexpr uint16_t kOptionalMagic32 = 0x10B;
} // namespace

bool TPeImageFile::Load(std::string bytes, std::string& err) {
    bytes_ = std::move(bytes);
    sections_.clear();
    const std::string_view d(bytes_);
    uint32_t lfanew;
    uint16_t machine = 0, count = 0, optionalSize = 0, magic = 0;
    uint32_t symbols = 0, symbolCount = 0;
    if (d.size() < 64 || d.substr(0, 2) != "MZ" || !TByteReader::U32At(d, 60, lfanew) ||
        !TByteReader::U16At(d, size_t(lfanew) + 4, machine) ||
        d.substr(lfanew, 4) != std::string_view("PE\0\0", 4)) {
        err = "not a PE image";
        return false;
    }
    const size_t fileHeader = size_t(lfanew) + 4;
    TByteReader::U16At(d, fileHeader + 2, count);
    TByteReader::U32At(d, fileHeader + 8, symbols);
    TByteReader::U32At(d, fileHeader + 12, symbolCount);
    if (!TByteReader::U16At(d, fileHeader + 16, optionalSize) ||
        !TByteReader::U16At(d, fileHeader + 20, magic) || machine != kMachineI386 ||
        magic != kOptionalMagic32 || !TByteReader::U32At(d, fileHeader + 20 + 28, imageBase_)) {
        err = "not a 32-bit x86 PE image";
        return false;
    }
    // Long section names are "/n": offset n into the string table after the symbol table.
    const uint64_t strings = uint64_t(symbols) + uint64_t(symbolCount) * 18;
    const size_t table = fileHeader + 20 + optionalSize;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t h = table + 40 * size_t(i);
        if (h + 40 > d.size()) {
            err = "section table runs past the file";
            return false;
        }
        TPeFileSection s;
        s.Name.assign(d.data() + h, std::find(d.data() + h, d.data() + h + 8, '\0'));
        uint32_t flags = 0;
        TByteReader::U32At(d, h + 8, s.VirtualSize);
        TByteReader::U32At(d, h + 12, s.VirtualAddress);
        TByteReader::U32At(d, h + 16, s.RawSize);
        TByteReader::U32At(d, h + 20, s.RawOffset);
        TByteReader::U32At(d, h + 36, flags);
        s.Code = (flags & (kSectionCode | kSectionExecute)) != 0;
        if (s.Name.size() > 1 && s.Name[0] == '/' && symbols != 0) {
            const uint64_t at = strings + std::strtoul(s.Name.c_str() + 1, nullptr, 10);
            if (at < d.size()) {
                const size_t end = d.find('\0', static_cast<size_t>(at));
                s.Name.assign(d.substr(static_cast<size_t>(at),
                                       (end == std::string_view::npos ? d.size() : end) - at));
            }
        }
        sections_.push_back(std::move(s));
    }
    return true;
}

const TPeFileSection* TPeImageFile::Find(std::string_view name) const {
    for (const auto& s : sections_)
        if (s.Name == name) return &s;
    return nullptr;
}

std::string_view TPeImageFile::Contents(const TPeFileSection& s) const {
    if (s.RawOffset >= bytes_.size()) return {};
    // Debug sections carry their exact size as the virtual size; raw sizes are padded.
    uint32_t size = s.RawSize;
    if (s.VirtualSize != 0 && s.VirtualSize < size) size = s.VirtualSize;
    return std::string_view(bytes_).substr(s.RawOffset, size);
}

std::string_view TPeImageFile::Contents(std::string_view name) const {
    const TPeFileSection* s = Find(name);
    return s ? Contents(*s) : std::string_view();
}

bool TPeImageFile::InCode(uint64_t va) const {
    for (const auto& s : sections_)
        if (s.Code && va >= uint64_t(imageBase_) + s.VirtualAddress &&
            va < uint64_t(imageBase_) + s.VirtualAddress +
                     (s.VirtualSize ? s.VirtualSize : s.RawSize))
            return true;
    return false;
}

} // namespace kv::crash::tools
