// The address lookup over the module registry: own debug data, external source, exports.
#include <cctype>

#include "crash/core/ClCore.h"
#include "crash/debug/ClDebug.h"
#include "crash/debug/ClDebugInfo.h"
#include "crash/debug/ClDebugModules.h"

#include "base/Stream.h"

namespace kv::crash {

namespace {

std::string FileNamePart(const std::string& path) {
    const size_t at = AnsiFindLastOf(path, "\\/:");
    return at == std::string::npos ? path : path.substr(at + 1);
}

bool SameTextNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The start-up of the debug-information units installs the external sources in the module
// registry. It lives here, beside the lookups that need the sources, so that it is linked
// wherever addresses are looked up.
void InstallDebugSources() {
    AssignValidDebugInfoProc =
        static_cast<bool (*)(uintptr_t, std::unique_ptr<TClDebugInfoSource>&)>(
            &AssignValidDebugInfo);
}
void RemoveDebugSources() {
    AssignValidDebugInfoProc = nullptr;
}
TUnitBodies g_unitBodies
    __attribute__((init_priority(101))){"ClDebug", InstallDebugSources, RemoveDebugSources};

} // namespace

bool GetSourceInfoByAddr(uintptr_t address, TCrashDebugInfo& info) {
    const PCrashModuleInfo module = ModuleInfoByAddr(address);
    if (!module || !module->ExtraInformation.DebugInformation) return false;
    TDebugDataSource source;
    source.Data = module->ExtraInformation.DebugInformation->Data();
    source.Version = module->ExtraInformation.CrashVersion;
    source.Module = static_cast<uint32_t>(module->Handle);
    source.Password = module->EncryptPassword;
    source.PasswordValid = module->IsValidEncryptPassword;
    TDebugDataHit hit;
    const auto address32 = static_cast<uint32_t>(address);
    if (!FindInDebugData(source, address32, hit)) return false;
    DebugDataHitToDebugInfo(hit, address32, info);
    return true;
}

bool LocationInfoToDebugInfo(const TClLocationInfo& location, TCrashDebugInfo& info) {
    if (location.ProcedureName.empty()) return false;
    info.DebugDetail = ddSourceCode;
    info.Addr = location.Address;
    std::string unit = FileNamePart(location.SourceName);
    if (unit.empty()) unit = FileNamePart(location.UnitName);
    SetShortString(info.UnitName, unit);
    std::string className, procedure;
    const std::string& name = location.ProcedureName;
    const size_t first = name.find('.');
    const size_t second = first == std::string::npos ? first : name.find('.', first + 1);
    if (second != std::string::npos) {
        className = name.substr(first + 1, second - first - 1);
        procedure = name.substr(second + 1);
    } else if (first != std::string::npos) {
        const std::string head = name.substr(0, first);
        const std::string unitBase = unit.substr(0, unit.rfind('.'));
        if (!SameTextNoCase(head, unitBase)) className = head;
        procedure = name.substr(first + 1);
    } else {
        procedure = name;
    }
    if (!procedure.empty() && procedure[0] == '@') procedure[0] = '_';
    SetShortString(info.ClassName, className);
    SetShortString(info.ProcedureName, procedure);
    info.Line = location.LineNumber;
    info.ProcOffsetLine = location.ProcOffsetLine;
    if (info.Line != 0)
        info.DebugDetail = ddSourceCode;
    else if (!info.UnitName.empty())
        info.DebugDetail = ddUnitAndProcedure;
    else if (!info.ProcedureName.empty())
        info.DebugDetail = ddProcedure;
    else
        info.DebugDetail = info.ModuleInfo ? ddModule : ddNone;
    return true;
}

bool GetOtherSourceInfoByAddr(uintptr_t address, TCrashDebugInfo& info) {
    const PCrashModuleInfo module = ModuleInfoByAddr(address);
    if (!module || !module->OtherDebugData) return false;
    TClLocationInfo location;
    if (!module->OtherDebugData->GetLocationInfo(address, location)) return false;
    return LocationInfoToDebugInfo(location, info);
}

TExportSearch FindExportByAddr(uintptr_t address, TCrashModuleInfo& module,
                               TMeasureFunction measure) {
    TExportSearch result;
    if (!module.FunctionsList) return result;
    TCrashFunctionsList& list = *module.FunctionsList;
    int lo = 0, hi = list.Count() - 1;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const PCrashFunctionInfo e = list.GetItem(mid);
        if (e->Size == 0) e->Size = measure(e->Addr);
        if (e->Addr > address) {
            hi = mid - 1;
        } else if (uint64_t(e->Addr) + e->Size < uint64_t(address)) {
            lo = mid + 1;
        } else {
            result.Found = true;
            hi = mid - 1;
        }
    }
    result.Index = lo;
    return result;
}

void GetDebugInfoByAddr(uintptr_t address, uint32_t threadId, TCrashDebugInfo& info,
                        bool runningThread, bool errorLine) {
    info = TCrashDebugInfo();
    info.ModuleInfo = ModuleInfoByAddr(address);
    info.RunningThread = runningThread;
    info.ErrorLine = errorLine;
    info.ThreadID = threadId;
    info.IsALeak = false;
    if (!GetSourceInfoByAddr(address, info) && !GetOtherSourceInfoByAddr(address, info)) {
        info.DebugDetail = ddNone;
        info.Addr = address;
        info.Line = 0;
        if (info.ModuleInfo) {
            info.DebugDetail = ddModule;
            TCrashFunctionsList* functions = info.ModuleInfo->FunctionsList.get();
            if (functions && functions->Count() > 0) {
                TCrashFunctionsList& list = *functions;
                list.Lock();
                const TExportSearch hit = FindExportByAddr(address, *info.ModuleInfo);
                if (hit.Found)
                    if (const PCrashFunctionInfo e = list.GetItem(hit.Index))
                        ExportNameToDebugInfo(e->Name, info);
                list.Unlock();
            }
        }
    }
    if (errorLine) info.DebugDetail = ddSourceCode;
}

} // namespace kv::crash
