#include "crash/report/ClLogXML.h"

#include <algorithm>
#include <iterator>

#include "crash/core/ClBase64.h"
#include "crash/core/ClEncrypt.h"
#include "crash/report/ClLogManager.h"
#include "crash/report/ClXMLBuilder.h"

namespace kv::crash {

namespace {

constexpr size_t npos = std::string_view::npos;
constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kBlankLine = "\r\n\r\n";
constexpr std::string_view kTableHeader = "-\r\n|";
constexpr std::string_view kTitleRule = ":\r\n-";
constexpr std::string_view kClosingRule = "-\r\n\r\n";
constexpr std::string_view kUnknownRegister = "????";

// The part of s from pos on, at most len characters; empty when pos is past the end.
std::string_view Mid(std::string_view s, size_t pos, size_t len = npos) {
    return pos < s.size() ? s.substr(pos, len) : std::string_view();
}

bool StartsWith(std::string_view s, char c) {
    return !s.empty() && s.front() == c;
}

std::string TrimRight(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= ' ') --n;
    return std::string(s.substr(0, n));
}

// The start of the line holding pos.
size_t LineStart(std::string_view text, size_t pos) {
    const size_t brk = text.substr(0, pos).rfind(kCrLf);
    return brk == npos ? 0 : brk + kCrLf.size();
}

// Versions compare as plain 8-bit text, the way stored logs have always been told apart.
bool IsOlderThan(const std::string& version, const char* other) {
    return version < other;
}

// From the start of the line at lineStart to the "-" of the closing rule; a table cut off
// before its closing rule runs to the end.
std::string TableFrom(std::string_view text, size_t lineStart) {
    const size_t rule = text.find(kClosingRule, lineStart);
    const size_t end = rule == npos ? text.size() : rule + 1;
    return std::string(text.substr(lineStart, end - lineStart));
}

// The table below the title rule at titleRule; empty when the rule is followed by no table
// (a switched-off section keeps only its title and rule).
std::string TableBelow(std::string_view text, size_t titleRule) {
    if (titleRule == npos) return {};
    const size_t ruleEnd = text.find("-\r\n", titleRule);
    if (ruleEnd == npos || ruleEnd + 3 >= text.size() || text[ruleEnd + 3] != '|') return {};
    return TableFrom(text, LineStart(text, ruleEnd));
}

// The lines after the rule at rule up to the next empty line. The search starts at the rule's
// own line break, so that an empty block gives nothing rather than the block after it.
std::string BlockBelowRule(std::string_view text, size_t rule) {
    if (rule == npos) return {};
    const size_t eol = text.find(kCrLf, rule);
    if (eol == npos) return {};
    const size_t start = eol + kCrLf.size();
    size_t end = text.find(kBlankLine, eol);
    if (end == npos) end = text.size();
    if (end <= start) return {};
    return std::string(text.substr(start, end - start));
}

// Adds CR LF after each line, and two blanks before each line but the first and the last.
std::string IndentInnerLines(std::string_view text) {
    const std::vector<std::string_view> lines = SplitLogLines(text);
    std::string out;
    out.reserve(text.size() + 2 * lines.size() + 2);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0 && i + 1 < lines.size()) out += "  ";
        out += lines[i];
        out += kCrLf;
    }
    return out;
}

// ---- General section ----

// "2.7 ID: 1A2B" or, for an empty value, "2.10 Note:". The leading number keeps a value's
// continuation line that happens to end in a colon a continuation.
bool IsItemLine(std::string_view line) {
    if (line.empty() || line.front() < '0' || line.front() > '9') return false;
    return line.find(": ") != npos || line.back() == ':';
}

// Undoes the escapes of multi-line values: a lone "." stands for an empty line (dropped at
// either end) and ":_" for ": ". A one-line value is stored as it is.
std::string UnescapeValue(const std::string& value) {
    if (value.find(kCrLf) == npos) return value;
    const std::vector<std::string_view> lines = SplitLogLines(value);
    std::string out;
    bool first = true;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (line == ".") {
            if (i == 0 || i + 1 == lines.size()) continue;
            line = {};
        }
        if (!first) out += kCrLf;
        out += line;
        first = false;
    }
    return QuickStringReplace(out, ":_", ": ");
}

