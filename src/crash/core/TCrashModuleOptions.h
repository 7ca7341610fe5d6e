#pragma once
// The crash-report options of one module: defaults, option sets, exceptions filters and the 158
// customisable texts; their stream form (every older layout readable) and the customised-texts
// INI file. One owner at a time, no locks. A descendant mirrors the options of the component's
// own module into shared memory through StoreSharedData / LoadSharedData.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Stream.h"
#include "crash/core/ClCore.h"
#include "crash/core/ClTypes.h"

namespace kv::crash {

enum TForegroundType : uint8_t {
    ftGeneral,
    ftCallStack,
    ftModules,
    ftProcesses,
    ftAssembler,
    ftCPU
};

enum TLoadType : uint8_t { ltLoadModuleOptions, ltLoadDefaultOptions };

enum TLogOption : uint8_t {
    loNoDuplicateErrors,
    loAppendReproduceText,
    loDeleteLogAtVersionChange,
    loAddComputerNameInLogFileName,
    loSaveModulesAndProcessesSections,
    loSaveAssemblerAndCPUSections,
};
using TLogOptions = TSet<TLogOption, 1>;

enum TCommonSendOption : uint8_t {
    sndShowSendDialog,
    sndShowSuccessFailureMsg,
    sndSendEntireLog,
    sndSendXMLLogCopy,
    sndSendScreenshot,
    sndUseOnlyActiveWindow,
    sndSendLastHTMLPage,
    sndSendInSeparatedThread,
    sndAddDateInFileName,
    sndAddComputerNameInFileName,
};
using TCommonSendOptions = TSet<TCommonSendOption, 2>;

enum TExceptionDialogType : uint8_t { edtNone, edtMessageBox, edtMSClassic, edtCrashLog };

enum TExceptionDialogOption : uint8_t {
    edoSendErrorReportChecked,
    edoAttachScreenshotChecked,
    edoShowCopyToClipOption,
    edoShowDetailsButton,
    edoShowInDetailedMode,
    edoShowInTopMostMode,
    edoUseCrashLogLookAndFeel,
    edoShowSendErrorReportOption,
    edoShowAttachScreenshotOption,
    edoShowCustomButton,
};
using TExceptionDialogOptions = TSet<TExceptionDialogOption, 2>;

enum TCallStackOption : uint8_t {
    csoShowDLLs,
    csoShowBPLs,
    csoShowBorlandThreads,
    csoShowWindowsThreads,
    csoDoNotStoreProcNames,
};
using TCallStackOptions = TSet<TCallStackOption, 1>;

enum TBehaviourOption : uint8_t {
    boPauseBorlandThreads,
    boDoNotPauseMainThread,
    boPauseWindowsThreads,
    boUseMainModuleOptions,
    boCopyLogInCaseOfError,
    boSaveCompressedCopyInCaseOfError,
    boHandleSafeCallExceptions,
    boCallRTLExceptionEvent,
    boCatchHandledExceptions,
};
using TBehaviourOptions = TSet<TBehaviourOption, 2>;

enum TLeaksOption : uint8_t {
    loCatchLeaks,
    loGroupsSonLeaks,
    loHideBorlandLeaks,
    loFreeAllLeaks,
    loCatchLeaksExceptions,
};
using TLeaksOptions = TSet<TLeaksOption, 1>;

// Ordinal 1 is reserved: its bit is kept as read and means nothing.
enum TCompiledFileOption : uint8_t { cfoReduceFileSize = 0, cfoUseEL7 = 2 };
using TCompiledFileOptions = TSet<TCompiledFileOption, 1>;

enum TEmailSendMode : uint8_t { esmNoSend, esmEmailClient, esmSMTPClient, esmSMTPServer };

enum TWebSendMode : uint8_t {
    wsmNoSend,
    wsmHTTP,
    wsmHTTPS,
    wsmFTP,
    wsmBugZilla,
    wsmFogBugz,
    wsmMantis,
};

// Scoped: its member names are taken by the module registry's TCrashModuleType.
enum class TModuleType : uint8_t { mtUnknown, mtProgram, mtPackage, mtLibrary };

enum TTerminateBtnOperation : uint8_t { tbNone, tbTerminate, tbRestart };

enum TFilterExceptionType : uint8_t { fetAll, fetHandled, fetUnhandled };
enum TFilterDialogType : uint8_t {
    fdtNone,
    fdtUnchanged,
    fdtMessageBox,
    fdtMSClassic,
    fdtCrashLog
};
enum TFilterHandlerType : uint8_t { fhtNone, fhtRTL, fhtCrashLog };
enum TFilterActionType : uint8_t { fatNone, fatTerminate, fatRestart };

// One rule that changes how exceptions of a class are reported.
struct TCrashExceptionFilter {
    bool Active = false;
    std::string ExceptionClassName;
    std::string ExceptionMessage; // not empty: the report's message, %variables% expanded
    TFilterExceptionType ExceptionType = fetAll;
    TFilterDialogType DialogType = fdtNone;
    TFilterHandlerType HandlerType = fhtNone;
    TFilterActionType ActionType = fatNone;

