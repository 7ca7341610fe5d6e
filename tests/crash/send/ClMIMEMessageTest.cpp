#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "../support/CrashTestSupport.h"
#include "crash/core/ClBase64.h"
#include "crash/send/ClMIMEMessage.h"

namespace {

using namespace kv::crash;

using kvtest::WriteFile;

TEST(ClMIMEMessage, SenderValues) {
    struct Case {
        const char* label;
        const char* from;
        const char* fromValue;
        const char* envelope;
    };
    static constexpr Case kCases[] = {
        {"bare address", "bugs@example.com", "\"Taro Yamada\" <bugs@example.com>",
         "bugs@example.com"},
        {"quoted name and address", "\"Bug Desk\" <desk@example.com>",
         "\"Bug Desk\" <desk@example.com>", "desk@example.com"},
        {"control characters", "bugs@\r\n\texample.com", "\"Taro Yamada\" <bugs@ example.com>",
         "bugs@ example.com"},
        {"address in brackets only", "Desk <desk@example.com>", "Desk <desk@example.com>",
         "desk@example.com"},
        {"no closing bracket", "\"Desk\" <desk@example.com", "\"Desk\" <desk@example.com",
         "desk@example.com"},
    };
    for (const Case& c : kCases) {
        const TSMTPSender s = GetSMTPSender(c.from, "Taro Yamada");
        EXPECT_EQ(s.FromValue, c.fromValue) << c.label;
        EXPECT_EQ(s.EnvelopeAddress, c.envelope) << c.label;
    }
    // A quote in the display name cannot end the quoted name early.
    EXPECT_EQ(GetSMTPSender("a@b.c", "O\"Neil").FromValue, "\"O\\\"Neil\" <a@b.c>");
    // ソフト: the "\" second byte of ソ is no backslash to escape.
    EXPECT_EQ(GetSMTPSender("a@b.c", "\x83\x5C\x83\x74\x83\x67").FromValue,
              "\"\x83\x5C\x83\x74\x83\x67\" <a@b.c>");
}

TEST(ClMIMEMessage, Base64LinesOf80Characters) {
    kvtest::TempDir dir("mime_lines");
    struct Case {
        const char* label;
        size_t bytes;
        size_t fullLines;
        size_t lastLine;
    };
    static constexpr Case kCases[] = {
        {"empty file", 0, 0, 0},
        {"one short line", 3, 0, 4},
        {"exactly two lines", 120, 2, 0},
        {"two lines and a rest", 121, 2, 4},
    };
    for (const Case& c : kCases) {
        std::string bytes;
        for (size_t i = 0; i < c.bytes; ++i) bytes += static_cast<char>(i * 7);
        const std::string file = WriteFile(dir, "data.bin", bytes);
        const std::string text = EncodeFileBase64Lines(file);
        std::string expected;
        const std::string all = Base64EncodeString(bytes);
        for (size_t i = 0; i < c.fullLines; ++i) expected += all.substr(80 * i, 80) + "\r\n";
        expected += all.substr(80 * c.fullLines);
        EXPECT_EQ(expected.size(), c.fullLines * 82 + c.lastLine) << c.label;
        EXPECT_EQ(text, expected) << c.label;
    }
    EXPECT_EQ(EncodeFileBase64Lines(""), "");
    EXPECT_EQ(EncodeFileBase64Lines(dir.Ansi("missing.bin")), "");
}

TEST(ClMIMEMessage, AttachmentPartsAndTypes) {
    kvtest::TempDir dir("mime_parts");
    const std::string png = WriteFile(dir, "Screenshot.png", std::string(120, 'p'));
    const std::string zip = WriteFile(dir, "BugReport.zip", "PK");
    // 160 base64 characters: two full lines, then the part's own line end.
    const std::string lines = Base64EncodeString(std::string(120, 'p'));
    const std::string b = kMIMEBoundary;
    const std::string pngPart =
        "\r\n--" + b +
        "\r\nContent-Type: image/png;\r\n        name=\"Screenshot.png\"\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "Content-Disposition: attachment;\r\n"
        "        filename=\"Screenshot.png\"\r\n\r\n" +
        lines.substr(0, 80) + "\r\n" + lines.substr(80) + "\r\n\r\n";
    EXPECT_EQ(BuildMIMEAttachmentPart(png), pngPart);
    const std::string zipPart = BuildMIMEAttachmentPart(zip);
    EXPECT_NE(zipPart.find("Content-Type: application/octet-stream;\r\n"), std::string::npos);
    EXPECT_NE(zipPart.find("\r\n\r\nUEs=\r\n"), std::string::npos) << zipPart;

    EXPECT_EQ(BuildMIMEAttachmentPart("   "), "");
    EXPECT_EQ(BuildMIMEAttachmentPart(dir.Ansi("missing.zip")), "");
    // The list's files, then the further names; names the caller gives win.
    EXPECT_EQ(BuildMIMEAttachmentParts({zip, dir.Ansi("missing.zip")}, {png}), zipPart + pngPart);
    const std::string renamed = BuildMIMEAttachmentPart(
        zip, [](const std::string&) { return std::string("BugReport__PC.zip"); });
    EXPECT_NE(renamed.find("filename=\"BugReport__PC.zip\""), std::string::npos);
}

TEST(ClMIMEMessage, MessageTextAndDotTransparency) {
    TMIMEMessage m;
    m.FromValue = "\"Taro\" <t@example.com>";
    m.Subject = "Error\r\nBcc: x@y";
    m.Recipient = "desk@example.com";
    m.Body = "first\r\n.\r\n..two\r\nend";
    m.Attachments = "\r\n--" + std::string(kMIMEBoundary) + "\r\nX: y\r\n\r\n.QUJD\r\n";
    m.Date = "Mon, 01 Jan 2024 10:00:00 +0900";
    m.TickCount = 12345;
    m.CodePage = 932;
    const std::string b = kMIMEBoundary;
    // clang-format off
    EXPECT_EQ(BuildMIMEMessageText(m),
              "Date: Mon, 01 Jan 2024 10:00:00 +0900\r\n"
              "From: \"Taro\" <t@example.com>\r\n"
              "Subject: Error Bcc: x@y\r\n"
              "To: <desk@example.com>\r\n"
              "Content-Type: multipart/mixed; boundary=\"" +
                  b +
                  "\";\r\n"
                  "MIME-Version: 1.0\r\n"
                  "Message-ID: <12345@crashlog.kolvane.invalid>\r\n"
                  "\r\n"
                  "This is a multi-part message in MIME format\r\n\r\n"
                  "--" +
                  b +
                  "\r\nContent-Type: text/plain; charset=shift_jis\r\n"
                  "Content-Transfer-Encoding: 8bit\r\n\r\n"
                  "first\r\n..\r\n...two\r\nend\r\n"
                  "\r\n--" +
                  b +
                  "\r\nX: y\r\n\r\n..QUJD\r\n"
                  "--" +
                  b + "--\r\n.");
    // clang-format on
}

// The text part names the ANSI code page its bytes are in.
TEST(ClMIMEMessage, TextPartCharset) {
    static constexpr struct {
        unsigned codePage;
        const char* charset;
    } kCases[] = {
        {932, "shift_jis"}, {1252, "windows-1252"}, {1251, "windows-1251"},
        {936, "gbk"},       {65001, "utf-8"},       {437, "windows-1252"},
    };
    for (const auto& c : kCases) EXPECT_EQ(MIMECharsetName(c.codePage), c.charset) << c.codePage;

    // Shift_JIS bytes of the body go out unchanged under the 8bit label.
    TMIMEMessage m;
    m.Body = "\x83\x65\x83\x58\x83\x67"; // "テスト"
    m.CodePage = 1251;
    const std::string text = BuildMIMEMessageText(m);
    EXPECT_NE(text.find("Content-Type: text/plain; charset=windows-1251\r\n"
                        "Content-Transfer-Encoding: 8bit\r\n\r\n\x83\x65\x83\x58\x83\x67\r\n"),
              std::string::npos)
        << text;
    // Without a code page the system's ANSI one counts: 932 where the tests run (Wine under
    // code page 932, and the native stand-in).
    m.CodePage = 0;
    EXPECT_NE(BuildMIMEMessageText(m).find("; charset=shift_jis\r\n"), std::string::npos);
}

} // namespace
