#pragma once
// The per-user settings (window placement, start-up choices, project history) and their INI
// file. Interface thread. Reaches the main window only through IConfigForm.
#include <cstdint>
#include <string>

#include "base/StringList.h"

namespace kv {
class TMemIniFile;
}

// What the settings need of the main window to restore and store its placement; the main
// window implements it. States: 0 normal, 1 minimised, 2 maximised.
class IConfigForm {
public:
    struct TBounds {
        int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    };
    struct TRect {
        int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    };

    virtual TBounds GetBounds() const = 0;
    virtual void SetBounds(const TBounds& bounds) = 0;
    virtual int32_t GetWindowState() const = 0;
    virtual void SetWindowState(int32_t state) = 0;
    // The window's normal (restored) rectangle from its placement; false when it cannot be read.
    virtual bool GetNormalPlacement(TRect& rect) const = 0;
    virtual void Hide() = 0;
    // Minimises the application as a whole (its task-bar presence), not only the form.
    virtual void MinimizeApplication() = 0;

protected:
    ~IConfigForm() = default;
};

class TConfigBase {
public:
    TConfigBase() = default;
    virtual ~TConfigBase() = default;
    TConfigBase(const TConfigBase&) = delete;
    TConfigBase& operator=(const TConfigBase&) = delete;

    // Writes the settings into the file, keeping keys of other writers. When the file's folder
    // is missing and cannot be created, shows the warning box and writes nothing (no exception);
    // other errors of writing raise kv::Exception.
    virtual void Save(const std::u16string& path);
    // Reads the settings; a missing file gives the defaults. Errors of reading raise.
    virtual void Load(const std::u16string& path);
    // Puts path at the top of the history, dropping every entry equal to it without regard to
    // letter case.
    virtual void AddHistory(const std::u16string& path);
    // Only with WindowPositionRestore: bounds and state to the form; minimised state also
    // minimises the application.
    virtual void ApplyToForm(IConfigForm& form);
    // State and normal bounds from the form.
    virtual void StoreFromForm(IConfigForm& form);
    // The history entry, or "" for an index out of range; an entry whose file no longer exists
    // is removed and gives "".
    virtual std::u16string GetHistory(int index);
    virtual int32_t DefaultWidth() const { return 800; }
    virtual int32_t DefaultHeight() const { return 600; }
    // Hooks for derived classes: the open INI file before it is written / after it is read.
    virtual void SaveExtra(kv::TMemIniFile& ini) {}
    virtual void LoadExtra(const kv::TMemIniFile& ini) {}

    // Stores 0, 1 or 2; any other value stores 0.
    void SetWindowState(int32_t value);

    bool WindowPositionRestore = false;
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 800;
    int32_t Height = 600;
    int32_t WindowState = 0;
    kv::TStringList History; // most recent first
    bool ProjectFileRestore = false;
    std::u16string LastProjectFile;
    bool InTaskTray = false;
};
