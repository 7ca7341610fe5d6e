#include "crash/send/ClWinSock.h"

#include <algorithm>

namespace kv::crash::winsock {

std::string FuncNotFoundText(std::string_view name) {
    return "WinSock's function \"" + std::string(name) + "\" can not be found";
}

void(FD_ZERO)(TFDSet& set) {
    set.fd_count = 0;
}

void(FD_SET)(uintptr_t socket, TFDSet& set) {
    if (set.fd_count < kFDSetSize) set.fd_array[set.fd_count++] = socket;
}

void(FD_CLR)(uintptr_t socket, TFDSet& set) {
    const uint32_t count = std::min(set.fd_count, kFDSetSize);
    for (uint32_t i = 0; i < count; ++i) {
        if (set.fd_array[i] != socket) continue;
        std::copy(set.fd_array + i + 1, set.fd_array + count, set.fd_array + i);
        set.fd_count = count - 1;
        return;
    }
}

uint32_t WSAMakeSyncReply(uint16_t bufLen, uint16_t error) {
    return static_cast<uint32_t>(bufLen) | (static_cast<uint32_t>(error) << 16);
}

uint32_t WSAMakeSelectReply(uint16_t event, uint16_t error) {
    return static_cast<uint32_t>(event) | (static_cast<uint32_t>(error) << 16);
}

uint16_t WSAGetAsyncBuflen(uint32_t lParam) {
    return static_cast<uint16_t>(lParam & 0xFFFF);
}
uint16_t WSAGetSelectEvent(uint32_t lParam) {
    return static_cast<uint16_t>(lParam & 0xFFFF);
}
uint16_t WSAGetAsyncError(uint32_t lParam) {
    return static_cast<uint16_t>(lParam >> 16);
}
uint16_t WSAGetSelectError(uint32_t lParam) {
    return static_cast<uint16_t>(lParam >> 16);
}

} // namespace kv::crash::winsock
