#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "../support/CLDataBlocks.h"
#include "crash/debug/ClDebugModules.h"

namespace {

using namespace kv::crash;

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}
bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && Lower(s.substr(s.size() - tail.size())) == tail;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A copy of the fixture DLL under a name of its own, changed before it is loaded, and unloaded
// and removed again at the end.
class FixtureCopy {
public:
    explicit FixtureCopy(const std::string& name) {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        path_ = std::string(dir) + "kvtest_" + std::to_string(GetCurrentProcessId()) + "_" + name;
        CopyFileA(KOLVANE_MODULE_FIXTURE, path_.c_str(), FALSE);
    }
    ~FixtureCopy() {
        if (module_) FreeLibrary(module_);
        DeleteFileA(path_.c_str());
    }
    void AddResource(const char* name, const std::string& bytes) {
        HANDLE update = BeginUpdateResourceA(path_.c_str(), FALSE);
        ASSERT_NE(update, nullptr);
        ASSERT_TRUE(UpdateResourceA(
            update, MAKEINTRESOURCEA(10), name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
            const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size())));
        ASSERT_TRUE(EndUpdateResourceA(update, FALSE));
    }
    void Append(const std::string& bytes) {
        std::ofstream(path_, std::ios::binary | std::ios::app) << bytes;
    }
    void Patch(size_t offset, const std::string& bytes) {
        std::fstream f(path_, std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(static_cast<std::streamoff>(offset));
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    uintptr_t Load() {
        module_ = LoadLibraryA(path_.c_str());
        return reinterpret_cast<uintptr_t>(module_);
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    HMODULE module_ = nullptr;
};

class ModuleRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        CreateModulesList();
        kvtest::InstallTestCodecs();
    }
    void TearDown() override {
        FreeModulesList();
        CLDataCodecs = {};
    }
    static PCrashModuleInfo Find(const std::string& tail) {
        TCrashModulesList* list = ModulesList();
        for (int i = 0; i < list->Count(); ++i)
            if (EndsWith(list->GetItem(i)->Name, tail)) return list->GetItem(i);
        return nullptr;
    }
};

TEST_F(ModuleRegistry, RefreshListsTheProgramAndItsSystemModules) {
    RefreshModulesList();
    const PCrashModuleInfo exe = Find("test_crash.exe");
    const PCrashModuleInfo kernel32 = Find("kernel32.dll");
    const PCrashModuleInfo msvcrt = Find("msvcrt.dll");
    ASSERT_NE(exe, nullptr);
    ASSERT_NE(kernel32, nullptr);
    ASSERT_NE(msvcrt, nullptr);
    EXPECT_EQ(exe->Handle, reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr)));
    EXPECT_GT(exe->Size, 0u);
    EXPECT_FALSE(kernel32->Version.empty());
    EXPECT_FALSE(msvcrt->Version.empty());
    EXPECT_EQ(std::count(kernel32->Version.begin(), kernel32->Version.end(), '.'), 3);
    // A refresh registers lightly: no kind, no exports.
    EXPECT_EQ(kernel32->ModuleType, mtUnknown);
    EXPECT_EQ(kernel32->FunctionsList->Count(), 0);
    TCrashModulesList* list = ModulesList();
    for (int i = 1; i < list->Count(); ++i)
        EXPECT_LT(list->GetItem(i - 1)->Handle, list->GetItem(i)->Handle);

    // Asked for outside a refresh, the light entry becomes a full one.
    const PCrashModuleInfo full =
        ModuleInfoByHandle(reinterpret_cast<uintptr_t>(GetModuleHandleW(L"kernel32.dll")));
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->ModuleType, mtOSLibrary);
    EXPECT_GT(full->FunctionsList->Count(), 100);
}

