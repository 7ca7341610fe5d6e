#pragma once
// An INI file held in memory, in place of the class library's TMemIniFile: read whole, changed
// in memory, written back whole. Section and key names match without regard to letter case
// (kv::SameText); sections and keys keep their file order, new ones go to the end. Interface
// thread; one object per file.
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class TMemIniFile {
public:
    // Reads the file: a byte-order mark (UTF-8, UTF-16 LE or BE) decides its decoding, else it
    // is text in the system's ANSI code page. A missing file reads as empty. A file that exists
    // but cannot be read raises kv::EFileError.
    explicit TMemIniFile(std::u16string fileName);

    const std::u16string& FileName() const { return fileName_; }

    // The value, or def when the key is missing.
    std::u16string ReadString(std::u16string_view section, std::u16string_view key,
                              std::u16string_view def) const;
    // The value as a whole decimal integer, or def when it is missing or not one.
    int ReadInteger(std::u16string_view section, std::u16string_view key, int def) const;
    // The value read as an integer, true when it is not 0; def when it is missing or no number.
    bool ReadBool(std::u16string_view section, std::u16string_view key, bool def) const;

    void WriteString(std::u16string_view section, std::u16string_view key,
                     std::u16string_view value);
    void WriteInteger(std::u16string_view section, std::u16string_view key, int value);
    // Written as "1" or "0".
    void WriteBool(std::u16string_view section, std::u16string_view key, bool value);

    bool SectionExists(std::u16string_view section) const;
    bool ValueExists(std::u16string_view section, std::u16string_view key) const;
    std::vector<std::u16string> ReadSections() const;
    // The key names of a section in file order; empty for a missing section.
    std::vector<std::u16string> ReadSection(std::u16string_view section) const;
    void EraseSection(std::u16string_view section);
    void DeleteKey(std::u16string_view section, std::u16string_view key);
    // Erases every section and key.
    void Clear() { sections_.clear(); }

    // The content as INI text: per section a "[name]" line, its "key=value" lines and an empty
    // line, every line ended by CR LF.
    std::u16string GetText() const;
    // Replaces the content by the parsed text. Lines are trimmed of blanks (U+0000..U+0020);
    // empty lines, ";" comments, lines without "=" and keys before the first section are
    // dropped; name and value are trimmed around the first "="; a repeated section continues
    // the first one and a repeated key in a section is dropped.
    void SetText(std::u16string_view text);

    // Writes the whole content to the file, replacing it: in the system's ANSI code page
    // without byte-order mark when that code page holds every character, else in UTF-8 with its
    // byte-order mark (so no character is lost). Raises kv::EFileError when the file cannot be
    // created or written.
    void UpdateFile() const;

private:
    struct Entry {
        std::u16string key;
        std::u16string value;
    };
    struct Section {
        std::u16string name;
        std::vector<Entry> entries;
    };

    const Section* FindSection(std::u16string_view name) const;
    Section* FindSection(std::u16string_view name);
    const Entry* FindEntry(std::u16string_view section, std::u16string_view key) const;

    std::u16string fileName_;
    std::vector<Section> sections_;
};

} // namespace kv
