#pragma once
// Keeps the settings file of the test prefix out of the way of a test: removed before it,
// its former content put back (or the file removed) afterwards.
#include <string>

#include "TestFiles.h"
#include "app/TConfig.h"
#include "base/FileSystem.h"
#include "base/Stream.h"

namespace kvtest {

class SettingsFileGuard {
public:
    SettingsFileGuard() : path_(TConfig::GetFileName()), had_(kv::FileExists(path_)) {
        if (had_) content_ = TempFolder::Read(path_);
        kv::FileDelete(path_);
    }
    ~SettingsFileGuard() {
        if (had_)
            TempFolder::Write(path_, content_);
        else
            kv::FileDelete(path_);
    }
    SettingsFileGuard(const SettingsFileGuard&) = delete;
    SettingsFileGuard& operator=(const SettingsFileGuard&) = delete;
    const std::u16string& Path() const { return path_; }

private:
    std::u16string path_;
    bool had_;
    std::string content_;
};

} // namespace kvtest
