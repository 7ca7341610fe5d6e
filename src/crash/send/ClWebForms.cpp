#include "crash/send/ClWebForms.h"

#include <algorithm>

namespace kv::crash {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char LowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerChar(x) == LowerChar(y);
           });
}

// Position of pattern in text at or after from, ASCII case ignored; npos when none.
size_t FindText(std::string_view text, std::string_view pattern, size_t from = 0) {
    if (pattern.empty()) return from <= text.size() ? from : std::string_view::npos;
    if (pattern.size() > text.size()) return std::string_view::npos;
    for (size_t i = from; i + pattern.size() <= text.size(); ++i)
        if (SameText(text.substr(i, pattern.size()), pattern)) return i;
    return std::string_view::npos;
}

// One element's opening tag: the text from "<" up to its ">" (or the page end when the tag is
// never closed) and the position after it.
struct TTag {
    std::string_view Text;
    size_t After = 0;
};

// The next element opened by opener (e.g. "<input ") at or after from. A quote opens a quoted
// run only where an attribute value starts, so a stray apostrophe cannot swallow the page.
std::optional<TTag> NextTag(std::string_view html, std::string_view opener, size_t from) {
    const size_t start = FindText(html, opener, from);
    if (start == std::string_view::npos) return std::nullopt;
    size_t i = start + opener.size();
    char lastSignificant = ' ';
    while (i < html.size() && html[i] != '>') {
        const char c = html[i];
        if ((c == '"' || c == '\'') && lastSignificant == '=') {
            const size_t close = html.find(c, i + 1);
            i = close == std::string_view::npos ? html.size() : close + 1;
            lastSignificant = c;
            continue;
        }
        if (!IsBlank(c)) lastSignificant = c;
        ++i;
    }
    TTag tag;
    tag.Text = html.substr(start, i - start);
    tag.After = i < html.size() ? i + 1 : html.size();
    return tag;
}

// The element's content from after its tag up to closer (or the page end).
std::string_view ContentUpTo(std::string_view html, const TTag& tag, std::string_view closer) {
    const size_t end = FindText(html, closer, tag.After);
    return html.substr(tag.After, (end == std::string_view::npos ? html.size() : end) - tag.After);
}

bool HasName(std::string_view tag, std::string_view name) {
    const auto value = GetHTMLAttribute(tag, "name");
    return value && SameText(*value, name);
}

// The first element of that kind whose name attribute is name.
std::optional<TTag> FindNamed(std::string_view html, std::string_view opener,
                              std::string_view name) {
    for (size_t from = 0;;) {
        const auto tag = NextTag(html, opener, from);
        if (!tag) return std::nullopt;
        if (HasName(tag->Text, name)) return tag;
        from = tag->After;
    }
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    return QuickStringReplace(text, from, to);
}

// "&#" decimal ";" to its character; the rest stays as it is.
std::string DecodeNumericReferences(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text.compare(i, 2, "&#") == 0) {
            size_t j = i + 2;
            unsigned code = 0;
            while (j < text.size() && j - i < 9 && text[j] >= '0' && text[j] <= '9')
                code = code * 10 + static_cast<unsigned>(text[j++] - '0');
            if (j > i + 2 && j < text.size() && text[j] == ';' && code > 0 && code <= 0xFFFF) {
                if (code < 0x80)
                    out += static_cast<char>(code);
                else
                    out += Utf16ToAnsi(std::u16string(1, static_cast<char16_t>(code)));
                i = j + 1;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

// Option text as compared with a title: every "&" up to the next blank removed, trimmed.
std::string OptionTitle(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '&') {
            while (i < text.size() && !IsBlank(text[i])) ++i;
        } else {
            out += text[i++];
        }
    }
    return Trim(out);
}

// Each option of a select body: its tag and its text (up to "</option>", the next option or the
// body's end). The next "</option>" is looked for again only once an option lies past it, so a
// body whose options are never closed is read in one sweep, not once per option.
template <typename Visit> void ForEachOption(std::string_view body, Visit visit) {
    size_t closer = 0; // the first "</option>" at or after the last place it was looked for
    bool closerFound = false;
    for (size_t from = 0;;) {
        const auto tag = NextTag(body, "<option", from);
        if (!tag) return;
        // "<option" followed by a blank or ">" only ("<optgroup" is not an option).
        const size_t nameEnd = tag->Text.size() > 7 ? 7 : tag->Text.size();
        if (tag->Text.size() > nameEnd && !IsBlank(tag->Text[nameEnd])) {
            from = tag->After;
            continue;
        }
        if (!closerFound || (closer != std::string_view::npos && closer < tag->After)) {
            closer = FindText(body, "</option>", tag->After);
            closerFound = true;
        }
        size_t end = closer;
        const size_t next = FindText(body, "<option", tag->After);
        if (end == std::string_view::npos || (next != std::string_view::npos && next < end))
            end = next == std::string_view::npos ? body.size() : next;
        if (!visit(tag->Text, body.substr(tag->After, end - tag->After))) return;
        from = tag->After;
    }
}

} // namespace