class TGeneralReader {
public:
    explicit TGeneralReader(TXMLItem& root) : root_(root) {}

    void Read(const std::vector<std::string_view>& lines) {
        // The first two lines are "CrashLog <version>" and an empty one.
        for (size_t i = 2; i < lines.size(); ++i) {
            const std::string line = Trim(lines[i]);
            if (!group_) {
                if (line.empty()) continue;
                OpenGroup(line);
                if (i + 1 < lines.size() && StartsWith(Trim(lines[i + 1]), '-')) ++i;
            } else if (line.empty()) {
                CloseGroup();
            } else if (IsItemLine(line)) {
                AddLine(line);
            } else if (line_) {
                value_ += kCrLf;
                value_ += line;
            }
        }
        CloseGroup();
    }

private:
    void OpenGroup(const std::string& title) {
        group_ = root_.AddItem("Group");
        label_ = title.back() == ':' ? title.substr(0, title.size() - 1) : title;
        hasFields_ = false;
    }

    // The group's ID comes from its first item; its attributes wait for it to keep their order.
    void SetGroupFields(const std::string& id) {
        if (hasFields_) return;
        group_->AddField("ID", id);
        group_->AddField("Label", label_);
        hasFields_ = true;
    }

    void AddLine(const std::string& line) {
        FlushLine();
        size_t colon = line.find(": ");
        if (colon == npos) colon = line.size() - 1;
        const size_t space = std::min(line.find(' '), colon);
        const std::string id = line.substr(0, space);
        SetGroupFields(id.substr(0, id.find('.')));
        line_ = group_->AddItem("Line");
        line_->AddField("ID", id);
        line_->AddField("Label",
                        space < colon ? Trim(Mid(line, space + 1, colon - space - 1)) : "");
        value_ = std::string(Mid(line, colon + 2));
    }

    void FlushLine() {
        if (!line_) return;
        line_->AddField("Value", UnescapeValue(value_));
        line_ = nullptr;
        value_.clear();
    }

    void CloseGroup() {
        FlushLine();
        if (group_) SetGroupFields("");
        group_ = nullptr;
    }

    TXMLItem& root_;
    TXMLItem* group_ = nullptr;
    std::string label_;
    bool hasFields_ = false;
    TXMLItem* line_ = nullptr; // the item whose value may go on
    std::string value_;
};

// ---- Call stack ----

std::string DecryptName(std::string_view encoded) {
    std::string bytes = Base64DecodeString(encoded);
    Decrypt(bytes.data(), bytes.data(), bytes.size());
    return bytes;
}

bool IsNameText(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) {
        return c == '.' || c == '@' || c == '_' || (c >= '0' && c <= '9') ||
               (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
}

// Unit, class and procedure of a frame whose names are enciphered ("?p" or "?c" and Base64 in
// the unit cell, "?" and Base64 in the others). False, the names untouched, when the result is
// not made of name characters: a wrong password or cells that only look enciphered.
bool DecryptFrameNames(const TStrings& cells, std::string& unit, std::string& className,
                       std::string& procedure) {
    std::string u = DecryptName(Mid(cells[2], 2));
    if (u.empty()) return false;
    if (ExtractFileExt(u).empty()) u += cells[2].size() > 1 && cells[2][1] == 'p' ? ".pas" : ".cpp";
    std::string p = DecryptName(Mid(cells[4], 1));
    std::string c;
    const size_t dot = p.find('.');
    if (dot != npos) {
        c = p.substr(0, dot);
        p.erase(0, dot + 1);
    } else if (!cells[3].empty()) {
        c = DecryptName(Mid(cells[3], 1));
    }
    if (!IsNameText(u) || !IsNameText(c) || !IsNameText(p)) return false;
    unit = std::move(u);
    className = std::move(c);
    procedure = std::move(p);
    return true;
}

// "ID=1234; Priority=0; Class=; [Main]": the main thread's caption has a fourth part.
void AddThreadFields(TXMLItem& item, std::string_view text) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t semicolon = text.find(';', start);
        parts.push_back(text.substr(start, semicolon == npos ? npos : semicolon - start));
        if (semicolon == npos) break;
        start = semicolon + 1;
    }
    const char* const kNames[] = {"ID", "Priority", "Class"};
    for (size_t k = 0; k < std::size(kNames); ++k) {
        std::string value;
        if (k < parts.size()) {
            const size_t eq = parts[k].find('=');
            if (eq != npos) value = Trim(parts[k].substr(eq + 1));
        }
        item.AddField(kNames[k], value);
    }
    item.AddField("MainThread", parts.size() == 4 ? "True" : "False");
}

