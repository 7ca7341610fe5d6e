#pragma once
// The numbered blocks of the log text ("Application:", "  1.1 Start Date : ...") and their exact
// layout, which the log file and its XML form read back; the line-break normalisation shared
// with the log file loader; the insertion of an extra block into a finished log text. Pure 8-bit
// text in the ANSI code page with CR LF breaks; one owner per object, no locks.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Stream.h"
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

// The lines of a text whose breaks are CR LF; a final break does not start another line.
std::vector<std::string_view> SplitLogLines(std::string_view text);

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

// ---- The log file ----

namespace detail {
// A file shared for reading and writing with other processes (the log file stays open while a
// report is stored; another program may write it in between). Raises kv::EFileError.
class TSharedFile {
public:
    // Opens an existing file; Create makes a new one and fails when it exists.
    static std::unique_ptr<TSharedFile> Open(const std::string& fileName, bool readOnly);
    static std::unique_ptr<TSharedFile> Create(const std::string& fileName);
    virtual ~TSharedFile() = default;
    virtual std::string ReadAll() = 0;
    // Replaces the whole content. The file is first grown to the new size, so that a full disk
    // fails before anything of the old content is overwritten.
    virtual void Rewrite(const std::string& data) = 0;
};
} // namespace detail

// The stored reports of a program: the last log texts one after the other, each followed by
// three CR LF and separated by one more. Reads, appends (dropping the oldest beyond a limit),
// reads and changes single items, and writes the file back.
class TLogFile {
public:
    // Opens the working file of FileName (for reading when ReadOnly) and loads it when it
    // exists; an empty name gives an empty log in memory. An existing file that cannot be
    // opened raises kv::EFileError rather than being taken for an empty log, so that a later
    // Save can never overwrite reports it did not read.
    TLogFile(const std::string& FileName, bool ReadOnly);
    ~TLogFile();
    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;

    const std::string& FileName() const { return FFileName; }
    const std::string& Password() const { return FPassword; }
    void SetPassword(const std::string& value) { FPassword = value; }

    void LoadFromStream(kv::TStream& Stream);
    void ParseBuffer(std::string_view Text);
    void SaveToStream(kv::TStream& Stream) const;
    // Writes the reports to the file (creating it when there was none), cut to their length.
    // Raises kv::EFileError; the file is left as it was when it cannot be grown to the size.
    void Save();

    // Adds a report; MaxNum -1 keeps every report, otherwise only the newest MaxNum (>= 1).
    void Append(const std::string& Log, int32_t MaxNum);
    void DeleteItem(int32_t ItemNumber);
    void Clear();

    int32_t GetCount() const { return static_cast<int32_t>(FList.size()); }
    int32_t Count() const { return GetCount(); }
    // Every report followed by CR LF.
    std::string GetText() const;
    std::string Text() const { return GetText(); }
    // A report's stored text; empty out of range.
    std::string GetItem(int32_t ItemNumber) const;

    // The value of item ID ("2.7") of a report, escapes undone and trimmed; empty when the
    // report or the item is not there.
    std::string GetItemValue(const std::string& ID, int32_t ItemNumber) const;
    // Replaces the value of item ID, or adds the item with Caption after the last item of its
    // block when it is missing.
    void SetItemValue(const std::string& ID, const std::string& Value, const std::string& Caption,
                      int32_t ItemNumber);
    // The last report in which an item IDs[k] holds Values[k] for some k; -1 when none.
    int32_t FindItem(const std::vector<std::string>& IDs,
                     const std::vector<std::string>& Values) const;
    // "6.1.04" of the report's "CrashLog 6.1.04".
    std::string GetLogVersion(int32_t ItemNumber) const;
    // No "CrashLog" first line, or items 2.2, 2.5, 2.6 and 2.7 all empty.
    bool GetCorruptedLog(int32_t ItemNumber) const;

    // The XML form of every stored report.
    std::string GetXML() const;
    std::string XML() const { return GetXML(); }
    void SaveXMLCopy(const std::string& FileName) const;

private:
    std::string FFileName;
    std::unique_ptr<detail::TSharedFile> FStream;
    std::vector<std::string> FList;
    std::string FPassword;
};

} // namespace kv::crash
