#include "crash/report/ClLogManager.h"

#include <algorithm>
#include <vector>

#include "crash/report/ClLogXML.h"
#include "crash/report/ClReportText.h"
#include "crash/report/ClXMLBuilder.h"

namespace kv::crash {

TLogTexts* CurrentLogTexts = nullptr;

namespace {

constexpr std::string_view kCrLf = "\r\n";

std::vector<std::string> SplitLines(std::string_view text) {
    const std::vector<std::string_view> views = SplitLogLines(text);
    return std::vector<std::string>(views.begin(), views.end());
}

// A block's title: the first line of a block (the text's first line or one after an empty
// line) whose first colon is its last character. Only block starts count, so a continuation
// line of a value that happens to end in a colon is never taken for a title.
bool IsTitleLine(const std::vector<std::string>& lines, size_t i) {
    if (i > 0 && !lines[i - 1].empty()) return false;
    const std::string& s = lines[i];
    const size_t colon = s.find(':');
    return colon != std::string::npos && colon + 1 == s.size();
}

// Removes blocks without item lines: title, rule and the empty line that follows them (as many
// of the three as there are). When the removed block was the last one, the empty line before it
// stays: stored log files have it, and their readers expect the layout as it is.
void DropEmptyBlocks(std::vector<std::string>& lines) {
    size_t i = 0;
    while (i < lines.size()) {
        if (IsTitleLine(lines, i) && (i + 2 >= lines.size() || lines[i + 2].empty())) {
            const size_t n = std::min<size_t>(3, lines.size() - i);
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i),
                        lines.begin() + static_cast<std::ptrdiff_t>(i + n));
            continue;
        }
        ++i;
    }
}

// Aligns the values of the block titled at lines[title] and widens its rule line.
void LayOutBlock(std::vector<std::string>& lines, size_t title) {
    const size_t first = title + 2;
    size_t end = first;
    while (end < lines.size() && !lines[end].empty()) ++end;
    if (first >= end) return;

    size_t column = 0; // 0-based index of the widest first ": "
    bool found = false;
    for (size_t i = first; i < end; ++i) {
        const size_t p = lines[i].find(": ");
        if (p != std::string::npos) {
            column = found ? std::max(column, p) : p;
            found = true;
        }
    }
    if (found) {
        for (size_t i = first; i < end; ++i) {
            std::string& s = lines[i];
            const size_t p = s.find(": ");
            if (p == std::string::npos) {
                s.insert(0, column + 1, ' '); // continuation: its text into the value column
            } else if (p < column) {
                s.insert(p, column - p, ' ');
            }
        }
    }
    size_t width = 0;
    for (size_t i = first; i < end; ++i) width = std::max(width, lines[i].size());
    lines[title + 1].assign(width, '-');
}

std::string JoinLines(const std::vector<std::string>& lines, bool finalBreak) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) out += kCrLf;
        out += lines[i];
    }
    if (finalBreak && !lines.empty()) out += kCrLf;
    return out;
}

void InsertBlock(TLogTexts& texts, const std::string& block) {
    const size_t general = texts.GeneralSectionText.size();
    const size_t at = general + kCrLf.size();
    texts.LogText.insert(std::min(at, texts.LogText.size()), block);
    if (texts.RecordLogText) {
        texts.RecordLogText->insert(std::min(at, texts.RecordLogText->size()), block);
    }
    texts.TextToSend = texts.LogText;
    texts.GeneralSectionText = texts.LogText.substr(0, general + block.size());
}

} // namespace

// ---- TLogItem ----

TLogItem::TLogItem(int32_t AFirstHeader) : FFirstHeader(AFirstHeader) {
    Clear();
}

void TLogItem::Clear() {
    FString.clear();
    FHeaderNo = FFirstHeader;
    FItemNo = 0;
}

void TLogItem::AddHeader(const std::string& AHeader) {
    ++FHeaderNo;
    FItemNo = 0;
    if (!FString.empty()) FString += "\r\n\r\n";
    FString += AHeader;
    FString += ":\r\n-";
}

