#include "crash/report/ClLogManager.h"

#include <algorithm>
#include <vector>

namespace kv::crash {

TLogTexts* CurrentLogTexts = nullptr;

namespace {

constexpr std::string_view kCrLf = "\r\n";

// Lines of a text whose breaks are all CR LF; a final break does not start another line.
std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t brk = text.find(kCrLf, start);
        if (brk == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, brk - start));
        start = brk + kCrLf.size();
    }
    return lines;
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

// Removes blocks without item lines: title, rule and the empty line that follows them. When
// the removed block was the last one, the empty line that separated it goes too, so the text
// never ends in an empty line.
void DropEmptyBlocks(std::vector<std::string>& lines) {
    size_t i = 0;
    while (i < lines.size()) {
        if (IsTitleLine(lines, i) && (i + 2 >= lines.size() || lines[i + 2].empty())) {
            const size_t n = std::min<size_t>(3, lines.size() - i);
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i),
                        lines.begin() + static_cast<std::ptrdiff_t>(i + n));
            if (i == lines.size() && i > 0 && lines[i - 1].empty()) {
                lines.pop_back();
                --i;
            }
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
