#include "crash/send/ClSockets.h"

#include <algorithm>

namespace kv::crash {

std::string SocketErrorText(const std::string& Message, const std::string& Log,
                            const std::string& ErrorLog, const std::string& Host, uint16_t Port) {
    const size_t at = Log.empty() ? std::string::npos : Message.find(Log);
    std::string text;
    if (at == std::string::npos)
        text = Message + "\r\n\r\nError log:\r\n" + ErrorLog + "\r\n\r\nSocket log:\r\n" + Log;
    else if (at == 0)
        text = "Error log:\r\n" + ErrorLog + "\r\n\r\nSocket log:\r\n" + Message;
    else
        text = Message + "\r\n\r\nError log:\r\n" + ErrorLog;
    return text + "\r\n\r\nDestination: " + Host + ":" + IntToStr(Port);
}

std::string LimitSocketErrorText(const std::string& Text) {
    if (Text.size() <= kMaxSocketErrorLength) return Text;
    return Text.substr(0, AnsiPrefixLength(Text, kMaxSocketErrorLength)) + "...";
}

std::string ConnectedLogLine(uint32_t NetAddress, uint16_t Port) {
    // Network order: the first byte in memory is the first number of the dotted form.
    const auto* b = reinterpret_cast<const uint8_t*>(&NetAddress);
    return "Connected to " + IntToStr(b[0]) + "." + IntToStr(b[1]) + "." + IntToStr(b[2]) + "." +
           IntToStr(b[3]) + " port " + IntToStr(Port) + "\r\n";
}

bool ReadSMTPReplyCode(std::string_view Reply, uint16_t& Code) {
    uint32_t value = 0;
    size_t digits = 0;
    for (; digits < Reply.size() && Reply[digits] >= '0' && Reply[digits] <= '9'; ++digits) {
        value = value * 10 + static_cast<uint32_t>(Reply[digits] - '0');
        if (value > 0xFFFF) return false; // also keeps the sum from overflowing
    }
    if (digits == 0) return false;
    Code = static_cast<uint16_t>(value);
    return true;
}

bool SMTPReplyAccepted(std::string_view Reply, const std::vector<uint16_t>& Codes) {
    uint16_t code = 0;
    return ReadSMTPReplyCode(Reply, code) &&
           std::find(Codes.begin(), Codes.end(), code) != Codes.end();
}

std::string ReceivePausedText(const TReceivePort& Port, uint32_t LimitMs) {
    std::string text;
    const uint64_t start = Port.Clock();
    while (true) {
        const int32_t waiting = Port.Waiting();
        if (waiting <= 0) break;
        std::string chunk(static_cast<size_t>(waiting), '\0');
        const int32_t got = Port.Read(chunk.data(), waiting);
        if (got <= 0) break;
        text.append(chunk.data(), static_cast<size_t>(std::min(got, waiting)));
        // A reply is complete once nothing more has come for kReplyPauseMs.
        const uint64_t readAt = Port.Clock();
        bool more = false;
        while (true) {
            if (Port.Waiting() > 0) {
                more = true;
                break;
            }
            const uint64_t now = Port.Clock();
            if (now - readAt >= kReplyPauseMs || now - start >= LimitMs) break;
            Port.Sleep();
        }
        if (!more || Port.Clock() - start >= LimitMs) break;
    }
    return text;
}

} // namespace kv::crash
