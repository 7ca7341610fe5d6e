#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>

#include "crash/send/ClSockets.h"

namespace {

using namespace kv::crash;

TEST(ClSockets, ErrorTextSections) {
    struct Case {
        const char* label;
        const char* message;
        const char* log;
        const char* expected;
    };
    static constexpr Case kCases[] = {
        {"log not in the message", "Socket timeout.", "Connected to 1.2.3.4 port 25\r\n",
         "Socket timeout.\r\n\r\nError log:\r\nERR\r\n\r\nSocket log:\r\n"
         "Connected to 1.2.3.4 port 25\r\n\r\n\r\nDestination: mail.test:25"},
        {"message begins with the log", "Connected\r\nHELO x\r\n", "Connected\r\n",
         "Error log:\r\nERR\r\n\r\nSocket log:\r\nConnected\r\nHELO x\r\n"
         "\r\n\r\nDestination: mail.test:25"},
        {"log later in the message", "Failed: Connected\r\n", "Connected\r\n",
         "Failed: Connected\r\n\r\n\r\nError log:\r\nERR\r\n\r\nDestination: mail.test:25"},
        {"empty log", "Invalid socket: \"x\".", "",
         "Invalid socket: \"x\".\r\n\r\nError log:\r\nERR\r\n\r\nSocket log:\r\n"
         "\r\n\r\nDestination: mail.test:25"},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(SocketErrorText(c.message, c.log, "ERR", "mail.test", 25), c.expected) << c.label;
}

TEST(ClSockets, ErrorTextLimit) {
    const std::string exact(1024, 'x');
    EXPECT_EQ(LimitSocketErrorText(exact), exact);
    const std::string longer = exact + "yz";
    EXPECT_EQ(LimitSocketErrorText(longer), exact + "...");
    // A double-byte character across the limit goes whole.
    const std::string before(1023, 'x');
    EXPECT_EQ(LimitSocketErrorText(before + "\x95\x5C" + "yz"), before + "...");
}

TEST(ClSockets, ConnectedLine) {
    const uint8_t bytes[4] = {127, 0, 0, 1}; // network order
    uint32_t address = 0;
    std::memcpy(&address, bytes, sizeof address);
    EXPECT_EQ(ConnectedLogLine(address, 2525), "Connected to 127.0.0.1 port 2525\r\n");
}

TEST(ClSockets, ReplyCodes) {
    struct Case {
        const char* label;
        const char* reply;
        bool hasCode;
        uint16_t code;
    };
    static constexpr Case kCases[] = {
        {"greeting", "220 mail.test ESMTP\r\n", true, 220},
        {"multi-line: the first line counts", "250-mail.test\r\n550 no\r\n", true, 250},
        {"leading zero", "0250 ok", true, 250},
        {"digits only", "354", true, 354},
        {"largest 16-bit number", "65535 x", true, 65535},
        {"too large for a code", "65536 x", false, 0},
        {"overlong number", "99999999999999999999 x", false, 0},
        {"no digit first", " 250 ok", false, 0},
        {"empty", "", false, 0},
    };
    for (const Case& c : kCases) {
        uint16_t code = 0;
        EXPECT_EQ(ReadSMTPReplyCode(c.reply, code), c.hasCode) << c.label;
        if (c.hasCode) {
            EXPECT_EQ(code, c.code) << c.label;
        }
    }
    EXPECT_TRUE(SMTPReplyAccepted("334 VXNlcm5hbWU6\r\n", {334, 500, 502}));
    EXPECT_TRUE(SMTPReplyAccepted("502 5.5.1 not implemented\r\n", {334, 500, 502}));
    EXPECT_FALSE(SMTPReplyAccepted("535 5.7.8 failed\r\n", {235, 500, 502}));
    EXPECT_FALSE(SMTPReplyAccepted("ok", {250}));
}

// A peer on a virtual millisecond clock: each packet becomes readable at its time.
class ScriptedPort {
public:
    struct Packet {
        uint64_t at;
        std::string bytes;
    };
    explicit ScriptedPort(std::deque<Packet> packets) : packets_(std::move(packets)) {}

    TReceivePort Port() {
        TReceivePort port;
        port.Waiting = [this] {
            size_t n = 0;
            for (const Packet& p : packets_)
                if (p.at <= now_) n += p.bytes.size();
            return static_cast<int32_t>(n);
        };
        port.Read = [this](char* buffer, int32_t count) {
            int32_t got = 0;
            while (!packets_.empty() && packets_.front().at <= now_ &&
                   got + static_cast<int32_t>(packets_.front().bytes.size()) <= count) {
                const std::string& b = packets_.front().bytes;
                std::memcpy(buffer + got, b.data(), b.size());
                got += static_cast<int32_t>(b.size());
                packets_.pop_front();
            }
            return got;
        };
        port.Sleep = [this] { ++now_; };
        port.Clock = [this] { return now_; };
        return port;
    }
    uint64_t now_ = 0;

private:
    std::deque<Packet> packets_;
};

TEST(ClSockets, ReceivePauseRule) {
    {
        // Packets less than a second apart are one reply, complete a second after the last.
        ScriptedPort peer({{0, "250-first\r\n"}, {500, "250-second\r\n"}, {1400, "250 last\r\n"}});
        EXPECT_EQ(ReceivePausedText(peer.Port(), 30000), "250-first\r\n250-second\r\n250 last\r\n");
        EXPECT_GE(peer.now_, 1400u + 1001u);
        EXPECT_LE(peer.now_, 1400u + 1002u);
    }
    {
        // A pause of more than a second splits: the rest is the next reply.
        ScriptedPort peer({{0, "220 hello\r\n"}, {1500, "250 late\r\n"}});
        const TReceivePort port = peer.Port();
        EXPECT_EQ(ReceivePausedText(port, 30000), "220 hello\r\n");
        EXPECT_EQ(ReceivePausedText(port, 30000), ""); // nothing waiting yet
        peer.now_ = 1500;
        EXPECT_EQ(ReceivePausedText(port, 30000), "250 late\r\n");
    }
    {
        // A peer that never pauses is cut at the limit.
        std::deque<ScriptedPort::Packet> endless;
        for (uint64_t t = 0; t < 100000; t += 500) endless.push_back({t, "x"});
        ScriptedPort peer(std::move(endless));
        const std::string text = ReceivePausedText(peer.Port(), 3000);
        EXPECT_EQ(peer.now_, 3000u);
        EXPECT_EQ(text, std::string(6, 'x')); // 0 to 2500 ms; the one at 3000 is left
    }
}

} // namespace
