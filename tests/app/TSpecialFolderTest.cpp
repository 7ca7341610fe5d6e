#include <gtest/gtest.h>

#include "app/TSpecialFolder.h"
#include "base/Exception.h"

namespace {

TEST(TSpecialFolder, CodesMapToTheShellFolders) {
    static constexpr struct {
        int code;
        int csidl;
    } kCases[] = {{0, 29}, {1, 26}, {2, 10}, {11, 0}, {13, 17}, {17, 1}, {21, 5}, {29, 21}};
    for (const auto& c : kCases) EXPECT_EQ(TSpecialFolder::ToCsidl(c.code), c.csidl) << c.code;
}

TEST(TSpecialFolder, UnknownCodeRaises) {
    for (const int code : {30, -1, 26 + 0x100}) {
        try {
            TSpecialFolder::ToCsidl(code);
            ADD_FAILURE() << code;
        } catch (const kv::Exception& e) {
            EXPECT_EQ(e.Message(), u"指定されたコードが見つかりません。");
        }
    }
}

} // namespace