class TCallStackReader {
public:
    TCallStackReader(TXMLItem& root, const std::string& password, bool oldLog)
        : root_(root), password_(password), current_(&root) {
        // Old logs have one thread and no captions.
        if (oldLog) {
            thread_ = current_ = root_.AddItem("ExceptionThread");
            topLevel_ = false;
        }
    }

    void Read(const std::vector<TStrings>& rows) {
        for (const TStrings& cells : rows) {
            if (cells.size() >= 6)
                AddFrame(cells);
            else if (cells.empty() || cells[0].empty())
                topLevel_ = true; // the next caption starts a thread of its own
            else
                AddCaption(cells[0]);
        }
    }

private:
    void AddCaption(const std::string& caption) {
        const size_t colon = caption.find(':');
        if (colon == npos) return;
        TXMLItem* item;
        if (topLevel_ || !thread_) {
            item = root_.AddItem(thread_ ? "RunningThread" : "ExceptionThread");
            thread_ = item;
        } else {
            item = thread_->AddItem("CallingThread");
        }
        topLevel_ = false;
        AddThreadFields(*item, Mid(caption, colon + 2));
        current_ = item;
    }

    void AddFrame(const TStrings& cells) {
        std::string unit = cells[2], className = cells[3], procedure = cells[4];
        if (!password_.empty() && StartsWith(unit, '?')) {
            if (!keyReady_) InitKey(password_);
            keyReady_ = true;
            DecryptFrameNames(cells, unit, className, procedure);
        }
        if (StartsWith(procedure, '@')) procedure[0] = '_';
        const std::string& lineCell = cells[5];
        const size_t bracket = lineCell.find('[');
        std::string offset;
        if (bracket != npos) {
            offset = lineCell.substr(bracket + 1);
            if (!offset.empty() && offset.back() == ']') offset.pop_back();
        }
        TXMLItem* line = current_->AddItem("Line");
        line->AddField("Address", cells[0]);
        line->AddField("Module", cells[1]);
        line->AddField("Unit", unit);
        line->AddField("Class", className);
        line->AddField("Procedure", procedure);
        line->AddField("Number", lineCell.substr(0, bracket));
        line->AddField("Offset", offset);
    }

    TXMLItem& root_;
    const std::string& password_;
    TXMLItem* thread_ = nullptr;  // the current top-level thread element
    TXMLItem* current_ = nullptr; // where frames go
    bool topLevel_ = true;        // the table's first caption needs no empty row before it
    bool keyReady_ = false;
};

} // namespace

// ---- Sections ----

std::string GetLogVersion(std::string_view Report) {
    const std::string_view first = Report.substr(0, Report.find(kCrLf));
    return std::string(Mid(first, 9));
}

size_t SectionIndex(std::string_view Text, int Count, bool ByBlankLines) {
    size_t pos = Text.find(kTableHeader);
    for (int i = 0; i < Count && pos != npos; ++i) {
        if (ByBlankLines) {
            pos = Text.find(kBlankLine, pos);
            if (pos != npos) pos += kBlankLine.size();
        } else {
            pos = Text.find(kTitleRule, pos);
            if (pos != npos) pos += kTitleRule.size() - 1;
        }
    }
    return pos;
}

std::string GetGeneralSection(std::string_view Report) {
    const size_t header = Report.find(kTableHeader);
    if (header == npos) return {};
    const size_t rule = LineStart(Report, header);
    if (rule == 0) return {}; // no title line above the table
    return TrimRight(Report.substr(0, LineStart(Report, rule - kCrLf.size())));
}

std::string GetCallStackSection(std::string_view Report) {
    const size_t header = Report.find(kTableHeader);
    if (header == npos) return {};
    return TableFrom(Report, LineStart(Report, header));
}