    friend bool operator==(const TCrashExceptionFilter&, const TCrashExceptionFilter&) = default;
};
using PCrashExceptionFilter = TCrashExceptionFilter*;

class TCrashModuleOptions;
namespace detail {
class OptionsReader;
}

// The owned list of exceptions filters; every change saves the owner's shared copy.
class TCrashExceptionsFilters {
public:
    explicit TCrashExceptionsFilters(TCrashModuleOptions* owner) : FOwner(owner) {}
    TCrashExceptionsFilters(const TCrashExceptionsFilters&) = delete;
    TCrashExceptionsFilters& operator=(const TCrashExceptionsFilters&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    // The record at index (owned by the list); nullptr out of range.
    PCrashExceptionFilter GetItem(int index) const;
    int Add(const TCrashExceptionFilter& item);                // a copy; returns its index
    void Insert(int index, const TCrashExceptionFilter& item); // index clamped to 0..Count
    void Delete(int index);                                    // out of range: nothing
    void Clear();
    void Assign(const TCrashExceptionsFilters& source);

    TCrashModuleOptions* Owner() const { return FOwner; }
    void SetOwner(TCrashModuleOptions* owner) { FOwner = owner; }

private:
    void Changed();

    TCrashModuleOptions* FOwner; // not owned; may be null
    std::vector<std::unique_ptr<TCrashExceptionFilter>> items_;
};

// The data version of the options stream that LoadFromStream reads; set by whoever hands it a
// stream (the module registry from the block's version word, the shared-memory reader to
// CrashLogCurrentVersion).
extern uint16_t LastCrashVersion;
constexpr uint16_t CrashLogCurrentVersion = 6104;
// The XOR key of every byte of an option string.
constexpr uint8_t kOptionStringKey = 0xA9;
// The fixed default sender of SMTP reports.
constexpr const char* kDefaultSMTPFrom = "crashlog@example.com";

class TCrashModuleOptions {
public:
    // Options of the module of that file name, with every default.
    explicit TCrashModuleOptions(std::string moduleName);
    virtual ~TCrashModuleOptions();
    TCrashModuleOptions(const TCrashModuleOptions&) = delete;
    TCrashModuleOptions& operator=(const TCrashModuleOptions&) = delete;

    virtual void SetActive(bool value);
    virtual void SetFreezeActivate(bool value);
    // Copies everything but ModuleName, ModuleHandle and Active; raises EConvertError for null.
    virtual void Assign(const TCrashModuleOptions* source);
    virtual void SetToDefaultOptions();
    // Writes the current layout at the stream's position.
    virtual void SaveToStream(kv::TStream& stream) const;
    // Replaces the file; raises kv::EFileError when it cannot be written.
    virtual void SaveToFile(const std::string& fileName) const;
    // Reads the layout of version LastCrashVersion (LoadFromStreamOfVersion).
    virtual bool LoadFromStream(kv::TStream& stream);
    // Reads the file (others may read it meanwhile, not write) and LoadFromStream; raises
    // kv::EFileError when it cannot be opened.
    virtual bool LoadFromFile(const std::string& fileName);
    virtual void StoreSharedData() {}
    virtual void LoadSharedData() {}

