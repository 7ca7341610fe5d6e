#include <gtest/gtest.h>

#include "app/TkAppInfo.h"
#include "base/Text.h"

namespace {

TEST(TkAppInfo, FirstTranslationIsJapaneseUnicode) {
    const TkAppInfo info;
    EXPECT_EQ(info.Translation, 0x04B00411u); // language 0x0411, code page 0x04B0
    EXPECT_FALSE(info.Buffer.empty());
}

TEST(TkAppInfo, ValuesOfTheVersionResource) {
    static constexpr struct {
        int index;
        const char16_t* value;
    } kCases[] = {
        {0, u"2つのCSVファイルをキー列で結合します。"},
        {1, u"Ostrevin"},
        {2, u"Kolvane CSVファイル結合ツール"},
        {3, u"1.0.0.0"},
        {4, u"test_app"},
        {5, u"Ostrevin"},
        {6, u""}, // no "LegalTradeMarks"
        {7, u"test_app.exe"},
        {8, u""}, // no "PrivateBuild"
        {9, u"Kolvane"},
        {10, u"1.0.0.0"},
        {11, u""},
        {-1, u""},
    };
    const TkAppInfo info;
    for (const auto& c : kCases) EXPECT_EQ(info.GetValue(c.index), c.value) << c.index;
}

TEST(TkAppInfo, ValueNames) {
    EXPECT_EQ(std::u16string(TkAppInfo::ValueName(3)), u"FileVersion");
    EXPECT_EQ(std::u16string(TkAppInfo::ValueName(6)), u"LegalTradeMarks");
    EXPECT_EQ(TkAppInfo::ValueName(11), nullptr);
}

} // namespace
