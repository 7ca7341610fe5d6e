#pragma once
// Small routines the capture half relies on while the program may be damaged: object and class
// tests that never fault (on the C++ runtime's RTTI), class tests by name, the search for a
// process's main window, the shared-memory copy of a module's options, the component's last
// error and internal-error handler, RFC 822 dates and a few process and stack routines. The
// object tests read memory only after IsValidBlockAddr; any thread.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>

#include "crash/core/ClCore.h"
#include "crash/core/TCrashModuleOptions.h"

namespace kv::crash {

// ---- Object and class tests ----
// A class is the runtime's record of a polymorphic class (its type_info); an object is a
// pointer to the start of a polymorphic object (its virtual-table pointer first). Names are
// compared unqualified ("kv::EAbort" matches "EAbort"), upper-cased and trimmed, so classes of
// other modules match by name.

// The record and its name are readable, it describes a class type, and the name holds no
// character below 32.
bool IsValidClass(const std::type_info* cls);
// The object's virtual-table pointer is readable and leads to a valid class.
bool IsValidObjectReference(const void* object);
// The class of a valid object; null otherwise.
const std::type_info* GetValidObjectClass(const void* object);
// The unqualified, demangled name of a valid class; empty otherwise.
std::string GetClassName(const std::type_info* cls);
// Whether the class or one of its ancestors (each checked before use) has that name.
bool ClassInheritsFromName(const std::type_info* cls, std::string_view name);
bool ObjectInheritsFrom(const void* object, const std::type_info& cls);
bool ObjectInheritsFromAny(const void* object,
                           std::initializer_list<const std::type_info*> classes);
// The same name test on an object taken as valid (only null is refused).
bool InheritsFromNamedClass(const void* object, std::string_view name);
// A valid object that is no silent abort ("EAbort").
bool IsReportableObject(const void* object);
// No system exception turned into an object ("EExternal" and its descendants).
bool IsLanguageException(const void* object);
// The instance size of a valid object: its class's recorded size (the component's own classes
// and those recorded with RegisterInstanceSize), else the size the C++ runtime allocated for it
// when the calling thread threw it (a program linked with the component); 0 when neither is
// known or the object is invalid. The runtime's class records carry no size of their own.
uint32_t GetObjectInstanceSize(const void* object);
// Records the instance size of a class (the first record of a class counts; at most 256).
void RegisterInstanceSize(const std::type_info& cls, uint32_t size);
template <class T> void RegisterInstanceSize() {
    RegisterInstanceSize(typeid(T), static_cast<uint32_t>(sizeof(T)));
}
// The class name of a valid object; empty for an invalid one.
std::string GetValidObjectClassName(const void* object);

// ---- Component errors ----

enum TCrashLogErrorCode : uint8_t {
    eeNone,
    eeShowError,
    eeLogError,
    eeEmailMAPIError,
    eeEmailShellError,
    eeEmailSMTPError,
    eeWebHTTPError,
    eeWebHTTPSError,
    eeWebFTPError,
    eeWebTrakerError,
};
// The enumeration name ("eeEmailSMTPError"); empty out of range.
std::string CrashLogErrorCodeName(TCrashLogErrorCode code);

// Whether a send error is also shown in a message box while the sending-progress window is open.
extern bool ShowInternalSendErrors;

// Hooks the later parts of the component fill in; null leaves their part out.
struct TCrashLogUtilsHooks {
    // The raise address of the exception being handled (the capture's throw-site table).
    uintptr_t (*CurrentExceptionAddress)() = nullptr;
    // Whether the sending-progress window is open.
    bool (*SendDialogOpen)() = nullptr;
    // The Windows version name of the report's system values.
    std::string (*WindowsVersionName)() = nullptr;
    // The current thread's call stack as the internal-error dump shows it.
    std::string (*CurrentCallStackText)() = nullptr;
    // The class name of the object of the report being built; empty for none.
    std::string (*LastExceptionClassName)() = nullptr;
    // The size the C++ runtime allocated for an object the calling thread threw; 0 for any other.
    uint32_t (*ThrownObjectSize)(const void* object) = nullptr;
};
extern TCrashLogUtilsHooks CrashLogUtilsHooks;

// Message boxes and debugger output of the component; replaceable so that tests can answer and
// observe them. MessageBoxProc returns the button's id (IDYES = 6).
using TCrashMessageBoxProc = int (*)(const std::string& text, const std::string& caption,
                                     uint32_t flags);
extern TCrashMessageBoxProc CrashMessageBox;
using TDebugOutputProc = void (*)(const std::string& text);
extern TDebugOutputProc CrashDebugOutput;

// Stores the error and writes a "[WARNING]" line to the debugger output.
void SetLastCrashLogError(TCrashLogErrorCode code, const std::string& message);
void ClearLastCrashLogError();
// Inside a catch handler: "[context] message" for an exception with a message, else
// "General 'context' error.".
void SetLastCrashLogErrorFromException(TCrashLogErrorCode code, const std::string& context);
TCrashLogErrorCode GetLastCrashLogErrorCode();
std::string GetLastCrashLogErrorMsg();

// The internal-error handler (the CriticalError hook; report steps pass their number). Inside a
// catch handler. Outside a debugger it only makes the component's own units visible in lookups.
void HandleInternalError(const std::string& section);
// The dump text the handler saves (exposed for tests): section, message, class name and address
// of the exception being handled.
std::string InternalErrorDumpText(const std::string& section, const std::string& message,
                                  const std::string& className, uintptr_t address);

// ---- Other routines ----

// "Tue, 5 Mar 2024 09:07:05 +0900"; gmtHours is the local offset from UTC in whole hours.
std::string DateTimeToRFC822(TDateTime value, int gmtHours);
std::string DateTimeToRFC822(TDateTime value); // with this computer's offset

// A zero-filled block that owns the memory; the aligned address is returned (null for size 0).
// alignment <= 1: the block itself.
void* AllocAligned(size_t size, size_t alignment, std::unique_ptr<uint8_t[]>& block);

// Whether version lies between CrashLogCurrentVersion rounded down to a hundred and 100 above.
bool VersionWithinHundred(uint32_t version);
// The tags of the component's stored data.
bool IsKnownDataTag(uint32_t value);

std::string GetLongModuleFileName(uintptr_t module); // empty when unknown
bool ModuleHasFileName(uintptr_t module);
bool DebuggerAttached();
bool IsOpenHandle(uintptr_t handle);
bool IsThreadRunning(uintptr_t threadHandle);
uintptr_t CurrentStackTop();
uintptr_t GetStackLimit();
uintptr_t GetStackPosition();
std::string GetCommandLineStr();
uintptr_t CurrentProcessHandle();
uint32_t CurrentProcessID();
std::string GetOwnModuleFileName();

// ---- Windows of a process (0 / false in the native build) ----

uintptr_t FindMainWindowOfProcess(uint32_t processId);
bool QualifiesAsMainWindow(uintptr_t window);
// Removes one waiting message and, unless it is WM_QUIT, translates and dispatches it.
void PumpOneMessage();

// ---- The shared options block ----

// The name of a module's block: 8 upper-case hex digits of the process id, 8 of the module.
std::string SharedOptionsBlockName(uint32_t processId, uintptr_t module);
// The open mapping and view; the module handle of the options it belongs to.
struct TSharedOptionsBlock;
// Opens (size > 0: creates) the block of the module in this process; data points after the
// stored size. Null when the block does not exist and size is 0, or on failure.
TSharedOptionsBlock* OpenSharedOptionsBlock(uintptr_t module, uint32_t size, uint8_t*& data,
                                            uint32_t& storedSize);
void CloseSharedOptionsBlock(TSharedOptionsBlock*& block, uint8_t*& data);
// Writes a flag byte 1 and the options' stream into a new block for their module (the component
// keeps it open); nothing for options without a module handle.
void WriteSharedOptions(const TCrashModuleOptions& options);
// Reads the options back from their module's block; false when there is none or it is empty.
bool ReadSharedOptions(TCrashModuleOptions& options);
// Opens the module's block at start-up, 1 byte with its flag 0 (no options yet), as the block
// the component keeps open: the first options written replace it with one of their size.
void OpenOwnSharedOptionsBlock(uintptr_t module);
// Closes the block the component keeps open.
void CloseOwnSharedOptionsBlock();

// Options that mirror themselves into the shared block.
class TCrashModuleOptionsShared : public TCrashModuleOptions {
public:
    using TCrashModuleOptions::TCrashModuleOptions;
    void StoreSharedData() override { WriteSharedOptions(*this); }
    void LoadSharedData() override { ReadSharedOptions(*this); }
};

} // namespace kv::crash
