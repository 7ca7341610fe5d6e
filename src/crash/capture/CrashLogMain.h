#pragma once
// The engine of the crash-report component: the process-wide state made at start-up, the
// capture of exceptions (C++ throws through link-time wraps with our own handler search, system
// exceptions through a vectored handler, the window procedures' frame and the last-chance
// filter), the report routine, the thread registry, the freeze watchdog, events and public
// functions, and what happens after a report. The report half (text, log file, dialogs,
// delivery) plugs in through TCrashReportHalf, so the engine is built and tested without it.
// The state is portable; the engine's work is Win32 (the native build keeps the data parts).
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "crash/capture/CrashLogExceptions.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/core/ClCore.h"
#include "crash/core/CrashRecordLists.h"
#include "crash/core/TCrashModuleOptions.h"

namespace kv::crash {

// ---- Kinds and records ----

enum TRaiserType : uint8_t { rtUnknown, rtLocal, rtWeb };
enum TAsynchronousException : uint8_t { aeNone, aeSafeCall, aeSynchronize };
enum TCrashActionType : uint8_t {
    atShowingExceptionInfo,
    atShowedExceptionInfo,
    atSavingLogFile,
    atSavedLogFile,
    atSendingEmail,
    atSentEmail,
    atSendingWebMessage,
    atSentWebMessage,
    atTerminating,
};

// What a report is built from and what every event receives.
struct TCrashExceptionRecord {
    const void* ExceptionObject = nullptr; // an object of a polymorphic class
    uintptr_t ExceptionAddress = 0;        // 5 less than the raise address for a C++ throw
    uint32_t ExceptionThreadID = 0;
    const TExceptionRecordCopy* Win32ExceptionRecord = nullptr; // null when none is readable
    uintptr_t Win32Context = 0; // address of an x86 context copy; 0 when none is readable
    std::string LogText;
    TCrashModulesList* ModulesList = nullptr;            // not owned
    TCrashStackList* CallStack = nullptr;                // not owned
    TCrashModuleOptions* CurrentModuleOptions = nullptr; // not owned
};

// What the dispatcher hands to the report routine.
struct TExceptNotifyParams {
    bool Handled = false; // caught by code; reported only because the options ask for it
    uintptr_t Context = 0;
    uintptr_t ExceptionRecord = 0;
    TCrashStackList* CallStack = nullptr; // made by the caller and handed over, or null
    uint32_t TopOfStack = 0;
    uint32_t StackPoint = 0;
    uint32_t ThreadID = 0;
    std::string ActiveControlClass;
    std::string ActiveControlText;
};

// ---- Thread registry ----

// One known thread.
struct TCrashThreadInfo {
    uint32_t ID = 0;
    uintptr_t Handle = 0; // a handle of the registry's own (duplicated), or 0
    uint32_t CallerID = 0;
    int32_t Priority = static_cast<int32_t>(0x80000000); // none recorded
    const void* Thread = nullptr; // thread object of the runtime's thread class: none in ours
    uint32_t TopOfStack = 0;
    uintptr_t BeginThreadFunction = 0;  // routine of a thread the runtime started
    uintptr_t CreateThreadFunction = 0; // routine of a thread made by plain CreateThread
    uintptr_t Parameter = 0;
    uint32_t CallerStackSize = 0;
    std::shared_ptr<const std::string> CallerStackDump; // stack of the thread that started it
    uint32_t CallerStackStart = 0;                      // its address
    bool IsACopy = false;
    bool MainThread = false;
};
using PCrashThreadInfo = TCrashThreadInfo*;

// One thread as another module's component hands it over through the exports
// CrashLog_CallCreateThread and CrashLog_CallResumeThread: plain data only (the modules do not
// share a C++ runtime), the creator's stack as bytes that the receiving registry copies, the
// handle the sender's own (the registry duplicates it).
struct TCrashThreadRecord {
    uint32_t ID;
    uintptr_t Handle;
    uint32_t CallerID;
    uint32_t TopOfStack;
    uintptr_t BeginThreadFunction;
    uintptr_t CreateThreadFunction;
    uintptr_t Parameter;
    const void* CallerStack;
    uint32_t CallerStackSize;
    uint32_t CallerStackStart;
};

// The master registry (with its read/write lock) or a snapshot of it (no lock; copies of the
// entries sharing their stack dumps).
class TCrashThreadsList {
public:
    TCrashThreadsList();
    explicit TCrashThreadsList(const TCrashThreadsList* source); // a snapshot
    ~TCrashThreadsList();
    TCrashThreadsList(const TCrashThreadsList&) = delete;
    TCrashThreadsList& operator=(const TCrashThreadsList&) = delete;

