#pragma once
// The HTML forms of the web bug trackers: a small bounded scanner for input, textarea, select and
// option elements, and the form operations that copy scraped values into a request's field list
// (lines of name, "=" and value). Pure; any thread. Malformed pages give empty values, never
// reads past the page.
#include <optional>
#include <string>
#include <string_view>

#include "crash/core/ClCore.h"

namespace kv::crash {

// The highest occurrence count an issue title can carry; at this count no more updates are sent.
constexpr int kBugCountLimit = 9999;

// ---- Scanning ----

// Decodes "&amp;", "&quot;", "&lt;", "&gt;", "&nbsp;", "&apos;" and "&#" decimal ";" in this order,
// each over the whole text (so "&amp;lt;" ends as "<", as the trackers' pages are read).
std::string DecodeHTMLReferences(std::string_view text);

// The value of attribute name (case-insensitive) in the opening tag text (from "<" up to, not
// including, its ">"); blanks around "=" are skipped, the value ends at a blank, ">" or "/>"
// outside quotes, one pair of enclosing quotes is removed and references are decoded. nullopt
// when the tag has no such attribute.
std::optional<std::string> GetHTMLAttribute(std::string_view tag, std::string_view name);

// The value of the first input named name whose value is not empty (empty when none).
std::string FindInputValue(std::string_view html, std::string_view name);
// The value of the first input named name, empty or not; nullopt when there is none.
std::optional<std::string> FindFirstInputValue(std::string_view html, std::string_view name);
// The trimmed, decoded text of the textarea named name; nullopt when there is none.
std::optional<std::string> FindTextAreaText(std::string_view html, std::string_view name);
// The body of the select named name (between its opening tag and "</select>", or the end of
// the page); nullopt when the page has no such select.
std::optional<std::string_view> FindSelectBody(std::string_view html, std::string_view name);
// The value of the first option whose tag carries the word "selected"; empty when none does.
std::string SelectedOptionValue(std::string_view selectBody);
// The value of the option whose text (every "&" up to the next blank removed, trimmed) equals
// title (case-insensitive); nullopt when no option has that text.
std::optional<std::string> OptionValueByTitle(std::string_view selectBody, std::string_view title);

// The text after the n-th (from 1) occurrence of marker in the lower-cased page up to the first
// blank, double quote, "&", single quote, "<", ">" or "\" (lower case); empty when there is none.
std::string ValueAfterMarker(std::string_view html, std::string_view marker, int n = 1);

// Whether text contains pattern, ASCII case ignored. An empty pattern is contained.
bool ContainsText(std::string_view text, std::string_view pattern);
// The value of the entry name (case-insensitive) of a list of name=value lines; empty when none.
std::string ListValue(const TStrings& list, std::string_view name);

// ---- Form operations ----

// The last response of a connection (its HTML and document name) and the fields of the request
// being prepared. The page texts must outlive the form; fields is written to.
class TWebForm {
public:
    TWebForm(std::string_view html, std::string_view page, TStrings& fields)
        : html_(html), page_(page), fields_(fields) {}

    // Appends FieldName=FieldValue.
    void AddField(std::string_view fieldName, std::string_view fieldValue);
    // FieldName = the first non-empty value of an input of that name; nothing when none.
    void AddFieldValue(std::string_view fieldName);
    // FieldName = the text of that textarea; nothing when there is none.
    void AddFieldByTextArea(std::string_view fieldName);
    // ListName = the selected option of that select (empty when none is selected); a page
    // without the select falls back to AddFieldValue.
    void AddFieldByDefaultList(std::string_view listName);
    // As AddFieldByDefaultList, but an empty value adds nothing.
    void AddFieldByDefaultList2(std::string_view listName);
    // ListName = the option titled fieldTitle, else the selected option; nothing without the
    // select.
    void AddFieldByListTitle(std::string_view listName, std::string_view fieldTitle);
    // Every entry but the last four (the sender's own values) replaces fields of its name.
    void AddCustomFields(const TStrings& customFields);
    // Raises the count after " - " in the title input fieldName by one and adds it. False (and
    // nothing added) when the count has reached kBugCountLimit; a title without a count is
    // added as it is.
    bool GetBugCountField(std::string_view fieldName);
    // FieldName = "[v<version> - 1]: <type> (<id>)".
    void AddBugSummary(std::string_view fieldName, std::string_view version,
                       std::string_view bugType, std::string_view bugID);
    // FieldName = "<type> (<id>)"; the version is not part of it.
    void AddSearchText(std::string_view fieldName, std::string_view version,
                       std::string_view bugType, std::string_view bugID);
    // False when replyPage is given and is not the page's document name, when include is given
    // and not in the HTML, or when exclude is given and in it (all case-insensitive).
    bool IsSuccessfulSend(std::string_view replyPage, std::string_view htmlInclude,
                          std::string_view htmlExclude = {}) const;

private:
    std::string_view html_;
    std::string_view page_;
    TStrings& fields_;
};

// Source, a separator line and Field; Source alone when Field is empty.
std::string AddOptionalField(std::string_view source, std::string_view field);

} // namespace kv::crash
