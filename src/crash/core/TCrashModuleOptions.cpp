#include "crash/core/TCrashModuleOptions.h"

#include <algorithm>

#include "crash/core/ClConsts.h"
#include "crash/core/ClCorePlatform.h"

namespace kv::crash {

// ---- TCrashExceptionsFilters ----

PCrashExceptionFilter TCrashExceptionsFilters::GetItem(int index) const {
    return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)].get() : nullptr;
}

int TCrashExceptionsFilters::Add(const TCrashExceptionFilter& item) {
    items_.push_back(std::make_unique<TCrashExceptionFilter>(item));
    Changed();
    return Count() - 1;
}

void TCrashExceptionsFilters::Insert(int index, const TCrashExceptionFilter& item) {
    index = std::clamp(index, 0, Count());
    items_.insert(items_.begin() + index, std::make_unique<TCrashExceptionFilter>(item));
    Changed();
}

void TCrashExceptionsFilters::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    items_.erase(items_.begin() + index);
    Changed();
}

void TCrashExceptionsFilters::Clear() {
    while (!items_.empty()) Delete(0);
    Changed();
}

void TCrashExceptionsFilters::Assign(const TCrashExceptionsFilters& source) {
    if (&source == this) return;
    Clear();
    for (const auto& item : source.items_) Add(*item);
}

void TCrashExceptionsFilters::Changed() {
    if (FOwner) FOwner->SaveToSharedData();
}

// ---- TCrashModuleOptions ----

namespace {

constexpr TLogOptions kDefaultLogOptions{loSaveModulesAndProcessesSections,
                                         loSaveAssemblerAndCPUSections};
constexpr TCommonSendOptions kDefaultCommonSendOptions{sndShowSendDialog, sndSendScreenshot,
                                                       sndSendLastHTMLPage};
constexpr TExceptionDialogOptions kDefaultExceptionDialogOptions{
    edoSendErrorReportChecked, edoAttachScreenshotChecked,   edoShowCopyToClipOption,
    edoShowDetailsButton,      edoShowSendErrorReportOption, edoShowAttachScreenshotOption};
constexpr TCallStackOptions kDefaultCallStackOptions{csoShowDLLs, csoShowBPLs,
                                                     csoShowBorlandThreads, csoShowWindowsThreads};
constexpr TBehaviourOptions kDefaultBehaviourOptions{boUseMainModuleOptions, boCopyLogInCaseOfError,
                                                     boHandleSafeCallExceptions};
constexpr TLeaksOptions kDefaultLeaksOptions{loGroupsSonLeaks, loHideBorlandLeaks, loFreeAllLeaks,
                                             loCatchLeaksExceptions};

__attribute__((init_priority(101))) const std::string kEmptyText; // read at shut-down too

} // namespace

uint16_t LastCrashVersion = CrashLogCurrentVersion;

TCrashModuleOptions::TCrashModuleOptions(std::string moduleName)
    : FModuleName(std::move(moduleName)), FModuleHandle(detail::ModuleHandleByName(FModuleName)),
      FExceptionsFilters(std::make_unique<TCrashExceptionsFilters>(this)) {
    TCrashModuleOptions::SetToDefaultOptions();
    FSharedData = 0;
}

TCrashModuleOptions::~TCrashModuleOptions() {
    DisableSharedDataWrite(); // for good: nothing is mirrored while the object goes away
}

void TCrashModuleOptions::SaveToSharedData() {
    if (FSharedData > 0) return;
    if (FModuleHandle != 0 && FModuleHandle == detail::ComponentModuleHandle()) StoreSharedData();
}

void TCrashModuleOptions::SetActive(bool value) {
    Store(FActive, value);
}

void TCrashModuleOptions::SetFreezeActivate(bool value) {
    Store(FFreezeActivate, value);
}

void TCrashModuleOptions::SetTerminateBtnOperation(TTerminateBtnOperation v) {
    FTerminateBtnOperation = v;
    if (FForcedTerminateBtnOperation != tbNone) FForcedTerminateBtnOperation = v;
    SaveToSharedData();
}

void TCrashModuleOptions::SetForcedTerminateBtnOperation(TTerminateBtnOperation v) {
    FForcedTerminateBtnOperation = v;
    FTerminateBtnOperation = v;
    SaveToSharedData();
}

