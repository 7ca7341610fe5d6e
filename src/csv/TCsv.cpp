#include "csv/TCsv.h"

#include <algorithm>
#include <array>
#include <new>

#include "base/MessagePump.h"
#include "base/Stream.h"
#include "csv/TStringUtility.h"

namespace {

// How each code unit up to U+0080 is handled; everything above passes as data.
enum class Kind : uint8_t { Skip, Plain, LineEnd, Comma, Quote, VTab };

constexpr std::array<Kind, 0x81> MakeKinds() {
    std::array<Kind, 0x81> t{}; // Skip: NUL..US except below, DEL, U+0080, and CR
    for (int ch = 0x20; ch <= 0x7E; ++ch) t[ch] = Kind::Plain;
    t[0x09] = Kind::Plain;
    t[0x0A] = Kind::LineEnd;
    t[0x0B] = Kind::VTab; // acts as LF, and is LF where it lands in a cell
    t[u','] = Kind::Comma;
    t[u'"'] = Kind::Quote;
    return t;
}
constexpr std::array<Kind, 0x81> kKinds = MakeKinds();

inline Kind KindOf(char16_t ch) {
    return ch > 0x80 ? Kind::Plain : kKinds[ch];
}

// Units that can be copied in a run: inside an unquoted field everything but separators and
// skipped units; inside quotes everything but the quote and skipped units (VT needs mapping).
inline bool UnquotedRun(char16_t ch) {
    const Kind k = KindOf(ch);
    return k == Kind::Plain || k == Kind::Quote;
}
inline bool QuotedRun(char16_t ch) {
    const Kind k = KindOf(ch);
    return k == Kind::Plain || k == Kind::LineEnd || k == Kind::Comma;
}

inline void PumpTimes(size_t n) {
    if (!kv::detail::g_pumpFn) return;
    for (size_t i = 0; i < n; ++i) kv::PumpMessages();
}

} // namespace

// Walks the text one code unit at a time (with runs of ordinary characters copied at once),
// keeping its state between pieces so a file can be fed as it is decoded.
class TCsv::Tokenizer {
public:
    explicit Tokenizer(TCsv& t) : t_(t) {}

    void Feed(const char16_t* p, size_t n) {
        const char16_t* const end = p + n;
        while (p < end) {
            const char16_t ch = *p;
            Kind k = KindOf(ch);
            if (k == Kind::Skip) {
                ++p;
                continue;
            }
            if (fieldStart_) {
                unquoted_ = k != Kind::Quote;
                inQuotes_ = unquoted_;
            }
            if (unquoted_) {
                if (k == Kind::LineEnd || k == Kind::VTab) {
                    NewRow();
                    ++p;
                } else if (k == Kind::Comma) {
                    ++col_;
                    fieldStart_ = true;
                    ++p;
                } else {
                    const char16_t* runEnd = p + 1;
                    while (runEnd < end && UnquotedRun(*runEnd)) ++runEnd;
                    Append(p, static_cast<size_t>(runEnd - p));
                    fieldStart_ = false;
                    p = runEnd;
                }
                continue;
            }
            // Quoted field.
            if (k == Kind::Quote) inQuotes_ = !inQuotes_;
            if (inQuotes_) {
                if (k == Kind::Quote) {
                    if (!fieldStart_) Append(p, 1); // doubled quote, or quoting reopened
                    ++p;
                } else if (k == Kind::VTab) {
                    const char16_t lf = u'\n';
                    Append(&lf, 1);
                    ++p;
                } else {
                    const char16_t* runEnd = p + 1;
                    while (runEnd < end && QuotedRun(*runEnd)) ++runEnd;
                    // Skipped units inside the run would pump; they end the run instead.
                    const size_t len = static_cast<size_t>(runEnd - p);
                    Append(p, len);
                    fieldStart_ = false;
                    PumpTimes(len - 1);
                    p = runEnd;
                }
                fieldStart_ = false;
            } else {
                if (k == Kind::Comma) {
                    ++col_;
                    fieldStart_ = true;
                } else if (k == Kind::LineEnd || k == Kind::VTab) {
                    NewRow();
                } else if (k != Kind::Quote) {
                    Append(p, 1); // text after the closing quote stays in the cell
                    fieldStart_ = false;
                }
                ++p;
            }
            kv::PumpMessages();
        }
    }

