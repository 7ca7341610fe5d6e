#include "ui/Services.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cstring>

#include "ui/Internal.h"
#include "ui/Types.h"

namespace kv {

namespace {

TServices g_platform;
TServices* g_current = &g_platform;

constexpr WORD kEncodingLabelId = 1100;
constexpr WORD kEncodingComboId = 1101;

// A dialog template in memory for the encoding list below the file dialog's own controls.
class EncodingTemplate {
public:
    EncodingTemplate() {
        Align(4);
        DLGTEMPLATE t{};
        t.style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | DS_3DLOOK | DS_CONTROL;
        t.cdit = 2;
        t.cx = 200;
        t.cy = 20;
        Add(&t, sizeof t);
        Word(0); // menu
        Word(0); // class
        Word(0); // title
        Item(WS_CHILD | WS_VISIBLE | SS_LEFT, 7, 4, 60, 10, kEncodingLabelId, 0x0082,
             u"文字コード(&E):");
        Item(WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 70, 2, 120, 80,
             kEncodingComboId, 0x0085, u"");
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

private:
    void Add(const void* p, size_t n) {
        const auto* b = static_cast<const char*>(p);
        bytes_.insert(bytes_.end(), b, b + n);
    }
    void Word(WORD w) { Add(&w, sizeof w); }
    void Align(size_t n) {
        while (bytes_.size() % n) bytes_.push_back(0);
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
              const std::u16string& text) {
        Align(4);
        DLGITEMTEMPLATE it{};
        it.style = style;
        it.x = x;
        it.y = y;
        it.cx = cx;
        it.cy = cy;
        it.id = id;
        Add(&it, sizeof it);
        Word(0xFFFF);
        Word(atom);
        Add(text.c_str(), (text.size() + 1) * sizeof(char16_t));
        Word(0); // no creation data
    }
    std::vector<char> bytes_;
};

UINT_PTR CALLBACK EncodingHook(HWND dlg, UINT msg, WPARAM, LPARAM l) {
    try {
        if (msg == WM_INITDIALOG) {
            auto* ofn = reinterpret_cast<OPENFILENAMEW*>(l);
            SetWindowLongPtrW(dlg, GWLP_USERDATA, static_cast<LONG_PTR>(ofn->lCustData));
            auto* req = reinterpret_cast<TFileDialogRequest*>(ofn->lCustData);
            HWND combo = GetDlgItem(dlg, kEncodingComboId);
            for (const auto& e : req->encodings)
                SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(e)));
            SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(req->encodingIndex), 0);
        } else if (msg == WM_NOTIFY) {
            const auto* hdr = reinterpret_cast<const OFNOTIFYW*>(l);
            if (hdr->hdr.code == CDN_FILEOK) {
                auto* req =
                    reinterpret_cast<TFileDialogRequest*>(GetWindowLongPtrW(dlg, GWLP_USERDATA));
                const LRESULT sel =
                    SendMessageW(GetDlgItem(dlg, kEncodingComboId), CB_GETCURSEL, 0, 0);
                if (req && sel >= 0) req->encodingIndex = static_cast<int>(sel);
            }
        }
    } catch (...) {
        // Nothing may leave a dialog hook.
    }
    return 0;
}

} // namespace

TServices& Services() {
    return *g_current;
}

TServices* SetServices(TServices* services) {
    TServices* previous = g_current == &g_platform ? nullptr : g_current;
    g_current = services ? services : &g_platform;
    return previous;
}

int TServices::MessageBox(HWND owner, const std::u16string& text, const std::u16string& caption,
                          UINT flags) {
    return ::MessageBoxW(owner, W(text), W(caption), flags);
}

