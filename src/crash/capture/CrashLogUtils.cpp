#include "crash/capture/CrashLogUtils.h"

#include "crash/capture/CrashLogExceptions.h"

#include <cxxabi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>

#include "crash/core/ClCorePlatform.h"
#include "crash/debug/ClDebugInfo.h"
#include "crash/core/CrashRecordLists.h"

namespace kv::crash {

namespace detail {
// Platform parts (CrashLogUtils_win.cpp / CrashLogUtils_posix.cpp).
int PlatformMessageBox(const std::string& text, const std::string& caption, uint32_t flags);
void PlatformDebugOutput(const std::string& text);
} // namespace detail

bool ShowInternalSendErrors = true;
TCrashLogUtilsHooks CrashLogUtilsHooks;
TCrashMessageBoxProc CrashMessageBox = detail::PlatformMessageBox;
TDebugOutputProc CrashDebugOutput = detail::PlatformDebugOutput;

// ---- Object and class tests ----

namespace {

constexpr size_t kMaxClassNameLength = 1024;
constexpr size_t kPage = 4096;

// Copies n bytes of memory the component does not own, after checking them. Reads go byte by
// byte outside the address sanitizer, which would otherwise take a foreign read for a bug.
__attribute__((no_sanitize("address"))) bool ReadRaw(uintptr_t address, void* out, size_t n) {
    if (address == 0 || !IsValidBlockAddr(address, n)) return false;
    auto* dst = static_cast<unsigned char*>(out);
    const auto* src = reinterpret_cast<const volatile unsigned char*>(address);
    for (size_t i = 0; i < n; ++i) dst[i] = src[i];
    return true;
}

bool ReadPtr(uintptr_t address, uintptr_t& value) {
    return ReadRaw(address, &value, sizeof value);
}

// A NUL-terminated name checked page by page; false when unreadable, too long or holding a
// character below 32.
__attribute__((no_sanitize("address"))) bool ReadName(uintptr_t address, std::string& name) {
    name.clear();
    while (name.size() < kMaxClassNameLength) {
        const size_t rest = kPage - address % kPage;
        if (address == 0 || !IsValidBlockAddr(address, rest)) return false;
        const auto* p = reinterpret_cast<const volatile unsigned char*>(address);
        for (size_t i = 0; i < rest && name.size() < kMaxClassNameLength; ++i) {
            const unsigned char c = p[i];
            if (c == 0) return !name.empty();
            if (c < 32) return false;
            name += static_cast<char>(c);
        }
        address += rest;
    }
    return false;
}

enum class ClassKind { None, Plain, Single, Multiple };

// The kind of a class record: its own virtual table names the ABI class that describes it.
ClassKind KindOfClass(uintptr_t cls, std::string* mangled) {
    uintptr_t vptr = 0, nameAddr = 0, meta = 0, metaName = 0;
    if (!ReadPtr(cls, vptr) || !ReadPtr(cls + sizeof(void*), nameAddr)) return ClassKind::None;
    if (!ReadPtr(vptr - sizeof(void*), meta) || !ReadPtr(meta + sizeof(void*), metaName)) {
        return ClassKind::None;
    }
    std::string kind;
    if (!ReadName(metaName, kind)) return ClassKind::None;
    if (!kind.empty() && kind[0] == '*') kind.erase(0, 1);
    ClassKind result = ClassKind::None;
    if (kind == "N10__cxxabiv117__class_type_infoE") result = ClassKind::Plain;
    if (kind == "N10__cxxabiv120__si_class_type_infoE") result = ClassKind::Single;
    if (kind == "N10__cxxabiv121__vmi_class_type_infoE") result = ClassKind::Multiple;
    if (result == ClassKind::None) return result;
    std::string name;
    if (!ReadName(nameAddr, name)) return ClassKind::None;
    if (mangled) *mangled = name;
    return result;
}

// "kv::TList<int>::Item" -> "Item": the part after the last "::" outside template arguments.
std::string Unqualified(const std::string& name) {
    int depth = 0;
    size_t start = 0;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c == '<') ++depth;
        if (c == '>') --depth;
        if (depth == 0 && c == ':' && i + 1 < name.size() && name[i + 1] == ':') {
            start = i + 2;
            ++i;
        }
    }
    return name.substr(start);
}

std::string Demangled(std::string mangled) {
    if (!mangled.empty() && mangled[0] == '*') mangled.erase(0, 1);
    int status = 0;
    char* text = abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status);
    if (status != 0 || !text) return mangled;
    std::string result(text);
    std::free(text);
    return result;
}

std::string Key(std::string_view name) {
    return UpperCase(Trim(name));
}