void TLogItem::AddItem(const std::string& AItem, const std::string& AValue, bool Add) {
    ++FItemNo;
    if (!Add) return;
    const std::string prefix =
        "  " + IntToStr(FHeaderNo) + "." + IntToStr(FItemNo) + " " + AItem + ": ";
    const std::string value = NormalizeLineBreaks(AValue);
    FString += kCrLf;
    FString += prefix;
    if (value.find(kCrLf) == std::string::npos) {
        FString += value;
        return;
    }
    std::vector<std::string> lines = SplitLines(QuickStringReplace(value, ": ", ":_"));
    for (size_t i = 0; i < lines.size(); ++i) {
        if (Trim(lines[i]).empty()) lines[i] = ".";
        if (i > 0) lines[i].insert(0, 1, ' ');
    }
    FString += JoinLines(lines, false);
}

std::string TLogItem::GetString() const {
    std::vector<std::string> lines = SplitLines(FString);
    DropEmptyBlocks(lines);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (IsTitleLine(lines, i) && i + 1 < lines.size()) LayOutBlock(lines, i);
    }
    return JoinLines(lines, true);
}

// ---- Line breaks ----

std::vector<std::string_view> SplitLogLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t brk = text.find(kCrLf, start);
        if (brk == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, brk - start));
        start = brk + kCrLf.size();
    }
    return lines;
}

bool HasLoneLineBreak(std::string_view Text) {
    for (size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '\r') {
            if (i + 1 >= Text.size() || Text[i + 1] != '\n') return true;
            ++i; // the LF of this CR LF
        } else if (Text[i] == '\n') {
            return true;
        }
    }
    return false;
}

std::string NormalizeLineBreaks(std::string_view Text) {
    if (!HasLoneLineBreak(Text)) return std::string(Text);
    std::string out;
    out.reserve(Text.size() + Text.size() / 8 + 2);
    for (size_t i = 0; i < Text.size(); ++i) {
        const char c = Text[i];
        if (c == '\r') {
            out += kCrLf;
            if (i + 1 < Text.size() && Text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += kCrLf;
        } else {
            out += c;
        }
    }
    return out;
}

// ---- Extra blocks of a finished log text ----

void InsertLogSection(TLogTexts& texts, int32_t AFirstHeader, const std::string& Header,
                      const std::string& Text) {
    if (Text.empty()) return;
    TLogItem item(AFirstHeader);
    item.AddHeader(Header);
    item.AddItem("", Text, true);
    InsertBlock(texts, item.GetString() + "\r\n");
}

void InsertLogSection(int32_t AFirstHeader, const std::string& Header, const std::string& Text) {
    if (CurrentLogTexts) InsertLogSection(*CurrentLogTexts, AFirstHeader, Header, Text);
}

void InsertLogValuesSection(TLogTexts& texts, int32_t AFirstHeader, const std::string& Header,
                            const TStrings& Values) {
    if (Values.empty()) return;
    TLogItem item(AFirstHeader);
    item.AddHeader(Header);
    for (const std::string& entry : Values) {
        // Each entry shows its own value, also when a name repeats; an entry without "=" is
        // shown whole as a value without label rather than lost.
        const size_t eq = entry.find('=');
        if (eq == std::string::npos) {
            item.AddItem("", Trim(entry), true);
        } else {
            item.AddItem(Trim(std::string_view(entry).substr(0, eq)),
                         Trim(std::string_view(entry).substr(eq + 1)), true);
        }
    }
    InsertBlock(texts, item.GetString() + "\r\n");
}

void InsertLogValuesSection(int32_t AFirstHeader, const std::string& Header,
                            const TStrings& Values) {
    if (CurrentLogTexts) InsertLogValuesSection(*CurrentLogTexts, AFirstHeader, Header, Values);
}

} // namespace kv::crash

