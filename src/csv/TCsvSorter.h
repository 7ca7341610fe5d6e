#pragma once
// Sort conditions (column, direction) and the row comparison that orders by them; their
// comma-text form for projects, command lines and batch files. Stateless.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TCsvSorter {
public:
    struct TSortInfo {
        int32_t Column;
        int32_t Order; // 0 ascending, 1 descending, anything else inert
        bool operator==(const TSortInfo&) const = default;
    };

    // True when a sorts strictly before b. Rows are any type with size() and operator[]
    // giving text (arrays of strings, joined rows).
    template <class Row>
    static bool Compare(const std::vector<TSortInfo>& infos, const Row& a, const Row& b);
    static bool Compare(const std::vector<TSortInfo>& infos, const std::vector<std::u16string>& a,
                        const std::vector<std::u16string>& b) {
        return Compare<std::vector<std::u16string>>(infos, a, b);
    }

    static std::u16string ToCommaText(const std::vector<TSortInfo>& infos);
    static std::vector<TSortInfo> FromCommaText(std::u16string_view text);
};

template <class Row>
bool TCsvSorter::Compare(const std::vector<TSortInfo>& infos, const Row& a, const Row& b) {
    const uint32_t na = static_cast<uint32_t>(a.size());
    const uint32_t nb = static_cast<uint32_t>(b.size());
    for (const TSortInfo& info : infos) {
        const uint32_t c = static_cast<uint32_t>(info.Column);
        const bool inA = c < na, inB = c < nb;
        if (!inA && !inB) continue;
        if (inA != inB) return inA;
        const std::u16string_view x(a[c]), y(b[c]);
        if (x == y) continue;
        if (info.Order == 0) return x < y;
        if (info.Order == 1) return y < x;
    }
    return false;
}