std::string GetModulesSection(std::string_view Report) {
    return TableBelow(Report, SectionIndex(Report, 1, false));
}

std::string GetProcessesSection(std::string_view Report) {
    if (IsOlderThan(GetLogVersion(Report), "6.0")) return {};
    return TableBelow(Report, SectionIndex(Report, 2, false));
}

std::string GetAssemblerSection(std::string_view Report) {
    if (IsOlderThan(GetLogVersion(Report), "6.0")) return {};
    return BlockBelowRule(Report, SectionIndex(Report, 3, false));
}

std::string GetCPUSection(std::string_view Report) {
    const int blocks = IsOlderThan(GetLogVersion(Report), "6.0") ? 2 : 4;
    const size_t at = SectionIndex(Report, blocks, true);
    if (at == npos) return {};
    size_t start = LineStart(Report, at);
    // A second empty line before the title would shift the fixed line numbers.
    while (Report.compare(start, kCrLf.size(), kCrLf) == 0) start += kCrLf.size();
    // Registers, an empty line, the stack and memory dump, an empty line.
    size_t end = Report.find(kBlankLine, start);
    if (end != npos) end = Report.find(kBlankLine, end + kBlankLine.size());
    if (end == npos) end = Report.size();
    std::string cpu(Mid(Report, start, end - std::min(start, end)));
    if (cpu.find("EAX") == npos) return {};
    return cpu;
}

std::string GetReproduceSection(std::string_view Report) {
    if (!IsOlderThan(GetLogVersion(Report), "5.0")) return {};
    return BlockBelowRule(Report, SectionIndex(Report, 3, false));
}

// ---- Tables ----

TStrings SplitTableRow(std::string_view Row) {
    TStrings cells;
    size_t i = 0;
    while (i < Row.size() && Row[i] == '|') ++i;
    size_t start = i;
    while (i < Row.size()) {
        if (Row[i] == '|') {
            cells.push_back(Trim(Row.substr(start, i - start)));
            start = ++i;
            continue;
        }
        i += AnsiCharSize(Row, i);
    }
    return cells;
}

std::vector<TStrings> GetTableRows(std::string_view Table) {
    // Rule, header row and rule come first; the closing rule (or a cut-off table's end) last.
    std::vector<TStrings> rows;
    const std::vector<std::string_view> lines = SplitLogLines(Table);
    for (size_t i = 3; i < lines.size(); ++i) {
        if (StartsWith(lines[i], '-')) break;
        if (lines[i].substr(0, 2) == "|-") continue;
        rows.push_back(SplitTableRow(lines[i]));
    }
    return rows;
}

// ---- Elements ----

std::string GetGeneralXML(std::string_view Report) {
    TXMLItem root("General");
    const std::string general = GetGeneralSection(Report);
    TGeneralReader(root).Read(SplitLogLines(general));
    return root.GetXMLText();
}

std::string GetCallStackXML(std::string_view Report, const std::string& Password) {
    TXMLItem root("CallStack");
    TCallStackReader reader(root, Password, IsOlderThan(GetLogVersion(Report), "5.0"));
    reader.Read(GetTableRows(GetCallStackSection(Report)));
    return root.GetXMLText();
}

std::string GetModulesXML(std::string_view Report) {
    TXMLItem root("Modules");
    for (const TStrings& c : GetTableRows(GetModulesSection(Report))) {
        if (c.size() < 6) continue;
        TXMLItem* module = root.AddItem("Module");
        module->AddField("Handle", c[0]);
        module->AddField("Name", c[1]);
        module->AddField("Description", c[2]);
        module->AddField("Version", c[3]);
        module->AddField("Size", c[4]);
        // Older tables have no modified column.
        if (c.size() >= 7) module->AddField("Modified", c[5]);
        module->AddField("Path", c[c.size() >= 7 ? 6 : 5]);
    }
    return root.GetXMLText();
}

std::string GetProcessesXML(std::string_view Report) {
    static const char* const kNames[] = {"ID",     "Name",     "Description", "Version",
                                         "Memory", "Priority", "Threads",     "Path"};
    TXMLItem root("Processes");
    for (const TStrings& c : GetTableRows(GetProcessesSection(Report))) {
        if (c.size() < std::size(kNames)) continue;
        TXMLItem* process = root.AddItem("Process");
        for (size_t k = 0; k < std::size(kNames); ++k) process->AddField(kNames[k], c[k]);
    }
    return root.GetXMLText();
}