std::string DecodeHTMLReferences(std::string_view text) {
    std::string s(text);
    s = ReplaceAll(std::move(s), "&amp;", "&");
    s = ReplaceAll(std::move(s), "&quot;", "\"");
    s = ReplaceAll(std::move(s), "&lt;", "<");
    s = ReplaceAll(std::move(s), "&gt;", ">");
    s = ReplaceAll(std::move(s), "&nbsp;", " ");
    s = ReplaceAll(std::move(s), "&apos;", "'");
    return DecodeNumericReferences(s);
}

std::optional<std::string> GetHTMLAttribute(std::string_view tag, std::string_view name) {
    size_t i = 0;
    // Skip "<" and the element name.
    if (i < tag.size() && tag[i] == '<') ++i;
    while (i < tag.size() && !IsBlank(tag[i])) ++i;
    while (i < tag.size()) {
        while (i < tag.size() && (IsBlank(tag[i]) || tag[i] == '/')) ++i;
        const size_t nameStart = i;
        while (i < tag.size() && !IsBlank(tag[i]) && tag[i] != '=') ++i;
        std::string_view attr = tag.substr(nameStart, i - nameStart);
        while (!attr.empty() && attr.back() == '/') attr.remove_suffix(1);
        size_t j = i;
        while (j < tag.size() && IsBlank(tag[j])) ++j;
        std::optional<std::string_view> raw;
        if (j < tag.size() && tag[j] == '=') {
            ++j;
            while (j < tag.size() && IsBlank(tag[j])) ++j;
            const size_t valueStart = j;
            if (j < tag.size() && (tag[j] == '"' || tag[j] == '\'')) {
                const size_t close = tag.find(tag[j], j + 1);
                j = close == std::string_view::npos ? tag.size() : close + 1;
            } else {
                while (j < tag.size() && !IsBlank(tag[j])) ++j;
                // "/>" ends an unquoted value; a "/" inside it does not.
                if (j == tag.size() && j > valueStart && tag[j - 1] == '/') --j;
            }
            raw = tag.substr(valueStart, j - valueStart);
            i = j;
        }
        if (!attr.empty() && SameText(attr, name)) {
            if (!raw) return std::string();
            std::string_view v = *raw;
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.substr(1, v.size() - 2);
            else if (!v.empty() && (v.front() == '"' || v.front() == '\''))
                v = v.substr(1); // quote never closed: the rest of the tag
            return DecodeHTMLReferences(v);
        }
        if (attr.empty() && !raw) ++i; // a lone "=" or similar: move on
    }
    return std::nullopt;
}

std::string FindInputValue(std::string_view html, std::string_view name) {
    for (size_t from = 0;;) {
        const auto tag = NextTag(html, "<input ", from);
        if (!tag) return {};
        if (HasName(tag->Text, name)) {
            const auto value = GetHTMLAttribute(tag->Text, "value");
            if (value && !value->empty()) return *value;
        }
        from = tag->After;
    }
}

std::optional<std::string> FindFirstInputValue(std::string_view html, std::string_view name) {
    const auto tag = FindNamed(html, "<input ", name);
    if (!tag) return std::nullopt;
    return GetHTMLAttribute(tag->Text, "value").value_or(std::string());
}

std::optional<std::string> FindTextAreaText(std::string_view html, std::string_view name) {
    const auto tag = FindNamed(html, "<textarea ", name);
    if (!tag) return std::nullopt;
    return Trim(DecodeHTMLReferences(ContentUpTo(html, *tag, "</textarea>")));
}

std::optional<std::string_view> FindSelectBody(std::string_view html, std::string_view name) {
    const auto tag = FindNamed(html, "<select ", name);
    if (!tag) return std::nullopt;
    return ContentUpTo(html, *tag, "</select>");
}

std::string SelectedOptionValue(std::string_view selectBody) {
    std::string result;
    ForEachOption(selectBody, [&](std::string_view tag, std::string_view) {
        if (!GetHTMLAttribute(tag, "selected")) return true;
        result = GetHTMLAttribute(tag, "value").value_or(std::string());
        return false;
    });
    return result;
}

std::optional<std::string> OptionValueByTitle(std::string_view selectBody, std::string_view title) {
    std::optional<std::string> result;
    const std::string wanted = Trim(title);
    ForEachOption(selectBody, [&](std::string_view tag, std::string_view text) {
        if (!SameText(OptionTitle(text), wanted)) return true;
        result = GetHTMLAttribute(tag, "value").value_or(std::string());
        return false;
    });
    return result;
}

std::string ValueAfterMarker(std::string_view html, std::string_view marker, int n) {
    if (marker.empty() || n < 1) return {};
    const std::string page = LowerCase(html);
    const std::string lowMarker = LowerCase(marker);
    size_t at = std::string::npos;
    for (size_t from = 0; n > 0; --n) {
        at = page.find(lowMarker, from);
        if (at == std::string::npos) return {};
        from = at + lowMarker.size();
    }
    const size_t start = at + lowMarker.size();
    const size_t end = page.find_first_of(" \"&'<>\\", start);
    return page.substr(start, (end == std::string::npos ? page.size() : end) - start);
}

