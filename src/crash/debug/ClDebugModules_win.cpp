// The module registry over loaded PE images, PSAPI and version resources.
#include "crash/debug/ClDebugModules.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "crash/core/ClCore.h"

namespace kv::crash {

namespace {

std::atomic<bool> g_enumerating{false};

// The module that holds the component: asked once only for its password, and the owner of
// the symbol table.
uintptr_t OwnModule() {
    return FindModuleOfAddr(reinterpret_cast<uintptr_t>(&OwnModule));
}

std::string ModuleFileName(uintptr_t handle) {
    char name[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(reinterpret_cast<HMODULE>(handle), name, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    std::string result = name;
    char longName[MAX_PATH + 1] = {};
    const DWORD m = GetLongPathNameA(name, longName, MAX_PATH);
    if (m > 0 && m < MAX_PATH) result = longName;
    // Names of the kernel's own form ("\??\C:\...") start at the drive letter.
    if (result.rfind("\\??\\", 0) == 0) result.erase(0, 4);
    return result;
}

template <class T> bool ReadAt(uintptr_t address, T& value) {
    THModuleStream stream(address);
    return stream.SecureRead(value);
}

// The NT headers' offset and file header of a loaded image: "MZ", the header offset at 60,
// "PE" and two zero bytes there, then the file header.
bool ReadFileHeader(uintptr_t handle, uint32_t& ntOffset, IMAGE_FILE_HEADER& header) {
    if (!handle) return false;
    THModuleStream image(handle);
    uint16_t mz = 0;
    uint32_t signature = 0;
    if (!image.SecureRead(mz) || mz != IMAGE_DOS_SIGNATURE) return false;
    image.SetPosition(60);
    if (!image.SecureRead(ntOffset) || ntOffset == 0) return false;
    image.SetPosition(ntOffset);
    if (!image.SecureRead(signature) || signature != IMAGE_NT_SIGNATURE) return false;
    return image.SecureRead(header);
}

// The resource of a module as bytes of the loaded image; empty when it has none.
bool FindResourceBytes(uintptr_t handle, const char* name, const uint8_t*& data, size_t& size) {
    HMODULE module = reinterpret_cast<HMODULE>(handle);
    HRSRC res = FindResourceA(module, name, MAKEINTRESOURCEA(10));
    if (!res) return false;
    HGLOBAL loaded = LoadResource(module, res);
    data = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    size = SizeofResource(module, res);
    return data != nullptr && IsValidBlockAddr(data, size);
}

class FileHandle { // CloseHandle; INVALID_HANDLE_VALUE = empty
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

// Reads count bytes that end `fromEnd` bytes before the end of the file (deny none).
bool ReadFileTail(const std::string& fileName, size_t count, std::vector<uint8_t>& out) {
    FileHandle file(CreateFileA(fileName.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size) || static_cast<uint64_t>(size.QuadPart) < count)
        return false;
    LARGE_INTEGER at;
    at.QuadPart = size.QuadPart - static_cast<LONGLONG>(count);
    if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) return false;
    out.resize(count);
    DWORD read = 0;
    return count == 0 ||
           (ReadFile(file.get(), out.data(), static_cast<DWORD>(count), &read, nullptr) &&
            read == count);
}

bool ReadTrailerBytes(uintptr_t handle, std::vector<uint8_t>& tail) {
    const std::string name = ModuleFileName(handle);
    std::vector<uint8_t> last8;
    if (name.empty() || !ReadFileTail(name, 8, last8)) return false;
    const size_t length = CLDataTrailerLength(last8.data());
    if (length == 0) return false;
    return ReadFileTail(name, length, tail);
}

bool HasPackageResources(const std::string& fileName) {
    HMODULE data = LoadLibraryExA(fileName.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!data) return false;
    const bool both = FindResourceA(data, "PACKAGEINFO", MAKEINTRESOURCEA(10)) &&
                      FindResourceA(data, "PACKAGEOPTIONS", MAKEINTRESOURCEA(10));
    FreeLibrary(data);
    return both;
}

struct EnumerationFlag {
    EnumerationFlag() { g_enumerating = true; }
    ~EnumerationFlag() { g_enumerating = false; }
};

using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD);

// The handles of the modules loaded in this process.
std::vector<uintptr_t> LoadedModules() {
    std::vector<uintptr_t> result;
    HMODULE psapi = LoadLibraryA("PSAPI.DLL");
    if (!psapi) return result;
    const auto enumModules = reinterpret_cast<EnumProcessModulesFn>(
        reinterpret_cast<void*>(GetProcAddress(psapi, "EnumProcessModules")));
    HANDLE process = OpenProcess(0x410, FALSE, GetCurrentProcessId());
    if (enumModules && process) {
        DWORD needed = 0;
        if (enumModules(process, nullptr, 0, &needed) && needed > 0) {
            std::vector<HMODULE> modules(needed / sizeof(HMODULE) + 16);
            DWORD got = 0;
            if (enumModules(process, modules.data(),
                            static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &got)) {
                modules.resize(std::min<size_t>(modules.size(), got / sizeof(HMODULE)));
                for (HMODULE m : modules) result.push_back(reinterpret_cast<uintptr_t>(m));
            }
        }
    }
    if (process) CloseHandle(process);
    FreeLibrary(psapi);
    return result;
}

} // namespace

bool ModuleEnumerationActive() {
    return g_enumerating;
}

namespace {
std::atomic<int> g_registrationHolds{0};
} // namespace

void HoldModuleRegistration() {
    ++g_registrationHolds;
}

void AllowModuleRegistration() {
    if (--g_registrationHolds < 0) g_registrationHolds = 0;
}

bool ModuleRegistrationHeld() {
    return g_registrationHolds.load() > 0;
}

namespace {

// Whether a module is registered lightly now: while a refresh enumerates, and while
// registration is held back, except the component's own module (its options object stays the
// one the program holds).
bool LightRegistration(uintptr_t handle) {
    return g_enumerating || (ModuleRegistrationHeld() && handle != OwnModule());
}

} // namespace

uintptr_t FindModuleOfAddr(uintptr_t address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<const char*>(address), &module))
        return 0;
    return reinterpret_cast<uintptr_t>(module);
}

