#include "crash/send/ClEmail.h"

namespace kv::crash {

namespace {

bool IsMailtoPlain(unsigned char c) {
    return c == '-' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

std::string EncodeMailtoText(std::string_view Text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string r;
    r.reserve(Text.size());
    for (size_t i = 0; i < Text.size();) {
        // A trail byte below 0x80 belongs to its lead byte: "%5C" after the lead byte of a
        // code page 932 character would leave a broken character in the mail program.
        const size_t n = AnsiCharSize(Text, i);
        const auto c = static_cast<unsigned char>(Text[i]);
        if (n == 2 || c >= 0x80 || IsMailtoPlain(c)) {
            r.append(Text.substr(i, n));
        } else {
            r += '%';
            r += kHex[c >> 4];
            r += kHex[c & 0x0F];
        }
        i += n;
    }
    return r;
}

std::string MailtoURL(std::string_view To, std::string_view Subject, std::string_view Body) {
    // The addresses are encoded too: a quote among them would end the command's quoted
    // argument and start arguments of its own.
    return "mailto:" + EncodeMailtoText(To) + "?Subject=" + EncodeMailtoText(Subject) +
           "&Body=" + EncodeMailtoText(Body);
}

std::string MailtoBody(std::string_view Message, std::string_view ReportText) {
    return std::string(Message) + "\r\n\r\n\r\n" + std::string(ReportText);
}

std::string MailtoCommandLine(std::string_view Command, std::string_view URL) {
    return QuickStringReplace(Command, "%1", URL);
}

std::string MAPISubjectText(std::string_view Subject) {
    return OneString(Subject);
}

std::vector<TMAPIRecipient> MAPIRecipients(std::string_view To) {
    TStrings addresses;
    ExtractList(To, addresses, CharSetOf(",;"), false, false);
    std::vector<TMAPIRecipient> r;
    r.reserve(addresses.size());
    for (std::string& a : addresses) r.push_back({a, "SMTP:" + a});
    return r;
}

TStrings ChooseMAPIAttachments(const TStrings& AttachmentsArray, const TStrings& AttachmentsList,
                               const TFileExistsProc& Exists) {
    TStrings r;
    for (const TStrings* source : {&AttachmentsArray, &AttachmentsList})
        for (const std::string& name : *source) {
            if (r.size() == kMaxMAPIAttachments) return r;
            if (!name.empty() && Exists(name)) r.push_back(name);
        }
    return r;
}

} // namespace kv::crash
