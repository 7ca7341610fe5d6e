#include "crash/report/ClReportRender.h"

#include <algorithm>
#include <vector>

#include "crash/core/ClCore.h"
#include "crash/core/ClCorePlatform.h"
#include "crash/core/ClLang.h"

namespace kv::crash {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kPar = "\\par";
constexpr size_t kNone = std::string_view::npos;

// 1 first line of the general section, 2 labels and plain text, 3 titles and rules, 4 values,
// 5 item numbers and addresses, 6 assembler comments, 7 assembler operands.
constexpr std::string_view kColorTable =
    R"({\colortbl ;\red0\green100\blue100;\red0\green0\blue0;\red40\green40\blue40;)"
    R"(\red0\green0\blue160;\red160\green0\blue0;\red80\green80\blue80;\red0\green100\blue0;})";

// Whether s[i] and s[i + 1] form one double-byte character.
bool StartsDoubleByte(std::string_view s, size_t i) {
    return AnsiCharSize(s, i) == 2;
}

bool IsRTFSpecial(char c) {
    return c == '\\' || c == '{' || c == '}';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

void AddHexEscape(std::string& out, unsigned char b) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\'";
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
}

int HexDigit(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Whether s[i] starts a hex escape ("\'95") of a lead byte.
bool IsLeadByteEscape(std::string_view s, size_t i) {
    if (i + 3 >= s.size() || s[i] != '\\' || s[i + 1] != '\'') return false;
    const int high = HexDigit(s[i + 2]), low = HexDigit(s[i + 3]);
    return high >= 0 && low >= 0 &&
           detail::IsAnsiLeadByte(static_cast<unsigned char>(high * 16 + low));
}

// Size of the element of escaped RTF at s[i]: a control word with its delimiting blank, a
// control symbol, a double-byte character (raw or as two hex escapes), a hex escape or a
// single byte.
size_t ElementSize(std::string_view s, size_t i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
        if (s[i + 1] == '\'') {
            const bool pair =
                IsLeadByteEscape(s, i) && i + 5 < s.size() && s[i + 4] == '\\' && s[i + 5] == '\'';
            return std::min<size_t>(pair ? 8 : 4, s.size() - i);
        }
        if (!IsLetter(s[i + 1])) return 2;
        size_t j = i + 1;
        while (j < s.size() && IsLetter(s[j])) ++j;
        if (j + 1 < s.size() && s[j] == '-' && IsDigit(s[j + 1])) ++j;
        while (j < s.size() && IsDigit(s[j])) ++j;
        if (j < s.size() && s[j] == ' ') ++j;
        return j - i;
    }
    // EscapeRTF leaves a lead byte raw before "\" only when it stands alone.
    if (StartsDoubleByte(s, i) && s[i + 1] != '\\') return 2;
    return 1;
}

// The first element boundary at or after index i (at most s.size()), so that an insertion
// never splits a character or an escape.
size_t ElementStart(std::string_view s, size_t i) {
    size_t at = 0;
    while (at < i && at < s.size()) at += ElementSize(s, at);
    return at;
}

// Index of the first element before end, starting at or after from, that is the character c
// itself (never a byte inside an escape or a double-byte character); kNone when there is none.
size_t FindElement(std::string_view s, char c, size_t from, size_t end) {
    end = std::min(end, s.size());
    for (size_t at = ElementStart(s, from); at < end; at += ElementSize(s, at))
        if (s[at] == c) return at;
    return kNone;
}

// One line of escaped text. Every line but the last ends in the "\par" that EscapeRTF put
// before its break; positions refer to the text before that mark and never reach into it.
struct TRTFLine {
    std::string Text;
    bool Par = false;

    size_t Body() const { return Text.size() - (Par ? kPar.size() : 0); }

    // Inserts s at the 1-based position, moved on to the next whole element; nothing when the
    // position lies past the end of the text.
    void Insert(size_t pos, std::string_view s) {
        if (pos == 0 || pos - 1 > Body()) return;
        Text.insert(std::min(ElementStart(Text, pos - 1), Body()), s);
    }

