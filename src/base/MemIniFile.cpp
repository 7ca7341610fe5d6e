#include "base/MemIniFile.h"

#include <algorithm>

#include "base/CodePageConv.h"
#include "base/Exception.h"
#include "base/Stream.h"
#include "base/Text.h"

namespace kv {
namespace {

std::u16string_view Trim(std::u16string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] <= u' ') ++b;
    while (e > b && s[e - 1] <= u' ') --e;
    return s.substr(b, e - b);
}

std::u16string DecodeUtf16(const std::string& bytes, size_t start, bool bigEndian) {
    std::u16string out;
    out.reserve((bytes.size() - start) / 2);
    for (size_t i = start; i + 1 < bytes.size(); i += 2) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        out.push_back(static_cast<char16_t>(bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0)));
    }
    return out;
}

std::u16string Decode(const std::string& bytes) {
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return Utf8ToUtf16(std::string_view(bytes).substr(3));
    if (bytes.compare(0, 2, "\xFF\xFE") == 0) return DecodeUtf16(bytes, 2, false);
    if (bytes.compare(0, 2, "\xFE\xFF") == 0) return DecodeUtf16(bytes, 2, true);
    std::u16string text;
    if (!PlatformMultiByteToWide(0, 0, bytes.data(), bytes.size(), text)) {
        text.clear();
        for (const char c : bytes) text.push_back(static_cast<unsigned char>(c));
    }
    return text;
}

std::string ReadWholeFile(const std::u16string& path) {
    TFileStream stream(path);
    std::string bytes(static_cast<size_t>(stream.GetSize()), '\0');
    stream.ReadBuffer(bytes.data(), bytes.size());
    return bytes;
}

} // namespace

TMemIniFile::TMemIniFile(std::u16string fileName) : fileName_(std::move(fileName)) {
    if (FileExists(fileName_)) SetText(Decode(ReadWholeFile(fileName_)));
}

const TMemIniFile::Section* TMemIniFile::FindSection(std::u16string_view name) const {
    for (const Section& s : sections_)
        if (SameText(s.name, name)) return &s;
    return nullptr;
}

TMemIniFile::Section* TMemIniFile::FindSection(std::u16string_view name) {
    for (Section& s : sections_)
        if (SameText(s.name, name)) return &s;
    return nullptr;
}

const TMemIniFile::Entry* TMemIniFile::FindEntry(std::u16string_view section,
                                                 std::u16string_view key) const {
    const Section* s = FindSection(section);
    if (!s) return nullptr;
    for (const Entry& e : s->entries)
        if (SameText(e.key, key)) return &e;
    return nullptr;
}

std::u16string TMemIniFile::ReadString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view def) const {
    const Entry* e = FindEntry(section, key);
    return std::u16string(e ? std::u16string_view(e->value) : def);
}

int TMemIniFile::ReadInteger(std::u16string_view section, std::u16string_view key, int def) const {
    const Entry* e = FindEntry(section, key);
    return e ? StrToIntDef(e->value, def) : def;
}

bool TMemIniFile::ReadBool(std::u16string_view section, std::u16string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TMemIniFile::WriteString(std::u16string_view section, std::u16string_view key,
                              std::u16string_view value) {
    Section* s = FindSection(section);
    if (!s) {
        sections_.push_back({std::u16string(section), {}});
        s = &sections_.back();
    }
    for (Entry& e : s->entries) {
        if (SameText(e.key, key)) {
            e.value.assign(value);
            return;
        }
    }
    s->entries.push_back({std::u16string(key), std::u16string(value)});
}

void TMemIniFile::WriteInteger(std::u16string_view section, std::u16string_view key, int value) {
    WriteString(section, key, IntToStr(value));
}

void TMemIniFile::WriteBool(std::u16string_view section, std::u16string_view key, bool value) {
    WriteString(section, key, value ? u"1" : u"0");
}

bool TMemIniFile::SectionExists(std::u16string_view section) const {
    return FindSection(section) != nullptr;
}

bool TMemIniFile::ValueExists(std::u16string_view section, std::u16string_view key) const {
    return FindEntry(section, key) != nullptr;
}

std::vector<std::u16string> TMemIniFile::ReadSections() const {
    std::vector<std::u16string> names;
    for (const Section& s : sections_) names.push_back(s.name);
    return names;
}

std::vector<std::u16string> TMemIniFile::ReadSection(std::u16string_view section) const {
    std::vector<std::u16string> keys;
    if (const Section* s = FindSection(section))
        for (const Entry& e : s->entries) keys.push_back(e.key);
    return keys;
}

void TMemIniFile::EraseSection(std::u16string_view section) {
    std::erase_if(sections_, [&](const Section& s) { return SameText(s.name, section); });
}

void TMemIniFile::DeleteKey(std::u16string_view section, std::u16string_view key) {
    if (Section* s = FindSection(section))
        std::erase_if(s->entries, [&](const Entry& e) { return SameText(e.key, key); });
}

std::u16string TMemIniFile::GetText() const {
    std::u16string text;
    for (const Section& s : sections_) {
        text += u"[" + s.name + u"]\r\n";
        for (const Entry& e : s.entries) text += e.key + u"=" + e.value + u"\r\n";
        text += u"\r\n";
    }
    return text;
}

void TMemIniFile::SetText(std::u16string_view text) {
    sections_.clear();
    Section* current = nullptr;
    size_t p = 0;
    while (p < text.size()) {
        size_t end = text.find_first_of(u"\r\n", p);
        if (end == std::u16string_view::npos) end = text.size();
        const std::u16string_view line = Trim(text.substr(p, end - p));
        p = end;
        if (p < text.size() && text[p] == u'\r') ++p;
        if (p < text.size() && text[p] == u'\n') ++p;

        if (line.empty() || line[0] == u';') continue;
        if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
            const std::u16string_view name = Trim(line.substr(1, line.size() - 2));
            current = FindSection(name);
            if (!current) {
                sections_.push_back({std::u16string(name), {}});
                current = &sections_.back();
            }
            continue;
        }
        const size_t eq = line.find(u'=');
        if (!current || eq == std::u16string_view::npos) continue;
        const std::u16string_view key = Trim(line.substr(0, eq));
        const bool known = std::any_of(current->entries.begin(), current->entries.end(),
                                       [&](const Entry& e) { return SameText(e.key, key); });
        if (!known)
            current->entries.push_back(
                {std::u16string(key), std::u16string(Trim(line.substr(eq + 1)))});
    }
}

void TMemIniFile::UpdateFile() const {
    const std::u16string text = GetText();
    std::string bytes;
    if (!TryWideToAnsi(text, bytes)) bytes = "\xEF\xBB\xBF" + Utf16ToUtf8(text);
    const FileHandle file(FileCreate(fileName_));
    if (!file.valid()) throw EFileError(u"Cannot create file \"" + fileName_ + u"\"");
    if (FileWrite(file.get(), bytes.data(), bytes.size()) != static_cast<long long>(bytes.size()))
        throw EFileError(u"Cannot write file \"" + fileName_ + u"\"");
}

} // namespace kv