    // Reads options of the given data version. Data that is cut short, a length or count that
    // runs past the end, or a value outside its enumeration rejects the whole stream: false,
    // the options keep every value they had and the stream its position. On success the
    // stream stands right after the options.
    bool LoadFromStreamOfVersion(kv::TStream& stream, uint16_t version);

    // The shared copy: written after every change while not suspended, and only for the
    // options of the module that holds the component.
    void SaveToSharedData();
    void DisableSharedDataWrite() { ++FSharedData; }
    void EnableSharedDataWrite() { --FSharedData; }

    // The texts; an index out of range reads empty and is not stored.
    const std::string& GetCustomizedTexts(size_t index) const;
    void SetCustomizedTexts(size_t index, std::string value);
    // The text with its %NAME% references expanded: what displays and reports use.
    std::string GetCustomizedExpandedTexts(size_t index) const;
    void SaveCustomizedTextsToFile(const std::string& fileName);
    void LoadCustomizedTextsFromFile(const std::string& fileName);

    // Full path of an output file of the component (see OutputPath), its folder created and the
    // place tested (GetWorkingFile).
    std::string OutputFile(const std::string& fileName) const;
    // The log file: baseFile (the module's name when empty) with the extension ".elf".
    std::string OutputLogFile(const std::string& baseFile) const;

    // ---- Properties ----
    const std::string& ModuleName() const { return FModuleName; }
    uintptr_t ModuleHandle() const { return FModuleHandle; }
    // The module the options belong to (the report options take the reporting module's).
    void SetModuleName(std::string v) { FModuleName = std::move(v); }
    void SetModuleHandle(uintptr_t v) { FModuleHandle = v; }
    bool Active() const { return FActive; }
    bool FreezeActivate() const { return FFreezeActivate; }
    int32_t FreezeTimeout() const { return FFreezeTimeout; }
    void SetFreezeTimeout(int32_t v) { Store(FFreezeTimeout, v); }

    const std::string& SMTPFrom() const { return FSMTPFrom; }
    void SetSMTPFrom(std::string v) { Store(FSMTPFrom, std::move(v)); }
    const std::string& SMTPHost() const { return FSMTPHost; }
    void SetSMTPHost(std::string v) { Store(FSMTPHost, std::move(v)); }
    uint16_t SMTPPort() const { return FSMTPPort; }
    void SetSMTPPort(uint16_t v) { Store(FSMTPPort, v); }
    const std::string& SMTPUserID() const { return FSMTPUserID; }
    void SetSMTPUserID(std::string v) { Store(FSMTPUserID, std::move(v)); }
    const std::string& SMTPPassword() const { return FSMTPPassword; }
    void SetSMTPPassword(std::string v) { Store(FSMTPPassword, std::move(v)); }

    const std::string& ProxyURL() const { return FProxyURL; }
    void SetProxyURL(std::string v) { Store(FProxyURL, std::move(v)); }
    const std::string& ProxyUserID() const { return FProxyUserID; }
    void SetProxyUserID(std::string v) { Store(FProxyUserID, std::move(v)); }
    const std::string& ProxyPassword() const { return FProxyPassword; }
    void SetProxyPassword(std::string v) { Store(FProxyPassword, std::move(v)); }
    uint16_t ProxyPort() const { return FProxyPort; }
    void SetProxyPort(uint16_t v) { Store(FProxyPort, v); }

    const std::string& TrakerUserID() const { return FTrakerUserID; }
    void SetTrakerUserID(std::string v) { Store(FTrakerUserID, std::move(v)); }
    const std::string& TrakerPassword() const { return FTrakerPassword; }
    void SetTrakerPassword(std::string v) { Store(FTrakerPassword, std::move(v)); }
    const std::string& TrakerAssignTo() const { return FTrakerAssignTo; }
    void SetTrakerAssignTo(std::string v) { Store(FTrakerAssignTo, std::move(v)); }
    const std::string& TrakerProject() const { return FTrakerProject; }
    void SetTrakerProject(std::string v) { Store(FTrakerProject, std::move(v)); }
    const std::string& TrakerCategory() const { return FTrakerCategory; }
    void SetTrakerCategory(std::string v) { Store(FTrakerCategory, std::move(v)); }
    const std::string& TrakerTrialID() const { return FTrakerTrialID; }
    void SetTrakerTrialID(std::string v) { Store(FTrakerTrialID, std::move(v)); }
    const std::string& ZipPassword() const { return FZipPassword; }
    void SetZipPassword(std::string v) { Store(FZipPassword, std::move(v)); }