    bool IsSnapshot() const { return FSimpleCopy; }
    int Count() const;
    // A copy of the entry (read under the read lock); false out of range.
    bool GetItem(int index, TCrashThreadInfo& info) const;
    // The entry itself, for callers that hold the lock or own a snapshot.
    PCrashThreadInfo Item(int index) const;
    void Clear();
    void Delete(int index);
    void RemoveCurrentThread();
    // The last entry with that value, searched from the end; -1 when absent.
    int FindByThreadHandle(uintptr_t handle) const;
    int FindByThreadID(uint32_t id) const;
    // Appends (under the write lock) and returns the index.
    int Add(std::unique_ptr<TCrashThreadInfo> info);
    // Drops entries of threads that have ended (their handle's exit code is not STILL_ACTIVE).
    void PurgeList();
    // Runs f with the entry of that id under the write lock; false when there is none.
    bool Update(uint32_t id, const std::function<void(TCrashThreadInfo&)>& f);
    bool UpdateByHandle(uintptr_t handle, const std::function<void(TCrashThreadInfo&)>& f);

    void BeginRead() const;
    void EndRead() const;
    void BeginWrite() const;
    void EndWrite() const;

private:
    std::unique_ptr<std::recursive_mutex> FLock; // null in a snapshot
    bool FSimpleCopy = false;
    std::vector<std::unique_ptr<TCrashThreadInfo>> items_;
};

// Whether a registered thread is one of the runtime's (the main thread, or one the runtime
// started through its thread routine) rather than a plain Windows thread.
bool IsRuntimeThread(const TCrashThreadInfo& info);

// ---- The process-wide state ----

// Byte flags that every entry point reads; set at start-up.
extern std::atomic<uint8_t> LibraryActive;
extern std::atomic<uint8_t> ActiveState;
// One module carries the component (the runtime is linked statically): never set.
extern bool DeferToMainModule;
extern bool InstallRuntimeHooks;
extern bool RunInline;

// The runtime's main instance: the program's module; 0 in a library until it adopts one.
extern uintptr_t MainInstance;

// Exported variables.
extern bool CallForGetLogText;
extern bool UseExceptionThread;
extern std::string CustomSmtpHeloCommand;

// Process-wide last-exception state.
extern std::atomic<uintptr_t> LastExceptionAddress;
extern std::atomic<const void*> LastExceptionObject;
extern std::atomic<uintptr_t> LastRaisedAddress;
extern std::atomic<const void*> LastRaisedObject;
extern std::atomic<bool> LastLanguageException;
extern std::atomic<uintptr_t> LastReportedAddress;
extern std::string LastReportMessage; // under the report lock

// The application's start time and the number of reports made so far.
extern TDateTime ApplicationStartTime;
extern int32_t ReportCounter;

// The thread registry; null while the component is inactive.
TCrashThreadsList* ThreadsList();

// The options of this module (its module information's options). Raises kv::Exception with
// the component's assertion text when it is not active.
TCrashModuleOptions* CurrentCrashLogOptions();
// The report options while a report runs; otherwise the calling module's options.
TCrashModuleOptions* DotNetCrashLogOptions();

// The options of a live process: switching Active or FreezeActivate on the current module's
// object starts or stops the watchdog; the component's own module mirrors its options into the
// shared block, another module's options are read from its block.
class TCrashModuleOptionsEx : public TCrashModuleOptionsShared {
public:
    using TCrashModuleOptionsShared::TCrashModuleOptionsShared;
    void SetActive(bool value) override;
    void SetFreezeActivate(bool value) override;
    // Copies the options without starting or stopping the watchdog.
    void Assign(const TCrashModuleOptions* source) override;

private:
    // Active or FreezeActivate changed: the watchdog follows the current module's options.
    void FreezeSwitchChanged();
    bool assigning_ = false;
};

// ---- The report being built ----

// The state of the one report that runs (under the report lock). The report half reads and
// writes it through this struct.
struct TCrashReport {
    // The exception.
    const void* ExceptionObject = nullptr;
    uintptr_t ExceptionAddress = 0;
    bool LanguageException = false;
    TRaiserType RaiserType = rtUnknown;
    TAsynchronousException Asynchronous = aeNone;
    uintptr_t ModuleHandle = 0; // the module whose options the report runs with
    TExceptNotifyParams Params; // context, record, stack values, raising thread, active control
    uint32_t RaisingThreadID = 0;
    std::string BugID; // four hexadecimal digits
    int32_t Section = 0;
    TDateTime StartTime = 0;

