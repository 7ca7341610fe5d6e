// libFuzzer entry point of the SMTP reply-code reader (scripts/fuzz.sh builds and runs it;
// seeds: tests/data/crash/fuzz/smtp_reply).
#include <cstdlib>
#include <string_view>

#include "crash/send/ClSockets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    uint16_t code = 0;
    if (kv::crash::ReadSMTPReplyCode(reply, code)) {
        // The code is the number the leading digits spell.
        uint32_t value = 0;
        for (size_t i = 0; i < reply.size() && reply[i] >= '0' && reply[i] <= '9'; ++i)
            value = value * 10 + static_cast<uint32_t>(reply[i] - '0');
        if (reply.empty() || reply[0] < '0' || reply[0] > '9' || value != code) std::abort();
        if (!kv::crash::SMTPReplyAccepted(reply, {code})) std::abort();
    } else if (kv::crash::SMTPReplyAccepted(reply, {0, 220, 250, 354, 65535})) {
        std::abort();
    }
    return 0;
}