    // Build-event strings: held and copied, never in the stream.
    const std::string& PreBuildEvent() const { return FPreBuildEvent; }
    void SetPreBuildEvent(std::string v) { Store(FPreBuildEvent, std::move(v)); }
    const std::string& PostSuccessfulBuildEvent() const { return FPostSuccessfulBuildEvent; }
    void SetPostSuccessfulBuildEvent(std::string v) {
        Store(FPostSuccessfulBuildEvent, std::move(v));
    }
    const std::string& PostFailureBuildEvent() const { return FPostFailureBuildEvent; }
    void SetPostFailureBuildEvent(std::string v) { Store(FPostFailureBuildEvent, std::move(v)); }

    TCompiledFileOptions CompiledFileOptions() const { return FCompiledFileOptions; }
    void SetCompiledFileOptions(TCompiledFileOptions v) { Store(FCompiledFileOptions, v); }
    TTerminateBtnOperation TerminateBtnOperation() const { return FTerminateBtnOperation; }
    // Also changes ForcedTerminateBtnOperation while that is not tbNone.
    void SetTerminateBtnOperation(TTerminateBtnOperation v);
    TTerminateBtnOperation ForcedTerminateBtnOperation() const {
        return FForcedTerminateBtnOperation;
    }
    // Sets both operations.
    void SetForcedTerminateBtnOperation(TTerminateBtnOperation v);

    TShowOptions ShowOptions() const { return FShowOptions; }
    void SetShowOptions(TShowOptions v) { Store(FShowOptions, v); }
    TExceptionDialogType ExceptionDialogType() const { return FExceptionDialogType; }
    void SetExceptionDialogType(TExceptionDialogType v) { Store(FExceptionDialogType, v); }

    TCrashExceptionsFilters& ExceptionsFilters() { return *FExceptionsFilters; }
    const TCrashExceptionsFilters& ExceptionsFilters() const { return *FExceptionsFilters; }
    // Takes over the list (and becomes its owner).
    void SetExceptionsFilters(std::unique_ptr<TCrashExceptionsFilters> filters);

    const std::string& TextsCollection() const { return FTextsCollection; }
    void SetTextsCollection(std::string v) { Store(FTextsCollection, std::move(v)); }
    bool ActivateLog() const { return FActivateLog; }
    void SetActivateLog(bool v) { Store(FActivateLog, v); }
    bool ActivateHandle() const { return FActivateHandle; }
    void SetActivateHandle(bool v) { Store(FActivateHandle, v); }
    bool AppendLogs() const { return FAppendLogs; }
    void SetAppendLogs(bool v) { Store(FAppendLogs, v); }
    bool SaveLogFile() const { return FSaveLogFile; }
    void SetSaveLogFile(bool v) { Store(FSaveLogFile, v); }
    TLogOptions LogOptions() const { return FLogOptions; }
    void SetLogOptions(TLogOptions v) { Store(FLogOptions, v); }
    TCommonSendOptions CommonSendOptions() const { return FCommonSendOptions; }
    void SetCommonSendOptions(TCommonSendOptions v) { Store(FCommonSendOptions, v); }
    TForegroundType ForegroundTab() const { return FForegroundTab; }
    void SetForegroundTab(TForegroundType v) { Store(FForegroundTab, v); }
    int32_t ErrorsNumberToSave() const { return FErrorsNumberToSave; }
    // 0 is stored as 1.
    void SetErrorsNumberToSave(int32_t v) { Store(FErrorsNumberToSave, v == 0 ? 1 : v); }
    int32_t ErrorsNumberToShowTerminateBtn() const { return FErrorsNumberToShowTerminateBtn; }
    void SetErrorsNumberToShowTerminateBtn(int32_t v) { Store(FErrorsNumberToShowTerminateBtn, v); }

