// The SMTP client and its sockets against the peers of the test bench (scripts/net-run.sh):
// SMTP servers on 2525 (plain), 2526 (AUTH LOGIN), 2527 (502 to AUTH) and 25, a DNS responder
// on 53, all on 127.0.0.1, and raw peers of the test itself for the socket rules.
#include "crash/send/ClWinSockWin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../support/CrashTestSupport.h"
#include "crash/capture/CrashLogMain.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/core/ClBase64.h"
#include "crash/send/ClMIMEMessage.h"
#include "crash/send/ClSMTP.h"

namespace {

using namespace kv::crash;
namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

constexpr uint32_t kWaitMs = 10000;

fs::path PeersFolder() {
    const char* folder = std::getenv("KOLVANE_NET_PEERS_WIN");
    return folder ? fs::path(folder) : fs::path();
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

Lines SplitLines(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The finished sessions of an SMTP peer: the command lines it logged, a session per "--".
std::vector<Lines> SmtpSessions(int port) {
    std::vector<Lines> sessions;
    Lines current;
    for (const std::string& line :
         SplitLines(ReadAll(PeersFolder() / ("smtp-" + std::to_string(port) + ".log")))) {
        if (line == "--") {
            sessions.push_back(current);
            current.clear();
        } else {
            current.push_back(line);
        }
    }
    return sessions;
}

// The sessions after the first `before`, once `count` of them have ended (bounded wait).
std::vector<Lines> NewSessions(int port, size_t before, size_t count) {
    const DWORD start = GetTickCount();
    std::vector<Lines> sessions = SmtpSessions(port);
    while (sessions.size() < before + count && GetTickCount() - start < kWaitMs) {
        Sleep(20);
        sessions = SmtpSessions(port);
    }
    return std::vector<Lines>(sessions.begin() + std::min(before, sessions.size()), sessions.end());
}

size_t CountLines(const std::string& file, const std::string& line) {
    const Lines lines = SplitLines(ReadAll(PeersFolder() / file));
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

size_t MailCount(int port) {
    size_t n = 0;
    while (fs::exists(PeersFolder() /
                      ("mail-" + std::to_string(port) + "-" + std::to_string(n + 1) + ".eml")))
        ++n;
    return n;
}

std::string Mail(int port, size_t number, const char* ext) {
    return ReadAll(PeersFolder() /
                   ("mail-" + std::to_string(port) + "-" + std::to_string(number) + ext));
}

class SMTPNet : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(PeersFolder().empty()) << "run through scripts/net-run.sh";
        CustomSmtpHeloCommand = "kvtest";
        // Nothing may leave the machine: the public DNS server is the bench's too.
        SetPublicDNSServer("127.0.0.1");
        ResetSMTPSendHooks();
        SMTPSendHooks.Status = [this](TMessageType text, int32_t number, int32_t count) {
            statuses_.push_back(std::to_string(text) + " " + std::to_string(number) + "/" +
                                std::to_string(count));
        };
        SMTPSendHooks.SendWindowExists = [] { return true; };
        SMTPSendHooks.OnSent = [this](int32_t sent, int32_t total) {
            sent_.push_back({sent, total});
        };
        ClearLastCrashLogError();
    }
    void TearDown() override {
        ResetSMTPSendHooks();
        CustomSmtpHeloCommand.clear();
        SetPublicDNSServer(kDefaultPublicDNSServer);
    }
    static std::string Status(TMessageType text, int number, int count) {
        return std::to_string(text) + " " + std::to_string(number) + "/" + std::to_string(count);
    }

    Lines statuses_;
    std::vector<std::pair<int32_t, int32_t>> sent_;
};

const std::string kMailFrom = "MAIL FROM:<bugs@example.test>";
const std::string kRcptDev = "RCPT TO:<dev@example.test>";

TEST_F(SMTPNet, ClientDialogues) {
    struct Case {
        const char* label;
        int port;
        const char* user;
        const char* password;
        const char* to;
        bool result;
        TCrashLogErrorCode error;
        std::vector<Lines> sessions;
    };
    const Case cases[] = {
        {"no credentials: HELO; a rejected first recipient, then a good one",
         2525,
         "",
         "",
         "reject@example.test; dev@example.test",
         true,
         eeEmailSMTPError,
         {{"HELO kvtest", "RSET", kMailFrom, "RCPT TO:<reject@example.test>"},
          {"HELO kvtest", "RSET", kMailFrom, kRcptDev, "DATA"}}},
        {"EHLO and AUTH LOGIN with the base64 lines",
         2526,
         "kolvane",
         "secret",
         "dev@example.test",
         true,
         eeNone,
         {{"EHLO kvtest", "RSET", "AUTH LOGIN", "a29sdmFuZQ==", "c2VjcmV0", kMailFrom, kRcptDev,
           "DATA"}}},
        {"a server answering 502 to AUTH still gets the mail",
         2527,
         "kolvane",
         "secret",
         "dev@example.test",
         true,
         eeNone,
         {{"EHLO kvtest", "RSET", "AUTH LOGIN", kMailFrom, kRcptDev, "DATA"}}},
        {"an empty user with a password stops after AUTH LOGIN, nothing recorded",
         2526,
         "",
         "secret",
         "dev@example.test",
         false,
         eeNone,
         {{"EHLO kvtest", "RSET", "AUTH LOGIN"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ClearLastCrashLogError();
        const size_t before = SmtpSessions(c.port).size();
        const size_t mails = MailCount(c.port);
        EXPECT_EQ(SendEmailBySMTP(false, "bugs@example.test", "127.0.0.1", {}, {}, "Body",
                                  "Subject", c.to, c.user, c.password, c.port),
                  c.result);
        EXPECT_EQ(GetLastCrashLogErrorCode(), c.error) << GetLastCrashLogErrorMsg();
        EXPECT_EQ(NewSessions(c.port, before, c.sessions.size()), c.sessions);
        EXPECT_EQ(MailCount(c.port), mails + (c.result ? 1 : 0));
    }
}

TEST_F(SMTPNet, ARejectedReplyIsRecordedWithTheConversation) {
    EXPECT_FALSE(SendEmailBySMTP(false, "bugs@example.test", "127.0.0.1", {}, {}, "Body", "Subject",
                                 "reject@example.test", "", "", 2525));
    EXPECT_EQ(GetLastCrashLogErrorCode(), eeEmailSMTPError);
    const std::string message = GetLastCrashLogErrorMsg();
    EXPECT_EQ(message.rfind("[SMTP] Error log:\r\n550", 0), 0u) << message;
    EXPECT_NE(message.find("Socket log:\r\nConnected to 127.0.0.1 port 2525\r\n220 "),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("RCPT TO:<reject@example.test>\r\n550"), std::string::npos) << message;
    EXPECT_NE(message.find("\r\n\r\nDestination: 127.0.0.1:2525"), std::string::npos) << message;
    // The conversation shows no credentials even where they were sent.
    ClearLastCrashLogError();
    EXPECT_FALSE(SendEmailBySMTP(false, "bugs@example.test", "127.0.0.1", {}, {}, "Body", "Subject",
                                 "reject@example.test", "kolvane", "secret", 2526));
    EXPECT_EQ(GetLastCrashLogErrorMsg().find("c2VjcmV0"), std::string::npos);
    EXPECT_NE(GetLastCrashLogErrorMsg().find("****\r\n235"), std::string::npos);
}

TEST_F(SMTPNet, TheMessageArrivesIntact) {
    kvtest::TempDir dir("smtp_message");
    std::string zip;
    for (int i = 0; i < 700; ++i) zip += static_cast<char>(i * 37 + 11);
    const std::string zipPath = dir.Ansi("BugReport.zip");
    std::ofstream(dir.FsPath() / "BugReport.zip", std::ios::binary) << zip;
    // A lone "." line, a line starting with ".", Shift_JIS text ("テスト").
    const std::string body = "first\r\n.\r\n.hidden\r\n\x83\x65\x83\x58\x83\x67\r\nlast";

    SetEnvironmentVariableA("KV_SMTP_TEST", "from the test");
    const size_t mails = MailCount(2525);
    ASSERT_TRUE(SendEmailBySMTP(false, "\"Bug Desk\" <bugs@example.test>", "127.0.0.1", {zipPath},
                                {}, body, "Crash report %KV_SMTP_TEST%", "dev@example.test", "", "",
                                2525));
    SetEnvironmentVariableA("KV_SMTP_TEST", nullptr);
    ASSERT_EQ(MailCount(2525), mails + 1);
    const std::string eml = Mail(2525, mails + 1, ".eml");
    EXPECT_EQ(Mail(2525, mails + 1, ".txt"), "from bugs@example.test\nto dev@example.test\n");
    EXPECT_NE(eml.find("From: \"Bug Desk\" <bugs@example.test>\r\n"), std::string::npos);
    EXPECT_NE(eml.find("To: <dev@example.test>\r\n"), std::string::npos);
    EXPECT_NE(eml.find("Subject: Crash report from the test\r\n"), std::string::npos);
    EXPECT_NE(eml.find("Content-Type: text/plain; charset=shift_jis\r\n"
                       "Content-Transfer-Encoding: 8bit\r\n\r\n" +
                       body + "\r\n"),
              std::string::npos)
        << eml;
    // The attachment's base64 lines decode to the file's bytes.
    const std::string head = "filename=\"BugReport.zip\"\r\n\r\n";
    const size_t start = eml.find(head);
    ASSERT_NE(start, std::string::npos) << eml;
    const size_t end = eml.find("\r\n--" + std::string(kMIMEBoundary), start + head.size());
    ASSERT_NE(end, std::string::npos);
    std::string base64;
    for (const std::string& line :
         SplitLines(eml.substr(start + head.size(), end - start - head.size()))) {
        EXPECT_LE(line.size(), 81u); // 80 characters and the CR
        base64 += line.substr(0, line.find('\r'));
    }
    EXPECT_EQ(Base64DecodeString(base64), zip);
    EXPECT_EQ(eml.substr(eml.size() - 2 - std::strlen(kMIMEBoundary) - 4),
              "--" + std::string(kMIMEBoundary) + "--\r\n");

    // The message went out in chunks of 1024 bytes, counted up to its size.
    ASSERT_FALSE(sent_.empty());
    for (size_t i = 0; i + 1 < sent_.size(); ++i) {
        EXPECT_EQ(sent_[i].first, static_cast<int32_t>(1024 * (i + 1)));
        EXPECT_EQ(sent_[i].second, sent_.back().second);
    }
    EXPECT_EQ(sent_.back().first, sent_.back().second);
    EXPECT_GT(sent_.back().second, static_cast<int32_t>(zip.size() * 4 / 3));
    EXPECT_EQ(statuses_,
              (Lines{Status(mtSendDialog_Connecting, 1, 1), Status(mtSendDialog_Connected, 1, 1),
                     Status(mtSendDialog_Sending, 1, 1)}));
}

TEST_F(SMTPNet, ServerModeFindsTheMailExchanger) {
    struct Case {
        const char* label;
        const char* to;
    };
    static constexpr Case kCases[] = {
        {"an MX record", "dev@example.test"},
        {"a CNAME first in the answer, read from its data", "dev@cname.test"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.label);
        statuses_.clear();
        const std::string domain = EmailDomain(c.to);
        const size_t queries = CountLines("dns.log", domain + " MX");
        const size_t before = SmtpSessions(25).size();
        // The relay's port and credentials do not count in server mode.
        EXPECT_TRUE(SendEmailBySMTP(true, "bugs@example.test", "", {}, {}, "Body", "Subject", c.to,
                                    "kolvane", "secret", 2526));
        EXPECT_EQ(CountLines("dns.log", domain + " MX"), queries + 1);
        EXPECT_EQ(NewSessions(25, before, 1),
                  (std::vector<Lines>{{"HELO kvtest", "RSET", kMailFrom,
                                       "RCPT TO:<" + std::string(c.to) + ">", "DATA"}}));
        EXPECT_EQ(
            statuses_,
            (Lines{Status(mtSendDialog_Resolving, 1, 1), Status(mtSendDialog_Connecting, 1, 1),
                   Status(mtSendDialog_Connected, 1, 1), Status(mtSendDialog_Sending, 1, 1)}));
    }
}

TEST_F(SMTPNet, ServerModeStopsAtADomainWithoutMailExchanger) {
    const size_t servers = DNSServersToAsk(SystemDNSServers(), GetPublicDNSServer()).size();
    const size_t queries = CountLines("dns.log", "nxdomain.test MX");
    const size_t examples = CountLines("dns.log", "example.test MX");
    const size_t before = SmtpSessions(25).size();
    EXPECT_FALSE(SendEmailBySMTP(true, "bugs@example.test", "", {}, {}, "Body", "Subject",
                                 "dev@nxdomain.test; dev@example.test", "", "", 25));
    EXPECT_EQ(GetLastCrashLogErrorCode(), eeEmailSMTPError);
    EXPECT_EQ(GetLastCrashLogErrorMsg(), "[SMTP] Cannot resolve the \"nxdomain.test\" MX record.");
    // Three tries per server; the recipient after the failure is not tried.
    EXPECT_EQ(CountLines("dns.log", "nxdomain.test MX"), queries + 3 * servers);
    EXPECT_EQ(CountLines("dns.log", "example.test MX"), examples);
    EXPECT_EQ(SmtpSessions(25).size(), before);
}

TEST_F(SMTPNet, ASilentDnsServerCostsTheTriesTimeouts) {
    const size_t servers = DNSServersToAsk(SystemDNSServers(), GetPublicDNSServer()).size();
    const size_t queries = CountLines("dns.log", "silent.test MX");
    std::string server = "stale";
    const DWORD start = GetTickCount();
    try {
        // (600 + 150) div 3 = 250 ms, then 350 and 450 ms: 1050 ms per server.
        GetMXServerFromEmail("dev@silent.test", 600, server);
        ADD_FAILURE() << "resolved to " << server;
    } catch (const ECrashSocketError& e) {
        EXPECT_EQ(Utf16ToAnsi(e.Message()), "Cannot resolve the \"silent.test\" MX record.");
    }
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(server, "");
    EXPECT_GE(elapsed + 50, 1050 * servers);
    EXPECT_LT(elapsed, 1050 * servers + 3000);
    EXPECT_EQ(CountLines("dns.log", "silent.test MX"), queries + 3 * servers);
}

// ---- The socket rules, against a peer of the test's own ----

// Accepts one connection on 127.0.0.1 and runs the script on it on a thread.
class RawPeer {
public:
    explicit RawPeer(std::function<void(SOCKET)> script) {
        listen_ = winsock::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = winsock::htonl(INADDR_LOOPBACK);
        int size = sizeof a;
        if (winsock::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            winsock::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &size) != 0 ||
            winsock::listen(listen_, 1) != 0)
            ADD_FAILURE() << "no listening socket: " << winsock::WSAGetLastError();
        port_ = winsock::ntohs(a.sin_port);
        thread_ = std::thread([this, script] {
            // A client that connected before Join is accepted even when this thread starts
            // late: closing the listening socket first would drop it from the backlog.
            while (!Acceptable()) {
                if (stopping_.load()) return;
            }
            const SOCKET s = winsock::accept(listen_, nullptr, nullptr);
            if (s == INVALID_SOCKET) return;
            script(s);
            winsock::closesocket(s);
        });
    }
    ~RawPeer() { Join(); }
    // Waits until the script has ended.
    void Join() {
        if (!thread_.joinable()) return;
        stopping_.store(true); // ends the wait of a peer that no client called
        thread_.join();
        winsock::closesocket(listen_);
    }
    uint16_t Port() const { return port_; }

    static void Send(SOCKET s, const std::string& text) {
        winsock::send(s, text.data(), static_cast<int>(text.size()), 0);
    }
    // Everything until the client closes.
    static std::string ReadAll(SOCKET s) {
        std::string all;
        char buffer[4096];
        for (int n; (n = winsock::recv(s, buffer, sizeof buffer, 0)) > 0;) all.append(buffer, n);
        return all;
    }

private:
    // Whether a connection waits in the backlog (a 100 ms look).
    bool Acceptable() const {
        winsock::TFDSet readable;
        (winsock::FD_ZERO)(readable);
        (winsock::FD_SET)(listen_, readable);
        timeval wait{0, 100000};
        return winsock::select(0, reinterpret_cast<fd_set*>(&readable), nullptr, nullptr, &wait) >
               0;
    }
    SOCKET listen_ = INVALID_SOCKET;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

TEST(ClSocketsNet, PacketsLessThanASecondApartAreOneReply) {
    RawPeer peer([](SOCKET s) {
        RawPeer::Send(s, "220-first\r\n");
        Sleep(300);
        RawPeer::Send(s, "220 second\r\n");
        Sleep(1600); // a pause: what follows is the next reply
        RawPeer::Send(s, "250 next\r\n");
        RawPeer::ReadAll(s);
    });
    TCrashClientSocket client("127.0.0.1", peer.Port(), true, 5000);
    client.Open();
    std::string text;
    client.GetFullText(text);
    EXPECT_EQ(text, "220-first\r\n220 second\r\n");
    client.GetFullText(text);
    EXPECT_EQ(text, "250 next\r\n");
    EXPECT_EQ(client.Log(), "Connected to 127.0.0.1 port " + std::to_string(peer.Port()) +
                                "\r\n220-first\r\n220 second\r\n250 next\r\n");
}

TEST(ClSocketsNet, SendTextGoesOutInChunksOf1024) {
    std::string received;
    RawPeer peer([&](SOCKET s) { received = RawPeer::ReadAll(s); });
    TCrashClientSocket client("127.0.0.1", peer.Port(), true, 5000);
    std::vector<std::pair<int32_t, int32_t>> calls;
    client.SetOnSent([&](TCrashClientSocket* sender, int32_t sent, int32_t total) {
        EXPECT_EQ(sender, &client);
        calls.push_back({sent, total});
    });
    client.Open();
    std::string text;
    for (int i = 0; i < 2500; ++i) text += static_cast<char>('a' + i % 26);
    EXPECT_EQ(client.SendText(text), 2500);
    EXPECT_EQ(calls,
              (std::vector<std::pair<int32_t, int32_t>>{{1024, 2500}, {2048, 2500}, {2500, 2500}}));
    client.Close();
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.Log(), "");
    peer.Join(); // the peer has read everything once the client closed
    EXPECT_EQ(received, text);
}

TEST(ClSocketsNet, CloseRightAfterALargeSendLosesNothing) {
    // The peer reads slowly and answers before it closes: what was sent before Close still
    // arrives whole, and the peer's answer is no reason for the close to reset the connection.
    std::string received;
    RawPeer peer([&](SOCKET s) {
        Sleep(500);
        received = RawPeer::ReadAll(s);
        RawPeer::Send(s, "221 bye\r\n");
    });
    TCrashClientSocket client("127.0.0.1", peer.Port(), true, 20000);
    client.Open();
    std::string text(4 << 20, '\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    EXPECT_EQ(client.SendText(text), static_cast<int32_t>(text.size()));
    client.Close();
    peer.Join();
    EXPECT_EQ(received.size(), text.size());
    EXPECT_TRUE(received == text);
}

TEST(ClSocketsNet, FailuresCarryTheirTexts) {
    {
        // A silent server: "Socket timeout." with the log sections and the destination.
        RawPeer peer([](SOCKET s) { RawPeer::ReadAll(s); });
        TCrashClientSocket client("127.0.0.1", peer.Port(), true, 1500);
        std::string seen;
        client.SetOnError([&](TCrashClientSocket*, int32_t code, const std::string& message) {
            EXPECT_EQ(code, -1);
            seen = message;
        });
        client.Open();
        const DWORD start = GetTickCount();
        std::string text;
        try {
            client.ReceiveFullText(text);
            ADD_FAILURE() << "no timeout";
        } catch (const ECrashSocketError& e) {
            const std::string port = std::to_string(peer.Port());
            const std::string expected =
                "Socket timeout.\r\n\r\nError log:\r\n\r\n\r\nSocket log:\r\n"
                "Connected to 127.0.0.1 port " +
                port + "\r\n\r\n\r\nDestination: 127.0.0.1:" + port;
            EXPECT_EQ(Utf16ToAnsi(e.Message()), expected);
            EXPECT_EQ(seen, expected);
        }
        const DWORD elapsed = GetTickCount() - start;
        EXPECT_GE(elapsed + 50, 1500u);
        EXPECT_LT(elapsed, 4000u);
    }
    {
        // A name that does not resolve fails before any connection attempt, without sections.
        TCrashClientSocket client("no-such-host.invalid", 25, true, 1000);
        try {
            client.Open();
            ADD_FAILURE() << "opened";
        } catch (const ECrashSocketError& e) {
            EXPECT_EQ(Utf16ToAnsi(e.Message()), "Unable to resolve host \"no-such-host.invalid\".");
        }
        EXPECT_FALSE(client.Connected());
    }
}

} // namespace
