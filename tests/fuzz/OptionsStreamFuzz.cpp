// libFuzzer target over the options stream reader. Input: the data version as two little-endian
// bytes, then the stream. A rejected stream must leave the options as they were; an accepted
// one must write back a stream that reads again to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "crash/core/TCrashModuleOptions.h"

namespace {

using kv::crash::TCrashModuleOptions;

std::string Saved(const TCrashModuleOptions& o) {
    kv::TMemoryStream s;
    o.SaveToStream(s);
    return s.Data();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint16_t version = static_cast<uint16_t>(data[0] | data[1] << 8);
    kv::TMemoryStream stream(std::string(reinterpret_cast<const char*>(data) + 2, size - 2));

    TCrashModuleOptions options("");
    const std::string before = Saved(options);
    if (!options.LoadFromStreamOfVersion(stream, version)) {
        if (Saved(options) != before || stream.GetPosition() != 0) std::abort();
        return 0;
    }
    if (stream.GetPosition() > stream.GetSize()) std::abort();
    const std::string first = Saved(options);
    TCrashModuleOptions again("");
    kv::TMemoryStream reread(first);
    if (!again.LoadFromStreamOfVersion(reread, kv::crash::CrashLogCurrentVersion) ||
        Saved(again) != first || reread.GetPosition() != static_cast<int64_t>(first.size()))
        std::abort();
    return 0;
}