    const std::string& OutputPath() const { return FOutputPath; }
    void SetOutputPath(std::string v) { Store(FOutputPath, std::move(v)); }
    const std::string& EMailAddresses() const { return FEMailAddresses; }
    void SetEMailAddresses(std::string v) { Store(FEMailAddresses, std::move(v)); }
    const std::string& EMailSubject() const { return FEMailSubject; }
    void SetEMailSubject(std::string v) { Store(FEMailSubject, std::move(v)); }
    const std::string& EMailMessage() const { return FEMailMessage; }
    void SetEMailMessage(std::string v) { Store(FEMailMessage, std::move(v)); }
    TEmailSendMode EMailSendMode() const { return FEMailSendMode; }
    void SetEMailSendMode(TEmailSendMode v) { Store(FEMailSendMode, v); }
    TWebSendMode WebSendMode() const { return FWebSendMode; }
    void SetWebSendMode(TWebSendMode v) { Store(FWebSendMode, v); }
    const std::string& AttachedFiles() const { return FAttachedFiles; }
    void SetAttachedFiles(std::string v) { Store(FAttachedFiles, std::move(v)); }
    TExceptionDialogOptions ExceptionDialogOptions() const { return FExceptionDialogOptions; }
    void SetExceptionDialogOptions(TExceptionDialogOptions v) { Store(FExceptionDialogOptions, v); }
    int32_t AutoCloseDialogSecs() const { return FAutoCloseDialogSecs; }
    void SetAutoCloseDialogSecs(int32_t v) { Store(FAutoCloseDialogSecs, v); }
    const std::string& SupportURL() const { return FSupportURL; }
    void SetSupportURL(std::string v) { Store(FSupportURL, std::move(v)); }
    const std::string& HTMLLayout() const { return FHTMLLayout; }
    void SetHTMLLayout(std::string v) { Store(FHTMLLayout, std::move(v)); }
    TTerminateBtnOperation AutoCrashOperation() const { return FAutoCrashOperation; }
    void SetAutoCrashOperation(TTerminateBtnOperation v) { Store(FAutoCrashOperation, v); }
    int32_t AutoCrashNumber() const { return FAutoCrashNumber; }
    void SetAutoCrashNumber(int32_t v) { Store(FAutoCrashNumber, v); }
    int32_t AutoCrashMinutes() const { return FAutoCrashMinutes; }
    void SetAutoCrashMinutes(int32_t v) { Store(FAutoCrashMinutes, v); }
    TCallStackOptions CallStackOptions() const { return FCallStackOptions; }
    void SetCallStackOptions(TCallStackOptions v) { Store(FCallStackOptions, v); }
    TBehaviourOptions BehaviourOptions() const { return FBehaviourOptions; }
    void SetBehaviourOptions(TBehaviourOptions v) { Store(FBehaviourOptions, v); }
    TLeaksOptions LeaksOptions() const { return FLeaksOptions; } // read-only
    const std::string& WebURL() const { return FWebURL; }
    void SetWebURL(std::string v) { Store(FWebURL, std::move(v)); }
    int32_t WebPort() const { return FWebPort; }
    void SetWebPort(int32_t v) { Store(FWebPort, v); }
    const std::string& WebPassword() const { return FWebPassword; }
    void SetWebPassword(std::string v) { Store(FWebPassword, std::move(v)); }
    const std::string& WebUserID() const { return FWebUserID; }
    void SetWebUserID(std::string v) { Store(FWebUserID, std::move(v)); }
    const std::string& ReproduceText() const { return FReproduceText; }
    void SetReproduceText(std::string v) { Store(FReproduceText, std::move(v)); }

protected:
    // Fields set by the descendant's virtual setters.
    bool FFreezeActivate = false;
    bool FActive = true;

private:
    template <class T, class V> void Store(T& field, V&& value) {
        field = std::forward<V>(value);
        SaveToSharedData();
    }
    // Runs body with shared writes suspended; resumes them and saves once, also on failure.
    template <class F> void Bulk(F&& body) {
        DisableSharedDataWrite();
        try {
            body();
        } catch (...) {
            EnableSharedDataWrite();
            SaveToSharedData();
            throw;
        }
        EnableSharedDataWrite();
        SaveToSharedData();
    }
    void ReadOptions(detail::OptionsReader& in, uint16_t version);