bool InheritsFromKey(uintptr_t cls, const std::string& key, int depth) {
    std::string mangled;
    const ClassKind kind = depth > 64 ? ClassKind::None : KindOfClass(cls, &mangled);
    if (kind == ClassKind::None) return false;
    if (Key(Unqualified(Demangled(mangled))) == key) return true;
    const uintptr_t fields = cls + 2 * sizeof(void*);
    if (kind == ClassKind::Single) {
        uintptr_t base = 0;
        return ReadPtr(fields, base) && InheritsFromKey(base, key, depth + 1);
    }
    if (kind == ClassKind::Multiple) {
        unsigned int counts[2] = {}; // flags, base count
        if (!ReadRaw(fields, counts, sizeof counts) || counts[1] > 256) return false;
        const uintptr_t bases = fields + sizeof counts;
        const size_t entry = sizeof(void*) + sizeof(long);
        for (unsigned int i = 0; i < counts[1]; ++i) {
            uintptr_t base = 0;
            if (ReadPtr(bases + i * entry, base) && InheritsFromKey(base, key, depth + 1)) {
                return true;
            }
        }
    }
    return false;
}

uintptr_t Addr(const void* p) {
    return reinterpret_cast<uintptr_t>(p);
}

// Instance sizes: the component's own classes, then those recorded at run time. Slots are
// claimed once and published by their class pointer, so readers take no lock.
struct TInstanceSize {
    const std::type_info* cls;
    uint32_t size;
};
template <class T> constexpr TInstanceSize SizeOf() {
    return {&typeid(T), static_cast<uint32_t>(sizeof(T))};
}
constexpr TInstanceSize kOwnInstanceSizes[] = {
    SizeOf<kv::Exception>(),
    SizeOf<kv::EAbort>(),
    SizeOf<EExceptionObjectCopy>(),
    SizeOf<EExternal>(),
    SizeOf<EAccessViolation>(),
    SizeOf<EStackOverflow>(),
    SizeOf<EDivByZero>(),
    SizeOf<EIntOverflow>(),
    SizeOf<EInvalidOp>(),
    SizeOf<EZeroDivide>(),
    SizeOf<EOverflow>(),
    SizeOf<EUnderflow>(),
    SizeOf<EPrivilege>(),
    SizeOf<EControlC>(),
    SizeOf<EExternalException>(),
    SizeOf<EFrozenApplication>(),
    SizeOf<ECrashLogGeneralError>(),
    SizeOf<TActiveXException>(),
    SizeOf<EForeignException>(),
};
constexpr int kInstanceSizeSlots = 256;
struct TInstanceSizeSlot {
    std::atomic<const std::type_info*> cls;
    uint32_t size;
};
TInstanceSizeSlot g_instanceSizes[kInstanceSizeSlots];
std::atomic<int> g_instanceSizeClaimed{0};

// Size of an object whose class cls is valid.
uint32_t InstanceSizeOf(const void* object, const std::type_info* cls) {
    for (const TInstanceSize& s : kOwnInstanceSizes)
        if (s.cls == cls) return s.size;
    const int n = std::min(g_instanceSizeClaimed.load(), kInstanceSizeSlots);
    for (int i = 0; i < n; ++i)
        if (g_instanceSizes[i].cls.load(std::memory_order_acquire) == cls)
            return g_instanceSizes[i].size;
    return CrashLogUtilsHooks.ThrownObjectSize ? CrashLogUtilsHooks.ThrownObjectSize(object) : 0;
}

// The class of an object whose virtual-table pointer leads to a valid class.
const std::type_info* ClassOfObject(const void* object) {
    uintptr_t vptr = 0, cls = 0;
    if (!object || !ReadPtr(Addr(object), vptr) || !ReadPtr(vptr - sizeof(void*), cls)) {
        return nullptr;
    }
    const auto* type = reinterpret_cast<const std::type_info*>(cls);
    return KindOfClass(cls, nullptr) != ClassKind::None ? type : nullptr;
}

// Objects larger than this are only taken when their whole instance is readable.
constexpr uint32_t kCheckedInstanceSize = 1024;

} // namespace

bool IsValidClass(const std::type_info* cls) {
    return cls && KindOfClass(Addr(cls), nullptr) != ClassKind::None;
}

const std::type_info* GetValidObjectClass(const void* object) {
    const std::type_info* type = ClassOfObject(object);
    if (!type) return nullptr;
    const uint32_t size = InstanceSizeOf(object, type);
    if (size > kCheckedInstanceSize && !IsValidBlockAddr(Addr(object), size)) return nullptr;
    return type;
}