TEST_F(ModuleRegistry, LookupByAddressRegistersTheProgram) {
    const auto here = reinterpret_cast<uintptr_t>(&ReadFile);
    const PCrashModuleInfo exe = ModuleInfoByAddr(here);
    ASSERT_NE(exe, nullptr);
    EXPECT_TRUE(EndsWith(exe->Name, "test_crash.exe"));
    EXPECT_EQ(exe->ModuleType, mtMainModule);
    EXPECT_EQ(exe->FunctionsList->Count(), 0); // the program's own exports are not read
    EXPECT_EQ(exe->ExtraInformation.CrashVersion, CrashLogCurrentVersion); // no block
    EXPECT_NE(exe->ExtraInformation.Options, nullptr);
    EXPECT_EQ(ModuleInfoByAddr(here + 16), exe);
    EXPECT_EQ(ModuleInfoByHandle(0), nullptr);
    EXPECT_EQ(ModuleInfoByAddr(0x10), nullptr);
    EXPECT_FALSE(IsModuleLibrary(exe->Handle));
    EXPECT_EQ(GetSymbolAddressByID(1), 0u); // the program carries no resource block
}

TEST_F(ModuleRegistry, FixtureDllVersionAndExports) {
    FixtureCopy dll("plain.dll");
    const uintptr_t handle = dll.Load();
    ASSERT_NE(handle, 0u);
    const PCrashModuleInfo info = ModuleInfoByHandle(handle);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->ModuleType, mtOSLibrary);
    EXPECT_TRUE(IsModuleLibrary(handle));
    EXPECT_EQ(info->Version, "1.2.3.4");
    EXPECT_EQ(info->Description, "Kolvane module fixture");
    EXPECT_EQ(info->Size, std::filesystem::file_size(dll.Path()));
    EXPECT_GT(info->LastModified, 0);

    TCrashFunctionsList& exports = *info->FunctionsList;
    ASSERT_EQ(exports.Count(), 3);
    auto addressOf = [&](const std::string& name) {
        for (int i = 0; i < exports.Count(); ++i)
            if (exports.GetItem(i)->Name == name) return exports.GetItem(i)->Addr;
        return uintptr_t{0};
    };
    auto* module = reinterpret_cast<HMODULE>(handle);
    EXPECT_EQ(addressOf("FixtureValue"),
              reinterpret_cast<uintptr_t>(GetProcAddress(module, "FixtureValue")));
    // The forwarded export has its final target, not the text in the export directory.
    EXPECT_EQ(addressOf("FixtureTicks"), reinterpret_cast<uintptr_t>(GetProcAddress(
                                             GetModuleHandleW(L"kernel32.dll"), "GetTickCount")));
    for (int i = 1; i < exports.Count(); ++i)
        EXPECT_LE(exports.GetItem(i - 1)->Addr, exports.GetItem(i)->Addr);
    EXPECT_EQ(exports.GetItem(0)->Size, 0u);
    EXPECT_FALSE(IsCrashLogModule(handle));
    EXPECT_EQ(GetCrashLogModuleVersion(handle), 0);
}

TEST_F(ModuleRegistry, AModuleMetWhileRegistrationIsHeldIsReadInFullAfterTheHold) {
    FixtureCopy dll("held.dll");
    const uintptr_t handle = dll.Load();
    ASSERT_NE(handle, 0u);
    HoldModuleRegistration();
    HoldModuleRegistration(); // holds nest
    AllowModuleRegistration();
    const PCrashModuleInfo light = ModuleInfoByHandle(handle);
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->ModuleType, mtUnknown);
    EXPECT_EQ(light->FunctionsList->Count(), 0);
    EXPECT_EQ(ModuleInfoByHandle(handle)->ModuleType, mtUnknown); // kept while held
    AllowModuleRegistration();
    EXPECT_FALSE(ModuleRegistrationHeld());
    const PCrashModuleInfo full = ModuleInfoByHandle(handle);
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->ModuleType, mtOSLibrary);
    EXPECT_EQ(full->FunctionsList->Count(), 3);
}

TEST_F(ModuleRegistry, PackageNeedsBothResources) {
    FixtureCopy both("package.dll");
    both.AddResource("PACKAGEINFO", "info");
    both.AddResource("PACKAGEOPTIONS", "options");
    FixtureCopy one("halfpackage.dll");
    one.AddResource("PACKAGEINFO", "info");
    EXPECT_EQ(GetModuleType(both.Load()), mtBorlandPackage);
    EXPECT_EQ(GetModuleType(one.Load()), mtOSLibrary);
}

