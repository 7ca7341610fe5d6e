#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "crash/core/ClMemoryReader.h"
#include "crash/core/TCrashModuleOptions.h"
#include "crash/report/ClAsmCpuView.h"
#include "crash/report/ClReportRender.h"

namespace {

using namespace kv::crash;

// Shift-JIS: "表" and "ソ" end in 0x5C, "＋" in "{"; "あ" has an ordinary trail byte.
#define HYO "\x95\x5C"
#define SO "\x83\x5C"
#define PLUS "\x81\x7B"
#define A_KANA "\x82\xA0"

const TRTFFont kFont{"Courier New", 9, 128, 1575};

constexpr std::string_view kHeader =
    R"({\rtf1\ansi\ansicpg1252\deff0\deflang1040{\fonttbl{\f0\fmodern\fprq1\fcharset128 Courier New;}})"
    "\r\n"
    R"({\colortbl ;\red0\green100\blue100;\red0\green0\blue0;\red40\green40\blue40;\red0\green0\blue160;\red160\green0\blue0;\red80\green80\blue80;\red0\green100\blue0;})"
    "\r\n"
    R"(\f0\fs18)"
    "\r\n";

// The rendered lines of a document in kFont.
std::vector<std::string> RenderedLines(const std::string& document) {
    std::vector<std::string> lines;
    EXPECT_EQ(document.substr(0, kHeader.size()), kHeader);
    EXPECT_EQ(document.back(), '}');
    if (document.size() <= kHeader.size()) return lines;
    const std::string body = document.substr(kHeader.size(), document.size() - kHeader.size() - 1);
    size_t start = 0;
    for (size_t brk; (brk = body.find("\r\n", start)) != std::string::npos; start = brk + 2)
        lines.push_back(body.substr(start, brk - start));
    lines.push_back(body.substr(start));
    return lines;
}

std::string Le32(uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i) & 0xFF);
    return s;
}

TEST(ClReportRender, EscapeRTF) {
    static constexpr struct {
        const char* name;
        std::string_view in, out;
    } kCases[] = {
        {"empty", "", ""},
        {"plain", "abc 1.1", "abc 1.1"},
        {"backslash and braces", "a\\b{c}", "a\\\\b\\{c\\}"},
        {"backslash escaped once", "\\{\\}", "\\\\\\{\\\\\\}"},
        {"line breaks", "a\r\nb\r\n", "a\\par\r\nb\\par\r\n"},
        {"lone CR and LF kept", "a\rb\nc", "a\rb\nc"},
        {"trail byte 0x5C", HYO SO "x", "\\'95\\'5c\\'83\\'5cx"},
        {"trail byte brace", PLUS, "\\'81\\'7b"},
        {"ordinary double-byte kept", A_KANA "\\", A_KANA "\\\\"},
        {"half-width kana is one byte", "\xB1\\", "\xB1\\\\"},
        {"lead byte before a break stands alone", "\x95\r\n", "\x95\\par\r\n"},
        {"lead byte at the end", "a\x95", "a\x95"},
    };
    for (const auto& c : kCases) EXPECT_EQ(EscapeRTF(c.in), c.out) << c.name;
}

TEST(ClReportRender, EscapeHTMLAndChooseText) {
    static constexpr struct {
        const char* name;
        std::string_view in, out;
    } kCases[] = {
        {"empty", "", ""},
        {"entities", "a&b\"c'd<e>f", "a&amp;b&quot;c&#039;d&lt;e&gt;f"},
        {"ampersand of an entity", "&lt;", "&amp;lt;"},
        {"blank pairs", "a b  c   d    e",
         "a b&nbsp;&nbsp;c&nbsp;&nbsp; d&nbsp;&nbsp;&nbsp;&nbsp;e"},
        {"line breaks", "a\r\nb\r\n\n", "a<br>\r\nb<br>\r\n\n"},
        {"double-byte", HYO "<\x83\x7C>", HYO "&lt;\x83\x7C&gt;"},
    };
    for (const auto& c : kCases) EXPECT_EQ(EscapeHTML(c.in), c.out) << c.name;
    EXPECT_EQ(ChooseText(true, "a", "b"), "a");
    EXPECT_EQ(ChooseText(false, "a", "b"), "b");
}