    // Ends the table: the row sentinel, the counts. A text that made no row leaves it empty.
    void Finish() {
        if (t_.rows_.size() == 0) {
            t_.text_.Reset();
            t_.cellEnds_.Reset();
            t_.rows_.Reset();
            return;
        }
        t_.rows_.push_back(
            {static_cast<uint32_t>(t_.cellEnds_.size()), static_cast<uint32_t>(t_.text_.size())});
        t_.RowCount = static_cast<int32_t>(t_.rows_.size() - 1);
        t_.ColCount = static_cast<int32_t>(maxCells_);
    }

private:
    void NewRow() {
        ++row_;
        col_ = 0;
        fieldStart_ = true;
    }

    // Cells come into being only when a character lands in them: rows before the current one
    // and cells left of the current one are created (empty) on the way.
    void Append(const char16_t* s, size_t n) {
        if (t_.rows_.size() <= row_) {
            const RowInfo r{static_cast<uint32_t>(t_.cellEnds_.size()),
                            static_cast<uint32_t>(t_.text_.size())};
            while (t_.rows_.size() <= row_) t_.rows_.push_back(r);
            cellsInRow_ = 0;
        }
        if (cellsInRow_ <= col_) {
            const uint32_t pos = static_cast<uint32_t>(t_.text_.size());
            while (cellsInRow_ <= col_) {
                t_.cellEnds_.push_back(pos);
                ++cellsInRow_;
            }
            if (cellsInRow_ > maxCells_) maxCells_ = cellsInRow_;
        }
        if (t_.text_.size() + n > UINT32_MAX) throw std::bad_alloc();
        std::copy(s, s + n, t_.text_.Grow(n));
        t_.text_.Added(n);
        t_.cellEnds_[t_.cellEnds_.size() - 1] = static_cast<uint32_t>(t_.text_.size());
    }

    TCsv& t_;
    size_t row_ = 0;
    size_t col_ = 0;
    size_t cellsInRow_ = 0;
    size_t maxCells_ = 0;
    bool fieldStart_ = true;
    bool unquoted_ = false;
    bool inQuotes_ = false;
};

TCsv::~TCsv() {
    Clear();
}

void TCsv::Clear() {
    if (IsEmpty()) return;
    text_.Reset();
    cellEnds_.Reset();
    rows_.Reset();
    RowCount = 0;
    ColCount = 0;
}

namespace {

// Address space to reserve for a text of textUnits code units; the buffers move if the guess
// for cells and rows is short.
struct Reservation {
    size_t text, cells, rows;
};
Reservation Estimate(uint64_t textUnits) {
    const size_t units = static_cast<size_t>(std::min<uint64_t>(textUnits, UINT32_MAX)) + 1;
    return {units, units / 8 + 64, units / 32 + 64};
}

} // namespace

bool TCsv::SetText(std::u16string_view text) {
    if (!IsEmpty()) return false;
    const Reservation r = Estimate(text.size());
    try {
        text_.Reserve(r.text);
        cellEnds_.Reserve(r.cells);
        rows_.Reserve(r.rows);
        Tokenizer tok(*this);
        tok.Feed(text.data(), text.size());
        tok.Finish();
    } catch (...) {
        RowCount = ColCount = 0;
        text_.Reset();
        cellEnds_.Reset();
        rows_.Reset();
        throw;
    }
    return true;
}

bool TCsv::LoadFromFile(const std::u16string& path) {
    if (!IsEmpty()) return false;
    try {
        kv::TFileStream stream(path);
        const unsigned short codePage = TStringUtility::DetectCodePage(stream);
        const Reservation r = Estimate(
            TStringUtility::MaxTextLength(codePage, static_cast<uint64_t>(stream.GetSize())));
        text_.Reserve(r.text);
        cellEnds_.Reserve(r.cells);
        rows_.Reserve(r.rows);
        Tokenizer tok(*this);
        TStringUtility::DecodeStream(stream, codePage,
                                     [&](const char16_t* s, size_t n) { tok.Feed(s, n); });
        tok.Finish();
        return true;
    } catch (...) {
        // Missing or locked file, read error, exhausted memory: no table, no message.
        RowCount = ColCount = 0;
        text_.Reset();
        cellEnds_.Reset();
        rows_.Reset();
        return false;
    }
}

std::vector<std::u16string> TCsv::GetRow(int row) const {
    std::vector<std::u16string> cells;
    cells.reserve(static_cast<size_t>(ColCount));
    for (int c = 0; c < ColCount; ++c) cells.emplace_back(CellView(row, c));
    return cells;
}