void RegisterInstanceSize(const std::type_info& cls, uint32_t size) {
    for (int i = 0; i < std::min(g_instanceSizeClaimed.load(), kInstanceSizeSlots); ++i)
        if (g_instanceSizes[i].cls.load(std::memory_order_acquire) == &cls) return;
    const int slot = g_instanceSizeClaimed.fetch_add(1);
    if (slot >= kInstanceSizeSlots) return;
    g_instanceSizes[slot].size = size;
    g_instanceSizes[slot].cls.store(&cls, std::memory_order_release);
}

bool IsValidObjectReference(const void* object) {
    return GetValidObjectClass(object) != nullptr;
}

std::string GetClassName(const std::type_info* cls) {
    std::string mangled;
    if (!cls || KindOfClass(Addr(cls), &mangled) == ClassKind::None) return {};
    return Unqualified(Demangled(mangled));
}

bool ClassInheritsFromName(const std::type_info* cls, std::string_view name) {
    return cls && InheritsFromKey(Addr(cls), Key(name), 0);
}

bool ObjectInheritsFrom(const void* object, const std::type_info& cls) {
    const std::string name = GetClassName(&cls);
    return !name.empty() && ClassInheritsFromName(GetValidObjectClass(object), name);
}

bool ObjectInheritsFromAny(const void* object,
                           std::initializer_list<const std::type_info*> classes) {
    for (const std::type_info* cls : classes) {
        if (cls && ObjectInheritsFrom(object, *cls)) return true;
    }
    return false;
}

// Reading through a pointer never taken for valid could fault: the name test checks the
// memory it reads like the other tests do, with the same answers for valid objects.
bool InheritsFromNamedClass(const void* object, std::string_view name) {
    return ClassInheritsFromName(GetValidObjectClass(object), name);
}

bool IsReportableObject(const void* object) {
    return IsValidObjectReference(object) && !InheritsFromNamedClass(object, "EAbort");
}

bool IsLanguageException(const void* object) {
    return !InheritsFromNamedClass(object, "EExternal");
}

uint32_t GetObjectInstanceSize(const void* object) {
    const std::type_info* type = ClassOfObject(object);
    return type ? InstanceSizeOf(object, type) : 0;
}

std::string GetValidObjectClassName(const void* object) {
    const std::type_info* type = GetValidObjectClass(object);
    // A kept copy names the class of the object it was made from.
    if (type && *type == typeid(EExceptionObjectCopy))
        return static_cast<const EExceptionObjectCopy*>(object)->OriginalClassName();
    return GetClassName(type);
}

// ---- Component errors ----

namespace {

std::mutex g_lastErrorLock;
TCrashLogErrorCode g_lastErrorCode = eeNone;
// Made before the component starts: its start-up writes it.
__attribute__((init_priority(101))) std::string g_lastErrorMsg;

uintptr_t CurrentExceptionAddress() {
    return CrashLogUtilsHooks.CurrentExceptionAddress ? CrashLogUtilsHooks.CurrentExceptionAddress()
                                                      : 0;
}

// The message and class of the exception being handled; false when it carries no message.
bool CurrentExceptionMessage(std::string& message, const std::type_info*& type) {
    type = nullptr;
    const std::exception_ptr current = std::current_exception();
    if (!current) return false;
    type = current.__cxa_exception_type();
    try {
        std::rethrow_exception(current);
    } catch (const kv::Exception& e) {
        message = Utf16ToAnsi(e.Message());
        return true;
    } catch (const std::exception& e) {
        message = e.what();
        return true;
    } catch (...) {}
    return false;
}

std::string ClassNameOfType(const std::type_info* type) {
    if (!type) return {};
    std::string name = GetClassName(type);
    return name.empty() ? Unqualified(Demangled(type->name())) : name;
}

} // namespace

std::string CrashLogErrorCodeName(TCrashLogErrorCode code) {
    static const char* const kNames[] = {
        "eeNone",           "eeShowError",       "eeLogError",
        "eeEmailMAPIError", "eeEmailShellError", "eeEmailSMTPError",
        "eeWebHTTPError",   "eeWebHTTPSError",   "eeWebFTPError",
        "eeWebTrakerError",
    };
    return code < std::size(kNames) ? kNames[code] : "";
}

