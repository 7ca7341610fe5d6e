#pragma once
// The numbered blocks of the log text ("Application:", "  1.1 Start Date : ...") and their exact
// layout, which the log file and its XML form read back; the line-break normalisation shared
// with the log file loader; the insertion of an extra block into a finished log text. Pure 8-bit
// text in the ANSI code page with CR LF breaks; one owner per object, no locks.
#include <cstdint>
#include <string>
#include <string_view>

#include "crash/core/ClCore.h"

namespace kv::crash {

// The first line of every log text, followed by an empty line.
constexpr const char* kLogTextFirstLine = "CrashLog 6.1.04";

// Builds titled blocks of numbered items. Item numbers count every AddItem call, also those
// that are not written, so an item keeps its number whatever the options show.
class TLogItem {
public:
    // The first block added is numbered AFirstHeader + 1.
    explicit TLogItem(int32_t AFirstHeader);

    void Clear();
    // Opens a new block titled AHeader.
    void AddHeader(const std::string& AHeader);
    // Counts one item of the current block and, when Add, writes it. An empty AItem gives an
    // item line whose label part is empty. Never fails on content.
    void AddItem(const std::string& AItem, const std::string& AValue, bool Add = true);
    // The aligned text: empty blocks dropped, values aligned, rules as long as the block's
    // longest line; every line followed by CR LF (empty when nothing was added).
    std::string GetString() const;
    std::string Value() const { return GetString(); }

private:
    std::string FString; // unaligned
    int32_t FHeaderNo = 0;
    int32_t FItemNo = 0;
    int32_t FFirstHeader = 0;
};

// Whether the text holds a CR not followed by LF or an LF not preceded by CR.
bool HasLoneLineBreak(std::string_view Text);
// Every lone CR and lone LF becomes CR LF; a text without them comes back unchanged.
std::string NormalizeLineBreaks(std::string_view Text);

// The report-wide texts that an extra block goes into.
struct TLogTexts {
    std::string GeneralSectionText; // the log text's upper part, numbered blocks included
    std::string LogText;
    std::string TextToSend;
    std::string* RecordLogText = nullptr; // the exception record's copy of the log text; not owned
};

// The texts of the report being built; set by the report text builder for the time of one
// report, null otherwise (the two insertions then do nothing).
extern TLogTexts* CurrentLogTexts;

// Inserts one block (title Header, one item of Text with an empty label, numbered
// AFirstHeader + 1) into the log text right after the general section and the line break that
// follows it, and into the record's copy at the same place; the text to send becomes the new
// log text, and the general section grows by the block so that a later insertion follows this
// one. Nothing happens for an empty Text.
void InsertLogSection(TLogTexts& texts, int32_t AFirstHeader, const std::string& Header,
                      const std::string& Text);
void InsertLogSection(int32_t AFirstHeader, const std::string& Header, const std::string& Text);
// The same with one item per name=value entry (label and value trimmed); nothing happens for an
// empty list.
void InsertLogValuesSection(TLogTexts& texts, int32_t AFirstHeader, const std::string& Header,
                            const TStrings& Values);
void InsertLogValuesSection(int32_t AFirstHeader, const std::string& Header,
                            const TStrings& Values);

} // namespace kv::crash