std::string GetAssemblerXML(std::string_view Report) {
    TXMLItem root("Assembler");
    const std::string listing = GetAssemblerSection(Report);
    for (std::string_view raw : SplitLogLines(listing)) {
        const std::string line = Trim(raw);
        if (line.empty()) continue;
        TXMLItem* item = root.AddItem("Line");
        if (line.front() == ';') {
            item->AddField("Address", "");
            item->AddField("Command", "");
            item->AddField("Comment", line.substr(1));
            continue;
        }
        // "0040102A  mov     eax, ...  ; comment": address, two blanks, instruction.
        const std::string_view code = Mid(line, 10);
        const size_t semicolon = code.find(';');
        item->AddField("Address", line.substr(0, 8));
        item->AddField("Command", Trim(code.substr(0, semicolon)));
        item->AddField("Comment", std::string(semicolon == npos ? "" : code.substr(semicolon + 1)));
    }
    return root.GetXMLText();
}

std::string GetCPUXML(std::string_view Report) {
    TXMLItem root("CPU");
    const std::string cpu = GetCPUSection(Report);
    if (Trim(cpu).empty()) return root.GetXMLText();
    const std::vector<std::string_view> lines = SplitLogLines(cpu);

    // "EAX: 00000000   EDI: 0012FF00" on the third to sixth lines.
    static constexpr struct {
        const char* name;
        size_t line, column;
    } kRegisters[] = {{"EAX", 2, 5},  {"EBX", 3, 5},  {"ECX", 4, 5},  {"EDX", 5, 5},
                      {"EDI", 2, 21}, {"ESI", 3, 21}, {"ESP", 4, 21}, {"EIP", 5, 21}};
    TXMLItem* registers = root.AddItem("Registers");
    for (const auto& r : kRegisters) {
        const std::string_view value = r.line < lines.size() ? Mid(lines[r.line], r.column, 8) : "";
        const std::string shown = Trim(value);
        if (shown.empty() || shown == kUnknownRegister) continue;
        registers->AddField(r.name, std::string(value));
    }

    // From the tenth line: "0012FE00: 00000000   0040102A: C7 00 ... 2A  ..*.....".
    TXMLItem* stack = root.AddItem("Stack");
    TXMLItem* dump = root.AddItem("MemoryDump");
    for (size_t i = 9; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (Trim(line).empty()) continue;
        TXMLItem* word = stack->AddItem("Line");
        word->AddField("Address", std::string(Mid(line, 0, 8)));
        word->AddField("Value", std::string(Mid(line, 10, 8)));
        TXMLItem* bytes = dump->AddItem("Line");
        bytes->AddField("Address", std::string(Mid(line, 21, 8)));
        bytes->AddField("Bytes", std::string(Mid(line, 31, 47)));
        bytes->AddField("Chars", std::string(Mid(line, 80, 16)));
    }
    return root.GetXMLText();
}

std::string GetReproduceXML(std::string_view Report) {
    TXMLItem root("HoToReproduce");
    root.AddField("Text", GetReproduceSection(Report));
    return root.GetXMLText();
}

std::string GetLogXML(std::string_view Report, const std::string& Password) {
    const std::string version = GetLogVersion(Report);
    std::string text = "<Log Version=\"" + TXMLItem::EncodedString(version) + "\">\r\n";
    text += GetGeneralXML(Report);
    text += GetCallStackXML(Report, Password);
    text += GetModulesXML(Report);
    text += GetProcessesXML(Report);
    text += GetAssemblerXML(Report);
    text += GetCPUXML(Report);
    if (IsOlderThan(version, "5.0")) text += GetReproduceXML(Report);
    text += "</Log>";
    return IndentInnerLines(text);
}

std::string GetXML(const std::vector<std::string>& Reports, const std::string& Password) {
    std::string text = "<Doc>\r\n";
    for (const std::string& report : Reports) text += GetLogXML(report, Password);
    text += "</Doc>";
    return IndentInnerLines(text);
}

} // namespace kv::crash
