// The registry's container and the CLDATA block readers, which work on bytes handed to them.
#include "crash/debug/ClDebugModules.h"

#include <cstring>

#include "base/Stream.h"
#include "crash/core/ClCore.h"

namespace kv::crash {

TCLDataCodecs CLDataCodecs;
TCLDataPasswordRequest CLDataPasswordRequest = nullptr;
TAssignValidDebugInfo AssignValidDebugInfoProc = nullptr;
TCreateModuleOptions CreateModuleOptionsProc = nullptr;

namespace {

// Made before and freed after the running component (priority 102), whose shut-down frees it.
__attribute__((init_priority(101))) std::unique_ptr<TCrashModulesList> g_modulesList;

// Sequential little-endian reads that fail instead of running past the end.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Skip(size_t n) {
        if (n > size_ - pos_) return false;
        pos_ += n;
        return true;
    }
    template <class T> bool Read(T& value) {
        if (sizeof(T) > size_ - pos_) return false;
        std::memcpy(&value, data_ + pos_, sizeof(T));
        pos_ += sizeof(T);
        return true;
    }
    bool Bytes(size_t n, const uint8_t*& at) {
        if (n > size_ - pos_) return false;
        at = data_ + pos_;
        pos_ += n;
        return true;
    }
    size_t Pos() const { return pos_; }
    size_t Left() const { return size_ - pos_; }
    const uint8_t* Here() const { return data_ + pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

bool Inflate(const uint8_t* in, size_t n, std::string& out) {
    out.clear();
    if (!CLDataCodecs.ZDecompress) return false;
    try {
        CLDataCodecs.ZDecompress(in, n, out);
    } catch (...) {
        return false;
    }
    return !out.empty();
}

bool LoadOptions(TCrashModuleInfo& info, kv::TStream& stream) {
    if (!info.ExtraInformation.Options) return false;
    return info.ExtraInformation.Options->LoadFromStream(stream);
}

// The debug data: a 32-bit count and that many bytes, kept as the module's stream.
bool ReadDebugData(ByteReader& r, TCrashModuleInfo& info) {
    uint32_t n = 0;
    if (!r.Read(n)) return false;
    const uint8_t* at = nullptr;
    if (!r.Bytes(n, at)) return false;
    if (n > 0)
        info.ExtraInformation.DebugInformation =
            std::make_unique<kv::TMemoryStream>(std::string(reinterpret_cast<const char*>(at), n));
    return true;
}

bool IsMagic(uint32_t v) {
    return v == kCLDataMagic || v == kCLDataMagicOld;
}

bool CheckPassword(uintptr_t module, bool ownModule, const uint8_t checkWord[4],
                   TCrashModuleInfo& info) {
    for (int ask = 0; ask < 2; ++ask) {
        if (ask == 1 && ownModule) break;
        std::string password = CLDataPasswordRequest ? CLDataPasswordRequest(module, ask == 1) : "";
        if (password.size() > 255) password.resize(255);
        info.EncryptPassword = password;
        uint32_t plain = 0;
        if (CLDataCodecs.InitKey && CLDataCodecs.Decrypt) {
            CLDataCodecs.InitKey(password);
            CLDataCodecs.Decrypt(checkWord, &plain, 4);
        }
        info.IsValidEncryptPassword = IsMagic(plain);
        if (info.IsValidEncryptPassword) break;
    }
    return info.IsValidEncryptPassword;
}

} // namespace

size_t THModuleStream::Read(void* buffer, size_t count) {
    if (pos_ < 0 || count == 0) return 0;
    const uintptr_t at = memory_ + static_cast<uintptr_t>(pos_);
    if (!IsValidBlockAddr(at, count)) return 0;
    std::memcpy(buffer, reinterpret_cast<const void*>(at), count);
    pos_ += static_cast<int64_t>(count);
    return count;
}

TCrashModulesList* ModulesList() {
    return g_modulesList.get();
}
void CreateModulesList() {
    if (!g_modulesList) g_modulesList = std::make_unique<TCrashModulesList>();
}
void FreeModulesList() {
    g_modulesList.reset();
}

bool ReadCLDataResource(const uint8_t* data, size_t size, TCrashModuleInfo& info, bool enumerating,
                        bool ownModule) {
    ByteReader r(data, size);
    uint32_t magic = 0;
    uint16_t version = 0;
    double date = 0;
    if (!r.Read(magic) || !r.Read(version)) return false;
    if (version >= 600 && version <= 602) version = static_cast<uint16_t>(version + 5400);
    LastCrashVersion = version;
    if (version > CrashLogCurrentVersion) return false;
    if (!r.Read(date)) return false;
    info.ExtraInformation.CrashVersion = version;
    info.ExtraInformation.CompilationDate = date;
    if (version >= 6000 && !r.Skip(2)) return false;

    std::string body;
    if (version >= 500) {
        uint32_t symbols = 0, optionsLength = 0;
        const uint8_t* packed = nullptr;
        if (!r.Read(symbols) || !r.Skip(symbols) || !r.Read(optionsLength) ||
            !r.Bytes(optionsLength, packed))
            return false;
        std::string options;
        if (!Inflate(packed, optionsLength, options)) return false;
        kv::TMemoryStream optionsStream(std::move(options));
        if (!LoadOptions(info, optionsStream)) return false;
        if (!enumerating) {
            const uint8_t* checkWord = nullptr;
            if (!r.Bytes(4, checkWord)) return false;
            CheckPassword(info.Handle, ownModule, checkWord, info);
        }
    }
    const bool inflate = version >= 450 && !(version >= 500 && enumerating);
    if (inflate) {
        if (!Inflate(r.Here(), r.Left(), body)) return false;
    } else {
        body.assign(reinterpret_cast<const char*>(r.Here()), r.Left());
    }
    ByteReader b(reinterpret_cast<const uint8_t*>(body.data()), body.size());
    if (version < 500) {
        // The options stream comes first and says itself where it ends.
        kv::TMemoryStream stream(body);
        if (!LoadOptions(info, stream)) return false;
        if (!b.Skip(static_cast<size_t>(stream.GetPosition()))) return false;
    }
    if (enumerating) return true;
    return ReadDebugData(b, info);
}

size_t CLDataTrailerLength(const uint8_t* last8) {
    uint32_t length = 0, magic = 0;
    std::memcpy(&length, last8, 4);
    std::memcpy(&magic, last8 + 4, 4);
    if (!IsMagic(magic)) return 0;
    return size_t{length} + 8;
}

bool ReadCLDataTrailer(const uint8_t* tail, size_t size, TCrashModuleInfo& info, bool enumerating) {
    if (size < 8 || CLDataTrailerLength(tail + size - 8) != size) return false;
    ByteReader r(tail, size - 8);
    uint16_t version = 0;
    double date = 0;
    if (!r.Read(version) || !r.Read(date)) return false;
    LastCrashVersion = version;
    info.ExtraInformation.CrashVersion = version;
    info.ExtraInformation.CompilationDate = date;
    kv::TMemoryStream stream(std::string(reinterpret_cast<const char*>(r.Here()), r.Left()));
    if (!LoadOptions(info, stream)) return false;
    if (enumerating) return true;
    if (!r.Skip(static_cast<size_t>(stream.GetPosition()))) return false;
    return ReadDebugData(r, info);
}

bool FindCLDataSymbol(const uint8_t* data, size_t size, uint8_t id, uint32_t& codeOffset) {
    ByteReader r(data, size);
    uint32_t magic = 0, symbols = 0;
    if (!r.Read(magic) || !IsMagic(magic)) return false;
    if (!r.Skip(2 + 8 + 2) || !r.Read(symbols)) return false;
    for (uint32_t used = 0; used + 9 <= symbols; used += 9) {
        uint8_t recordId = 0;
        uint32_t offset = 0;
        if (!r.Read(recordId) || !r.Read(offset) || !r.Skip(4)) return false;
        if (recordId == id) {
            codeOffset = offset;
            return true;
        }
    }
    return false;
}

std::string FileVersionText(uint32_t ms, uint32_t ls) {
    const std::string text = std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
                             std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF);
    return text == "0.0.0.0" ? std::string() : text;
}

} // namespace kv::crash
