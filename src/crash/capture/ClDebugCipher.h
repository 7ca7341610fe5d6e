#pragma once
// The scrambling of names in a module's debug data: the component's 64-bit block cipher under a
// key made from the module's debug-data password, and the Base64 text that stands for a name
// when the password is wrong. Used by the debug-data reader and by the build's debug-data writer.
// Stateless apart from the key object; any thread.
#include <cstdint>
#include <string>
#include <string_view>

namespace kv::crash::detail {

class TDebugCipher {
public:
    explicit TDebugCipher(std::string_view password);
    const std::string& Password() const { return password_; }
    // In place, any length; a tail shorter than a block is XORed with an enciphered chain.
    void Encrypt(char* data, size_t size) const;
    void Decrypt(char* data, size_t size) const;

private:
    void E(uint8_t block[8]) const;
    void D(uint8_t block[8]) const;
    std::string password_;
    uint32_t k_[4];
};

std::string DebugBase64(std::string_view bytes);

} // namespace kv::crash::detail
