#include "crash/send/ClSMTP.h"

#include "crash/core/ClBase64.h"

namespace kv::crash {

namespace {

constexpr uint16_t kDNSTypeMX = 15;
constexpr uint16_t kDNSClassIN = 1;
constexpr size_t kDNSHeaderSize = 12;
constexpr size_t kMaxDNSNameLength = 255;

uint16_t ReadBigEndian16(std::string_view data, size_t at) {
    return static_cast<uint16_t>((static_cast<uint8_t>(data[at]) << 8) |
                                 static_cast<uint8_t>(data[at + 1]));
}

void AddBigEndian16(std::string& data, uint16_t value) {
    data += static_cast<char>(value >> 8);
    data += static_cast<char>(value & 0xFF);
}

} // namespace

TStrings SMTPRecipients(std::string_view To) {
    TStrings list;
    ExtractList(To, list, CharSetOf(",;"), false, false);
    return list;
}

std::vector<TSMTPCommandStep> SMTPLoginSteps(const std::string& HelloName,
                                             const std::string& EnvelopeAddress,
                                             const std::string& UserID,
                                             const std::string& Password) {
    const std::string mailFrom = "MAIL FROM:<" + EnvelopeAddress + ">";
    if (UserID.empty() && Password.empty())
        return {{"HELO " + HelloName, {250}}, {"RSET", {250}}, {mailFrom, {250}}};
    return {
        {"EHLO " + HelloName, {250}},
        {"RSET", {250}},
        {"AUTH LOGIN", {334, 500, 502}},
        {Base64EncodeString(UserID), {334, 500, 502}, true},
        {Base64EncodeString(Password), {235, 500, 502}, true},
        {mailFrom, {250}},
    };
}

std::string EmailDomain(std::string_view Email) {
    const size_t at = Email.find('@');
    return std::string(at == std::string_view::npos ? Email : Email.substr(at + 1));
}

uint32_t MXTryTimeout(uint32_t Timeout, int Try) {
    return (Timeout + 150) / 3 + 100 * static_cast<uint32_t>(Try);
}

TStrings DNSServersToAsk(const TStrings& System, const std::string& Public) {
    TStrings servers;
    for (const std::string& entry : System) {
        const std::string server = Trim(entry);
        if (!server.empty() && server != "0.0.0.0") servers.push_back(server);
    }
    servers.push_back(Public);
    return servers;
}

std::string BuildDNSQuery(std::string_view Domain) {
    if (!Domain.empty() && Domain.back() == '.') Domain.remove_suffix(1);
    if (Domain.empty()) return {};
    std::string name;
    size_t start = 0;
    while (true) {
        const size_t dot = Domain.find('.', start);
        const std::string_view label = Domain.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (label.empty() || label.size() > 63) return {};
        name += static_cast<char>(label.size());
        name += label;
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    name += '\0';
    if (name.size() > kMaxDNSNameLength) return {};
    std::string query = "AA";
    query += '\x01';
    query += '\x00';
    AddBigEndian16(query, 1); // QDCOUNT
    AddBigEndian16(query, 0); // ANCOUNT
    AddBigEndian16(query, 0); // NSCOUNT
    AddBigEndian16(query, 0); // ARCOUNT
    query += name;
    AddBigEndian16(query, kDNSTypeMX);
    AddBigEndian16(query, kDNSClassIN);
    return query;
}

bool ReadDNSName(std::string_view Reply, size_t& Offset, std::string& Name) {
    std::string name;
    size_t at = Offset;
    size_t after = 0; // behind the first pointer; 0 while none was met
    int jumps = 0;
    while (true) {
        if (at >= Reply.size()) return false;
        const uint8_t length = static_cast<uint8_t>(Reply[at]);
        if (length == 0) {
            if (!after) after = at + 1;
            break;
        }
        if (length >= 192) {
            if (at + 1 >= Reply.size() || ++jumps > kMaxDNSPointers) return false;
            if (!after) after = at + 2;
            at = (static_cast<size_t>(length & 0x3F) << 8) | static_cast<uint8_t>(Reply[at + 1]);
            continue;
        }
        if (length > Reply.size() - at - 1) return false;
        name.append(Reply.substr(at + 1, length));
        name += '.';
        if (name.size() > kMaxDNSNameLength + 1) return false;
        at += 1 + length;
    }
    if (!name.empty()) name.pop_back();
    Name = std::move(name);
    Offset = after;
    return true;
}

std::string ReadMXServerFromDNSReply(std::string_view Reply) {
    if (Reply.size() < kDNSHeaderSize) return {};
    const uint16_t questions = ReadBigEndian16(Reply, 4);
    const uint16_t answers = ReadBigEndian16(Reply, 6);
    size_t at = kDNSHeaderSize;
    std::string name;
    for (uint16_t i = 0; i < questions; ++i) {
        if (!ReadDNSName(Reply, at, name) || Reply.size() - at < 4) return {};
        at += 4; // QTYPE, QCLASS
    }
    for (uint16_t i = 0; i < answers; ++i) {
        // Owner name, TYPE, CLASS, TTL, RDLENGTH, RDATA.
        if (!ReadDNSName(Reply, at, name) || Reply.size() - at < 10) return {};
        const uint16_t type = ReadBigEndian16(Reply, at);
        const size_t length = ReadBigEndian16(Reply, at + 8);
        const size_t data = at + 10;
        if (length > Reply.size() - data) return {};
        // An MX record's exchange follows its 16-bit preference; the data of any other record
        // (a CNAME first in the answer) is read as a name from its first byte.
        size_t nameAt = data;
        if (type == kDNSTypeMX) nameAt += 2;
        if (nameAt < data + length && ReadDNSName(Reply, nameAt, name) && !name.empty())
            return name;
        at = data + length;
    }
    return {};
}

} // namespace kv::crash