TEST(ClReportRender, GeneralSectionDocument) {
    const std::string text = "CrashLog 6.1.04\r\n"
                             "\r\n"
                             "Application:\r\n"
                             "--------------------\r\n"
                             "  1.1 Start Date: Mon\r\n"
                             "  1.2 Message   : a{b}\\c " HYO "\r\n"
                             "                  ends in a colon:\r\n"
                             "  1.3 : v\r\n";
    // The native build stands in for code page 932.
    EXPECT_EQ(RenderGeneralRTF(text, UserRTFFont("Courier New", 9)),
              std::string(kHeader) + R"(\cf1\b CrashLog 6.1.04\par\b0)"
                                     "\r\n"
                                     R"(\par)"
                                     "\r\n"
                                     R"(\cf3\b Application:\par\b0)"
                                     "\r\n"
                                     R"(\cf3 --------------------\par)"
                                     "\r\n"
                                     R"(\cf5   1.1\cf2  Start Date:\cf4  Mon\par)"
                                     "\r\n"
                                     R"(\cf5   1.2\cf2  Message   :\cf4  a\{b\}\\c \'95\'5c\par)"
                                     "\r\n"
                                     R"(                  ends in a colon:\par)"
                                     "\r\n"
                                     R"(\cf5   1.3\cf2  :\cf4  v\par)"
                                     "\r\n"
                                     "}");
}

TEST(ClReportRender, AssemblerListing) {
    const std::string text = "; Unit1.TForm1.Click\r\n"
                             "; ------------------\r\n"
                             "00401000  mov eax,$00700000  ; '" HYO "'\r\n"
                             "00401005  nop\r\n"
                             "00401006  ret  ; <-- EXCEPTION\r\n"
                             ";\r\n";
    const std::vector<std::string> expected = {
        R"(\cf6 ; Unit1.TForm1.Click\par)",
        R"(\cf6 ; ------------------\par)",
        R"(\cf5 00401000 \cf4\b  mov\b0\cf7  eax,$00700000  \cf6 ; '\'95\'5c'\par)",
        R"(\cf5 00401005 \cf4\b  nop\par\b0)",
        R"(\cf5 00401006 \cf4\b  ret\b0\cf7   \cf6 ; <-- EXCEPTION\par)",
        R"(\cf6 ;\par)",
        R"(\cf5 \b0)",
    };
    EXPECT_EQ(RenderedLines(RenderAssemblerRTF(text, kFont)), expected);
}

TEST(ClReportRender, CPUViewOfBuildCPUView) {
    constexpr uint32_t kContext = 0x00300000, kStack = 0x0012FF00, kData = 0x00800000;
    std::string context(kContextReadSize, '\0');
    const std::pair<uint32_t, uint32_t> registers[] = {
        {0xB0, 0xA}, {0x9C, 0xD1},   {0xA4, 0xB}, {0xA0, 0x51},
        {0xAC, 0xC}, {0xC4, kStack}, {0xA8, 0xD}, {0xB8, 0x00401000}};
    for (const auto& [offset, value] : registers) context.replace(offset, 4, Le32(value));
    std::string stack, data;
    for (uint32_t k = 0; k < 16; ++k) stack += Le32(0x11110000 + k);
    for (int i = 0; i < 256; ++i) data += static_cast<char>(0x50 + i);
    TRegionMemory memory;
    memory.Add(kContext, context);
    memory.Add(kStack, stack);
    memory.Add(kData, data);
    const TCrashModuleOptions options("Kolvane.exe");

    const std::vector<std::string> lines =
        RenderedLines(RenderCPURTF(BuildCPUView(kContext, kStack, kData, options, memory), kFont));
    ASSERT_EQ(lines.size(), 26u);
    const std::vector<std::string> head(lines.begin(), lines.begin() + 10);
    const std::vector<std::string> expectedHead = {
        R"(\cf3\b Registers:\par\cf2\b0)",
        R"(\cf3 -----------------------------\par\cf2)",
        R"(EAX: \cf4 0000000A\cf2    EDI: \cf4 000000D1\cf2 \par)",
        R"(EBX: \cf4 0000000B\cf2    ESI: \cf4 00000051\cf2 \par)",
        R"(ECX: \cf4 0000000C\cf2    ESP: \cf4 0012FF00\cf2 \par)",
        R"(EDX: \cf4 0000000D\cf2    EIP: \cf4 00401000\cf2 \par)",
        R"(\par)",
        R"(\pard\tx1575\cf3\b Stack:\tab Memory Dump:\par\cf2\b0)",
        R"(\cf3 ------------------\tab ---------------------------------------------------------------------------\par\cf2)",
        R"(0012FF00: \cf4 11110000\cf2 \tab 00800000: \cf4 50 51 52 53 54 55 56 57 58 59 5A 5B 5C 5D 5E 5F\cf5   PQRSTUVWXYZ[\\]^_\par\cf2 )",
    };
    EXPECT_EQ(head, expectedHead);
    EXPECT_EQ(
        lines[24],
        R"(0012FF3C: \cf4 1111000F\cf2 \tab 008000F0: \cf4 40 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F\cf5   @ABCDEFGHIJKLMNO\par\cf2 )");
    EXPECT_EQ(lines[25], R"(\cf2 )");
}

