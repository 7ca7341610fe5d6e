#pragma once
// Base64 of RFC 4648 ("A"-"Z", "a"-"z", "0"-"9", "+", "/", pad "="), without line breaks.
// Pure; any thread.
#include <cstddef>
#include <string>
#include <string_view>

namespace kv::crash {

// 4 * ceil(byteCount / 3).
size_t CalcEncodedSize(size_t byteCount);
// Bytes that length characters decode to: 0 when length is 0 or no multiple of 4; less 2 when
// the second-last character is "=", less 1 when only the last one is.
size_t CalcDecodedSize(const char* text, size_t length);

// Writes CalcEncodedSize(size) characters to out.
void Base64Encode(const void* in, size_t size, char* out);
// Decodes whole groups of four characters into out (room for CalcDecodedSize bytes); the last
// group ends at its first "=", characters outside the alphabet count as 0. Returns the bytes
// written: 0 when size is no multiple of 4.
size_t Base64Decode(const char* in, size_t size, void* out);

std::string Base64EncodeString(std::string_view bytes);
// Empty for a text whose length is no multiple of 4.
std::string Base64DecodeString(std::string_view text);
std::string Base64EncodeToString(const void* buffer, size_t size);

} // namespace kv::crash