    // Replaces the three blanks at the 1-based position by s; nothing when they are not there.
    void ReplaceBlanks(size_t pos, std::string_view s) {
        if (pos == 0 || pos - 1 + 3 > Body() || ElementStart(Text, pos - 1) != pos - 1 ||
            Text.compare(pos - 1, 3, "   ") != 0)
            return;
        Text.replace(pos - 1, 3, s);
    }
};

std::vector<TRTFLine> SplitLines(std::string_view text) {
    std::vector<TRTFLine> lines;
    size_t start = 0;
    for (;;) {
        const size_t brk = text.find(kCrLf, start);
        if (brk == kNone) {
            lines.push_back({std::string(text.substr(start)), false});
            return lines;
        }
        lines.push_back({std::string(text.substr(start, brk - start)), true});
        start = brk + kCrLf.size();
    }
}

std::string Document(const TRTFFont& font, const std::vector<TRTFLine>& lines) {
    std::string out =
        R"({\rtf1\ansi\ansicpg1252\deff0\deflang1040{\fonttbl{\f0\fmodern\fprq1\fcharset)";
    out += IntToStr(font.CharSet);
    out += ' ';
    out += EscapeRTF(font.Name); // a double-byte name may hold a trail byte 0x5C
    out += ";}}";
    out += kCrLf;
    out += kColorTable;
    out += kCrLf;
    out += R"(\f0\fs)" + IntToStr(2 * static_cast<long long>(font.Size));
    out += kCrLf;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) out += kCrLf;
        out += lines[i].Text;
    }
    out += '}';
    return out;
}

// A block title: not indented, its first colon the last character before the paragraph mark.
bool IsTitleLine(const TRTFLine& line) {
    if (!line.Par || line.Text.empty() || line.Text[0] == ' ') return false;
    const size_t colon = FindElement(line.Text, ':', 0, line.Body());
    return colon != kNone && colon + 1 == line.Body();
}

// An item line ("  2.6 Message    : text"): number, label and value in colours 5, 2 and 4.
// Lines without ": " (continuations of a value) keep the value's colour.
void ColourItemLine(TRTFLine& line) {
    std::string& s = line.Text;
    const size_t body = line.Body();
    const size_t colon = FindElement(s, ':', 0, body);
    size_t separator = colon;
    while (separator != kNone && !(separator + 1 < body && s[separator + 1] == ' '))
        separator = FindElement(s, ':', separator + 1, body);
    if (separator == kNone) return;

    std::string head = s.substr(0, colon + 1);
    const size_t number = head.find_first_not_of(' ');
    const size_t blank = number == kNone ? kNone : FindElement(head, ' ', number, head.size());
    if (blank != kNone) head.insert(blank, R"(\cf2 )");
    s = R"(\cf5 )" + head + R"(\cf4 )" + s.substr(colon + 1);
}

} // namespace

TRTFFont UserRTFFont(const std::string& Name, int Size, int TabTwips) {
    return {Name, Size, UserCharSet(), TabTwips};
}

