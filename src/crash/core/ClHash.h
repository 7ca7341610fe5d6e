#pragma once
// Hashes of the crash-report component: CRC-16/XMODEM (the report's BugID) and MD5 (RFC 1321;
// the key of the block cipher). Pure; any thread.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kv::crash {

// CRC-16/XMODEM: polynomial 0x1021, initial 0, not reflected; 0 for empty text.
uint16_t GetCRC16(std::string_view text);

// MD5 of size bytes at data; the digest is the four state words in little-endian order.
void GetMD5(uint8_t digest[16], const void* data, size_t size);

} // namespace kv::crash
