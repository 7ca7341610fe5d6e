#pragma once
// Where a footer bar puts its buttons: a left group from the left edge, a right group from the
// right edge and a centred group, each button spaced by the widths and space intervals of the
// buttons outside it. Pure rules over the footer's children; portable.
#include <optional>
#include <vector>

namespace kv {

// A child of the footer as the arrangement sees it. alignment: 0 left, 1 right, 2 centre
// (the values of TAlignment).
struct TWlFooterChild {
    bool isButton = true; // other children keep their places and count in no group
    int alignment = 1;
    int width = 0;
    int height = 0;
    int spaceInterval = 0;
};

// The place of one button: its left and top, and the edges its anchors hold (the group).
struct TWlFooterPlacement {
    int left = 0;
    int top = 0;
    int alignment = 1;

    bool operator==(const TWlFooterPlacement&) const = default;
};

// Places every button child of a footer of that size; entries of other children stay empty.
// Every division truncates towards zero (a button taller than the footer gets a negative top
// rounded up).
std::vector<std::optional<TWlFooterPlacement>>
ArrangeFooter(const std::vector<TWlFooterChild>& children, int footerWidth, int footerHeight,
              int margin);

} // namespace kv
