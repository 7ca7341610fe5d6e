#include <gtest/gtest.h>

#include "widgets/WlFooterLayout.h"

namespace {

using kv::ArrangeFooter;
using kv::TWlFooterChild;

constexpr int kLeft = 0, kRight = 1, kCenter = 2;

TWlFooterChild Button(int alignment, int width = 74, int space = 6, int height = 23) {
    return {true, alignment, width, height, space};
}
TWlFooterChild Other() {
    return {false, kLeft, 50, 50, 0};
}

TEST(ArrangeFooter, GroupsMarginAndSpaceIntervals) {
    static const struct {
        const char* name;
        int width, height, margin;
        std::vector<TWlFooterChild> children;
        std::vector<int> lefts; // -1: not a button
    } kCases[] = {
        {"help, OK, cancel on 367",
         367,
         37,
         8,
         {Button(kLeft), Button(kRight), Button(kRight)},
         {8, 207, 285}},
        {"help, wide save, close on 426",
         426,
         37,
         8,
         {Button(kLeft), Button(kRight, 180), Button(kRight)},
         {8, 160, 344}},
        {"OK, cancel on 327", 327, 37, 8, {Button(kRight), Button(kRight)}, {167, 245}},
        {"lone centred, no space", 297, 37, 8, {Button(kCenter, 74, 0)}, {111}},
        {"lone centred, space 6: 3 left of the centre", 297, 37, 8, {Button(kCenter)}, {108}},
        {"two left: the margin places only the outer one",
         367,
         37,
         8,
         {Button(kLeft), Button(kLeft)},
         {8, 86}},
        {"three left with other intervals",
         400,
         37,
         5,
         {Button(kLeft, 50, 2), Button(kLeft, 60, 3), Button(kLeft, 70, 4)},
         {5, 50 + 2 + 3, 50 + 60 + 2 + 3 + 4}},
        {"other children count in no group",
         367,
         37,
         8,
         {Button(kRight), Other(), Button(kRight)},
         {207, -1, 285}},
        {"groups do not mix",
         367,
         37,
         8,
         {Button(kRight), Button(kLeft), Button(kCenter, 40, 0)},
         {285, 8, 163}},
        {"larger margin", 367, 37, 20, {Button(kLeft), Button(kRight)}, {20, 273}},
        {"no children", 367, 37, 8, {}, {}},
    };
    for (const auto& c : kCases) {
        const auto places = ArrangeFooter(c.children, c.width, c.height, c.margin);
        ASSERT_EQ(places.size(), c.lefts.size()) << c.name;
        for (size_t i = 0; i < places.size(); ++i) {
            if (c.lefts[i] < 0) {
                EXPECT_FALSE(places[i].has_value()) << c.name << " child " << i;
                continue;
            }
            ASSERT_TRUE(places[i].has_value()) << c.name << " child " << i;
            EXPECT_EQ(places[i]->left, c.lefts[i]) << c.name << " child " << i;
            EXPECT_EQ(places[i]->alignment, c.children[i].alignment) << c.name << " child " << i;
        }
    }
}

TEST(ArrangeFooter, TopIsCentredTruncatingTowardsZero) {
    static const struct {
        const char* name;
        int footerHeight, buttonHeight, top;
    } kCases[] = {
        {"stored footers", 37, 23, 7},
        {"odd difference", 38, 23, 7},
        {"button taller than the footer", 20, 23, -1},
        {"much taller", 10, 23, -6},
    };
    for (const auto& c : kCases) {
        const auto places =
            ArrangeFooter({Button(kRight, 74, 6, c.buttonHeight)}, 367, c.footerHeight, 8);
        EXPECT_EQ(places[0]->top, c.top) << c.name;
    }
}

} // namespace