PCrashModuleInfo ModuleInfoByHandle(uintptr_t handle) {
    TCrashModulesList* list = ModulesList();
    if (handle == 0 || !list) return nullptr;
    list->Lock();
    PCrashModuleInfo found = nullptr;
    for (int i = 0; i < list->Count(); ++i) {
        PCrashModuleInfo info = list->GetItem(i);
        if (info->Handle != handle) continue;
        if (info->ModuleType == mtUnknown && !LightRegistration(handle)) {
            list->Delete(i); // a light entry of a refresh becomes a full one
            break;
        }
        found = info;
        break;
    }
    if (!found && RegisterModuleInfo(handle)) found = list->GetItem(list->Count() - 1);
    list->Unlock();
    return found;
}

PCrashModuleInfo ModuleInfoByAddr(uintptr_t address) {
    return ModuleInfoByHandle(FindModuleOfAddr(address));
}

bool RegisterModuleInfo(uintptr_t handle) {
    const std::string name = ModuleFileName(handle);
    if (name.empty()) return false;
    return AddModuleInfo(handle, name, true);
}

bool AddModuleInfo(uintptr_t handle, const std::string& fileName, bool full) {
    auto info = std::make_unique<TCrashModuleInfo>();
    info->Handle = handle;
    info->Name = fileName;
    info->EncryptPassword.clear();
    info->IsValidEncryptPassword = true;
    info->LastModified = GetModifiedDate(fileName);
    GetFileVersionInfoText(fileName, info->Description, info->Version);
    info->Size = GetFileSizeByName(fileName);
    info->FunctionsList = std::make_unique<TCrashFunctionsList>();
    const bool enumerating = LightRegistration(handle);
    if (!full || enumerating) {
        info->ModuleType = mtUnknown;
    } else {
        if (handle != reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)))
            ReadModuleExports(handle, info->FunctionsList.get());
        info->ModuleType = GetModuleType(handle);
    }
    info->ExtraInformation.Options = CreateModuleOptionsProc
                                         ? CreateModuleOptionsProc(fileName)
                                         : std::make_unique<TCrashModuleOptions>(fileName);
    if (!full || !LoadModuleCLData(*info)) {
        info->ExtraInformation.CrashVersion = CrashLogCurrentVersion;
        info->ExtraInformation.CompilationDate = 0;
        info->ExtraInformation.DebugInformation.reset();
        if (full && !enumerating && AssignValidDebugInfoProc)
            AssignValidDebugInfoProc(handle, info->OtherDebugData);
    }
    if (TCrashModulesList* list = ModulesList()) {
        list->Add(std::move(info));
    }
    return true;
}

