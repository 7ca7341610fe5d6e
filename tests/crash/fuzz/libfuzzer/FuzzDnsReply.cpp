// libFuzzer entry point of the MX reader of DNS replies (scripts/fuzz.sh builds and runs it;
// seeds: tests/data/crash/fuzz/dns_reply). Every read must stay inside the reply and end.
#include <cstdlib>
#include <string>
#include <string_view>

#include "crash/send/ClSMTP.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    const std::string server = kv::crash::ReadMXServerFromDNSReply(reply);
    if (server.size() > 255) std::abort();
    // Names at every offset, to reach pointers the record layout does not lead to.
    for (size_t at = 0; at < size; ++at) {
        size_t offset = at;
        std::string name;
        if (kv::crash::ReadDNSName(reply, offset, name) && (offset <= at || offset > size))
            std::abort();
    }
    // The same bytes as a domain: a query that is built reads back as that domain.
    const std::string query = kv::crash::BuildDNSQuery(reply);
    if (!query.empty()) {
        size_t offset = 12;
        std::string name;
        std::string_view domain = reply;
        if (domain.back() == '.') domain.remove_suffix(1);
        if (!kv::crash::ReadDNSName(query, offset, name) || name != domain ||
            offset + 4 != query.size())
            std::abort();
    }
    return 0;
}