namespace kv::crash {

namespace {

constexpr std::string_view kReportEnd = "\r\n\r\n\r\n";
constexpr std::string_view kSeparator = "\r\n\r\n\r\n\r\n";
constexpr std::string_view kTableHeader = "-\r\n|";

// Where the value of item ID starts in a report (two characters after the first ": " after the
// item's number), and where the item's line starts; npos when the item is not there.
struct TItemPlace {
    size_t Line = std::string::npos;  // the CR LF before the item's line
    size_t Value = std::string::npos; // first character of the value
    size_t End = std::string::npos;   // end of the value's last line (before its CR LF)
};

TItemPlace FindItemPlace(const std::string& report, const std::string& id) {
    TItemPlace place;
    const size_t line = report.find("\r\n  " + id + " ");
    if (line == std::string::npos) return place;
    const size_t lineEnd = std::min(report.find("\r\n", line + 2), report.size());
    const size_t colon = report.find(": ", line + 2);
    if (colon == std::string::npos || colon > lineEnd) {
        // An item line always holds ": "; without it the value is empty at the line's end.
        place.Line = line;
        place.Value = place.End = lineEnd;
        return place;
    }
    place.Line = line;
    place.Value = colon + 2;
    size_t end = lineEnd;
    // The value goes on over continuation lines: neither empty nor item lines (an item line
    // starts with two blanks and its fourth character is not a blank).
    while (end + 2 < report.size()) {
        const size_t next = end + 2;
        const size_t nextEnd = std::min(report.find("\r\n", next), report.size());
        if (nextEnd == next) break;
        const std::string_view l(report.data() + next, nextEnd - next);
        if (l.size() >= 4 && l[0] == ' ' && l[1] == ' ' && l[3] != ' ') break;
        end = nextEnd;
    }
    place.End = std::max(end, place.Value);
    return place;
}

// The value as stored: continuation lines start in the value column.
std::string StoredValue(const std::string& value, size_t column) {
    const std::string v = NormalizeLineBreaks(value);
    if (v.find("\r\n") == std::string::npos) return v;
    std::vector<std::string> lines = SplitLines(QuickStringReplace(v, ": ", ":_"));
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (Trim(lines[i]).empty()) lines[i] = ".";
        if (i > 0) out += "\r\n" + std::string(column, ' ') + " ";
        out += lines[i];
    }
    return out;
}

} // namespace

TLogFile::TLogFile(const std::string& FileName, bool ReadOnly) : FFileName(FileName) {
    if (FFileName.empty()) return;
    GetWorkingFile(FFileName, false, ReadOnly);
    if (!FileExists(FFileName)) return;
    FStream = detail::TSharedFile::Open(FFileName, ReadOnly);
    kv::TMemoryStream data(FStream->ReadAll());
    LoadFromStream(data);
}

TLogFile::~TLogFile() = default;

void TLogFile::LoadFromStream(kv::TStream& Stream) {
    const int64_t size = Stream.GetSize() - Stream.GetPosition();
    if (size < 8) return;
    std::string text(static_cast<size_t>(size), '\0');
    text.resize(Stream.Read(text.data(), text.size()));
    if (text.size() < 8) return;
    if (text.size() < kSeparator.size() ||
        text.compare(text.size() - kSeparator.size(), kSeparator.size(), kSeparator) != 0)
        text += kSeparator;
    ParseBuffer(text);
}

void TLogFile::ParseBuffer(std::string_view Text) {
    const std::string text = NormalizeLineBreaks(Text);
    size_t at = 0;
    for (;;) {
        while (at < text.size() && (text[at] == '\r' || text[at] == '\n')) ++at;
        const size_t run = text.find(kSeparator, at);
        if (run == std::string::npos) break;
        // The run of four starts with the log text's own final line break, which stays with
        // the report, so a report reads back exactly as it was appended.
        std::string report = text.substr(at, run - at);
        report += "\r\n";
        report += kReportEnd;
        if (report.find(kTableHeader) != std::string::npos) FList.push_back(std::move(report));
        at = run + kSeparator.size();
    }
}

std::string TLogFile::GetText() const {
    std::string text;
    for (const std::string& r : FList) {
        text += r;
        text += "\r\n";
    }
    return text;
}

void TLogFile::SaveToStream(kv::TStream& Stream) const {
    const std::string text = GetText();
    if (text.empty()) return;
    size_t n = text.size();
    if (n >= 10 && text.compare(n - 10, 2, "\r\n") == 0) n -= 2;
    Stream.WriteBuffer(text.data(), n);
}

void TLogFile::Save() {
    kv::TMemoryStream data;
    SaveToStream(data);
    if (!FStream) FStream = detail::TSharedFile::Create(FFileName);
    FStream->Rewrite(data.Data());
}

void TLogFile::Append(const std::string& Log, int32_t MaxNum) {
    if (MaxNum != -1 && GetCount() >= MaxNum) {
        const size_t drop = static_cast<size_t>(GetCount() - std::max(MaxNum, 1) + 1);
        FList.erase(FList.begin(), FList.begin() + static_cast<std::ptrdiff_t>(drop));
    }
    FList.push_back(Log + std::string(kReportEnd));
}

void TLogFile::DeleteItem(int32_t ItemNumber) {
    if (ItemNumber >= 0 && ItemNumber < GetCount()) FList.erase(FList.begin() + ItemNumber);
}

void TLogFile::Clear() {
    FList.clear();
}

