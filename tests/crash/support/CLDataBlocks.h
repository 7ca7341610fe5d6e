#pragma once
// Builds CLDATA blocks for the module-registry tests with the component's own codecs.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/Stream.h"
#include "crash/debug/ClDebugModules.h"
#include "crash/core/ClEncrypt.h"
#include "crash/core/ClZlib2.h"

namespace kvtest {

inline void InstallTestCodecs() {
    kv::crash::CLDataCodecs = {&kv::crash::ZDecompress, &kv::crash::InitKey, &kv::crash::Decrypt};
}

inline std::string Deflate(const std::string& plain) {
    std::string out;
    kv::crash::ZCompress(plain.data(), plain.size(), out);
    return out;
}

template <class T> void Put(std::string& s, T v) {
    s.append(reinterpret_cast<const char*>(&v), sizeof v);
}

// The options stream of options whose e-mail subject is `subject`.
inline std::string OptionsStream(const std::string& subject) {
    kv::crash::TCrashModuleOptions options("");
    options.SetEMailSubject(subject);
    kv::TMemoryStream stream;
    options.SaveToStream(stream);
    return stream.Data();
}

struct BlockFields {
    uint16_t version = 6104;
    double date = 45000.5;
    std::string subject = "from the block";
    std::string password = "secret"; // enciphers the check word
    std::string debug = "DEBUGDATA";
    std::string symbols; // 9-byte records
};

// A CLDATA resource of data version 500 and later.
inline std::string ResourceBlock(const BlockFields& b) {
    std::string s;
    Put<uint32_t>(s, kv::crash::kCLDataMagic);
    Put<uint16_t>(s, b.version);
    Put<double>(s, b.date);
    const uint16_t effective = b.version >= 600 && b.version <= 602 ? b.version + 5400 : b.version;
    if (effective >= 6000) s += std::string("\x01\x02", 2);
    Put<uint32_t>(s, static_cast<uint32_t>(b.symbols.size()));
    s += b.symbols;
    const std::string options = Deflate(OptionsStream(b.subject));
    Put<uint32_t>(s, static_cast<uint32_t>(options.size()));
    s += options;
    uint32_t check = kv::crash::kCLDataMagic, enciphered = 0;
    kv::crash::InitKey(b.password);
    kv::crash::Encrypt(&check, &enciphered, 4);
    Put<uint32_t>(s, enciphered);
    std::string debug;
    Put<uint32_t>(debug, static_cast<uint32_t>(b.debug.size()));
    debug += b.debug;
    s += Deflate(debug);
    return s;
}

// A CLDATA resource of a data version below 500: the options stream (of that version's layout),
// the debug data, zlib-compressed from version 450 on.
inline std::string OldResourceBlock(uint16_t version, const std::string& options,
                                    const std::string& debug) {
    std::string s;
    Put<uint32_t>(s, kv::crash::kCLDataMagicOld);
    Put<uint16_t>(s, version);
    Put<double>(s, 40000.25);
    std::string body = options;
    Put<uint32_t>(body, static_cast<uint32_t>(debug.size()));
    body += debug;
    s += version >= 450 ? Deflate(body) : body;
    return s;
}

// A CLDATA trailer as appended to a module file.
inline std::string TrailerBlock(const BlockFields& b) {
    std::string body;
    Put<uint16_t>(body, b.version);
    Put<double>(body, b.date);
    body += OptionsStream(b.subject);
    Put<uint32_t>(body, static_cast<uint32_t>(b.debug.size()));
    body += b.debug;
    std::string s = body;
    Put<uint32_t>(s, static_cast<uint32_t>(body.size()));
    Put<uint32_t>(s, kv::crash::kCLDataMagicOld);
    return s;
}

} // namespace kvtest
