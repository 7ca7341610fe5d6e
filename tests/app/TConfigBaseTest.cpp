#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestFiles.h"
#include "app/TConfig.h"
#include "app/WarningBox.h"
#include "base/Exception.h"
#include "base/MemIniFile.h"

namespace {

const std::u16string kData = kv::Utf8ToUtf16(KOLVANE_TEST_DATA "/app/");

// Collects the warning boxes shown while it lives.
class WarningWatch {
public:
    WarningWatch() : previous_(app::SetWarningBox(&Record)) { Shown().clear(); }
    ~WarningWatch() { app::SetWarningBox(previous_); }
    static std::vector<std::u16string>& Shown() {
        static std::vector<std::u16string> shown;
        return shown;
    }

private:
    static void Record(const std::u16string& text) { Shown().push_back(text); }
    app::WarningBoxFn previous_;
};

TEST(TConfigBase, InitialValues) {
    const TConfig c;
    EXPECT_FALSE(c.WindowPositionRestore);
    EXPECT_EQ(c.Left, 0);
    EXPECT_EQ(c.Top, 0);
    EXPECT_EQ(c.Width, 800);
    EXPECT_EQ(c.Height, 600);
    EXPECT_EQ(c.WindowState, 0);
    EXPECT_EQ(c.History.Count(), 0);
    EXPECT_FALSE(c.ProjectFileRestore);
    EXPECT_EQ(c.LastProjectFile, u"");
    EXPECT_FALSE(c.InTaskTray);
    EXPECT_EQ(c.DefaultWidth(), 800);
    EXPECT_EQ(c.DefaultHeight(), 600);
}

TEST(TConfigBase, SaveWritesTheKeysInOrderAndLoadReadsThemBack) {
    const kvtest::TempFolder folder("config_roundtrip");
    const std::u16string path = folder.Path(u"kolvane.ini");
    TConfig saved;
    saved.WindowPositionRestore = true;
    saved.Left = -8;
    saved.Top = 12;
    saved.Width = 1024;
    saved.Height = 700;
    saved.SetWindowState(2);
    saved.AddHistory(u"C:\\b.kvj");
    saved.AddHistory(u"C:\\my docs\\\u30C7\u30FC\u30BF.kvj");
    saved.ProjectFileRestore = true;
    saved.LastProjectFile = u"C:\\my docs\\\u30C7\u30FC\u30BF.kvj";
    saved.InTaskTray = true;
    saved.Save(path);
    EXPECT_EQ(
        kvtest::TempFolder::Read(path),
        "[SYSTEM]\r\nVersion=0\r\n\r\n"
        "[STARTUP]\r\nWindowPositionRestore=1\r\nWindowPositionLeft=-8\r\n"
        "WindowPositionRight=1024\r\nWindowPositionTop=12\r\nWindowPositionBottom=700\r\n"
        "WindowState=2\r\nHISTORY=\"C:\\my docs\\\x83\x66\x81\x5B\x83\x5E.kvj\",C:\\b.kvj\r\n"
        "ProjectFileRestore=1\r\nLastProjectFile=C:\\my docs\\\x83\x66\x81\x5B\x83\x5E.kvj\r\n"
        "InTaskTray=1\r\n\r\n");

    TConfig loaded;
    loaded.Load(path);
    EXPECT_TRUE(loaded.WindowPositionRestore);
    EXPECT_EQ(loaded.Left, -8);
    EXPECT_EQ(loaded.Top, 12);
    EXPECT_EQ(loaded.Width, 1024);
    EXPECT_EQ(loaded.Height, 700);
    EXPECT_EQ(loaded.WindowState, 2);
    EXPECT_EQ(loaded.History.Items(), saved.History.Items());
    EXPECT_TRUE(loaded.ProjectFileRestore);
    EXPECT_EQ(loaded.LastProjectFile, saved.LastProjectFile);
    EXPECT_TRUE(loaded.InTaskTray);
}

TEST(TConfigBase, PathsOutsideTheAnsiCodePageSurvive) {
    const kvtest::TempFolder folder("config_utf8");
    const std::u16string path = folder.Path(u"kolvane.ini");
    TConfig saved;
    saved.AddHistory(u"C:\\\uD55C\\a b.kvj");
    saved.LastProjectFile = u"C:\\caf\u00E9.kvj";
    saved.Save(path);
    EXPECT_EQ(kvtest::TempFolder::Read(path).substr(0, 3), "\xEF\xBB\xBF");
    TConfig loaded;
    loaded.Load(path);
    EXPECT_EQ(loaded.History.Items(), saved.History.Items());
    EXPECT_EQ(loaded.LastProjectFile, saved.LastProjectFile);
}

TEST(TConfigBase, HandWrittenFileDefaultsAndForeignKeysKept) {
    const kvtest::TempFolder folder("config_partial");
    const std::u16string path = folder.Path(u"kolvane.ini");
    kvtest::TempFolder::Write(path, kvtest::TempFolder::Read(kData + u"settings_partial.ini"));
    TConfig c;
    c.Load(path);
    EXPECT_EQ(c.WindowState, 0); // 5 is no state
    EXPECT_EQ(c.Width, 800);     // no "WindowPositionRight"
    EXPECT_EQ(c.Height, 500);
    EXPECT_EQ(c.History.Items(),
              (std::vector<std::u16string>{u"C:\\my docs\\a.kvj", u"C:\\b.kvj"}));

    c.Save(path);
    EXPECT_EQ(kvtest::TempFolder::Read(path),
              "[SYSTEM]\r\nVersion=0\r\n\r\n"
              "[STARTUP]\r\nWindowPositionRestore=1\r\nWindowPositionLeft=10\r\n"
              "WindowPositionTop=20\r\nWindowPositionBottom=500\r\nWindowState=0\r\nExtra=kept\r\n"
              "HISTORY=\"C:\\my docs\\a.kvj\",C:\\b.kvj\r\nWindowPositionRight=800\r\n"
              "ProjectFileRestore=0\r\nLastProjectFile=\r\nInTaskTray=0\r\n\r\n"
              "[Plugin]\r\nKey=value\r\n\r\n");
}

TEST(TConfigBase, MissingFileGivesDefaults) {
    const kvtest::TempFolder folder("config_missing");
    TConfig c;
    c.Width = 5;
    c.AddHistory(u"x");
    c.Load(folder.Path(u"none.ini"));
    EXPECT_EQ(c.Width, 800);
    EXPECT_EQ(c.Height, 600);
    EXPECT_EQ(c.History.Count(), 0);
}

TEST(TConfigBase, SetWindowStateStoresOnlyKnownStates) {
    static constexpr struct {
        int32_t value;
        int32_t expected;
    } kCases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {5, 0}, {-1, 0}};
    for (const auto& c : kCases) {
        TConfig config;
        config.WindowState = 2;
        config.SetWindowState(c.value);
        EXPECT_EQ(config.WindowState, c.expected) << c.value;
    }
}

