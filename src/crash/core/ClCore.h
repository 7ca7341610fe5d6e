#pragma once
// General routines of the crash-report component: 8-bit text, dates, environment variables,
// folders and files, INI files, the registry, memory-range tests, version comparison and the
// SafeExec guard. Text is 8-bit in the ANSI code page; string positions are 1-based, 0 = none.
// Routines fail soft (empty text, 0, false) unless a comment says they raise. Any thread;
// IsValidBlockAddr and ConvertAddress are crash-time safe.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"
#include "base/Stream.h"
#include "crash/core/ClTypes.h"

namespace kv::crash {

// An 8-bit string list (the class library's TStrings).
using TStrings = std::vector<std::string>;

// Days since 1899-12-30, the fraction being the time of day.
using TDateTime = double;

// The folder separator of file paths ("\" on Windows; "/" in the native build for tests).
#ifdef _WIN32
constexpr char kPathDelim = '\\';
#else
constexpr char kPathDelim = '/';
#endif

// Passes SafeExec unchanged.
class EIgnoreException : public kv::Exception {
public:
    using kv::Exception::Exception;
};

// A text that is no number or date.
using EConvertError = kv::EConvertError;

// The internal-error hook; empty until the component's start-up installs its handler. (winnt.h
// has an enumerator of the same name: outside this namespace, qualify it.)
using TCriticalErrorProc = void (*)(const std::string& message);
extern TCriticalErrorProc CriticalError;

// Set by the start-up: the folder current when the program started (TerminateOrRestart starts
// the new process there; empty = the current one), and whether the component was loaded by a
// COM object (the restart then removes ".vshost" from the command line).
extern std::string StartupCurrentDir;
extern bool CallFromCOMObject;

// ---- Text of the runtime library (ASCII case rules, like the class library's) ----

std::string Trim(std::string_view s); // characters up to blank removed at both ends
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
std::string IntToStr(long long v);
std::string IntToHex(uint64_t v, int digits); // upper case, at least digits
int StrToIntDef(std::string_view s, int def); // whole decimal text (sign allowed), else def
// Replaces "%s" in order by the arguments; "%%" gives "%".
std::string Format(std::string_view pattern, std::initializer_list<std::string_view> args);
// Conversions between the ANSI code page and UTF-16 (for messages of kv::Exception).
std::u16string AnsiToUtf16(std::string_view s);
std::string Utf16ToAnsi(std::u16string_view s);
// Whether byte i of s is the second byte of a double-byte character of the ANSI code page, so
// that a trail byte 0x5C is never taken for a folder delimiter.
bool IsTrailByte(std::string_view s, size_t i);
// Bytes of the ANSI character at s[i]: 2 for a lead byte followed by a possible trail byte
// (0x40 and up, so a stray lead byte never swallows a line break), else 1.
size_t AnsiCharSize(std::string_view s, size_t i);
// The length of the longest start of s that is at most maxBytes long and ends between two ANSI
// characters: a text cut there never ends in half a double-byte character.
size_t AnsiPrefixLength(std::string_view s, size_t maxBytes);
// Position of the last single-byte character of s that is one of chars (the second byte of a
// double-byte character never counts); npos when there is none.
size_t AnsiFindLastOf(std::string_view s, std::string_view chars);

// File name parts; the delimiters are kPathDelim and, on Windows, the drive colon.
std::string ExtractFileDrive(std::string_view fileName); // "C:" or "\\server\share"
std::string ExtractFilePath(std::string_view fileName);  // with its trailing delimiter
std::string ExtractFileName(std::string_view fileName);
std::string ExtractFileExt(std::string_view fileName); // with its dot; empty for none
std::string ChangeFileExt(std::string_view fileName, std::string_view ext);

// ---- Strings and lists ----

// Splits text at every separator character. Without raw: the text and each item are trimmed;
// with raw: each item keeps its separator and blanks. Empty items only with keepEmpty; the rest
// after the last separator only when non-empty.
void ExtractList(std::string_view text, TStrings& list, const TCharSet& separators, bool keepEmpty,
                 bool raw);
// Skips leading separators, then adds every trimmed item (empty ones too) and a non-empty rest.
void ExtractStringsEx(const TCharSet& separators, std::string_view text, TStrings& list);
// Characters above code 31 kept; each run of codes 0..31 becomes one blank.
std::string OneString(std::string_view text);
// First 1-based position at or after start where pattern occurs; 0 when none.
size_t PosEx(std::string_view pattern, std::string_view text, size_t start = 1);
// Every occurrence of oldPattern replaced, left to right, replaced text not rescanned. An
// empty oldPattern leaves the text as it is.
std::string QuickStringReplace(std::string_view text, std::string_view oldPattern,
                               std::string_view newPattern);
// ANSI text to UTF-8, each UTF-16 unit encoded by itself (surrogates as 3 bytes each).
std::string StringToUtf8(std::string_view text);
// Our 8-bit strings carry no code-page tag: nothing to do. Kept for callers of the routine.
inline void SetCurrentCodePage(std::string&) {}
// The name with every ".vshost" removed.
std::string DotNetHostedFile(std::string_view fileName);
// Full file name of the program.
std::string Real_GetMainModuleFileName();
// Replaces the list by the lines of text: CR LF, CR or LF end a line, NUL ends the text.
void SetTextStr(TStrings& list, std::string_view text);
// Every line followed by CR LF.
std::string GetTextStr(const TStrings& list);
// Replaces the list by the lines of the stream's rest (CR LF, CR or LF end a line).
void LoadFromStream(TStrings& list, kv::TStream& stream);
// Same from a file opened for reading; raises kv::EFileError when it cannot be opened.
void LoadFromFile(TStrings& list, const std::u16string& fileName);

// ---- Dates and times ----

TDateTime Now(); // local time
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int msec = 0);
// Inverse of EncodeDateTime (milliseconds rounded); false for values out of the calendar.
bool DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute,
                    int& second, int& msec);
