#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/MessagePump.h"
#include "csv/TCsv.h"

// The table's fast paths (runs copied at once, cells as arena ranges) checked against a plain
// one-unit-at-a-time tokenizer with a string per cell, over many random texts.
namespace {

using Rows = std::vector<std::vector<std::u16string>>;

struct Reference {
    Rows rows;
    int pumps = 0;

    void Append(size_t r, size_t c, char16_t ch) {
        while (rows.size() <= r) rows.emplace_back(c);
        while (rows[r].size() <= c) rows[r].emplace_back();
        rows[r][c].push_back(ch);
    }

    explicit Reference(std::u16string_view text) {
        size_t r = 0, c = 0;
        bool fieldStart = true, unquoted = false, inQuotes = false;
        for (char16_t ch : text) {
            if (ch == u'\r') continue;
            if (ch == u'\v') ch = u'\n';
            if (ch <= 0x80 && !(ch == u'\t' || ch == u'\n' || (ch >= 0x20 && ch <= 0x7E))) continue;
            if (fieldStart) {
                unquoted = ch != u'"';
                inQuotes = unquoted;
            }
            if (unquoted) {
                if (ch == u'\n') {
                    ++r, c = 0, fieldStart = true;
                } else if (ch == u',') {
                    ++c, fieldStart = true;
                } else {
                    Append(r, c, ch);
                    fieldStart = false;
                }
                continue;
            }
            if (ch == u'"') inQuotes = !inQuotes;
            if (inQuotes) {
                if (!(ch == u'"' && fieldStart)) Append(r, c, ch);
                fieldStart = false;
            } else if (ch == u',') {
                ++c, fieldStart = true;
            } else if (ch == u'\n') {
                ++r, c = 0, fieldStart = true;
            } else if (ch != u'"') {
                Append(r, c, ch);
                fieldStart = false;
            }
            ++pumps;
        }
        size_t cols = 0;
        for (const auto& row : rows) cols = std::max(cols, row.size());
        for (auto& row : rows) row.resize(cols);
    }
};

TEST(TCsvReference, RandomTextsParseAsTheReferenceDoes) {
    static const char16_t kAlphabet[] = {u'a',  u'b',  u',',  u',',      u'"',   u'"',
                                         u'\n', u'\r', u'\v', u' ',      u'\t',  0,
                                         0x7F,  0x80,  0x81,  u'\u3042', 0xD800, u'x'};
    static int pumps;
    kv::SetMessagePump([](void*) { ++pumps; }, nullptr);
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int round = 0; round < 3000; ++round) {
        std::u16string text(next() % 40, u'\0');
        for (char16_t& ch : text) ch = kAlphabet[next() % std::size(kAlphabet)];
        const Reference ref(text);
        pumps = 0;
        TCsv t;
        ASSERT_TRUE(t.SetText(text));
        ASSERT_EQ(pumps, ref.pumps) << round;
        ASSERT_EQ(static_cast<size_t>(t.GetRowCount()), ref.rows.size()) << round;
        ASSERT_EQ(static_cast<size_t>(t.GetColCount()), ref.rows.empty() ? 0 : ref.rows[0].size())
            << round;
        for (int r = 0; r < t.GetRowCount(); ++r) {
            ASSERT_EQ(t.GetRow(r), ref.rows[r]) << round << " row " << r;
            size_t c = 0;
            t.ForEachCell(r, [&](std::u16string_view cell) { ASSERT_EQ(cell, ref.rows[r][c++]); });
        }
    }
    kv::SetMessagePump(nullptr, nullptr);
}

} // namespace
