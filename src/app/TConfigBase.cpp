#include "app/TConfigBase.h"

#include "app/WarningBox.h"
#include "base/FileSystem.h"
#include "base/MemIniFile.h"
#include "base/Stream.h"

namespace {

constexpr char16_t kStartup[] = u"STARTUP";

} // namespace

void TConfigBase::Save(const std::u16string& path) {
    if (!kv::ForceDirectories(kv::ExtractFileDir(path))) {
        app::ShowWarning(u"設定ファイルを保存するためのフォルダの作成に失敗しました。");
        return;
    }
    kv::TMemIniFile ini(path);
    ini.WriteInteger(u"SYSTEM", u"Version", 0);
    ini.WriteBool(kStartup, u"WindowPositionRestore", WindowPositionRestore);
    ini.WriteInteger(kStartup, u"WindowPositionLeft", Left);
    ini.WriteInteger(kStartup, u"WindowPositionRight", Width);
    ini.WriteInteger(kStartup, u"WindowPositionTop", Top);
    ini.WriteInteger(kStartup, u"WindowPositionBottom", Height);
    ini.WriteInteger(kStartup, u"WindowState", WindowState);
    ini.WriteString(kStartup, u"HISTORY", History.GetCommaText());
    ini.WriteBool(kStartup, u"ProjectFileRestore", ProjectFileRestore);
    ini.WriteString(kStartup, u"LastProjectFile", LastProjectFile);
    ini.WriteBool(kStartup, u"InTaskTray", InTaskTray);
    SaveExtra(ini);
    ini.UpdateFile();
}

void TConfigBase::Load(const std::u16string& path) {
    const kv::TMemIniFile ini(path);
    WindowPositionRestore = ini.ReadBool(kStartup, u"WindowPositionRestore", false);
    Left = ini.ReadInteger(kStartup, u"WindowPositionLeft", 0);
    Width = ini.ReadInteger(kStartup, u"WindowPositionRight", DefaultWidth());
    Top = ini.ReadInteger(kStartup, u"WindowPositionTop", 0);
    Height = ini.ReadInteger(kStartup, u"WindowPositionBottom", DefaultHeight());
    SetWindowState(ini.ReadInteger(kStartup, u"WindowState", 0));
    History.SetCommaText(ini.ReadString(kStartup, u"HISTORY", u""));
    ProjectFileRestore = ini.ReadBool(kStartup, u"ProjectFileRestore", false);
    LastProjectFile = ini.ReadString(kStartup, u"LastProjectFile", u"");
    InTaskTray = ini.ReadBool(kStartup, u"InTaskTray", false);
    LoadExtra(ini);
}

void TConfigBase::AddHistory(const std::u16string& path) {
    for (int i; (i = History.IndexOfText(path)) >= 0;) History.Delete(i);
    History.Insert(0, path);
}

void TConfigBase::ApplyToForm(IConfigForm& form) {
    if (!WindowPositionRestore) return;
    form.SetBounds({Left, Top, Width, Height});
    form.SetWindowState(WindowState);
    if (WindowState == 1) form.MinimizeApplication();
}

void TConfigBase::StoreFromForm(IConfigForm& form) {
    SetWindowState(form.GetWindowState());
    IConfigForm::TRect normal;
    if (form.GetNormalPlacement(normal)) {
        Left = normal.Left;
        Top = normal.Top;
        Width = normal.Right - normal.Left;
        Height = normal.Bottom - normal.Top;
        return;
    }
    form.SetWindowState(0);
    form.Hide();
    SetWindowState(form.GetWindowState());
    const IConfigForm::TBounds b = form.GetBounds();
    Left = b.Left;
    Top = b.Top;
    Width = b.Width;
    Height = b.Height;
}

std::u16string TConfigBase::GetHistory(int index) {
    if (index < 0 || index >= History.Count()) return {};
    std::u16string path = History[index];
    if (!kv::FileExists(path)) {
        History.Delete(index);
        return {};
    }
    return path;
}

void TConfigBase::SetWindowState(int32_t value) {
    WindowState = static_cast<uint32_t>(value) < 3 ? value : 0;
}
