#pragma once
// Named shared-memory blocks, reference counted per process (Windows).
#include <cstdint>
#include <string>

#include "widgets/UlBase.h"
#include "widgets/UlSysInfo.h"

class ESharedMemError : public EUlError {
public:
    using EUlError::EUlError;
};

constexpr uint32_t kSharedBlockCreated = 0;
constexpr uint32_t kSharedBlockExisted = 183; // ERROR_ALREADY_EXISTS

// Maps the named block (creating a paging-file mapping of size bytes when it does not exist):
// kSharedBlockCreated or kSharedBlockExisted, memory set to the view. A name mapped before in
// this process gets one more reference and the same view. Raises ESharedMemError for a missing
// block asked with size 0 (and, on the oldest systems, a bad name), and EUlWin32Error for a
// failed mapping.
uint32_t MapSharedBlock(void*& memory, const std::u16string& name, uint32_t size, uint32_t access);
// Drops one reference of the block whose view starts at memory, unmapping it with the last;
// memory is cleared. False, memory kept, for a pointer this list does not hold; true for null.
bool UnmapSharedBlock(void*& memory);
inline bool CloseSharedBlock(void*& memory) {
    return UnmapSharedBlock(memory);
}
// The end of the unit: the list lock is freed and never made again.
void UlSysUtilsFinalize();

// Windows 95 to NT 4 refuse mapping names that are empty or hold a backslash.
bool SharedBlockNameRejected(TWindowsVersion version, const std::u16string& name);