    // What the report holds and who owns it.
    std::unique_ptr<TCrashStackList> CallStack;     // the pending call stack
    std::unique_ptr<TCrashThreadsList> Threads;     // the registry snapshot of this report
    TCrashModuleOptionsEx* Options = nullptr;       // the report options (the component's)
    TCrashExceptionRecord Record;                   // the current record
    TCrashExceptionRecord SavedRecord;              // while another module's events run
    TCrashExceptionRecord* CurrentRecord = nullptr; // set while events may run

    // Choices of the filters and the dialog.
    TExceptionDialogType DialogType = edtNone;
    bool FilterChoseDialog = false;
    bool NotifyHandled = true;
    bool ActionFlag = true;
    bool ErrorFlag = false;
    bool CustomButtonFlag = false;
    bool SendChosen = false;
    bool AttachScreenshotChosen = false;
    bool CopyToClipboardChosen = false;
    bool TerminateChosen = false;
    bool Cancelled = false;
    bool ReproduceWanted = false;
    bool RepeatFlag = false;
    bool Duplicate = false;
    bool DialogShown = false;     // a report dialog is on screen (the raising thread pumps then)
    bool DialogsDisabled = false; // a dialog failed to show: no reproduce request or send window
    std::string ScreenshotFile;   // the screenshot file this report wrote; empty when none

    // Where the report came from on screen.
    int WorkArea[4] = {0, 0, 0, 0}; // left, top, right, bottom of the foreground's monitor
    uintptr_t FocusWindow = 0;
    uintptr_t Cursor = 0;
    int CursorX = 0, CursorY = 0;
    bool CursorKnown = false;

