#include "crash/dialogs/ClDialogSupport.h"

#include "base/Exception.h"
#include "crash/capture/CrashLogUtils.h"

#include <gtest/gtest.h>

namespace kv::crash {
namespace {

TEST(ClDialogSupport, ListCells) {
    struct Case {
        const char* label;
        std::string got, want;
    };
    const Case cases[] = {
        {"folder", ExtractDisplayPath("C:\\app\\x.dll"), "C:\\app"},
        {"drive root keeps its backslash", ExtractDisplayPath("C:\\x.dll"), "C:\\"},
        {"kernel form", ExtractDisplayPath("\\??\\C:\\Windows\\a.dll"), "C:\\Windows"},
        {"1.5 Kb to the even 2", SizeToKbText(1536), "2 Kb"},
        {"0.5 Kb to the even 0", SizeToKbText(512), "0 Kb"},
        {"2.5 Kb to the even 2", SizeToKbText(2560), "2 Kb"},
        {"just above a half", SizeToKbText(1024 + 513), "2 Kb"},
        {"no size", SizeToKbText(0), ""},
        {"build masked", MaskVersionBuild("6.1.4.12"), "6.1.x"},
        {"two parts", MaskVersionBuild("6.1"), "6.1"},
        {"three parts", MaskVersionBuild("10.0.19041"), "10.0.x"},
        {"priority", PriorityClassToText(0x4000), "Below-Normal"},
        {"unknown priority", PriorityClassToText(5), ""},
        {"no count", CountToText(0), "??"},
        {"count", CountToText(12), "12"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.label;
}

TEST(ClDialogSupport, WrappedTextHeight) {
    // Every character 10 wide, lines 13 high; an empty word has no width.
    const TTextMeasure measure = [](std::u16string_view word) {
        return TTextExtent{static_cast<int>(word.size()) * 10, 13};
    };
    struct Case {
        const char* label;
        std::u16string text;
        int width, want;
    };
    const Case cases[] = {
        {"one line", u"abc def", 100, 13},
        // 40 + 40 + 40 passes 94 once: a second line.
        {"wraps once", u"aaaa bbbb cccc", 100, 26},
        // A single word of 200 passes 94 twice.
        {"long word", u"aaaaaaaaaaaaaaaaaaaa", 100, 39},
        {"empty text is one line", u"", 100, 13},
        {"empty lines count", u"a\r\n\r\nb", 100, 39},
        // The separators themselves are not measured: 4 + 4 + 4 characters stay on one line.
        {"section sign breaks words", u"aaa§bbb§ccc", 140, 13},
        {"brackets break words", u"aaaaa(bbbbb)ccccc", 150, 26},
        {"a line starting with a blank counts once", u" abc", 100, 13},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WrappedTextHeight(c.text, c.width, measure), c.want) << c.label;
}

TEST(ClDialogSupport, CaptionGradientDarkensByFourPercentAStep) {
    // 18 pixels high: three steps from (130, 155, 194).
    const std::vector<uint32_t> want = {125u | 149u << 8 | 186u << 16,
                                        120u | 143u << 8 | 179u << 16,
                                        115u | 137u << 8 | 172u << 16};
    EXPECT_EQ(CaptionGradient(130u | 155u << 8 | 194u << 16, 18), want);
    EXPECT_TRUE(CaptionGradient(0xFFFFFF, 4).empty());
}

TEST(ClDialogSupport, AutoCloseCountsToItsSeconds) {
    TAutoCloseCount count;
    EXPECT_FALSE(count.Tick(3));
    EXPECT_FALSE(count.Tick(3));
    count.Restart(); // input in between
    EXPECT_FALSE(count.Tick(3));
    EXPECT_FALSE(count.Tick(3));
    EXPECT_TRUE(count.Tick(3));
}

} // namespace
} // namespace kv::crash

namespace kv::crash {
namespace {

TEST(ClDialogSupport, AnExceptionObjectCopyOutlivesItsObjectAndNamesItsClass) {
    std::unique_ptr<EExceptionObjectCopy> copy;
    {
        const kv::EConvertError original(u"'x' is not a valid boolean value");
        copy = CopyObjectInstance(&original);
    }
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(ExceptionMessageOf(copy.get()), "'x' is not a valid boolean value");
    EXPECT_EQ(GetValidObjectClassName(copy.get()), "EConvertError");
    EXPECT_EQ(CopyObjectInstance(nullptr), nullptr);

    TCrashExceptionRecord record;
    record.ExceptionObject = copy.release(); // the record takes it over
    FreeExceptionObjectCopy(record);
    EXPECT_EQ(record.ExceptionObject, nullptr);
    // Another object is not the record's to free.
    const kv::EAbort other;
    record.ExceptionObject = &other;
    FreeExceptionObjectCopy(record);
    EXPECT_EQ(record.ExceptionObject, &other);
}

} // namespace
} // namespace kv::crash
