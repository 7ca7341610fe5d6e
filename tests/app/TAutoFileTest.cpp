#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "app/TAutoFile.h"
#include "base/Exception.h"
#include "base/FileSystem.h"

namespace {

// Every field, so that a case also shows what it must leave alone.
std::string Describe(const TAutoFile& a) {
    std::string s =
        "lf=" + kv::Utf16ToUtf8(a.FileNameLeft) + " lk=" + std::to_string(a.KeyLeft) +
        " lt=" + std::to_string(a.FirstLineIsTitleLeft) +
        " rf=" + kv::Utf16ToUtf8(a.FileNameRight) + " rk=" + std::to_string(a.KeyRight) +
        " rt=" + std::to_string(a.FirstLineIsTitleRight) +
        " cf=" + kv::Utf16ToUtf8(a.SaveFileName) + " ci=" + std::to_string(a.EncodingIndex) +
        " ct=" + std::to_string(a.ShowType) + " cs=" + std::to_string(a.SaveIsNew) +
        " a=" + std::to_string(a.Auto) + " p=" + kv::Utf16ToUtf8(a.ProjectFileName) +
        " cc=" + std::to_string(a.SaveSortCol) + " co=";
    for (const auto& i : a.SortInfos)
        s += std::to_string(i.Column) + "/" + std::to_string(i.Order) + ";";
    return s;
}

// Values unlike the initial ones, so that a conversion to 0 or false shows.
TAutoFile Seeded() {
    TAutoFile a;
    a.FileNameLeft = u"L";
    a.KeyLeft = 9;
    a.FirstLineIsTitleLeft = true;
    a.FileNameRight = u"R";
    a.KeyRight = 9;
    a.FirstLineIsTitleRight = true;
    a.SaveFileName = u"S";
    a.EncodingIndex = 9;
    a.ShowType = 9;
    a.SaveIsNew = false;
    a.SaveSortCol = 1;
    a.SortInfos = {{9, 1}};
    return a;
}

TEST(TAutoFile, InitialValues) {
    const TAutoFile a;
    EXPECT_EQ(Describe(a), "lf= lk=0 lt=0 rf= rk=0 rt=0 cf= ci=0 ct=0 cs=1 a=0 p= cc=0 co=");
}

TEST(TAutoFile, ParseParamOneArgument) {
    using Edit = void (*)(TAutoFile&);
    static constexpr struct {
        const char* name;
        const char16_t* arg;
        Edit edit;
    } kCases[] = {
        {"-a", u"-a", [](TAutoFile& a) { a.Auto = true; }},
        {"-A is not -a", u"-A", [](TAutoFile&) {}},
        {"empty argument", u"", [](TAutoFile&) {}},
        {"prefix case is exact", u"-LF=x", [](TAutoFile&) {}},
        {"unknown option", u"-x=1", [](TAutoFile&) {}},
        {"too short", u"-lf", [](TAutoFile&) {}},
        {"project file", u"C:\\p q.kvj", [](TAutoFile& a) { a.ProjectFileName = u"C:\\p q.kvj"; }},
        {"-lf=", u"-lf=C:\\\u30C7\u30FC\u30BF\\a b.csv",
         [](TAutoFile& a) { a.FileNameLeft = u"C:\\\u30C7\u30FC\u30BF\\a b.csv"; }},
        {"-lf= empty", u"-lf=", [](TAutoFile& a) { a.FileNameLeft = u""; }},
        {"-lk=", u"-lk=3", [](TAutoFile& a) { a.KeyLeft = 3; }},
        {"-lk= letters", u"-lk=abc", [](TAutoFile& a) { a.KeyLeft = 0; }},
        {"-lk= -1", u"-lk=-1", [](TAutoFile& a) { a.KeyLeft = -1; }},
        {"-lt=0", u"-lt=0", [](TAutoFile& a) { a.FirstLineIsTitleLeft = false; }},
        {"-lt=false", u"-lt=FALSE", [](TAutoFile& a) { a.FirstLineIsTitleLeft = false; }},
        {"-rf=", u"-rf=C:\\r.csv", [](TAutoFile& a) { a.FileNameRight = u"C:\\r.csv"; }},
        {"-rk=", u"-rk=12", [](TAutoFile& a) { a.KeyRight = 12; }},
        {"-rt=0", u"-rt=0", [](TAutoFile& a) { a.FirstLineIsTitleRight = false; }},
        {"-cf=", u"-cf=C:\\o.csv", [](TAutoFile& a) { a.SaveFileName = u"C:\\o.csv"; }},
        {"-ci=", u"-ci=1", [](TAutoFile& a) { a.EncodingIndex = 1; }},
        {"-cs=-1", u"-cs=-1", [](TAutoFile& a) { a.SaveIsNew = true; }},
        {"-cs=true", u"-cs=True", [](TAutoFile& a) { a.SaveIsNew = true; }},
        {"-ct=", u"-ct=3", [](TAutoFile& a) { a.ShowType = 3; }},
        {"-cc=2", u"-cc=2", [](TAutoFile& a) { a.SaveSortCol = 2; }},
        {"-cc=0", u"-cc=0", [](TAutoFile& a) { a.SaveSortCol = 0; }},
        {"-cc=7 reads 0", u"-cc=7", [](TAutoFile& a) { a.SaveSortCol = 0; }},
        {"-cc=-1 reads 0", u"-cc=-1", [](TAutoFile& a) { a.SaveSortCol = 0; }},
        {"-cc= letters read 0", u"-cc=x", [](TAutoFile& a) { a.SaveSortCol = 0; }},
        {"-co=", u"-co=3,1,0,0",
         [](TAutoFile& a) {
             a.SortInfos = {{3, 1}, {0, 0}};
         }},
        {"-co= empty", u"-co=", [](TAutoFile& a) { a.SortInfos.clear(); }},
    };
    for (const auto& c : kCases) {
        TAutoFile parsed = Seeded();
        parsed.ParseParam(c.arg);
        TAutoFile expected = Seeded();
        c.edit(expected);
        EXPECT_EQ(Describe(parsed), Describe(expected)) << c.name;
    }
}

TEST(TAutoFile, TrueFlagsFromTheirInitialValues) {
    TAutoFile a;
    a.ParseParam(u"-lt=-1");
    a.ParseParam(u"-rt=1");
    a.ParseParam(u"-cs=0");
    EXPECT_TRUE(a.FirstLineIsTitleLeft);
    EXPECT_TRUE(a.FirstLineIsTitleRight);
    EXPECT_FALSE(a.SaveIsNew);
}

TEST(TAutoFile, BadBooleanRaisesTheConversionError) {
    for (const char16_t* arg : {u"-lt=yes", u"-rt=", u"-cs=on"}) {
        TAutoFile a = Seeded();
        EXPECT_THROW(a.ParseParam(arg), kv::EConvertError) << kv::Utf16ToUtf8(arg);
        EXPECT_EQ(Describe(a), Describe(Seeded())) << kv::Utf16ToUtf8(arg);
    }
}

TEST(TAutoFile, LeftmostOccurrenceWinsWhenAppliedLastToFirst) {
    const std::vector<std::u16string> args = {u"-lk=1", u"-lf=a.csv", u"-cc=2", u"-lk=2",
                                              u"-a",    u"-lf=b.csv", u"-cc=1"};
    TAutoFile a;
    for (auto it = args.rbegin(); it != args.rend(); ++it) a.ParseParam(*it);
    EXPECT_EQ(a.KeyLeft, 1);
    EXPECT_EQ(a.FileNameLeft, u"a.csv");
    EXPECT_EQ(a.SaveSortCol, 2);
    EXPECT_TRUE(a.Auto);
}

TEST(TAutoFile, BatchLine) {
    const std::u16string exe = u"C:\\Program Files\\Kolvane\\kolvane.exe";
    const std::u16string head = u"\"C:\\Program Files\\Kolvane\\kolvane.exe\" -a ";
    const std::vector<TCsvSorter::TSortInfo> two = {{3, 1}, {0, 0}};
    EXPECT_EQ(TAutoFile::BatchLine(exe, u"C:\\in\\left.csv", 0, true, u"C:\\in\\right.csv", 2,
                                   false, u"C:\\out dir\\r.csv", 1, true, 0, 0, two),
              head + u"\"-lf=C:\\in\\left.csv\" -lk=0 -lt=-1 \"-rf=C:\\in\\right.csv\" -rk=2 "
                     u"-rt=0 \"-cf=C:\\out dir\\r.csv\" -ci=1 -cs=-1 -ct=0 -cc=0");
    EXPECT_EQ(TAutoFile::BatchLine(exe, u"a", -1, false, u"b", 0, true, u"c", 0, false, 3, 2, two),
              head + u"\"-lf=a\" -lk=-1 -lt=0 \"-rf=b\" -rk=0 -rt=-1 \"-cf=c\" -ci=0 -cs=0 -ct=3 "
                     u"-cc=2 -co=3,1,0,0");
    EXPECT_EQ(TAutoFile::BatchLine(exe, u"a", 0, false, u"b", 0, false, u"c", 0, true, 0, 2, {}),
              head + u"\"-lf=a\" -lk=0 -lt=0 \"-rf=b\" -rk=0 -rt=0 \"-cf=c\" -ci=0 -cs=-1 -ct=0 "
                     u"-cc=2 -co=");
    // "%" doubled for cmd; a quote inside a quoted option doubled.
    EXPECT_EQ(TAutoFile::BatchLine(u"C:\\k.exe", u"C:\\100%\\a.csv", 0, false, u"b\"c", 0, false,
                                   u"%TEMP%\\o.csv", 0, true, 0, 1, two),
              u"\"C:\\k.exe\" -a \"-lf=C:\\100%%\\a.csv\" -lk=0 -lt=0 \"-rf=b\"\"c\" -rk=0 -rt=0 "
              u"\"-cf=%%TEMP%%\\o.csv\" -ci=0 -cs=-1 -ct=0 -cc=1");
}

TEST(TAutoFile, SaveToFileWritesOneShiftJisLineReplacingTheOldFile) {
    const kvtest::TempFolder folder("autofile_bytes");
    const std::u16string bat = folder.Path(u"run.bat");
    kvtest::TempFolder::Write(bat, std::string(500, 'x'));
    TAutoFile::SaveToFile(
        bat, u"C:\\\u30C7\u30FC\u30BF\\\u5DE6.csv", 0, true, u"C:\\\u30C7\u30FC\u30BF\\\u53F3.csv",
        2, false, u"C:\\\u51FA\u529B\\\u7D50\u679C \u8868.csv", 1, true, 0, 2, {{3, 1}, {0, 0}});
    const std::string program = kv::Utf16ToUtf8(kv::GetProgramFileName());
    ASSERT_TRUE(std::all_of(program.begin(), program.end(),
                            [](char ch) { return static_cast<unsigned char>(ch) < 0x80; }));
    EXPECT_EQ(kvtest::TempFolder::Read(bat),
              "\"" + program +
                  "\" -a \"-lf=C:\\\x83\x66\x81\x5B\x83\x5E\\\x8D\xB6.csv\" -lk=0 "
                  "-lt=-1 \"-rf=C:\\\x83\x66\x81\x5B\x83\x5E\\\x89\x45.csv\" -rk=2 -rt=0 "
                  "\"-cf=C:\\\x8F\x6F\x97\xCD\\\x8C\x8B\x89\xCA \x95\x5C.csv\" -ci=1 -cs=-1 -ct=0 "
                  "-cc=2 -co=3,1,0,0\r\n");
}

TEST(TAutoFile, LineOutsideTheAnsiCodePageIsRefused) {
    const kvtest::TempFolder folder("autofile_refused");
    const std::u16string bat = folder.Path(u"run.bat");
    kvtest::TempFolder::Write(bat, "old");
    try {
        TAutoFile::SaveToFile(bat, u"C:\\\uD55C.csv", 0, false, u"b", 0, false, u"c", 0, true, 0, 0,
                              {});
        ADD_FAILURE() << "no error";
    } catch (const kv::Exception& e) {
        EXPECT_NE(e.Message().find(u"ANSI"), std::u16string::npos);
    }
    EXPECT_EQ(kvtest::TempFolder::Read(bat), "old");
}

TEST(TAutoFile, ErrorOfWritingRaises) {
    const kvtest::TempFolder folder("autofile_error");
    EXPECT_THROW(TAutoFile::SaveToFile(folder.Path(u"missing") + u"/run.bat", u"a", 0, false, u"b",
                                       0, false, u"c", 0, true, 0, 0, {}),
                 kv::EFileError);
}

} // namespace
