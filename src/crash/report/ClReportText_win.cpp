#include "crash/report/ClReportText.h"

#include <windows.h>

#include "crash/capture/CrashLogMain.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/core/ClCore.h"
#include "crash/debug/ClDebugModules.h"
#include "crash/debug/ClDebugProcesses.h"
#include "crash/report/ClAsmCpuView.h"
#include "crash/report/ClLogManager.h"
#include "crash/report/ClReportHalf.h"
#include "crash/report/ClReportValues.h"

namespace kv::crash {

TReportTexts ReportTexts;

namespace {

std::string FileDescription(const std::string& fileName) {
    std::string description, version;
    GetFileVersionInfoText(fileName, description, version);
    return description;
}

// The module the exception belongs to: with CallFromCOMObject the first frame's, otherwise
// the one holding the exception address; by its long file name. Empty when none.
std::string ExceptionModuleFile() {
    const TCrashModuleInfo* module = nullptr;
    if (CallFromCOMObject) {
        if (Report.CallStack && Report.CallStack->Count() > 0)
            module = Report.CallStack->GetItem(0)->ModuleInfo;
    } else {
        module = ModuleInfoByAddr(Report.ExceptionAddress);
    }
    return module ? GetLongNameFromShort(module->Name) : std::string();
}

std::string ThreadPriorityText(const TCrashThreadInfo& info) {
    if (info.Priority != static_cast<int32_t>(0x80000000)) return IntToStr(info.Priority);
    if (info.Handle) {
        const int p = GetThreadPriority(reinterpret_cast<HANDLE>(info.Handle));
        if (p != THREAD_PRIORITY_ERROR_RETURN) return IntToStr(p);
    }
    if (const HANDLE h = OpenThread(THREAD_QUERY_INFORMATION, FALSE, info.ID)) {
        const int p = GetThreadPriority(h);
        CloseHandle(h);
        if (p != THREAD_PRIORITY_ERROR_RETURN) return IntToStr(p);
    }
    return "??";
}

} // namespace

TThreadCaptionInfo ThreadCaptionOf(uint32_t threadId) {
    TThreadCaptionInfo caption;
    const TCrashThreadsList* threads = Report.Threads ? Report.Threads.get() : ThreadsList();
    if (!threads) return caption;
    TCrashThreadInfo info;
    const int index = threads->FindByThreadID(threadId);
    if (index < 0 || !threads->GetItem(index, info)) return caption;
    caption.Registered = true;
    caption.Priority = ThreadPriorityText(info);
    caption.MainThread = info.MainThread;
    return caption;
}

// ---- Values of the current report ----

std::string ApplicationModuleValue() {
    const std::string mainFile = Real_GetMainModuleFileName();
    std::string appFile = WithoutVsHost(mainFile);
    const std::string metadata = MetadataFilePath();
    if (!metadata.empty() && FileExists(metadata)) appFile = metadata;
    const std::string shown = CallFromCOMObject ? WithoutVsHost(mainFile) : mainFile;
    return ModuleNameText(shown, FileDescription(appFile));
}

std::string ExceptionModuleValue() {
    std::string name, version;
    ExceptionModuleValues(name, version);
    return name;
}

void ExceptionModuleValues(std::string& name, std::string& version) {
    name.clear();
    version.clear();
    const std::string file = ExceptionModuleFile();
    if (file.empty()) return;
    std::string description;
    GetFileVersionInfoText(file, description, version);
    name = ModuleNameText(file, description);
    if (version == "0.0.0.0") version.clear();
}

std::string ExceptionMessageFor(const void* object) {
    const kv::Exception* e = AsException(object);
    std::string message = ExceptionMessageOf(object);
    const auto* av = dynamic_cast<const EAccessViolation*>(e);
    if (av && IsValidBlockAddr(av->ExceptionRecordPtr(), sizeof(TExceptionRecordCopy))) {
        const TExceptionRecordCopy& record = av->ExceptionRecord();
        const bool write = record.NumberParameters > 0 && record.ExceptionInformation[0] != 0;
        const uint32_t target = record.NumberParameters > 1 ? record.ExceptionInformation[1] : 0;
        const uint32_t address = record.ExceptionAddress;
        std::string moduleFile;
        if (const uintptr_t module = FindModuleOfAddr(address)) {
            char name[MAX_PATH] = {};
            if (GetModuleFileNameA(reinterpret_cast<HMODULE>(module), name, MAX_PATH))
                moduleFile = name;
        }
        std::string text = AccessViolationText(address, ExtractFileName(moduleFile), write, target);
        if (text != message && !moduleFile.empty())
            text = AccessViolationText(address, ExtractFileName(GetLongNameFromShort(moduleFile)),
                                       write, target);
        message = text;
    }
    return message;
}

TGeneralValues GatherGeneralValues() {
    TCrashReport& r = Report;
    TGeneralValues v;
    const TDateTime reportTime = r.StartTime != 0 ? r.StartTime : Now();
    v[soAppStartDate] = DateTimeToRFC822(ApplicationStartTime);
    v[soAppName] = ApplicationModuleValue();
    v[soAppVersionNumber] = GetMainModuleVersion();
    v[soAppParameters] = ParametersText(GetCommandLineA(), Real_GetMainModuleFileName());
    if (const TCrashModuleInfo* main =
            ModuleInfoByHandle(reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr)))) {
        if (main->ExtraInformation.CompilationDate != 0)
            v[soAppCompilationDate] =
                DateTimeToRFC822(main->ExtraInformation.CompilationDate + GetGMT() / 24.0);
    }
    v[soAppUpTime] = FormatDuration(reportTime - ApplicationStartTime);

    v[soExcDate] = DateTimeToRFC822(reportTime);
    v[soExcAddress] = ExceptionAddressText(static_cast<uint32_t>(r.ExceptionAddress));
    ExceptionModuleValues(v[soExcModuleName], v[soExcModuleVersion]);
    v[soExcType] = ExceptionTypeValue(r.ExceptionObject);
    v[soExcMessage] =
        ExceptionMessageValue(AsException(r.ExceptionObject) || AsStdException(r.ExceptionObject),
                              ExceptionMessageFor(r.ExceptionObject));
    v[soExcID] = r.BugID;
    v[soExcCount] = "1";
    v[soExcStatus] = "New";

    v[soUserID] = GetUserIDText();
    v[soUserName] = GetUserNameText();
    v[soUserEmail] = ReportUserEmail;
    v[soUserCompany] = GetUserCompanyText();
    v[soUserPrivileges] = GetPrivilegesText();

    v[soActCtlsFormClass] = GetFormClassText();
    v[soActCtlsFormText] = GetFormText();
    v[soActCtlsControlClass] = r.Params.ActiveControlClass;
    v[soActCtlsControlText] = BlankControlRuns(r.Params.ActiveControlText);

    v[soCmpName] = GetComputerNameText();
    v[soCmpTotalMemory] = GetTotalMemoryText();
    v[soCmpFreeMemory] = GetFreeMemoryText();
    v[soCmpTotalDisk] = GetTotalDiskText();
    v[soCmpFreeDisk] = GetFreeDiskText();
    v[soCmpSysUpTime] = GetSystemUpTimeText();
    v[soCmpProcessor] = GetProcessorText();
    v[soCmpDisplayMode] = GetDisplayModeText();
    v[soCmpDisplayDPI] = GetDisplayDPIText();
    v[soCmpVideoCard] = GetVideoCardText();
    v[soCmpPrinter] = GetPrinterText();

    const TOSVersion os = GetOSVersion();
    v[soOSType] = GetWindowsVersionName(os, IsWorkstation(), IsWow64());
    v[soOSBuildN] = OSBuildText(os);
    v[soOSUpdate] = Trim(os.ServicePack);
    v[soOSLanguage] = GetLanguageText();
    v[soOSCharset] = GetCharsetText();

    const TNetworkValues net = FormatNetworkValues(GetNetworkAdapters());
    v[soNetIP] = net.IPAddress;
    v[soNetSubmask] = net.Submask;
    v[soNetGateway] = net.Gateway;
    v[soNetDNS1] = net.DNS1;
    v[soNetDNS2] = net.DNS2;
    v[soNetDHCP] = net.DHCP;
    return v;
}