void SetLastCrashLogError(TCrashLogErrorCode code, const std::string& message) {
    {
        const std::lock_guard<std::mutex> lock(g_lastErrorLock);
        g_lastErrorCode = code;
        g_lastErrorMsg = message;
    }
    if (CrashDebugOutput) {
        CrashDebugOutput(
            Format("[WARNING] - Code: %s - Address: %s - Message: \"%s\"",
                   {CrashLogErrorCodeName(code),
                    IntToHex(static_cast<uint32_t>(CurrentExceptionAddress()), 8), message}));
    }
    if (ShowInternalSendErrors && code >= eeEmailSMTPError && code <= eeWebTrakerError &&
        CrashLogUtilsHooks.SendDialogOpen && CrashLogUtilsHooks.SendDialogOpen() &&
        CrashMessageBox) {
        CrashMessageBox(message, "Error.", 0x242010);
    }
}

void ClearLastCrashLogError() {
    const std::lock_guard<std::mutex> lock(g_lastErrorLock);
    g_lastErrorCode = eeNone;
    g_lastErrorMsg.clear();
}

void SetLastCrashLogErrorFromException(TCrashLogErrorCode code, const std::string& context) {
    std::string message;
    const std::type_info* type = nullptr;
    SetLastCrashLogError(code, CurrentExceptionMessage(message, type)
                                   ? Format("[%s] %s", {context, message})
                                   : Format("General '%s' error.", {context}));
}

TCrashLogErrorCode GetLastCrashLogErrorCode() {
    const std::lock_guard<std::mutex> lock(g_lastErrorLock);
    return g_lastErrorCode;
}

std::string GetLastCrashLogErrorMsg() {
    const std::lock_guard<std::mutex> lock(g_lastErrorLock);
    return g_lastErrorMsg;
}

// ---- The internal-error handler ----

std::string InternalErrorDumpText(const std::string& section, const std::string& message,
                                  const std::string& className, uintptr_t address) {
    std::string dump;
    uint8_t code[32];
    if (ReadRaw(address, code, sizeof code)) {
        for (uint8_t b : code) dump += "$" + IntToHex(b, 2) + " ";
    }
    TCrashDebugInfo info;
    GetSourceInfoByAddr(address, info);
    const uintptr_t module = info.ModuleInfo ? info.ModuleInfo->Handle : 0;
    const std::string moduleName = info.ModuleInfo ? info.ModuleInfo->Name : std::string();
    const std::string addressText = "$" + IntToHex(static_cast<uint32_t>(address), 8) + " - [" +
                                    IntToHex(static_cast<uint32_t>(module), 8) + "] " + moduleName +
                                    " - " + info.UnitName + " - " + info.ClassName + " - " +
                                    info.ProcedureName + " - " + IntToStr(info.Line) + "[" +
                                    IntToStr(info.ProcOffsetLine) + "]";
    const auto hook = [](std::string (*proc)()) { return proc ? proc() : std::string(); };
    return Format("Version   : %s\r\nDate      : %s\r\nOS        : %s\r\nRAD       : %s\r\n"
                  "Dump      : %s\r\nSection   : %s\r\nLastExcept: %s\r\nAddress   : %s\r\n"
                  "Exception : %s\r\nMessage   : %s\r\nCall Stack: %s",
                  {"6.1.04", DateTimeToRFC822(Now()), hook(CrashLogUtilsHooks.WindowsVersionName),
                   "BDS 9.0", dump, section, hook(CrashLogUtilsHooks.LastExceptionClassName),
                   addressText, className, message, hook(CrashLogUtilsHooks.CurrentCallStackText)});
}

void HandleInternalError(const std::string& section) {
    ShowCrashLogUnits = true;
    std::string message;
    const std::type_info* type = nullptr;
    const bool hasMessage = CurrentExceptionMessage(message, type);
    if (type && (ClassInheritsFromName(type, "EAbort") ||
                 ClassInheritsFromName(type, "ECrashSocketError"))) {
        return;
    }
    if (!IntoIDE() && !DebuggerAttached()) return;
    uintptr_t address = CurrentExceptionAddress();
    if (address >= 5 && !(type && ClassInheritsFromName(type, "EExternal"))) address -= 5;
    std::string className;
    if (hasMessage) {
        className = ClassNameOfType(type);
    } else {
        message = "General internal error.";
    }
    if (CrashDebugOutput) {
        CrashDebugOutput(Format("[ERROR] - Section: %s - Address: %s - Message: \"%s\"",
                                {section, IntToHex(static_cast<uint32_t>(address), 8), message}));
    }
    const std::string dump = InternalErrorDumpText(section, message, className, address);
    std::string fileName = ChangeFileExt(Real_GetMainModuleFileName(), ".log");
    if (!GetWorkingFile(fileName, false, false)) return;
    if (std::FILE* f = std::fopen(detail::NativeFileName(fileName).c_str(), "wb")) {
        std::fwrite(dump.data(), 1, dump.size(), f);
        std::fclose(f);
    }
}