// Offset in the file of the export directory's characteristics field.
size_t ExportCharacteristicsOffset(const std::string& image) {
    uint32_t nt = 0, exportRva = 0;
    std::memcpy(&nt, image.data() + 60, 4);
    std::memcpy(&exportRva, image.data() + nt + 120, 4);
    uint16_t sections = 0;
    std::memcpy(&sections, image.data() + nt + 6, 2);
    for (uint16_t i = 0; i < sections; ++i) {
        IMAGE_SECTION_HEADER s;
        std::memcpy(&s, image.data() + nt + 248 + i * sizeof s, sizeof s);
        if (exportRva >= s.VirtualAddress && exportRva < s.VirtualAddress + s.Misc.VirtualSize)
            return exportRva - s.VirtualAddress + s.PointerToRawData;
    }
    return 0;
}

TEST_F(ModuleRegistry, ExportDirectoryWithCharacteristicsGivesNoExports) {
    FixtureCopy dll("characteristics.dll");
    const size_t at = ExportCharacteristicsOffset(ReadFile(dll.Path()));
    ASSERT_NE(at, 0u);
    dll.Patch(at, std::string("\x01\0\0\0", 4));
    const PCrashModuleInfo info = ModuleInfoByHandle(dll.Load());
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->FunctionsList->Count(), 0);
}

TEST_F(ModuleRegistry, ResourceBlocksByVersion) {
    static const struct {
        const char* name;
        uint16_t stored;
        bool read;
        uint16_t crashVersion;
    } kCases[] = {
        {"current", 6104, true, 6104},
        {"601 is read as 6001", 601, true, 6001},
        {"newer than the ceiling is ignored", 6105, false, CrashLogCurrentVersion},
    };
    for (const auto& c : kCases) {
        kvtest::BlockFields fields;
        fields.version = c.stored;
        FixtureCopy dll(std::string("block") + std::to_string(c.stored) + ".dll");
        dll.AddResource("CLDATA", kvtest::ResourceBlock(fields));
        const uintptr_t handle = dll.Load();
        ASSERT_NE(handle, 0u) << c.name;
        EXPECT_TRUE(IsCrashLogModule(handle)) << c.name;
        EXPECT_TRUE(HasCLDataResource(handle)) << c.name;
        EXPECT_EQ(GetCrashLogModuleVersion(handle), c.stored) << c.name;
        EXPECT_EQ(HasCurrentCLData(handle), c.stored >= CrashLogCurrentVersion) << c.name;
        const PCrashModuleInfo info = ModuleInfoByHandle(handle);
        ASSERT_NE(info, nullptr) << c.name;
        EXPECT_EQ(info->ExtraInformation.CrashVersion, c.crashVersion) << c.name;
        EXPECT_EQ(info->ExtraInformation.Options->EMailSubject(), c.read ? fields.subject : "")
            << c.name;
        EXPECT_EQ(info->ExtraInformation.DebugInformation != nullptr, c.read) << c.name;
        ModulesList()->Clear();
    }
}

TEST_F(ModuleRegistry, TrailerOnly) {
    kvtest::BlockFields fields;
    fields.version = 6100;
    FixtureCopy dll("trailer.dll");
    dll.Append(kvtest::TrailerBlock(fields));
    const uintptr_t handle = dll.Load();
    ASSERT_NE(handle, 0u);
    EXPECT_FALSE(HasCLDataResource(handle));
    EXPECT_TRUE(HasCLDataTrailer(handle));
    EXPECT_EQ(GetCrashLogModuleVersion(handle), 6100);
    const PCrashModuleInfo info = ModuleInfoByHandle(handle);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->ExtraInformation.CrashVersion, 6100);
    EXPECT_EQ(info->ExtraInformation.Options->EMailSubject(), fields.subject);
    ASSERT_NE(info->ExtraInformation.DebugInformation, nullptr);
    EXPECT_EQ(info->ExtraInformation.DebugInformation->Data(), fields.debug);
}

TEST_F(ModuleRegistry, RefreshDropsUnloadedModules) {
    uintptr_t handle = 0;
    {
        FixtureCopy dll("unloaded.dll");
        handle = dll.Load();
        ASSERT_NE(ModuleInfoByHandle(handle), nullptr);
    }
    RefreshModulesList();
    TCrashModulesList* list = ModulesList();
    for (int i = 0; i < list->Count(); ++i) EXPECT_NE(list->GetItem(i)->Handle, handle);
}

} // namespace