    // Texts of the events and the web side.
    std::string CustomErrorMessage;
    std::string Password;
    std::string LastHTMLPage;
    TStrings CustomData, AttachedFiles, WebFields;
};
extern TCrashReport Report;

// ---- The report half ----

// What the report routine asks of the report half. Null members leave their step out (the
// defaults below stand in until each piece is plugged in).
struct TCrashReportHalf {
    // Makes the report's log text (Report.Record.LogText) from the report state.
    std::function<void()> BuildLogText;
    // The message heading put before the log text on the console and for CallForGetLogText.
    std::function<std::string()> MessageHeading;
    // Adds a block to the finished log text.
    std::function<void(int32_t firstHeader, const std::string& header, const std::string& text)>
        InsertLogSection;
    std::function<void(int32_t firstHeader, const std::string& header, const TStrings& values)>
        InsertLogValuesSection;
    // Duplicate detection against the log file (sets Report.Duplicate).
    std::function<void(bool increment)> CountDuplicateReport;
    std::function<void()> SaveReportToLogFile;
    // An item of the last report stored in the log file ("1.3" is the program version).
    std::function<std::string(const std::string& item)> LastLogItemValue;
    // The screenshot: taken after the decision to report, written to its file (which sets
    // Report.ScreenshotFile) when the report will be sent, released afterwards; the file goes
    // once the report is over.
    std::function<void()> CaptureScreenshot;
    std::function<void(const std::string& fileName)> SaveCapturedScreenshot;
    std::function<void()> ReleaseScreenshot;
    std::function<std::string()> ScreenshotFileName;
    // Shows the dialog of Report.DialogType once; the dialog may switch the type.
    std::function<void(bool beep)> ShowExceptionDialog;
    std::function<void()> ShowReproduceRequest;
    std::function<void(const std::string& text)> ShowWebErrorPage;
    std::function<std::string(const std::string& text, bool okButton)> GenerateHTML;
    // Starts the send; true when it went to a thread of its own, which then does what follows
    // a report (the auto-crash check, the call stack, the termination), false when it ran here.
    std::function<bool()> StartReportSending;
    // The texts the exception ID is made of.
    std::function<std::string()> ApplicationModuleText;
    std::function<std::string()> ExceptionModuleText;
    std::function<std::string(const void* exceptionObject)> ExceptionClassText;
    // The message of an exception object as the report shows it.
    std::function<std::string(const void* exceptionObject)> ExceptionMessageText;
    // The text of the last HTML page of a CGI application.
    std::function<std::string()> LastHTMLPageFromFile;
    // The application kinds of the web side (none without them).
    std::function<bool()> IsWebApplication;
    std::function<bool()> IsCGIApplication;
};
extern TCrashReportHalf ReportHalf;
// Puts back the stand-ins: a log text of the call stacks, modules, processes and the CPU and
// assembler views; a message box for the dialog types; no log file, screenshot or sending.
// Then the installer of the program's report half, when one is set, plugs in its pieces.
void ResetReportHalf();
using TReportHalfInstaller = void (*)(TCrashReportHalf& half);
void SetReportHalfInstaller(TReportHalfInstaller installer);

// The expanded log file name of the current report (of this module when no report runs).
std::string ReportLogFileName();

// Whether the program is a console program (its main module's subsystem).
bool IsConsoleApplication();

// The object as the component's exception class and as the C++ runtime's exception class, with
// the pointer adjusted as a catch clause would; null when it is no such object.
const kv::Exception* AsException(const void* object);
const std::exception* AsStdException(const void* object);
// The message of an exception object in the ANSI code page; empty for any other object.
std::string ExceptionMessageOf(const void* object);

// ---- Capture and report entry points ----

// The options' ExceptionsFilters entry that applies; -1 when none.
int FindExceptionFilter(const TCrashModuleOptions& options, const void* exceptionObject,
                        bool handled);
// The exception ID: the 4-digit upper-case hexadecimal CRC-16 of the module and class texts
// followed by the unit, class, procedure and line of each source-level frame of the first
// frame's thread. With the return addresses of the thread's frame-pointer chain given, a frame
// after the first counts only when one of them returns to it: the stack walk also finds stale
// return addresses that earlier calls left on the stack, which differ between runs of the
// same failure, and an ID must be the same for the same failure.
std::string MakeBugID(const std::string& head, const TCrashStackList* stack,
                      const std::vector<uint32_t>& chainReturns = {});

// A frame-by-frame text table of a call stack (the shown details only).
void CallStackToStrings(const TCrashStackList* stack, TStrings& strings);

// Reports an exception that nothing will handle; true when the caller's own handling should
// still run.
bool DispatchExceptionReport(const void* exceptionObject, uintptr_t address, bool language,
                             uint32_t topOfStack, uint32_t stackPoint, uintptr_t context,
                             uintptr_t exceptionRecord, TRaiserType raiserType, uintptr_t module,
                             TAsynchronousException asynchronous, bool handled,
                             TCrashStackList* callStack);

// Runs an event callback on the thread that waits for the report.
void CallInRaisingThread(const std::function<void()>& callback);
// Starts a thread of the component itself (never registered, suspended or reported on) that
// runs routine; its handle (a HANDLE, closed by the caller) or 0 when none could be made.
uintptr_t StartComponentThread(std::function<void()> routine, uint32_t& id);

// Whether a report should be sent (send modes set, not a duplicate, the dialog's send box).
bool ReportIsToBeSent();
// 0 dialog, 1 console, 2 web page.
int GetOutputKind(TRaiserType raiserType);

// ---- Events (fired through CallInRaisingThread) ----

void DoExceptionNotify(bool& handled);
void DoHandledExceptionNotify(bool& handled);
void DoExceptionActionNotify(TCrashActionType action, bool& flag);
void DoExceptionErrorNotify(TCrashLogErrorCode code, bool& flag);
void DoPasswordRequest(std::string& password);
void DoCustomDataRequest(TStrings& data);
void DoAttachedFilesRequest(TStrings& files);
void DoCustomWebFieldsRequest(TStrings& fields);
void DoCustomButtonClickNotify(bool& flag);

// Global procedure variables of the events (run after the components).
using TExceptionNotifyProc = void (*)(TCrashExceptionRecord* record, bool& handled);
using TExceptionActionProc = void (*)(TCrashExceptionRecord* record, TCrashActionType action,
                                      bool& flag);
using TExceptionErrorProc = void (*)(TCrashExceptionRecord* record, TCrashLogErrorCode code,
                                     bool& flag);
using TPasswordRequestProc = void (*)(TCrashExceptionRecord* record, std::string& password);
using TCustomDataRequestProc = void (*)(TCrashExceptionRecord* record, TStrings& data);
using TAttachedFilesRequestProc = void (*)(TCrashExceptionRecord* record, TStrings& files);
using TCustomWebFieldsRequestProc = void (*)(TCrashExceptionRecord* record, TStrings& fields);
using TCustomButtonClickProc = void (*)(TCrashExceptionRecord* record, bool& flag);
extern TExceptionNotifyProc ExceptionNotify;
extern TExceptionNotifyProc HandledExceptionNotify;
extern TExceptionActionProc ExceptionActionNotify;
extern TExceptionErrorProc ExceptionErrorNotify;
extern TPasswordRequestProc PasswordRequest;
extern TCustomDataRequestProc CustomDataRequest;
extern TAttachedFilesRequestProc AttachedFilesRequest;
extern TCustomWebFieldsRequestProc CustomWebFieldsRequest;
extern TCustomButtonClickProc CustomButtonClickNotify;

// The handlers of one TCrashLog component (the component lives in the window framework).
struct TCrashLogEvents {
    std::function<void(TCrashExceptionRecord*, bool&)> OnExceptionNotify;
    std::function<void(TCrashExceptionRecord*, bool&)> OnHandledExceptionNotify;
    std::function<void(TCrashExceptionRecord*, TCrashActionType, bool&)> OnExceptionActionNotify;
    std::function<void(TCrashExceptionRecord*, TCrashLogErrorCode, bool&)> OnExceptionErrorNotify;
    std::function<void(TCrashExceptionRecord*, std::string&)> OnPasswordRequest;
    std::function<void(TCrashExceptionRecord*, TStrings&)> OnCustomDataRequest;
    std::function<void(TCrashExceptionRecord*, TStrings&)> OnAttachedFilesRequest;
    std::function<void(TCrashExceptionRecord*, TStrings&)> OnCustomWebFieldsRequest;
    std::function<void(TCrashExceptionRecord*, bool&)> OnCustomButtonClickNotify;
};
// The live components' handlers in creation order (TCrashLogList).
void RegisterCrashLogEvents(TCrashLogEvents* events);
void UnregisterCrashLogEvents(TCrashLogEvents* events);
int CrashLogListCount();

// ---- Public functions ----

bool IsCrashLogInstalled();
bool IsCrashLogActive();
void SetCrashLogState(bool state);
bool IsCrashLogActiveInThread(uint32_t threadId);
void SetCrashLogInThread(uint32_t threadId, bool active);
bool StandardCrashNotify(const void* exceptionObject, uintptr_t address);
bool StandardCrashError(const std::string& message);
void ShowLastExceptionData();
uintptr_t GetLastExceptionAddress();
const void* GetLastExceptionObject();
void SetCustomErrorMessage(const std::string& text);
std::string GetDisplayedErrorMessage();
bool ForceApplicationTermination(TTerminateBtnOperation operation);
// The calling thread's stack from here (owned by the caller).
std::unique_ptr<TCrashStackList> GetCurrentCallStack();
// The walk of the last raising thread's stack copy; null when there is none.
std::unique_ptr<TCrashStackList> GetLastExceptionCallStack();
std::unique_ptr<TCrashStackList> GetCallStackByLevels(int firstLevel, int levels);
bool GetCompilationDate(uintptr_t module, bool utc, TDateTime& date);
void SetMetadataFilePath(const std::string& path);
// The file SetMetadataFilePath named; empty when none.
std::string MetadataFilePath();
// Builds the report of a foreign exception as HTML (its call stack as "|"-separated lines).
void GetCrashLogHTML(const std::string& typeText, const std::string& message,
                     const std::string& callStackText, std::string& html);
// Parses such call-stack lines into frames (exposed for tests).
std::unique_ptr<TCrashStackList> ParseCallStackText(const std::string& callStackText);
// The memory manager's leak-log stack text: each line "CR LF address [module] unit - class.proc
// (Line: n)"; the buffer is written up to its size - 1 and zero-terminated. Returns the end.
char* FastMM_LogStackTrace(const uintptr_t* addresses, int count, char* buffer, size_t size,
                           bool procedures, bool units, bool offsets);

// ---- After the report ----

// Time-limited crash series; the list of report times (oldest first).
void CheckAutoCrash();
TStrings& AutoCrashList();
void FreeReportCallStack();
void TerminateAfterReport();
// Runs work under the component's report lock (a second report waits meanwhile).
void RunUnderReportLock(const std::function<void()>& work);

// ---- Start-up ----

// The unit's start-up and shut-down (run by the start-up object; exposed for tests).
void CrashLogMainInit();
void CrashLogMainDone();
// The component's own source units, hidden from call stacks.
std::vector<std::string> HiddenUnitNames();
// In a library module (module) whose runtime has no main instance yet: the first registered
// module that is no library and carries the component's stored data becomes the main instance
// (the modules list is refreshed first). Nothing in a program or once a main instance is set.
void AdoptLibraryMainInstance(uintptr_t module);
// Long file names of the module that holds the component, of the one that holds the C++
// runtime's base exception class (linked statically: the same module), and of the C Runtime
// library the compiler's code calls ("msvcrt.dll" alone when it is not loaded).
std::string GetRuntimeModuleFileName();
std::string GetCompilerRuntimeModuleFileName();

// Test view of the handled-by-code cache: entries held and lookups answered from it.
int HandledCacheCount();
int HandledCacheHits();

} // namespace kv::crash