// ---- The log text of the current report ----

void BuildReportLogText() {
    TCrashReport& r = Report;
    TCrashModuleOptions* options = r.Options ? r.Options : CurrentCrashLogOptions();
    TReportTextInput input;
    input.Options = options;
    input.StepMarker = &r.Section;
    input.Values = GatherGeneralValues();
    const bool web = ReportHalf.IsWebApplication && ReportHalf.IsWebApplication();
    input.ShowActiveControls = !web && !IsConsoleApplication();
    input.CallStack = r.CallStack.get();
    input.Modules = ModulesList();
    input.Processes = ProcessesList();
    input.ThreadInfo = &ThreadCaptionOf;
    if (options->LogOptions().Contains(loSaveAssemblerAndCPUSections)) {
        const auto address = static_cast<uint32_t>(r.ExceptionAddress);
        input.AssemblerText = BuildAssemblerView(address, input.AssemblerTitle, *options);
        input.CPUText = BuildCPUView(static_cast<uint32_t>(r.Params.Context), r.Params.StackPoint,
                                     address, *options);
    }
    BuildLogText(input, ReportTexts);
    ReportTexts.RecordLogText = &r.Record.LogText;
    r.Record.LogText = ReportTexts.LogText;
    CurrentLogTexts = &ReportTexts;
}

void InstallReportTextHalf(TCrashReportHalf& half) {
    half.BuildLogText = &BuildReportLogText;
    half.InsertLogSection = [](int32_t firstHeader, const std::string& header,
                               const std::string& text) {
        InsertLogSection(ReportTexts, firstHeader, header, text);
    };
    half.InsertLogValuesSection = [](int32_t firstHeader, const std::string& header,
                                     const TStrings& values) {
        InsertLogValuesSection(ReportTexts, firstHeader, header, values);
    };
    half.ExceptionClassText = &GetExceptionClassText;
    half.ExceptionMessageText = [](const void* object) {
        return ExceptionMessageValue(AsException(object) || AsStdException(object),
                                     ExceptionMessageFor(object));
    };
    half.ApplicationModuleText = &ApplicationModuleValue;
    half.ExceptionModuleText = &ExceptionModuleValue;
}

} // namespace kv::crash