bool TServices::FileDialog(TFileDialogRequest& r) {
    std::u16string filter = r.filter;
    for (auto& c : filter)
        if (c == u'|') c = u'\0';
    filter.append(2, u'\0');
    std::u16string defExt = r.defaultExt;
    if (!defExt.empty() && defExt[0] == u'.') defExt.erase(0, 1);
    std::vector<wchar_t> file(32768, L'\0');
    for (size_t i = 0; i < r.fileName.size() && i + 1 < file.size(); ++i)
        file[i] = static_cast<wchar_t>(r.fileName[i]);

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = r.owner;
    ofn.lpstrFilter = r.filter.empty() ? nullptr : W(filter);
    ofn.nFilterIndex = static_cast<DWORD>(r.filterIndex);
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = r.initialDir.empty() ? nullptr : W(r.initialDir);
    ofn.lpstrTitle = r.title.empty() ? nullptr : W(r.title);
    ofn.lpstrDefExt = defExt.empty() ? nullptr : W(defExt);
    ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING;
    if (r.overwritePrompt) ofn.Flags |= OFN_OVERWRITEPROMPT;
    if (r.hideReadOnly) ofn.Flags |= OFN_HIDEREADONLY;
    if (r.fileMustExist) ofn.Flags |= OFN_FILEMUSTEXIST;
    if (r.pathMustExist) ofn.Flags |= OFN_PATHMUSTEXIST;
    if (r.noChangeDir) ofn.Flags |= OFN_NOCHANGEDIR;
    EncodingTemplate tmpl;
    if (!r.encodings.empty()) {
        ofn.Flags |= OFN_ENABLEHOOK | OFN_ENABLETEMPLATEHANDLE;
        ofn.hInstance = reinterpret_cast<HINSTANCE>(const_cast<DLGTEMPLATE*>(tmpl.Get()));
        ofn.lpfnHook = &EncodingHook;
        ofn.lCustData = reinterpret_cast<LPARAM>(&r);
    }
    const BOOL ok = r.save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (!ok) return false;
    r.fileName = FromW(file.data());
    r.filterIndex = static_cast<int>(ofn.nFilterIndex);
    return true;
}

PIDLIST_ABSOLUTE TServices::BrowseForFolder(BROWSEINFOW& info) {
    return SHBrowseForFolderW(&info);
}

bool TServices::Help(const std::u16string& helpFile, THelpCommand command, int context) {
    using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    static const HtmlHelpFn htmlHelp = [] {
        HMODULE m = LoadLibraryW(L"hhctrl.ocx");
        return m ? reinterpret_cast<HtmlHelpFn>(
                       reinterpret_cast<void*>(GetProcAddress(m, "HtmlHelpW")))
                 : nullptr;
    }();
    if (!htmlHelp || helpFile.empty()) return false;
    constexpr UINT kDisplayToc = 0x0001, kHelpContext = 0x000F;
    const HWND h = command == THelpCommand::Contents
                       ? htmlHelp(GetDesktopWindow(), W(helpFile), kDisplayToc, 0)
                       : htmlHelp(GetDesktopWindow(), W(helpFile), kHelpContext,
                                  static_cast<DWORD_PTR>(context));
    return h != nullptr;
}

INT_PTR TServices::ShellExecute(const TShellExecuteRequest& r) {
    return reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(r.parent, r.verb.empty() ? nullptr : W(r.verb), W(r.file),
                        r.parameters.empty() ? nullptr : W(r.parameters),
                        r.directory.empty() ? nullptr : W(r.directory), r.show));
}

bool TServices::ShellExecuteEx(SHELLEXECUTEINFOW& info) {
    return ::ShellExecuteExW(&info) != FALSE;
}

bool TServices::WaitForProcess(HANDLE process, DWORD timeoutMs) {
    return WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
}

UINT TServices::TrackPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner) {
    return static_cast<UINT>(
        ::TrackPopupMenu(menu, flags | TPM_RETURNCMD, x, y, 0, owner, nullptr));
}

std::vector<std::u16string> TServices::DroppedFiles(HDROP drop) {
    std::vector<std::u16string> names;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT len = DragQueryFileW(drop, i, nullptr, 0);
        std::vector<wchar_t> buf(len + 1, L'\0');
        DragQueryFileW(drop, i, buf.data(), len + 1);
        names.push_back(FromW(buf.data(), len));
    }
    DragFinish(drop);
    return names;
}

} // namespace kv