// Up to 15 significant digits with "." as decimal separator: the form stored in logs.
std::string DateTimeToStrFixed(TDateTime value);
// Inverse of DateTimeToStrFixed; raises EConvertError for a text that is no number.
TDateTime StrToDateTimeFixed(std::string_view text);
// Date and time in the user's locale; the number text for values out of the calendar.
std::string DateTimeToStrEx(TDateTime value);
// Local time minus UTC in whole hours.
int GetGMT();
TDateTime GetGMTDateTime(TDateTime localValue);
// Last write of the file, local, in 2-second steps; 0 when the file is not found.
TDateTime GetModifiedDate(const std::string& fileName);

// ---- Environment variables ----

// The process variable; when it does not exist, "date", "time" and "cd" (any case) give
// today's date, the time and the current folder, other names empty text.
std::string GetEnvVariable(const std::string& name);
// Sets (or with an empty value removes) a process variable; false on failure.
bool SetEnvVariable(const std::string& name, const std::string& value);
// Replaces each %NAME% (letters, digits, "_") by GetEnvVariable(NAME); "%%" disappears; an
// unclosed or broken reference stays; inserted values are not scanned again.
std::string ExpandEnvVars(std::string_view text);

// ---- Folders and files ----

// Per-user roaming application-data folder; "AppData" variable, else a lone delimiter.
std::string GetUserApplicationsPath();
std::string GetLocalUserApplicationsPath();
// GetUserApplicationsPath + "\CrashLog": the folder every output file falls back to.
std::string GetCrashLogDir();
// Where a bare INI file name lives.
std::string GetIniFolder();
std::string IncludeLastBackslash(std::string_view path); // empty gives the delimiter alone
std::string ExcludeLastBackslash(std::string_view path);
// Creates the folder (variables expanded) and its missing parents; false for empty text.
bool ForceDirectoriesEx(std::string_view folder);
bool DirectoryExists(const std::string& folder);
bool FileExists(const std::string& fileName);
// Whether the file can be opened for reading and writing (a file made for the test is
// removed again) / for reading.
bool IsWritableFile(const std::string& fileName);
bool IsReadableFile(const std::string& fileName);
// Expands the variables in fileName; when the file is not usable there (readable, or writable
// unless readOnly), moves it to GetCrashLogDir (with addModuleFolder one folder deeper, named
// after the program). False when no usable place was found; fileName then stays expanded.
bool GetWorkingFile(std::string& fileName, bool addModuleFolder, bool readOnly);
// GetWorkingFile for a folder (tested through the file X in it); on success folder is the
// usable folder with its trailing delimiter.
bool GetWorkingDir(std::string& folder, bool addModuleFolder, bool readOnly);
// Expands 8.3 components ("~") to long names; paths without "~" are returned as they are.
std::string GetLongNameFromShort(const std::string& path);
// Sets creation and last-write time of an existing file to now; false when it cannot be opened.
bool TouchFile(const std::u16string& fileName);
uint32_t GetFileSizeByName(const std::string& fileName); // low 32 bits; 0 when not found
bool ForceDeleteFile(const std::string& fileName);       // clears read-only first

