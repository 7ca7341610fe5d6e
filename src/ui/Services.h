#pragma once
// Replaceable platform services: everything that shows modal platform UI or leaves the
// program (message boxes, open and save dialogs, the folder browser, help, shell execution,
// dropped-file lists) goes through one TServices object, so tests can answer instead of a
// person and never block. Interface thread only.
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace kv {

// An open or save dialog, filled in by the caller and, on OK, by the service.
struct TFileDialogRequest {
    HWND owner = nullptr;
    bool save = false;
    std::u16string title;
    // "text|pattern|text|pattern..." pairs.
    std::u16string filter;
    int filterIndex = 1; // 1-based
    // Appended (without its dot) when the typed name has no extension.
    std::u16string defaultExt;
    std::u16string initialDir;
    std::u16string fileName; // in: preset; out: the chosen path
    bool overwritePrompt = false;
    bool hideReadOnly = false;
    bool fileMustExist = false;
    bool pathMustExist = false;
    bool noChangeDir = true;
    // A list of encodings below the file name (save dialogs of text files); empty: none.
    std::vector<std::u16string> encodings;
    int encodingIndex = 0; // in and out
};

enum class THelpCommand { Context, Contents };

struct TShellExecuteRequest {
    HWND parent = nullptr;
    std::u16string verb; // empty: the default verb
    std::u16string file;
    std::u16string parameters;
    std::u16string directory;
    int show = SW_SHOWNORMAL;
};

class TServices {
public:
    virtual ~TServices() = default;
    // MessageBoxW: returns the button pressed (IDOK, ...).
    virtual int MessageBox(HWND owner, const std::u16string& text, const std::u16string& caption,
                           UINT flags);
    // The common open/save dialog; true when the user confirmed (request updated).
    virtual bool FileDialog(TFileDialogRequest& request);
    // SHBrowseForFolderW: the chosen folder's item list (the caller frees it), or null.
    virtual PIDLIST_ABSOLUTE BrowseForFolder(BROWSEINFOW& info);
    // The help file's topic of a context, or its table of contents (HTML Help).
    virtual bool Help(const std::u16string& helpFile, THelpCommand command, int context);
    // ShellExecuteW: its result (greater than 32 on success).
    virtual INT_PTR ShellExecute(const TShellExecuteRequest& request);
    // ShellExecuteExW as the caller prepared it (a process handle is returned when asked).
    virtual bool ShellExecuteEx(SHELLEXECUTEINFOW& info);
    // WaitForSingleObject on a process started above; false on time-out or failure.
    virtual bool WaitForProcess(HANDLE process, DWORD timeoutMs);
    // Every name of a WM_DROPFILES drop, in order; the drop handle is released.
    virtual std::vector<std::u16string> DroppedFiles(HDROP drop);
    // A pop-up menu at a screen point (TrackPopupMenu with TPM_RETURNCMD): the chosen
    // command, 0 when none.
    virtual UINT TrackPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner);
};

// The services in use (the platform's unless replaced).
TServices& Services();
// Replaces the services (not owned; null: the platform's again); returns the previous ones.
TServices* SetServices(TServices* services);

} // namespace kv
