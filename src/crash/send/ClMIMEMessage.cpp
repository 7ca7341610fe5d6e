#include "crash/send/ClMIMEMessage.h"

#include "base/CodePageConv.h"
#include "crash/core/ClCorePlatform.h"
#include "crash/core/ClBase64.h"
#include "crash/send/ClMIMEMessagePlatform.h"

namespace kv::crash {

namespace {

constexpr const char* kCRLF = "\r\n";

// A quoted-string of RFC 5322: a quote or backslash inside the name must not end it.
std::string QuoteDisplayName(std::string_view name) {
    const std::string text = OneString(name);
    std::string quoted = "\"";
    for (size_t i = 0; i < text.size(); i += AnsiCharSize(text, i)) {
        // The second byte of a double-byte character is no backslash.
        if (AnsiCharSize(text, i) == 1 && (text[i] == '"' || text[i] == '\\')) quoted += '\\';
        quoted.append(text, i, AnsiCharSize(text, i));
    }
    return quoted + "\"";
}

// The file's bytes; false when it cannot be read.
bool ReadWholeFile(const std::string& fileName, std::string& data) {
    if (Trim(fileName).empty() || !FileExists(fileName)) return false;
    return detail::ReadFileDenyWrite(fileName, data);
}

std::string Base64Lines(const std::string& data) {
    const std::string text = Base64EncodeToString(data.data(), data.size());
    std::string lines;
    for (size_t at = 0; at < text.size(); at += kBase64LineLength) {
        lines += text.substr(at, kBase64LineLength);
        if (text.size() - at >= kBase64LineLength) lines += kCRLF;
    }
    return lines;
}

} // namespace

std::string GetMailUserName() {
    std::string name = ReadKey(kHKeyLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                               "RegisteredOwner");
    if (name.empty()) name = detail::LogonUserName();
    return name;
}

TSMTPSender GetSMTPSender(std::string_view from, std::string_view displayName) {
    const std::string single = Trim(OneString(from));
    TSMTPSender sender;
    if (single.find('"') == std::string::npos && single.find('<') == std::string::npos) {
        sender.FromValue = QuoteDisplayName(displayName) + " <" + single + ">";
        sender.EnvelopeAddress = single;
        return sender;
    }
    sender.FromValue = single;
    size_t start = single.find("\" <");
    if (start != std::string::npos) {
        start += 3;
    } else {
        // An address in angle brackets without a quoted name before it.
        start = single.rfind('<');
        if (start != std::string::npos) ++start;
    }
    if (start == std::string::npos) {
        sender.EnvelopeAddress = single;
    } else {
        const size_t end = single.find('>', start);
        sender.EnvelopeAddress = single.substr(start, end == std::string::npos ? end : end - start);
    }
    return sender;
}

std::string EncodeFileBase64Lines(const std::string& fileName) {
    std::string data;
    if (!ReadWholeFile(fileName, data)) return {};
    return Base64Lines(data);
}

std::string BuildMIMEAttachmentPart(const std::string& fileName,
                                    TAttachmentNameProc attachmentName) {
    std::string data;
    // A file that cannot be read is left out rather than sent empty.
    if (!ReadWholeFile(fileName, data)) return {};
    const std::string name = attachmentName ? attachmentName(fileName) : ExtractFileName(fileName);
    const std::string type =
        UpperCase(ExtractFileExt(fileName)) == ".PNG" ? "image/png" : "application/octet-stream";
    std::string part = kCRLF;
    part += std::string("--") + kMIMEBoundary + kCRLF;
    part += "Content-Type: " + type + ";" + kCRLF;
    part += "        name=\"" + name + "\"" + kCRLF;
    part += std::string("Content-Transfer-Encoding: base64") + kCRLF;
    part += std::string("Content-Disposition: attachment;") + kCRLF;
    part += "        filename=\"" + name + "\"" + kCRLF;
    part += kCRLF;
    part += Base64Lines(data) + kCRLF;
    return part;
}

std::string BuildMIMEAttachmentParts(const TStrings& list, const TStrings& more,
                                     TAttachmentNameProc attachmentName) {
    std::string parts;
    for (const std::string& fileName : list)
        parts += BuildMIMEAttachmentPart(fileName, attachmentName);
    for (const std::string& fileName : more)
        parts += BuildMIMEAttachmentPart(fileName, attachmentName);
    return parts;
}

std::string MIMECharsetName(unsigned codePage) {
    static constexpr struct {
        unsigned codePage;
        const char* name;
    } kCharsets[] = {
        {874, "windows-874"},   {932, "shift_jis"},     {936, "gbk"},
        {949, "euc-kr"},        {950, "big5"},          {1250, "windows-1250"},
        {1251, "windows-1251"}, {1252, "windows-1252"}, {1253, "windows-1253"},
        {1254, "windows-1254"}, {1255, "windows-1255"}, {1256, "windows-1256"},
        {1257, "windows-1257"}, {1258, "windows-1258"}, {20127, "us-ascii"},
        {28591, "iso-8859-1"},  {65001, "utf-8"},
    };
    for (const auto& c : kCharsets)
        if (c.codePage == codePage) return c.name;
    return "windows-1252";
}

std::string SMTPDotTransparency(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '.' && (i == 0 || text[i - 1] == '\n')) out += '.';
        out += text[i];
    }
    return out;
}

std::string BuildMIMEMessageText(const TMIMEMessage& m) {
    const std::string boundary = kMIMEBoundary;
    std::string text = "Date: " + m.Date + kCRLF;
    text += "From: " + OneString(m.FromValue) + kCRLF;
    text += "Subject: " + OneString(m.Subject) + kCRLF;
    text += "To: <" + OneString(m.Recipient) + ">" + kCRLF;
    text += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\";" + kCRLF;
    text += std::string("MIME-Version: 1.0") + kCRLF;
    text += "Message-ID: <" + IntToStr(m.TickCount) + "@" + kMessageIDDomain + ">" + kCRLF;
    text += kCRLF;
    text += "This is a multi-part message in MIME format\r\n\r\n";
    // The report's text is ANSI (Shift_JIS on a Japanese system): its bytes go out as they are,
    // so the part says so and names the code page.
    const unsigned codePage = m.CodePage ? m.CodePage : kv::GetAnsiCodePage();
    text += "--" + boundary + kCRLF +
            "Content-Type: text/plain"
            "; charset=" +
            MIMECharsetName(codePage) + kCRLF + "Content-Transfer-Encoding: 8bit" + kCRLF + kCRLF +
            m.Body + kCRLF;
    text += m.Attachments;
    text += "--" + boundary + "--" + kCRLF;
    return SMTPDotTransparency(text) + ".";
}

} // namespace kv::crash