// ---- INI files (bare names live in GetIniFolder; the place passes GetWorkingFile) ----

std::string ReadString(const std::string& fileName, const std::string& section,
                       const std::string& key, const std::string& def);
int ReadInteger(const std::string& fileName, const std::string& section, const std::string& key,
                int def);
// True only for a stored 1.
bool ReadBool(const std::string& fileName, const std::string& section, const std::string& key,
              bool def);
void WriteString(const std::string& fileName, const std::string& section, const std::string& key,
                 const std::string& value);
void WriteInteger(const std::string& fileName, const std::string& section, const std::string& key,
                  int value);
void WriteBool(const std::string& fileName, const std::string& section, const std::string& key,
               bool value);

// ---- Registry (string values; empty / false in the native build) ----

constexpr uintptr_t kHKeyClassesRoot = 0x80000000u;
constexpr uintptr_t kHKeyCurrentUser = 0x80000001u;
constexpr uintptr_t kHKeyLocalMachine = 0x80000002u;

// A string value; empty when the key or value is missing. One leading "\" of subKey ignored.
std::string ReadKey(uintptr_t rootKey, std::string_view subKey, const std::string& valueName);
bool CheckKey(uintptr_t rootKey, std::string_view subKey);
// "CrashLog 6.1.04 " + the edition named in the user's settings.
std::string GetCrashLogLabel();
// The vendor's key of the development environment's settings. This program never runs inside
// that environment, so the key only has to be stable, not to name anyone.
constexpr const char* kRADVendorKey = "SOFTWARE\\DevEnvironment\\";
// The development environment's settings key: kRADVendorKey + "BDS" (inside the environment: the
// text after its "-R" parameter) + "\9.0"; and its "RootDir" value (machine, then user settings)
// without a trailing delimiter.
std::string RADRegistryKey();
std::string RADDir();

// ---- Memory and code addresses ----

// True when every byte of [address, address + length) is committed, readable memory (a
// length of 0 always is). Crash-time safe: no heap, no locks that can block.
bool IsValidBlockAddr(uintptr_t address, size_t length);
inline bool IsValidBlockAddr(const void* address, size_t length) {
    return IsValidBlockAddr(reinterpret_cast<uintptr_t>(address), length);
}
// The results for module images are cached; call this after a module was unloaded.
void FlushValidBlockCache();
// Sees through an import thunk (FF 25 and a readable pointer cell): its target; else address.
uintptr_t ConvertAddress(uintptr_t address);

// ---- Other ----

// Whether second is a greater version than first (dot-separated numbers, a blank and a word
// allowed at the end); false when either is empty.
bool IsGreaterVersion(std::string_view first, std::string_view second);
// Whether the program runs inside the development environment (never for Kolvane).
bool IntoIDE();
// "a.b.c.d" of the program's file version; empty when missing or 0.0.0.0.
std::string GetMainModuleVersion();
// Puts a non-empty text on the clipboard as CF_TEXT; false when that failed.
bool CopyTextToClipboard(const std::string& text);
// With restart, starts the program again; then ends the process with exit code 1 at once.
[[noreturn]] void TerminateOrRestart(bool restart);

// The program's command-line parameters after its name.
TStrings ParamStrings();

// Runs proc. EIgnoreException passes unchanged. Any other exception, including a system
// exception raised inside proc, goes to CriticalError ("section (Address: proc)") followed by
// kv::EAbort, or, without the hook, becomes a kv::Exception naming the section and the error.
void SafeExec(void (*proc)(), const char* section);

// A unit's start-up and shut-down bodies, run through SafeExec with the sections "<Unit>.Init"
// and "<Unit>.Done" when the object is made and destroyed. One static object per unit, made
// before everything else:
//   TUnitBodies g_unitBodies __attribute__((init_priority(101))){"ClCore", Init, Done};
// A failing body has gone to CriticalError (when set) and goes no further.
class TUnitBodies {
public:
    TUnitBodies(const char* unitName, void (*init)(), void (*done)());
    ~TUnitBodies();
    TUnitBodies(const TUnitBodies&) = delete;
    TUnitBodies& operator=(const TUnitBodies&) = delete;

private:
    const char* unit_; // a literal
    void (*done_)();
};

} // namespace kv::crash