void TCrashModuleOptions::SetExceptionsFilters(std::unique_ptr<TCrashExceptionsFilters> filters) {
    if (!filters) filters = std::make_unique<TCrashExceptionsFilters>(this);
    filters->SetOwner(this);
    FExceptionsFilters = std::move(filters);
    SaveToSharedData();
}

void TCrashModuleOptions::SetToDefaultOptions() {
    Bulk([this] {
        for (size_t i = 0; i < kMessageTypeCount; ++i) FCustomizedTexts[i] = EVals(i);
        FTextsCollection = "English";
        FFreezeActivate = false;
        FFreezeTimeout = 60;
        FSMTPFrom = kDefaultSMTPFrom;
        FSMTPHost.clear();
        FSMTPPort = 25;
        FSMTPUserID.clear();
        FSMTPPassword.clear();
        FActivateLog = false;
        FSaveLogFile = true;
        FForegroundTab = ftGeneral;
        FActivateHandle = true;
        FAppendLogs = false;
        FTerminateBtnOperation = tbRestart;
        FLogOptions = kDefaultLogOptions;
        FShowOptions = TShowOptions::FirstN(kShowOptionCount);
        FErrorsNumberToSave = 32;
        FErrorsNumberToShowTerminateBtn = 3;
        FOutputPath.clear();
        FEMailAddresses.clear();
        FEMailSubject.clear();
        FEMailMessage.clear();
        FEMailSendMode = esmNoSend;
        FWebSendMode = wsmNoSend;
        FWebURL.clear();
        FWebUserID.clear();
        FWebPassword.clear();
        FWebPort = 0;
        FAttachedFiles.clear();
        FCommonSendOptions = kDefaultCommonSendOptions;
        FExceptionDialogOptions = kDefaultExceptionDialogOptions;
        FAutoCloseDialogSecs = 0;
        FSupportURL.clear();
        FHTMLLayout = kDefaultHTMLLayout;
        FCallStackOptions = kDefaultCallStackOptions;
        FBehaviourOptions = kDefaultBehaviourOptions;
        FLeaksOptions = kDefaultLeaksOptions;
        FAutoCrashOperation = tbRestart;
        FAutoCrashNumber = 10;
        FAutoCrashMinutes = 1;
        FProxyURL.clear();
        FProxyUserID.clear();
        FProxyPassword.clear();
        FProxyPort = 8080;
        FTrakerUserID.clear();
        FTrakerPassword.clear();
        FTrakerAssignTo.clear();
        FTrakerProject.clear();
        FTrakerCategory.clear();
        FTrakerTrialID.clear();
        FZipPassword.clear();
        FPreBuildEvent.clear();
        FPostSuccessfulBuildEvent.clear();
        FPostFailureBuildEvent.clear();
        FCompiledFileOptions = TCompiledFileOptions{cfoReduceFileSize};
        FExceptionDialogType = edtMSClassic;
        FExceptionsFilters->Clear();
        FReproduceText.clear();
        FActive = true;
    });
}