    int32_t FSharedData = 0;
    std::string FSMTPFrom, FSMTPHost, FSMTPUserID, FSMTPPassword;
    uint16_t FSMTPPort = 25;
    std::string FProxyURL, FProxyUserID, FProxyPassword;
    uint16_t FProxyPort = 8080;
    std::string FTrakerUserID, FTrakerPassword, FTrakerAssignTo, FTrakerProject, FTrakerCategory,
        FTrakerTrialID;
    std::string FZipPassword;
    std::string FPreBuildEvent, FPostSuccessfulBuildEvent, FPostFailureBuildEvent;
    TCompiledFileOptions FCompiledFileOptions;
    TTerminateBtnOperation FTerminateBtnOperation = tbRestart;
    TTerminateBtnOperation FForcedTerminateBtnOperation = tbNone;
    int32_t FFreezeTimeout = 60;
    std::string FModuleName;
    uintptr_t FModuleHandle = 0;
    TShowOptions FShowOptions;
    TExceptionDialogType FExceptionDialogType = edtMSClassic;
    std::unique_ptr<TCrashExceptionsFilters> FExceptionsFilters;
    std::array<std::string, kMessageTypeCount> FCustomizedTexts;
    std::string FTextsCollection;
    bool FActivateLog = false, FActivateHandle = true, FAppendLogs = false, FSaveLogFile = true;
    TLogOptions FLogOptions;
    TCommonSendOptions FCommonSendOptions;
    TForegroundType FForegroundTab = ftGeneral;
    int32_t FErrorsNumberToSave = 32, FErrorsNumberToShowTerminateBtn = 3;
    std::string FOutputPath, FEMailAddresses, FEMailSubject, FEMailMessage;
    TEmailSendMode FEMailSendMode = esmNoSend;
    TWebSendMode FWebSendMode = wsmNoSend;
    std::string FAttachedFiles;
    TExceptionDialogOptions FExceptionDialogOptions;
    int32_t FAutoCloseDialogSecs = 0;
    std::string FSupportURL, FHTMLLayout;
    TTerminateBtnOperation FAutoCrashOperation = tbRestart;
    int32_t FAutoCrashNumber = 10, FAutoCrashMinutes = 1;
    TCallStackOptions FCallStackOptions;
    TBehaviourOptions FBehaviourOptions;
    TLeaksOptions FLeaksOptions;
    std::string FWebURL;
    int32_t FWebPort = 0;
    std::string FWebPassword, FWebUserID;
    std::string FReproduceText;
};

// The computer name as it may stand in a file name: each of " * / : < > ? \ | becomes "_".
std::string FileNameOfComputer(std::string_view computerName);

// ---- The customised-texts INI file ----

// One multi-line text under Section: the line count under CountKey and line n, encoded and
// quoted, under LinePrefix + n.
void WriteRawStrings(const std::string& fileName, const std::string& section,
                     const std::string& countKey, const std::string& text,
                     const std::string& linePrefix);
// The text back; Default when CountKey is missing or below 1, Default for a missing line.
std::string ReadRawStrings(const std::string& fileName, const std::string& section,
                           const std::string& countKey, const std::string& def,
                           const std::string& linePrefix);
// The line encoding that keeps "%", "<", ">", "&", "-", control and non-ASCII characters out
// of INI values ("%%", "%U" + 4 hex digits), limited to the block from "<!-- CrashLog First
// Line" to "CrashLog Last Line -->" when the text has one.
void EncodeStrings(std::vector<std::u16string>& lines);
// The inverse; a text that does not look encoded is left as it is.
void DecodeStrings(std::vector<std::u16string>& lines);

} // namespace kv::crash