std::string TLogFile::GetItem(int32_t ItemNumber) const {
    return ItemNumber >= 0 && ItemNumber < GetCount() ? FList[static_cast<size_t>(ItemNumber)]
                                                      : std::string();
}

std::string TLogFile::GetItemValue(const std::string& ID, int32_t ItemNumber) const {
    if (ItemNumber < 0 || ItemNumber >= GetCount()) return std::string();
    const std::string& report = FList[static_cast<size_t>(ItemNumber)];
    const TItemPlace place = FindItemPlace(report, ID);
    if (place.Value == std::string::npos) return std::string();
    // Lines of the value with their indentation dropped; a line that is only "." stood for an
    // empty line. (A full stop that ends a line is the text's own and stays.)
    std::vector<std::string> lines;
    size_t at = place.Value;
    while (at <= place.End) {
        const size_t end = std::min(report.find("\r\n", at), place.End);
        std::string line = report.substr(at, end - at);
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        if (!lines.empty())
            line.erase(0, line.find_first_not_of(' ') == std::string::npos
                              ? line.size()
                              : line.find_first_not_of(' '));
        lines.push_back(line == "." ? std::string() : line);
        if (end >= place.End) break;
        at = end + 2;
    }
    std::string value = JoinLines(lines, false);
    return Trim(QuickStringReplace(value, ":_", ": "));
}

void TLogFile::SetItemValue(const std::string& ID, const std::string& Value,
                            const std::string& Caption, int32_t ItemNumber) {
    if (ItemNumber < 0 || ItemNumber >= GetCount()) return;
    std::string& report = FList[static_cast<size_t>(ItemNumber)];
    const TItemPlace place = FindItemPlace(report, ID);
    if (place.Value != std::string::npos) {
        report.replace(place.Value, place.End - place.Value, Value);
        if (report.size() < kReportEnd.size() ||
            report.compare(report.size() - kReportEnd.size(), kReportEnd.size(), kReportEnd) != 0)
            report += "\r\n";
        return;
    }
    const size_t dot = ID.find('.');
    if (dot == std::string::npos) return;
    const std::string prefix = ID.substr(0, dot + 1);
    TItemPlace last;
    for (int k = 19; k >= 1 && last.Line == std::string::npos; --k)
        last = FindItemPlace(report, prefix + std::to_string(k));
    if (last.Line == std::string::npos) return;
    // The labels' width: from the item's number to its ": ".
    const size_t numberAt = last.Line + 4;
    const size_t colon = last.Value >= 2 ? last.Value - 2 : numberAt;
    const size_t width = colon > numberAt ? colon - numberAt : 0;
    const std::string line = "  " + PadWithSpaces(ID + " " + Caption, width) + ": " + Value;
    report.insert(last.End, "\r\n" + line);
}

int32_t TLogFile::FindItem(const std::vector<std::string>& IDs,
                           const std::vector<std::string>& Values) const {
    int32_t found = -1;
    for (size_t r = 0; r < FList.size(); ++r) {
        const std::string& report = FList[r];
        for (size_t k = 0; k < IDs.size() && k < Values.size(); ++k) {
            const TItemPlace place = FindItemPlace(report, IDs[k]);
            if (place.Value == std::string::npos) continue;
            const size_t lineStart = place.Line + 2;
            const std::string stored = StoredValue(Values[k], place.Value - lineStart - 1);
            if (report.compare(place.Value, stored.size(), stored) == 0 &&
                place.Value + stored.size() <= report.size()) {
                found = static_cast<int32_t>(r);
                break;
            }
        }
    }
    return found;
}

std::string TLogFile::GetLogVersion(int32_t ItemNumber) const {
    return kv::crash::GetLogVersion(GetItem(ItemNumber));
}

bool TLogFile::GetCorruptedLog(int32_t ItemNumber) const {
    const std::string report = GetItem(ItemNumber);
    if (report.compare(0, 8, "CrashLog") != 0) return true;
    for (const char* id : {"2.2", "2.5", "2.6", "2.7"})
        if (!GetItemValue(id, ItemNumber).empty()) return false;
    return true;
}

} // namespace kv::crash

namespace kv::crash {

std::string TLogFile::GetXML() const {
    return kv::crash::GetXML(FList, FPassword);
}

void TLogFile::SaveXMLCopy(const std::string& FileName) const {
    SaveXMLTextToFile(FileName, GetXML());
}

} // namespace kv::crash
