#pragma once
// The XML form of stored reports: the sections of one report text cut at their titles and
// rules, and each written as an element tree. Reads 8-bit text in the ANSI code page with CR
// LF breaks; a damaged report gives empty sections, never an error. Pure, except that
// decrypting names sets the component's cipher key (see ClEncrypt.h). Positions are 0-based.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "crash/core/ClCore.h"

namespace kv::crash {

// The report's first line from its tenth character on: "6.1.04" of "CrashLog 6.1.04". Logs
// are told apart by plain 8-bit comparison of this text with "5.0" and "6.0".
std::string GetLogVersion(std::string_view Report);

// The position of the first table header ("-" CR LF "|"), then Count times: with ByBlankLines
// the position after the next CR LF CR LF, otherwise that of the "-" of the next ":" CR LF "-".
// npos when a mark is missing.
size_t SectionIndex(std::string_view Text, int Count, bool ByBlankLines);

// The sections of a report; each empty when the report does not have it.
// From the start to the last non-blank character before the call-stack title.
std::string GetGeneralSection(std::string_view Report);
// Tables from the rule above their header row to their closing rule.
std::string GetCallStackSection(std::string_view Report);
std::string GetModulesSection(std::string_view Report);
std::string GetProcessesSection(std::string_view Report); // logs of "6.0" and later
// The listing lines (logs of "6.0" and later), without the final line break.
std::string GetAssemblerSection(std::string_view Report);
// From the "Registers" title to the end of the dump; empty when it shows no EAX.
std::string GetCPUSection(std::string_view Report);
// The steps to reproduce of logs older than "5.0".
std::string GetReproduceSection(std::string_view Report);

// The cells of a table row: split at "|" (never at a trail byte of a double-byte character),
// leading separators skipped, each cell trimmed, empty cells kept, nothing after the last "|".
TStrings SplitTableRow(std::string_view Row);
// The cells of each row of a table section, dash rows ("|-") left out.
std::vector<TStrings> GetTableRows(std::string_view Table);

// Element texts of one report, each line ending in CR LF. A missing section gives its element
// without children ("<Modules/>"). Password decrypts enciphered call-stack names; with an empty
// one they stay as stored.
std::string GetGeneralXML(std::string_view Report);
std::string GetCallStackXML(std::string_view Report, const std::string& Password);
std::string GetModulesXML(std::string_view Report);
std::string GetProcessesXML(std::string_view Report);
std::string GetAssemblerXML(std::string_view Report);
std::string GetCPUXML(std::string_view Report);
std::string GetReproduceXML(std::string_view Report);

// <Log Version="..."> with the section elements of one report, </Log> and CR LF.
std::string GetLogXML(std::string_view Report, const std::string& Password);
// <Doc> with a Log element per report, </Doc> and CR LF.
std::string GetXML(const std::vector<std::string>& Reports, const std::string& Password);

} // namespace kv::crash
