#include "widgets/UlSysInfo.h"

namespace {
TUlSystemInfo g_info;
} // namespace

const TUlSystemInfo& UlSystemInfo() {
    return g_info;
}
void UlSysInfoInitialize() {} // nothing to read outside Windows
