#pragma once
// The component's 64-bit block cipher (a TEA-like Feistel network of 32 rounds) in CBC mode with
// a fixed initial value and an unpadded tail: it protects debug names and the names derived
// from them. One key per process: InitKey changes it for every later caller; no locks (its users
// run on the report thread or under the report lock).
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kv::crash {

// key := MD5 of the pass phrase, read as four big-endian 32-bit words.
void InitKey(std::string_view passPhrase);

// size bytes from in to out (the same pointer for in-place work); out has exactly size bytes.
void Encrypt(const void* in, void* out, size_t size);
void Decrypt(const void* in, void* out, size_t size);

} // namespace kv::crash
