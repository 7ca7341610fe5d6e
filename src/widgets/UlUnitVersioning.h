#pragma once
// The registry of unit version records that every library unit announces at its start and
// withdraws at its end, shared by all modules of the process through a named mutex and a
// named shared block whose names carry the process id.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

// A unit's static version record (never freed by the registry).
struct TUnitVersionInfo {
    const char16_t* RCSfile;
    const char16_t* Revision;
    const char16_t* Date;
    const char16_t* LogPath;
    const char16_t* Extra;
    void* Data;
};

using TModuleHandle = uintptr_t;

class TUnitVersion {
public:
    explicit TUnitVersion(const TUnitVersionInfo* info) : info_(info) {}
    std::u16string RCSfile() const;
    std::u16string Revision() const;
    std::u16string Date() const;
    std::u16string LogPath() const;
    std::u16string Extra() const;
    void* Data() const { return info_->Data; }
    // The Date text as a date-time (days since 1899-12-30); 0 when it holds no date.
    double DateTime() const;
    const TUnitVersionInfo* Info() const { return info_; }

private:
    const TUnitVersionInfo* info_; // not owned
};

class TUnitVersioningModule {
public:
    explicit TUnitVersioningModule(TModuleHandle instance) : Instance(instance) {}
    int Count() const { return static_cast<int>(Items.size()); }
    const TUnitVersion* FindUnit(std::u16string_view rcsFile,
                                 std::u16string_view logPath = u"*") const;
    int IndexOf(std::u16string_view rcsFile, std::u16string_view logPath = u"*") const;

    TModuleHandle Instance;
    std::vector<std::unique_ptr<TUnitVersion>> Items;
};

class TCustomUnitVersioningProvider {
public:
    virtual ~TCustomUnitVersioningProvider() = default;
    virtual void LoadModuleUnitVersioningInfo(TModuleHandle) {}
    virtual void ReleaseModuleUnitVersioningInfo(TModuleHandle) {}
};

class TUnitVersioning {
public:
    // moduleExists tells whether a module's file name can still be obtained; the counts drop
    // modules for which it cannot.
    using ModuleExistsFn = bool (*)(TModuleHandle);
    explicit TUnitVersioning(ModuleExistsFn moduleExists = nullptr) : moduleExists_(moduleExists) {}
    virtual ~TUnitVersioning() = default;

    virtual void AddVersionRecord(TModuleHandle instance, const TUnitVersionInfo* info);
    virtual void DropModule(TModuleHandle instance);

    int Count();
    int ModuleCount();
    const TUnitVersion* FindUnit(std::u16string_view rcsFile,
                                 std::u16string_view logPath = u"*") const;
    int IndexOf(std::u16string_view rcsFile, std::u16string_view logPath = u"*") const;

    template <class Provider> void RegisterProvider() {
        for (const auto& p : Providers)
            if (typeid(*p) == typeid(Provider)) return;
        Providers.push_back(std::make_unique<Provider>());
    }
    void LoadModuleUnitVersioningInfo(TModuleHandle instance);

    std::vector<std::unique_ptr<TUnitVersioningModule>> Modules;
    std::vector<std::unique_ptr<TCustomUnitVersioningProvider>> Providers;

private:
    void ValidateModules();
    ModuleExistsFn moduleExists_;
};

// The registry of this process, made (and shared) on first use; null after the registry unit
// has ended.
TUnitVersioning* AcquireUnitVersionRegistry();
void ReleaseUnitVersionRegistry();
void AnnounceUnitVersion(TModuleHandle instance, const TUnitVersionInfo* info);
void WithdrawUnitVersion(TModuleHandle instance);

// The names of the per-process mutex and shared block.
std::u16string UnitVersioningMutexName(uint32_t processId);
std::u16string UnitVersioningBlockName(uint32_t processId);

// The version records of the library units, in the order they start.
const std::vector<const TUnitVersionInfo*>& LibraryUnitVersionRecords();