void RefreshModulesList() {
    TCrashModulesList* list = ModulesList();
    if (!list) return;
    list->Lock();
    for (int i = list->Count() - 1; i >= 0; --i)
        if (ModuleFileName(list->GetItem(i)->Handle).empty()) list->Delete(i);
    {
        EnumerationFlag flag;
        for (uintptr_t handle : LoadedModules()) {
            bool known = false;
            for (int i = 0; i < list->Count() && !known; ++i)
                known = list->GetItem(i)->Handle == handle;
            if (!known) RegisterModuleInfo(handle);
        }
    }
    list->Sort(
        [](const TCrashModuleInfo& a, const TCrashModuleInfo& b) { return a.Handle < b.Handle; });
    list->Unlock();
}

TCrashModuleType GetModuleType(uintptr_t handle) {
    uint32_t ntOffset = 0;
    IMAGE_FILE_HEADER header;
    if (!ReadFileHeader(handle, ntOffset, header)) return mtUnknown;
    if (!(header.Characteristics & IMAGE_FILE_DLL)) return mtMainModule;
    return HasPackageResources(ModuleFileName(handle)) ? mtBorlandPackage : mtOSLibrary;
}

bool IsModuleLibrary(uintptr_t handle) {
    uint32_t ntOffset = 0;
    IMAGE_FILE_HEADER header;
    // Unreadable: whether the running module is a library (this component is linked into the
    // program, never into a DLL).
    if (!ReadFileHeader(handle, ntOffset, header)) return false;
    return (header.Characteristics & IMAGE_FILE_DLL) != 0;
}

void GetFileVersionInfoText(const std::string& fileName, std::string& description,
                            std::string& version) {
    description.clear();
    version.clear();
    if (fileName.empty()) return;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(fileName.c_str(), &ignored);
    if (size == 0) return;
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(fileName.c_str(), 0, size, data.data())) return;
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &value, &length) && length >= 4) {
        uint16_t pair[2];
        std::memcpy(pair, value, 4);
        char key[64];
        // The description's path keeps its doubled separator; the version functions accept it.
        wsprintfA(key, "\\StringFileInfo\\%04X%04X\\\\FileDescription", pair[0], pair[1]);
        if (VerQueryValueA(data.data(), key, &value, &length) && length > 0) {
            const std::string text(static_cast<const char*>(value),
                                   strnlen(static_cast<const char*>(value), length));
            if (text.size() > 1) description = text;
        }
    }
    if (VerQueryValueA(data.data(), "\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        version = FileVersionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    }
}

bool ReadModuleExports(uintptr_t handle, TCrashFunctionsList* list) {
    if (!list || ModuleFileName(handle).empty() || !IsValidBlockAddr(handle, 64)) return false;
    uint32_t nt = 0;
    if (!ReadAt(handle + 60, nt) || !IsValidBlockAddr(handle + nt, 248)) return false;
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS32*>(handle + nt);
    const auto& opt = headers->OptionalHeader;
    if (!IsValidBlockAddr(handle + opt.BaseOfCode, opt.SizeOfCode)) return false;

    const uint16_t sections = headers->FileHeader.NumberOfSections;
    const uint32_t exportRva = opt.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress;
    const uint32_t exportSize = opt.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].Size;
    const uintptr_t sectionTable = handle + nt + 248;
    bool inSection = false;
    for (uint16_t i = 0; i < sections && !inSection; ++i) {
        IMAGE_SECTION_HEADER s;
        if (!ReadAt(sectionTable + i * sizeof s, s)) return false;
        inSection =
            exportRva >= s.VirtualAddress && exportRva < s.VirtualAddress + s.Misc.VirtualSize;
    }
    if (!inSection) return false;
    IMAGE_EXPORT_DIRECTORY dir;
    if (!ReadAt(handle + exportRva, dir) || dir.Characteristics != 0) return false;

    const uintptr_t codeStart = handle + opt.BaseOfCode;
    const DWORD count = std::min(dir.NumberOfFunctions, dir.NumberOfNames);
    bool added = false;
    list->Lock();
    for (DWORD i = 0; i < count; ++i) {
        uint32_t nameRva = 0, functionRva = 0;
        uint16_t ordinal = 0;
        if (!ReadAt(handle + dir.AddressOfNames + 4 * i, nameRva) ||
            !ReadAt(handle + dir.AddressOfNameOrdinals + 2 * i, ordinal) ||
            !ReadAt(handle + dir.AddressOfFunctions + 4 * ordinal, functionRva))
            continue;
        // Up to 256 bytes of name; near the end of the image each byte is checked on its own.
        char name[257] = {};
        const auto* text = reinterpret_cast<const char*>(handle + nameRva);
        const bool wholeRange = IsValidBlockAddr(text, 256);
        for (size_t k = 0; k < 256; ++k) {
            if (!wholeRange && !IsValidBlockAddr(text + k, 1)) break;
            if ((name[k] = text[k]) == '\0') break;
        }
        TCrashFunctionInfo f;
        f.Name = name;
        f.Addr = handle + functionRva;
        // A forwarded export points at the "dll.name" text inside the export directory.
        if (functionRva >= exportRva && functionRva < exportRva + exportSize)
            f.Addr = reinterpret_cast<uintptr_t>(
                GetProcAddress(reinterpret_cast<HMODULE>(handle), name));
        f.Size = f.Addr < codeStart ? 1 : 0;
        list->Add(std::make_unique<TCrashFunctionInfo>(std::move(f)));
        added = true;
    }
    list->Sort(
        [](const TCrashFunctionInfo& a, const TCrashFunctionInfo& b) { return a.Addr < b.Addr; });
    list->Unlock();
    return added;
}

