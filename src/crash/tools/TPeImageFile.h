#pragma once
// A 32-bit PE image file as bytes: its image base, its sections (long names of object-style
// sections resolved through the COFF string table) and their contents. For the build's post-link
// tool; pure over the bytes, every header field checked against the file.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv::crash::tools {

struct TPeFileSection {
    std::string Name;
    uint32_t VirtualAddress = 0; // relative to the image base
    uint32_t VirtualSize = 0;
    uint32_t RawOffset = 0;
    uint32_t RawSize = 0;
    bool Code = false;
};

class TPeImageFile {
public:
    // False, with err set, when the bytes are no 32-bit PE image.
    bool Load(std::string bytes, std::string& err);

    uint32_t ImageBase() const { return imageBase_; }
    const std::vector<TPeFileSection>& Sections() const { return sections_; }
    const TPeFileSection* Find(std::string_view name) const;
    // The bytes a section holds in the file (empty when it has none or lies outside the file).
    std::string_view Contents(const TPeFileSection& section) const;
    std::string_view Contents(std::string_view name) const;
    // Whether a virtual address lies in an executable section.
    bool InCode(uint64_t va) const;
    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
    uint32_t imageBase_ = 0;
    std::vector<TPeFileSection> sections_;
};

} // namespace kv::crash::tools