void TCrashModuleOptions::Assign(const TCrashModuleOptions* source) {
    if (!source) throw EConvertError(u"Impossible to assign nil as TCrashModuleOptions.");
    if (source == this) return;
    const TCrashModuleOptions& s = *source;
    Bulk([&] {
        FExceptionsFilters->Assign(*s.FExceptionsFilters);
        FCustomizedTexts = s.FCustomizedTexts;
        SetTextsCollection(s.FTextsCollection);
        SetActivateLog(s.FActivateLog);
        SetSaveLogFile(s.FSaveLogFile);
        SetFreezeActivate(s.FFreezeActivate);
        SetFreezeTimeout(s.FFreezeTimeout);
        SetSMTPFrom(s.FSMTPFrom);
        SetSMTPHost(s.FSMTPHost);
        SetSMTPPort(s.FSMTPPort);
        SetSMTPUserID(s.FSMTPUserID);
        SetSMTPPassword(s.FSMTPPassword);
        SetForegroundTab(s.FForegroundTab);
        SetActivateHandle(s.FActivateHandle);
        SetAppendLogs(s.FAppendLogs);
        FTerminateBtnOperation = s.FTerminateBtnOperation;
        FForcedTerminateBtnOperation = s.FForcedTerminateBtnOperation;
        SetLogOptions(s.FLogOptions);
        SetErrorsNumberToSave(s.FErrorsNumberToSave);
        SetErrorsNumberToShowTerminateBtn(s.FErrorsNumberToShowTerminateBtn);
        SetOutputPath(s.FOutputPath);
        SetEMailAddresses(s.FEMailAddresses);
        SetEMailSubject(s.FEMailSubject);
        SetEMailMessage(s.FEMailMessage);
        SetEMailSendMode(s.FEMailSendMode);
        SetShowOptions(s.FShowOptions);
        SetWebSendMode(s.FWebSendMode);
        SetWebURL(s.FWebURL);
        SetWebUserID(s.FWebUserID);
        SetWebPassword(s.FWebPassword);
        SetWebPort(s.FWebPort);
        SetCommonSendOptions(s.FCommonSendOptions);
        SetAttachedFiles(s.FAttachedFiles);
        SetExceptionDialogOptions(s.FExceptionDialogOptions);
        SetAutoCloseDialogSecs(s.FAutoCloseDialogSecs);
        SetSupportURL(s.FSupportURL);
        SetHTMLLayout(s.FHTMLLayout);
        SetCallStackOptions(s.FCallStackOptions);
        SetBehaviourOptions(s.FBehaviourOptions);
        SetAutoCrashOperation(s.FAutoCrashOperation);
        SetAutoCrashNumber(s.FAutoCrashNumber);
        SetAutoCrashMinutes(s.FAutoCrashMinutes);
        SetProxyURL(s.FProxyURL);
        SetProxyUserID(s.FProxyUserID);
        SetProxyPassword(s.FProxyPassword);
        SetProxyPort(s.FProxyPort);
        SetTrakerUserID(s.FTrakerUserID);
        SetTrakerPassword(s.FTrakerPassword);
        SetTrakerAssignTo(s.FTrakerAssignTo);
        SetTrakerProject(s.FTrakerProject);
        SetTrakerCategory(s.FTrakerCategory);
        SetTrakerTrialID(s.FTrakerTrialID);
        SetZipPassword(s.FZipPassword);
        SetPreBuildEvent(s.FPreBuildEvent);
        SetPostSuccessfulBuildEvent(s.FPostSuccessfulBuildEvent);
        SetPostFailureBuildEvent(s.FPostFailureBuildEvent);
        SetCompiledFileOptions(s.FCompiledFileOptions);
        SetExceptionDialogType(s.FExceptionDialogType);
        FLeaksOptions = s.FLeaksOptions;
        FReproduceText = s.FReproduceText;
    });
}

const std::string& TCrashModuleOptions::GetCustomizedTexts(size_t index) const {
    return index < kMessageTypeCount ? FCustomizedTexts[index] : kEmptyText;
}

void TCrashModuleOptions::SetCustomizedTexts(size_t index, std::string value) {
    if (index >= kMessageTypeCount) return;
    Store(FCustomizedTexts[index], std::move(value));
}

std::string TCrashModuleOptions::GetCustomizedExpandedTexts(size_t index) const {
    return ExpandEnvVars(GetCustomizedTexts(index));
}

std::string TCrashModuleOptions::OutputFile(const std::string& fileName) const {
    std::string result;
    if (LowerCase(ExtractFileExt(FOutputPath)) == ".elf") {
        result = FOutputPath;
    } else {
        const std::string folder = FOutputPath.empty()
                                       ? IncludeLastBackslash(ExtractFilePath(fileName))
                                       : IncludeLastBackslash(FOutputPath);
        result = folder + ExtractFileName(fileName);
    }
    ForceDirectoriesEx(ExtractFilePath(result));
    GetWorkingFile(result, false, false);
    return result;
}

std::string FileNameOfComputer(std::string_view computerName) {
    std::string name(computerName);
    for (size_t i = 0; i < name.size(); i += AnsiCharSize(name, i))
        if (AnsiCharSize(name, i) == 1 &&
            std::string_view("\"*/:<>?\\|").find(name[i]) != std::string_view::npos)
            name[i] = '_';
    return name;
}

std::string TCrashModuleOptions::OutputLogFile(const std::string& baseFile) const {
    const std::string base = baseFile.empty() ? DotNetHostedFile(FModuleName) : baseFile;
    std::string result = OutputFile(ChangeFileExt(base, ".elf"));
    if (FLogOptions.Contains(loAddComputerNameInLogFileName)) {
        const std::string ext = ExtractFileExt(result);
        result = ChangeFileExt(result, "") + "_" + FileNameOfComputer(detail::ComputerName()) + ext;
    }
    return result;
}

} // namespace kv::crash
