#include "crash/tools/TDebugModel.h"

#include <algorithm>

namespace kv::crash::tools {

namespace {

// Pieces closer than this to the previous one of the same file share its record.
constexpr uint64_t kMaxRecordGap = 64;

struct TPiece {
    uint64_t Low = 0;
    uint64_t High = 0;
    std::string Home;
    const TDwarfFunction* Function = nullptr; // none for code without a function entry
};

struct TSortedRow {
    uint64_t Address;
    size_t Order; // position in the line program, for rows at the same address
    uint32_t File;
    uint32_t Line;
};

// The call line of the outermost inlined function at address, when it was called from home.
bool CallSiteLine(const TDwarfFunction& f, uint64_t address, const std::string& home,
                  uint32_t& line) {
    for (const TDwarfInline& in : f.Inlines)
        for (const TDwarfRange& r : in.Ranges)
            if (address >= r.Low && address < r.High) {
                if (in.CallFile != home || in.CallLine == 0) return false;
                line = in.CallLine;
                return true;
            }
    return false;
}

} // namespace

std::string BaseName(const std::string& path) {
    const size_t at = path.find_last_of("/\\");
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::vector<TUnitRecord> BuildDebugModel(const TPeImageFile& image,
                                         const std::vector<TDwarfUnit>& units) {
    std::vector<TUnitRecord> records;
    for (const TDwarfUnit& unit : units) {
        // Rows of sequences that lie in the code, in address order.
        std::vector<TSortedRow> rows;
        std::vector<TDwarfRange> sequences;
        size_t first = 0;
        for (size_t i = 0; i < unit.Rows.size(); ++i) {
            if (!unit.Rows[i].EndSequence) continue;
            const uint64_t start = unit.Rows[first].Address, end = unit.Rows[i].Address;
            if (i > first && end > start && image.InCode(start)) {
                sequences.push_back({start, end});
                for (size_t k = first; k < i; ++k)
                    rows.push_back({unit.Rows[k].Address, k, unit.Rows[k].File, unit.Rows[k].Line});
            }
            first = i + 1;
        }
        std::sort(rows.begin(), rows.end(), [](const TSortedRow& a, const TSortedRow& b) {
            return a.Address != b.Address ? a.Address < b.Address : a.Order < b.Order;
        });
        auto pathOf = [&](uint32_t file) -> const std::string& {
            static const std::string none;
            return file < unit.Files.size() ? unit.Files[file] : none;
        };

        std::vector<TPiece> pieces;
        for (const TDwarfFunction& f : unit.Functions)
            for (const TDwarfRange& r : f.Ranges)
                if (image.InCode(r.Low))
                    pieces.push_back(
                        {r.Low, r.High, f.DeclFile.empty() ? unit.Name : f.DeclFile, &f});
        for (const TDwarfRange& s : sequences) {
            const bool covered = std::any_of(pieces.begin(), pieces.end(), [&](const TPiece& p) {
                return p.Function && p.Low < s.High && s.Low < p.High;
            });
            if (covered) continue;
            const auto at =
                std::lower_bound(rows.begin(), rows.end(), s.Low,
                                 [](const TSortedRow& r, uint64_t a) { return r.Address < a; });
            pieces.push_back(
                {s.Low, s.High, at != rows.end() ? pathOf(at->File) : unit.Name, nullptr});
        }
        std::sort(pieces.begin(), pieces.end(),
                  [](const TPiece& a, const TPiece& b) { return a.Low < b.Low; });

        TUnitRecord* current = nullptr;
        uint64_t lastHigh = 0;
        for (const TPiece& p : pieces) {
            if (p.Low < lastHigh) continue; // overlapping pieces: the first one stands
            lastHigh = p.High;
            if (!current || current->SourcePath != p.Home || p.Low - current->End > kMaxRecordGap) {
                records.push_back({});
                current = &records.back();
                current->SourcePath = p.Home;
                current->FileName = BaseName(p.Home);
                current->Start = p.Low;
            }
            current->End = p.High;
            if (p.Function)
                current->Procs.push_back({p.Low, p.Function->ClassName, p.Function->Name});
            auto at =
                std::lower_bound(rows.begin(), rows.end(), p.Low,
                                 [](const TSortedRow& r, uint64_t a) { return r.Address < a; });
            for (; at != rows.end() && at->Address < p.High; ++at) {
                uint32_t line = at->Line;
                if (pathOf(at->File) != p.Home &&
                    (!p.Function || !CallSiteLine(*p.Function, at->Address, p.Home, line)))
                    continue;
                auto& lines = current->Lines;
                if (!lines.empty() && lines.back().Address == at->Address)
                    lines.back().Line = line; // the last row at an address holds
                else
                    lines.push_back({at->Address, line});
            }
        }
    }
    std::sort(records.begin(), records.end(),
              [](const TUnitRecord& a, const TUnitRecord& b) { return a.Start < b.Start; });
    // Records of different units never overlap in a sound image; should they, the earlier one is
    // cut back so that lookups stay unambiguous.
    for (size_t i = 1; i < records.size(); ++i)
        if (records[i].Start < records[i - 1].End) records[i - 1].End = records[i].Start;
    for (TUnitRecord& r : records) {
        std::vector<TModelLine> lines;
        for (const TModelLine& l : r.Lines) {
            if (l.Address >= r.End) break;
            if (!lines.empty() && lines.back().Line == l.Line) continue;
            lines.push_back(l);
        }
        r.Lines = std::move(lines);
        r.Procs.erase(std::remove_if(r.Procs.begin(), r.Procs.end(),
                                     [&](const TModelProc& p) { return p.Address >= r.End; }),
                      r.Procs.end());
    }
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [](const TUnitRecord& r) { return r.End <= r.Start; }),
                  records.end());
    return records;
}

} // namespace kv::crash::tools