uintptr_t GetSymbolAddressByID(uint8_t id) {
    const uintptr_t module = OwnModule();
    const uint8_t* data = nullptr;
    size_t size = 0;
    uint32_t offset = 0;
    if (!FindResourceBytes(module, "CLDATA", data, size) ||
        !FindCLDataSymbol(data, size, id, offset))
        return 0;
    return CodeOffsetToAddress(module, offset);
}

bool HasCLDataResource(uintptr_t handle) {
    const uint8_t* data = nullptr;
    size_t size = 0;
    uint32_t magic = 0;
    if (!FindResourceBytes(handle, "CLDATA", data, size) || size < 4) return false;
    std::memcpy(&magic, data, 4);
    return magic == kCLDataMagic || magic == kCLDataMagicOld;
}

bool HasCLDataTrailer(uintptr_t handle) {
    const std::string name = ModuleFileName(handle);
    std::vector<uint8_t> last4;
    uint32_t magic = 0;
    if (name.empty() || !ReadFileTail(name, 4, last4)) return false;
    std::memcpy(&magic, last4.data(), 4);
    return magic == kCLDataMagic || magic == kCLDataMagicOld;
}

bool IsCrashLogModule(uintptr_t handle) {
    return HasCLDataResource(handle) || HasCLDataTrailer(handle);
}

uint16_t GetCrashLogModuleVersion(uintptr_t handle) {
    const uint8_t* data = nullptr;
    size_t size = 0;
    uint16_t version = 0;
    if (HasCLDataResource(handle) && FindResourceBytes(handle, "CLDATA", data, size)) {
        if (size >= 6) std::memcpy(&version, data + 4, 2);
        return version;
    }
    std::vector<uint8_t> tail;
    if (HasCLDataTrailer(handle) && ReadTrailerBytes(handle, tail) && tail.size() >= 10)
        std::memcpy(&version, tail.data(), 2);
    return version;
}

bool HasCurrentCLData(uintptr_t handle) {
    return IsCrashLogModule(handle) && GetCrashLogModuleVersion(handle) >= CrashLogCurrentVersion;
}

bool LoadModuleCLData(TCrashModuleInfo& info) {
    try {
        const uint8_t* data = nullptr;
        size_t size = 0;
        const bool own = info.Handle == OwnModule();
        bool read = false;
        if (HasCLDataResource(info.Handle)) {
            read = FindResourceBytes(info.Handle, "CLDATA", data, size) &&
                   ReadCLDataResource(data, size, info, LightRegistration(info.Handle), own);
        } else {
            std::vector<uint8_t> tail;
            read =
                HasCLDataTrailer(info.Handle) && ReadTrailerBytes(info.Handle, tail) &&
                ReadCLDataTrailer(tail.data(), tail.size(), info, LightRegistration(info.Handle));
        }
        // Another module's running component publishes its live options.
        if (read && !own) info.ExtraInformation.Options->LoadSharedData();
        return read;
    } catch (...) {
        // A damaged block counts as absent.
    }
    return false;
}

} // namespace kv::crash