std::string EscapeRTF(std::string_view Text) {
    std::string out;
    out.reserve(Text.size() + Text.size() / 8 + 8);
    for (size_t i = 0; i < Text.size(); ++i) {
        const char c = Text[i];
        if (StartsDoubleByte(Text, i)) {
            // A trail byte "\", "{" or "}" would be read as RTF syntax, and escaping it alone
            // would split the character; hex escapes keep the pair whole.
            if (IsRTFSpecial(Text[i + 1])) {
                AddHexEscape(out, static_cast<unsigned char>(c));
                AddHexEscape(out, static_cast<unsigned char>(Text[i + 1]));
            } else {
                out.append(Text.substr(i, 2));
            }
            ++i;
        } else if (IsRTFSpecial(c)) {
            out += '\\';
            out += c;
        } else if (c == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') {
            out += kPar;
            out += kCrLf;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::string RenderGeneralRTF(std::string_view Text, const TRTFFont& Font) {
    std::vector<TRTFLine> lines = SplitLines(EscapeRTF(Text));
    for (size_t i = 0; i < lines.size(); ++i) {
        TRTFLine& line = lines[i];
        if (i == 0)
            line.Text = R"(\cf1\b )" + line.Text + R"(\b0)";
        else if (IsTitleLine(line))
            line.Text = R"(\cf3\b )" + line.Text + R"(\b0)";
        else if (!line.Text.empty() && line.Text[0] == '-')
            line.Text.insert(0, R"(\cf3 )");
        else
            ColourItemLine(line);
    }
    return Document(Font, lines);
}

std::string RenderAssemblerRTF(std::string_view Text, const TRTFFont& Font) {
    std::vector<TRTFLine> lines = SplitLines(EscapeRTF(Text));
    for (TRTFLine& line : lines) {
        // An instruction line: "0040100A  mov eax,..." with the address, the mnemonic (bold)
        // and the operands coloured.
        if (line.Text.empty() || line.Text[0] != ';') {
            line.Text.insert(0, R"(\cf5 )");
            line.Insert(15, R"(\cf4\b )");
            const size_t blank = FindElement(line.Text, ' ', 22, line.Body());
            if (blank != kNone)
                line.Text.insert(blank, R"(\b0\cf7 )");
            else
                line.Text += R"(\b0)";
        }
        const size_t semicolon = FindElement(line.Text, ';', 0, line.Body());
        if (semicolon != kNone) line.Text.insert(semicolon, R"(\cf6 )");
    }
    return Document(Font, lines);
}

std::string RenderCPURTF(std::string_view Text, const TRTFFont& Font) {
    constexpr std::string_view kValue = R"(\cf4 )";
    constexpr std::string_view kPlain = R"(\cf2 )";
    constexpr std::string_view kTab = R"(\tab )";
    std::vector<TRTFLine> lines = SplitLines(EscapeRTF(Text));
    for (size_t i = 0; i < lines.size(); ++i) {
        TRTFLine& line = lines[i];
        const size_t number = i + 1;
        if (number == 1) {
            line.Text = R"(\cf3\b )" + line.Text + R"(\cf2\b0)";
        } else if (number == 2) {
            line.Text = R"(\cf3 )" + line.Text + R"(\cf2)";
        } else if (number <= 6) {
            // "EAX: 0000000A   EDI: 000000D1": each insertion counts the ones before it.
            line.Insert(6, kValue);
            line.Insert(19, kPlain);
            line.Insert(32, kValue);
            line.Insert(45, kPlain);
        } else if (number == 8) {
            // The stack title fills the first 21 characters; the tab stop set here puts the
            // memory column under its title in this and all following lines.
            const size_t split = ElementStart(line.Text, std::min<size_t>(21, line.Body()));
            line.Text = R"(\pard\tx)" + IntToStr(Font.TabTwips) + R"(\cf3\b )" +
                        Trim(std::string_view(line.Text).substr(0, split)) + std::string(kTab) +
                        Trim(std::string_view(line.Text).substr(split)) + R"(\cf2\b0)";
        } else if (number == 9) {
            line.ReplaceBlanks(19, kTab);
            line.Text = R"(\cf3 )" + line.Text + R"(\cf2)";
        } else if (number >= 10) {
            // "0012FF00: 11110000   00800000: 50 51 ... 5F  PQ..."
            line.Insert(11, kValue);
            line.Insert(24, kPlain);
            line.ReplaceBlanks(29, kTab);
            line.Insert(44, kValue);
            line.Insert(96, R"(\cf5 )");
            line.Text += kPlain;
        }
    }
    return Document(Font, lines);
}

std::string EscapeHTML(std::string_view Text) {
    // Byte by byte: none of the replaced characters is ever a trail byte (those are 0x40 and
    // above), so no double-byte character is split.
    std::string out;
    out.reserve(Text.size() + Text.size() / 8 + 8);
    for (size_t i = 0; i < Text.size(); ++i) {
        const char c = Text[i];
        const bool next = i + 1 < Text.size();
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#039;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case ' ':
            if (next && Text[i + 1] == ' ') {
                out += "&nbsp;&nbsp;";
                ++i;
            } else {
                out += ' ';
            }
            break;
        case '\r':
            if (next && Text[i + 1] == '\n') {
                out += "<br>\r\n";
                ++i;
            } else {
                out += c;
            }
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string ChooseText(bool Flag, const std::string& A, const std::string& B) {
    return Flag ? A : B;
}

} // namespace kv::crash
