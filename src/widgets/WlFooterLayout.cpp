#include "widgets/WlFooterLayout.h"

namespace kv {

namespace {

struct GroupSum {
    int count = 0;
    int widths = 0;
    int spaces = 0;
};

// The buttons of one group among the positions from..to (inclusive, either direction).
GroupSum SumGroup(const std::vector<TWlFooterChild>& children, int alignment, int from, int to) {
    GroupSum sum;
    const int step = from <= to ? 1 : -1;
    for (int i = from; from <= to ? i <= to : i >= to; i += step) {
        const TWlFooterChild& c = children[static_cast<size_t>(i)];
        if (!c.isButton || c.alignment != alignment) continue;
        ++sum.count;
        sum.widths += c.width;
        sum.spaces += c.spaceInterval;
    }
    return sum;
}

} // namespace

std::vector<std::optional<TWlFooterPlacement>>
ArrangeFooter(const std::vector<TWlFooterChild>& children, int footerWidth, int footerHeight,
              int margin) {
    std::vector<std::optional<TWlFooterPlacement>> places(children.size());
    const int last = static_cast<int>(children.size()) - 1;
    for (int k = 0; k <= last; ++k) {
        const TWlFooterChild& b = children[static_cast<size_t>(k)];
        if (!b.isButton) continue;
        TWlFooterPlacement p;
        p.alignment = b.alignment;
        p.top = (footerHeight - b.height) / 2;
        if (b.alignment == 0) {
            const GroupSum outside = k > 0 ? SumGroup(children, 0, k - 1, 0) : GroupSum{};
            p.left =
                outside.count == 0 ? margin : outside.widths + outside.spaces + b.spaceInterval;
        } else if (b.alignment == 1) {
            const GroupSum outside = k < last ? SumGroup(children, 1, k + 1, last) : GroupSum{};
            p.left = footerWidth - (outside.widths + b.width);
            p.left -= outside.count == 0 ? margin : outside.spaces + b.spaceInterval;
        } else {
            const GroupSum before = k > 0 ? SumGroup(children, b.alignment, k - 1, 0) : GroupSum{};
            const GroupSum all = SumGroup(children, b.alignment, 0, last);
            p.left =
                footerWidth / 2 - (all.widths + all.spaces) / 2 + before.widths + before.spaces;
        }
        places[static_cast<size_t>(k)] = p;
    }
    return places;
}

} // namespace kv
