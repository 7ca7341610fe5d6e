#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "TestFiles.h"
#include "UiTestSupport.h"
#include "app/TConfigBase.h"
#include "app/UnitFormConfigGeneral.h"
#include "base/FileSystem.h"
#include "base/Text.h"
#include "ui/Application.h"
#include "ui/ComCtrls.h"
#include "ui/StdCtrls.h"

namespace {

TEST(FormConfigGeneral, ThreePagesAndTheirTexts) {
    TFormConfigGeneral dialog(kv::Application);
    EXPECT_EQ(dialog.Caption(), u"全般設定");
    EXPECT_EQ(dialog.HelpContext(), 6);
    EXPECT_EQ(dialog.BorderStyle(), kv::bsDialog);
    ASSERT_EQ(dialog.PageControl1->PageCount(), 3);
    EXPECT_EQ(dialog.PageControl1->ActivePageIndex(), 0);
    EXPECT_EQ(dialog.PageControl1->Pages(0)->Caption(), u"起動時(&1)");
    EXPECT_EQ(dialog.PageControl1->Pages(1)->Caption(), u"関連づけ(&2)");
    EXPECT_EQ(dialog.PageControl1->Pages(2)->Caption(), u"その他(&3)");
    EXPECT_EQ(dialog.CheckBoxProjectFileRestore->Caption(),
              u"前回の終了時に開いていたファイルを、起動時に開く");
    EXPECT_EQ(dialog.CheckBoxWindowPositionRestore->Caption(),
              u"前回の終了時のウィンドウの状態を起動時に復元する");
    EXPECT_EQ(dialog.CheckBoxInTaskTray->Caption(), u"最小化したとき、タスクトレイに入れる");
    EXPECT_EQ(dialog.ButtonLinkSet->Caption(), u"拡張子「.KVJ」の関連づけを設定する");
    EXPECT_EQ(dialog.ButtonLinkUnSet->Caption(), u"拡張子「.KVJ」の関連づけを削除する");
    EXPECT_EQ(dialog.ButtonOk->ModalResult(), kv::mrOk);
    EXPECT_TRUE(dialog.ButtonCancel->Cancel());
}

TEST(FormConfigGeneral, CheckBoxesFollowTheSettingsBothWays) {
    const struct {
        const char* name;
        bool projectFileRestore, windowPositionRestore, inTaskTray;
    } cases[] = {{"none", false, false, false},
                 {"each alone 1", true, false, false},
                 {"each alone 2", false, true, false},
                 {"each alone 3", false, false, true},
                 {"all", true, true, true}};
    for (const auto& c : cases) {
        TConfigBase in;
        in.ProjectFileRestore = c.projectFileRestore;
        in.WindowPositionRestore = c.windowPositionRestore;
        in.InTaskTray = c.inTaskTray;
        TFormConfigGeneral dialog(kv::Application);
        dialog.LoadFromConfig(in);
        EXPECT_EQ(dialog.CheckBoxProjectFileRestore->Checked(), c.projectFileRestore) << c.name;
        EXPECT_EQ(dialog.CheckBoxWindowPositionRestore->Checked(), c.windowPositionRestore)
            << c.name;
        EXPECT_EQ(dialog.CheckBoxInTaskTray->Checked(), c.inTaskTray) << c.name;
        TConfigBase out;
        out.ProjectFileRestore = !c.projectFileRestore;
        out.WindowPositionRestore = !c.windowPositionRestore;
        out.InTaskTray = !c.inTaskTray;
        out.Left = 33;
        dialog.StoreToConfig(out);
        EXPECT_EQ(out.ProjectFileRestore, c.projectFileRestore) << c.name;
        EXPECT_EQ(out.WindowPositionRestore, c.windowPositionRestore) << c.name;
        EXPECT_EQ(out.InTaskTray, c.inTaskTray) << c.name;
        EXPECT_EQ(out.Left, 33) << c.name; // nothing else is touched
    }
}

// The stand-in "Vessant.exe" beside the tests logs its parameter text and the instruction file.
class VessantLog {
public:
    VessantLog() : folder_("config_vessant"), path_(folder_.Path(u"vessant.log")) {
        SetEnvironmentVariableW(L"KOLVANE_VESSANT_LOG", kv::W(path_));
    }
    ~VessantLog() { SetEnvironmentVariableW(L"KOLVANE_VESSANT_LOG", nullptr); }
    std::string Instructions() const {
        const std::string log = kvtest::TempFolder::Read(path_);
        return log.substr(log.find('\n') + 1);
    }

private:
    kvtest::TempFolder folder_;
    std::u16string path_;
};

TEST(FormConfigGeneral, AssociationButtonsHandTheProgramsOwnPathToTheAssociationProgram) {
    const VessantLog log;
    TFormConfigGeneral dialog(kv::Application);
    dialog.ButtonLinkSet->Click();
    const std::string program = kv::Utf16ToUtf8(kv::GetProgramFileName());
    std::string expected = "[EXT]\r\nEXT=.KVJ\r\nCOMMAND=\"" + program +
                           "\" \"%1\"\r\nFILE_TYPE=Kolvane "
                           "\x83\x76\x83\x8D\x83\x57\x83\x46\x83\x4E\x83\x67\x83\x74\x83\x40"
                           "\x83\x43\x83\x8B\r\nICON_FILE=" +
                           program +
                           "\r\nICON_INDEX=0\r\n\r\n[TASK]\r\nCLOSE=1\r\nCOMMAND=1\r\n\r\n";
    EXPECT_EQ(log.Instructions(), expected);
    dialog.ButtonLinkUnSet->Click();
    EXPECT_EQ(log.Instructions(),
              "[EXT]\r\nEXT=.KVJ\r\n\r\n[TASK]\r\nCLOSE=1\r\nCOMMAND=2\r\n\r\n");
}

TEST(FormConfigGeneral, HelpButtonShowsContextSix) {
    kvtest::TestServices services;
    TFormConfigGeneral dialog(kv::Application);
    dialog.ButtonHelp->Click();
    ASSERT_EQ(services.helpCalls.size(), 1u);
    EXPECT_EQ(services.helpCalls[0].command, kv::THelpCommand::Context);
    EXPECT_EQ(services.helpCalls[0].context, 6);
}

} // namespace
