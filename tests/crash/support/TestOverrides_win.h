#pragma once
// Registry values and environment variables set for a test and put back afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace kvtest {

// A string value set for the test; afterwards the old value is back, or the value and the keys
// the test made are gone.
class RegValueOverride {
public:
    RegValueOverride(HKEY root, const std::string& subKey, const std::string& name,
                     const std::string& value)
        : root_(root), subKey_(subKey), name_(name) {
        for (size_t end = 0; end != std::string::npos && made_.empty();) {
            end = subKey.find('\\', end + 1);
            const std::string part = subKey.substr(0, end);
            HKEY key = nullptr;
            if (RegOpenKeyExA(root, part.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS)
                RegCloseKey(key);
            else
                made_ = part;
        }
        HKEY key = nullptr;
        if (RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_READ | KEY_SET_VALUE, nullptr,
                            &key, nullptr) != ERROR_SUCCESS) {
            ADD_FAILURE() << "cannot create " << subKey;
            return;
        }
        DWORD size = 0;
        if (made_.empty() && RegQueryValueExA(key, name.c_str(), nullptr, &oldType_, nullptr,
                                              &size) == ERROR_SUCCESS) {
            old_.resize(size);
            hadOld_ =
                RegQueryValueExA(key, name.c_str(), nullptr, &oldType_,
                                 reinterpret_cast<BYTE*>(old_.data()), &size) == ERROR_SUCCESS;
            old_.resize(size);
        }
        EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1)),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    ~RegValueOverride() {
        if (!made_.empty()) {
            RegDeleteTreeA(root_, made_.c_str());
            RegDeleteKeyA(root_, made_.c_str());
            return;
        }
        HKEY key = nullptr;
        if (RegOpenKeyExA(root_, subKey_.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        if (hadOld_)
            RegSetValueExA(key, name_.c_str(), 0, oldType_,
                           reinterpret_cast<const BYTE*>(old_.data()),
                           static_cast<DWORD>(old_.size()));
        else
            RegDeleteValueA(key, name_.c_str());
        RegCloseKey(key);
    }
    RegValueOverride(const RegValueOverride&) = delete;
    RegValueOverride& operator=(const RegValueOverride&) = delete;

private:
    HKEY root_;
    std::string subKey_, name_, made_, old_;
    DWORD oldType_ = REG_SZ;
    bool hadOld_ = false;
};

// A process environment variable for the test (null value: none); the old state afterwards.
class EnvOverride {
public:
    EnvOverride(const char* name, const char* value) : name_(name) {
        char old[4096];
        const DWORD n = GetEnvironmentVariableA(name, old, sizeof old);
        had_ = n > 0 && n < sizeof old;
        if (had_) old_.assign(old, n);
        SetEnvironmentVariableA(name, value);
    }
    ~EnvOverride() { SetEnvironmentVariableA(name_.c_str(), had_ ? old_.c_str() : nullptr); }
    EnvOverride(const EnvOverride&) = delete;
    EnvOverride& operator=(const EnvOverride&) = delete;

private:
    std::string name_, old_;
    bool had_ = false;
};

} // namespace kvtest