TEST(ClReportRender, CPUViewOfShortTextsChangesOnlyWhatExists) {
    static constexpr struct {
        const char* name;
        std::string_view text;
        std::string_view body;
    } kCases[] = {
        {"three lines", "Registers:\r\n-----\r\nEAX: 0000000A   EDI: 000000D1",
         R"(\cf3\b Registers:\par\cf2\b0)"
         "\r\n"
         R"(\cf3 -----\par\cf2)"
         "\r\n"
         R"(EAX: \cf4 0000000A\cf2    EDI: \cf4 000000D1\cf2 )"},
        {"short lines",
         "R:\r\n-\r\nEAX: 1\r\n\r\n\r\n\r\n\r\nStack:\r\n---\r\n0012FF00: 1111\r\n"
         "0012FF04: 11110001   0080",
         R"(\cf3\b R:\par\cf2\b0)"
         "\r\n"
         R"(\cf3 -\par\cf2)"
         "\r\n"
         R"(EAX: \cf4 1\par)"
         "\r\n"
         R"(\par)"
         "\r\n"
         R"(\par)"
         "\r\n"
         R"(\par)"
         "\r\n"
         R"(\par)"
         "\r\n"
         R"(\pard\tx1575\cf3\b Stack:\tab \par\cf2\b0)"
         "\r\n"
         R"(\cf3 ---\par\cf2)"
         "\r\n"
         R"(0012FF00: \cf4 1111\par\cf2 )"
         "\r\n"
         R"(0012FF04: \cf4 11110001\cf2 \tab 0080\cf2 )"},
    };
    for (const auto& c : kCases) {
        const std::string document = RenderCPURTF(c.text, kFont);
        EXPECT_EQ(document, std::string(kHeader) + std::string(c.body) + "}") << c.name;
    }
}

TEST(ClReportRender, CPUStackTitleSplitNeverCutsACharacter) {
    static constexpr struct {
        const char* name;
        std::string_view title, rendered;
    } kCases[] = {
        {"inside hex escapes", "ab" SO SO SO "Memory:",
         R"(\pard\tx1575\cf3\b ab\'83\'5c\'83\'5c\'83\'5c\tab Memory:\par\cf2\b0)"},
        {"inside a double-byte character", "aaaaaaaaaaaaaaaaaaaa" A_KANA "Mem:",
         R"(\pard\tx1575\cf3\b aaaaaaaaaaaaaaaaaaaa)" A_KANA R"(\tab Mem:\par\cf2\b0)"},
    };
    for (const auto& c : kCases) {
        const std::string text = "\r\n\r\n\r\n\r\n\r\n\r\n\r\n" + std::string(c.title) + "\r\n";
        const std::vector<std::string> lines = RenderedLines(RenderCPURTF(text, kFont));
        ASSERT_EQ(lines.size(), 9u) << c.name;
        EXPECT_EQ(lines[7], c.rendered) << c.name;
    }
}

} // namespace