bool ContainsText(std::string_view text, std::string_view pattern) {
    return FindText(text, pattern) != std::string_view::npos;
}

std::string ListValue(const TStrings& list, std::string_view name) {
    for (const std::string& line : list) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos && SameText(std::string_view(line).substr(0, eq), name))
            return line.substr(eq + 1);
    }
    return {};
}

std::string AddOptionalField(std::string_view source, std::string_view field) {
    std::string out(source);
    if (!field.empty()) {
        out += "\r\n\r\n---\r\n\r\n";
        out += field;
    }
    return out;
}

void TWebForm::AddField(std::string_view fieldName, std::string_view fieldValue) {
    std::string line(fieldName);
    line += '=';
    line += fieldValue;
    fields_.push_back(std::move(line));
}

void TWebForm::AddFieldValue(std::string_view fieldName) {
    std::string value = FindInputValue(html_, fieldName);
    if (!value.empty()) AddField(fieldName, value);
}

void TWebForm::AddFieldByTextArea(std::string_view fieldName) {
    if (const auto text = FindTextAreaText(html_, fieldName)) AddField(fieldName, *text);
}

void TWebForm::AddFieldByDefaultList(std::string_view listName) {
    if (const auto body = FindSelectBody(html_, listName))
        AddField(listName, SelectedOptionValue(*body));
    else
        AddFieldValue(listName);
}

void TWebForm::AddFieldByDefaultList2(std::string_view listName) {
    if (const auto body = FindSelectBody(html_, listName)) {
        const std::string value = SelectedOptionValue(*body);
        if (!value.empty()) AddField(listName, value);
    } else {
        AddFieldValue(listName);
    }
}

void TWebForm::AddFieldByListTitle(std::string_view listName, std::string_view fieldTitle) {
    const auto body = FindSelectBody(html_, listName);
    if (!body) return;
    const auto value = OptionValueByTitle(*body, fieldTitle);
    AddField(listName, value ? *value : SelectedOptionValue(*body));
}

void TWebForm::AddCustomFields(const TStrings& customFields) {
    constexpr size_t kSenderEntries = 4;
    if (customFields.size() <= kSenderEntries) return;
    for (size_t i = 0; i + kSenderEntries < customFields.size(); ++i) {
        const std::string& entry = customFields[i];
        const std::string_view name = std::string_view(entry).substr(0, entry.find('='));
        std::erase_if(fields_, [&](const std::string& line) {
            return SameText(std::string_view(line).substr(0, line.find('=')), name);
        });
        fields_.push_back(entry);
    }
}

bool TWebForm::GetBugCountField(std::string_view fieldName) {
    const std::string title = FindFirstInputValue(html_, fieldName).value_or(std::string());
    // The count is the number between " - " and the next "]" (or the title's end); the first
    // " - " followed by such a number counts, so a version with " - " in it does no harm. The
    // next "]" is looked for again only once a " - " lies past it (one sweep of the title).
    size_t close = title.find(']');
    for (size_t at = title.find(" - "); at != std::string::npos; at = title.find(" - ", at + 1)) {
        const size_t start = at + 3;
        if (close != std::string::npos && close < start) close = title.find(']', start);
        const size_t end = close == std::string::npos ? title.size() : close;
        const std::string_view digits = std::string_view(title).substr(start, end - start);
        if (digits.empty() ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const std::string_view significant =
            digits.substr(std::min(digits.find_first_not_of('0'), digits.size()));
        if (significant.size() > 4) return false; // far past the limit
        const int count = significant.empty() ? 0 : StrToIntDef(significant, 0);
        if (count >= kBugCountLimit) return false;
        AddField(fieldName, title.substr(0, start) + IntToStr(count + 1) + title.substr(end));
        return true;
    }
    AddField(fieldName, title);
    return true;
}

void TWebForm::AddBugSummary(std::string_view fieldName, std::string_view version,
                             std::string_view bugType, std::string_view bugID) {
    AddField(fieldName, Format("[v%s - 1]: %s (%s)", {version, bugType, bugID}));
}

void TWebForm::AddSearchText(std::string_view fieldName, std::string_view version,
                             std::string_view bugType, std::string_view bugID) {
    AddField(fieldName, Format("%s (%s)", {bugType, bugID}));
}

bool TWebForm::IsSuccessfulSend(std::string_view replyPage, std::string_view htmlInclude,
                                std::string_view htmlExclude) const {
    if (!replyPage.empty() && !SameText(replyPage, page_)) return false;
    if (!htmlInclude.empty() && !ContainsText(html_, htmlInclude)) return false;
    if (!htmlExclude.empty() && ContainsText(html_, htmlExclude)) return false;
    return true;
}

} // namespace kv::crash