TEST(TConfigBase, AddHistoryKeepsOneEntryAtTheTop) {
    TConfig c;
    c.History.SetCommaText(u"C:\\a.kvj,C:\\B.kvj,c:\\b.KVJ,C:\\d.kvj");
    c.AddHistory(u"C:\\b.kvj");
    EXPECT_EQ(c.History.Items(),
              (std::vector<std::u16string>{u"C:\\b.kvj", u"C:\\a.kvj", u"C:\\d.kvj"}));
}

TEST(TConfigBase, GetHistoryDropsEntriesWhoseFileIsGone) {
    const kvtest::TempFolder folder("config_history");
    const std::u16string present = folder.Path(u"present.kvj");
    kvtest::TempFolder::Write(present, "");
    TConfig c;
    c.History.Add(folder.Path(u"gone.kvj"));
    c.History.Add(present);
    EXPECT_EQ(c.GetHistory(-1), u"");
    EXPECT_EQ(c.GetHistory(2), u"");
    EXPECT_EQ(c.History.Count(), 2);
    EXPECT_EQ(c.GetHistory(0), u""); // gone: removed
    EXPECT_EQ(c.History.Count(), 1);
    EXPECT_EQ(c.GetHistory(0), present);
}

TEST(TConfigBase, SaveCreatesTheMissingFolders) {
    const kvtest::TempFolder folder("config_folders");
    const std::u16string path = folder.Path(u"Ostrevin") + u"/kolvane/kolvane.ini";
    const WarningWatch warnings;
    TConfig().Save(path);
    EXPECT_TRUE(WarningWatch::Shown().empty());
    EXPECT_EQ(kv::TMemIniFile(path).ReadInteger(u"STARTUP", u"WindowPositionRight", 0), 800);
}

