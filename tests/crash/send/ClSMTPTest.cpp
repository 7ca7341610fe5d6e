#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "crash/send/ClSMTP.h"

namespace {

using namespace kv::crash;
using namespace std::string_literals;

std::string DnsSeed(const std::string& name) {
    std::ifstream in(std::string(KOLVANE_TEST_DATA) + "/crash/fuzz/dns_reply/" + name,
                     std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ClSMTP, LoginDialogue) {
    struct Step {
        const char* command;
        TSMTPCodes codes;
        bool secret;
    };
    const std::vector<Step> plain = {
        {"HELO pc1", {250}, false},
        {"RSET", {250}, false},
        {"MAIL FROM:<bugs@example.test>", {250}, false},
    };
    const std::vector<Step> login = {
        {"EHLO pc1", {250}, false},
        {"RSET", {250}, false},
        {"AUTH LOGIN", {334, 500, 502}, false},
        {"a29sdmFuZQ==", {334, 500, 502}, true},
        {"c2VjcmV0", {235, 500, 502}, true},
        {"MAIL FROM:<bugs@example.test>", {250}, false},
    };
    std::vector<Step> noUser = login;
    noUser[3].command = ""; // the dialogue stops there
    struct Case {
        const char* label;
        const char* user;
        const char* password;
        const std::vector<Step>& steps;
    };
    const Case cases[] = {
        {"no credentials: HELO", "", "", plain},
        {"user and password: EHLO and AUTH LOGIN", "kolvane", "secret", login},
        {"password only: an empty user line", "", "secret", noUser},
    };
    for (const Case& c : cases) {
        const auto steps = SMTPLoginSteps("pc1", "bugs@example.test", c.user, c.password);
        ASSERT_EQ(steps.size(), c.steps.size()) << c.label;
        for (size_t i = 0; i < steps.size(); ++i) {
            EXPECT_EQ(steps[i].Command, c.steps[i].command) << c.label << " " << i;
            EXPECT_EQ(steps[i].Codes, c.steps[i].codes) << c.label << " " << i;
            EXPECT_EQ(steps[i].Secret, c.steps[i].secret) << c.label << " " << i;
        }
    }
}

TEST(ClSMTP, RecipientsDomainsAndServers) {
    EXPECT_EQ(SMTPRecipients(" a@x.test; b@y.test,,c@z.test ; "),
              (TStrings{"a@x.test", "b@y.test", "c@z.test"}));
    EXPECT_EQ(EmailDomain("dev@example.test"), "example.test");
    EXPECT_EQ(EmailDomain("a@b@c.test"), "b@c.test");
    EXPECT_EQ(EmailDomain("example.test"), "example.test");
    EXPECT_EQ(MXTryTimeout(30000, 0), 10050u);
    EXPECT_EQ(MXTryTimeout(30000, 2), 10250u);
    EXPECT_EQ(MXTryTimeout(600, 1), 350u);
    EXPECT_EQ(DNSServersToAsk({" 10.0.0.1 ", "0.0.0.0", "", "10.0.0.2"}, "127.0.0.1"),
              (TStrings{"10.0.0.1", "10.0.0.2", "127.0.0.1"}));
}

TEST(ClSMTP, DnsQuery) {
    const std::string exampleTest = "AA\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00"
                                    "\x07"
                                    "example\x04test\x00\x00\x0F\x00\x01"s;
    struct Case {
        const char* label;
        std::string domain;
        std::string query;
    };
    const Case cases[] = {
        {"two labels", "example.test", exampleTest},
        {"final dot", "example.test.", exampleTest},
        {"empty", "", ""},
        {"lone dot", ".", ""},
        {"empty label", "example..test", ""},
        {"label of 64", std::string(64, 'a') + ".test", ""},
        {"name over 255 bytes",
         std::string(63, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') + "." +
             std::string(63, 'd'),
         ""},
    };
    for (const Case& c : cases) EXPECT_EQ(BuildDNSQuery(c.domain), c.query) << c.label;
    // A label of 63 is the longest.
    const std::string longest = BuildDNSQuery(std::string(63, 'a'));
    ASSERT_EQ(longest.size(), 12u + 1 + 63 + 1 + 4);
    EXPECT_EQ(longest[12], '\x3F');
}

TEST(ClSMTP, DnsNames) {
    // Offsets: 0 "\x03" "abc" "\x04" "test" "\0" (10 bytes), 10 pointer to 0, 12 "\x02" "mx"
    // pointer to 4, 17 pointer to itself, 19 a label past the end (22 bytes in all).
    const std::string reply = "\x03"
                              "abc\x04"
                              "test\x00\xC0\x00\x02mx\xC0\x04\xC0\x11\x09xy"s;
    struct Case {
        const char* label;
        size_t offset;
        bool ok;
        const char* name;
        size_t next;
    };
    static constexpr Case kCases[] = {
        {"labels", 0, true, "abc.test", 10},
        {"pointer: reading goes on behind it", 10, true, "abc.test", 12},
        {"label then pointer", 12, true, "mx.test", 17},
        {"pointer loop", 17, false, "", 17},
        {"label past the end", 19, false, "", 19},
        {"offset past the end", 40, false, "", 40},
        {"pointer without its second byte", 22, false, "", 22},
    };
    for (const Case& c : kCases) {
        size_t offset = c.offset;
        std::string name = "unchanged";
        const std::string data = reply + "\xC0"; // at 22: a pointer cut after its first byte
        EXPECT_EQ(ReadDNSName(data, offset, name), c.ok) << c.label;
        if (c.ok) {
            EXPECT_EQ(name, c.name) << c.label;
        }
        EXPECT_EQ(offset, c.ok ? c.next : c.offset) << c.label;
    }
    // A long chain of pointers, each to the one before, ends at the bound.
    std::string chain = "\x01"
                        "a\x00"s;
    for (int i = 0; i < 100; ++i) {
        const size_t before = i == 0 ? 0 : chain.size() - 2;
        chain += static_cast<char>(0xC0 | (before >> 8));
        chain += static_cast<char>(before & 0xFF);
    }
    size_t offset = chain.size() - 2;
    std::string name;
    EXPECT_FALSE(ReadDNSName(chain, offset, name));
    offset = 3 + 2 * 10; // ten pointers deep
    EXPECT_TRUE(ReadDNSName(chain, offset, name));
    EXPECT_EQ(name, "a");
}

// The replies of the committed fuzz seeds (made with the DNS responder of the test bench).
TEST(ClSMTP, MailExchangerFromReplies) {
    struct Case {
        const char* seed;
        const char* server;
    };
    static constexpr Case kCases[] = {
        {"mx_example.bin", "localhost"},
        {"cname_first.bin", "localhost"},          // the CNAME's data, read as a name
        {"two_mx_compressed.bin", "example.test"}, // the first answer; preferences not compared
        {"nxdomain.bin", ""},
        {"nxdomain_soa.bin", ""}, // an authority record is no answer
        {"mx_truncated.bin", ""},
        {"pointer_loop.bin", ""},
    };
    for (const Case& c : kCases) {
        const std::string reply = DnsSeed(c.seed);
        ASSERT_FALSE(reply.empty()) << c.seed;
        EXPECT_EQ(ReadMXServerFromDNSReply(reply), c.server) << c.seed;
    }
    // No cut of a good reply reads past its end or yields a name.
    const std::string full = DnsSeed("mx_example.bin");
    for (size_t n = 0; n < full.size(); ++n)
        EXPECT_EQ(ReadMXServerFromDNSReply(std::string(full.data(), n)), "") << n;
}

} // namespace