// ---- Other routines ----

std::string DateTimeToRFC822(TDateTime value, int gmtHours) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (!DecodeDateTime(value, y, mo, d, h, mi, s, ms)) return {};
    // Sakamoto's weekday, 0 = Sunday.
    static const int kMonthShift[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    const int yy = mo < 3 ? y - 1 : y;
    const int weekday = ((yy + yy / 4 - yy / 100 + yy / 400 + kMonthShift[mo - 1] + d) % 7 + 7) % 7;
    std::string zone = IntToStr(gmtHours);
    if (zone[0] != '-') zone.insert(0, 1, '+');
    if (zone.size() == 2) zone.insert(1, 1, '0');
    zone += "00";
    const auto two = [](int v) { return v < 10 ? "0" + IntToStr(v) : IntToStr(v); };
    return std::string(kDays[weekday]) + ", " + IntToStr(d) + " " + kMonths[mo - 1] + " " +
           IntToStr(y) + " " + two(h) + ":" + two(mi) + ":" + two(s) + " " + zone;
}

std::string DateTimeToRFC822(TDateTime value) {
    return DateTimeToRFC822(value, GetGMT());
}

void* AllocAligned(size_t size, size_t alignment, std::unique_ptr<uint8_t[]>& block) {
    block.reset();
    if (size == 0) return nullptr;
    if (alignment <= 1) {
        block = std::make_unique<uint8_t[]>(size);
        return block.get();
    }
    block = std::make_unique<uint8_t[]>(size + alignment - 1);
    const uintptr_t at = reinterpret_cast<uintptr_t>(block.get());
    return block.get() + (alignment - at % alignment) % alignment;
}

bool VersionWithinHundred(uint32_t version) {
    const uint32_t base = CrashLogCurrentVersion / 100 * 100;
    return version >= base && version <= base + 100;
}

bool IsKnownDataTag(uint32_t value) {
    return value == 0x100FAB10u || value == 0x000FAB10u;
}

bool ModuleHasFileName(uintptr_t module) {
    return !GetLongModuleFileName(module).empty();
}

std::string SharedOptionsBlockName(uint32_t processId, uintptr_t module) {
    return IntToHex(processId, 8) + IntToHex(static_cast<uint32_t>(module), 8);
}

// ---- The shared options block ----

namespace {

TSharedOptionsBlock* g_ownBlock = nullptr; // the block the component keeps open
uint8_t* g_ownData = nullptr;

} // namespace

void OpenOwnSharedOptionsBlock(uintptr_t module) {
    CloseOwnSharedOptionsBlock();
    uint32_t stored = 0;
    g_ownBlock = OpenSharedOptionsBlock(module, 1, g_ownData, stored);
    if (g_ownData && stored > 0) g_ownData[0] = 0;
}

void CloseOwnSharedOptionsBlock() {
    CloseSharedOptionsBlock(g_ownBlock, g_ownData);
}

void WriteSharedOptions(const TCrashModuleOptions& options) {
    if (options.ModuleHandle() == 0) return;
    kv::TMemoryStream stream;
    const uint8_t present = 1;
    stream.Write(&present, 1);
    options.SaveToStream(stream);
    const std::string& bytes = stream.Data();
    CloseOwnSharedOptionsBlock();
    uint32_t stored = 0;
    g_ownBlock = OpenSharedOptionsBlock(options.ModuleHandle(), static_cast<uint32_t>(bytes.size()),
                                        g_ownData, stored);
    if (!g_ownBlock) return;
    // A block that another holder kept open keeps its old size: rather than write past its end,
    // mark it as holding no options.
    if (stored < bytes.size()) {
        if (stored > 0) g_ownData[0] = 0;
        return;
    }
    std::memcpy(g_ownData, bytes.data(), bytes.size());
}

bool ReadSharedOptions(TCrashModuleOptions& options) {
    if (options.ModuleHandle() == 0) return false;
    uint8_t* data = nullptr;
    uint32_t stored = 0;
    TSharedOptionsBlock* block = OpenSharedOptionsBlock(options.ModuleHandle(), 0, data, stored);
    if (!block) return false;
    // A copy, so that loading (which may store the options again) never reads a closed view.
    std::string bytes;
    if (stored > 1 && data[0] == 1)
        bytes.assign(reinterpret_cast<const char*>(data) + 1, stored - 1);
    CloseSharedOptionsBlock(block, data);
    if (bytes.empty()) return false;
    kv::TMemoryStream stream(std::move(bytes));
    return options.LoadFromStreamOfVersion(stream, CrashLogCurrentVersion);
}

} // namespace kv::crash