TEST(TConfigBase, FolderThatCannotBeCreatedShowsTheWarningOnly) {
    const kvtest::TempFolder folder("config_nofolder");
    kvtest::TempFolder::Write(folder.Path(u"Ostrevin"), "a file, not a folder");
    const std::u16string path = folder.Path(u"Ostrevin") + u"/kolvane/kolvane.ini";
    const WarningWatch warnings;
    EXPECT_NO_THROW(TConfig().Save(path));
    EXPECT_EQ(WarningWatch::Shown(),
              (std::vector<std::u16string>{
                  u"設定ファイルを保存するためのフォルダの作成に失敗しました。"}));
}

TEST(TConfigBase, DerivedClassesExtendTheFile) {
    struct Extended : TConfig {
        int loaded = 0;
        void SaveExtra(kv::TMemIniFile& ini) override { ini.WriteInteger(u"MORE", u"N", 7); }
        void LoadExtra(const kv::TMemIniFile& ini) override {
            loaded = ini.ReadInteger(u"MORE", u"N", 0);
        }
    };
    const kvtest::TempFolder folder("config_extra");
    Extended().Save(folder.Path(u"k.ini"));
    Extended e;
    e.Load(folder.Path(u"k.ini"));
    EXPECT_EQ(e.loaded, 7);
}

// A main window stand-in that records what the settings do to it.
class FakeForm : public IConfigForm {
public:
    TBounds GetBounds() const override { return bounds; }
    void SetBounds(const TBounds& b) override { bounds = b; }
    int32_t GetWindowState() const override { return state; }
    void SetWindowState(int32_t s) override { state = s; }
    bool GetNormalPlacement(TRect& r) const override {
        r = normal;
        return hasPlacement;
    }
    void Hide() override { hidden = true; }
    void MinimizeApplication() override { appMinimized = true; }

    TBounds bounds{1, 2, 3, 4};
    int32_t state = 0;
    TRect normal{100, 50, 900, 650};
    bool hasPlacement = true;
    bool hidden = false;
    bool appMinimized = false;
};

TEST(TConfigBase, ApplyToFormOnlyWhenRestoring) {
    static constexpr struct {
        const char* name;
        bool restore;
        int32_t state;
        bool moved;
        bool appMinimized;
    } kCases[] = {
        {"not restoring", false, 1, false, false},
        {"normal", true, 0, true, false},
        {"minimised also minimises the application", true, 1, true, true},
        {"maximised", true, 2, true, false},
    };
    for (const auto& c : kCases) {
        TConfig config;
        config.WindowPositionRestore = c.restore;
        config.Left = 10;
        config.Top = 20;
        config.Width = 640;
        config.Height = 480;
        config.WindowState = c.state;
        FakeForm form;
        config.ApplyToForm(form);
        EXPECT_EQ(form.bounds.Left, c.moved ? 10 : 1) << c.name;
        EXPECT_EQ(form.bounds.Height, c.moved ? 480 : 4) << c.name;
        EXPECT_EQ(form.state, c.moved ? c.state : 0) << c.name;
        EXPECT_EQ(form.appMinimized, c.appMinimized) << c.name;
    }
}

TEST(TConfigBase, StoreFromFormTakesTheNormalPlacement) {
    FakeForm form;
    form.state = 2;
    TConfig config;
    config.StoreFromForm(form);
    EXPECT_EQ(config.WindowState, 2);
    EXPECT_EQ(config.Left, 100);
    EXPECT_EQ(config.Top, 50);
    EXPECT_EQ(config.Width, 800);
    EXPECT_EQ(config.Height, 600);
    EXPECT_FALSE(form.hidden);
}

TEST(TConfigBase, StoreFromFormWithoutPlacementRestoresAndHidesTheForm) {
    FakeForm form;
    form.state = 2;
    form.hasPlacement = false;
    TConfig config;
    config.StoreFromForm(form);
    EXPECT_EQ(form.state, 0);
    EXPECT_TRUE(form.hidden);
    EXPECT_EQ(config.WindowState, 0);
    EXPECT_EQ(config.Left, 1);
    EXPECT_EQ(config.Top, 2);
    EXPECT_EQ(config.Width, 3);
    EXPECT_EQ(config.Height, 4);
}

TEST(TConfig, FileNameUnderTheApplicationDataFolder) {
    EXPECT_EQ(TConfig::FileNameIn(u"C:\\Users\\a\\AppData\\Roaming"),
              u"C:\\Users\\a\\AppData\\Roaming\\Ostrevin\\kolvane\\kolvane.ini");
    EXPECT_EQ(TConfig::FileNameIn(u"D:\\"), u"D:\\Ostrevin\\kolvane\\kolvane.ini");
}

} // namespace
