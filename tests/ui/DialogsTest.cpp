#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"
#include "ui/Forms.h"
#include "ui/Services.h"
#include "ui/StdCtrls.h"

namespace {

TEST(Dialogs, FileDialogsGoThroughTheService) {
    kvtest::TestServices services;
    kv::TForm form(kv::Application);
    auto* save = kv::Create<kv::TSaveTextFileDialog>(&form);
    save->Filter = u"CSVファイル(*.CSV)|*.CSV|すべてのファイル(*.*)|*.*";
    save->DefaultExt = u".CSV";
    save->Options |= kv::ofOverwritePrompt;
    save->Encodings = {u"ANSI", u"UTF-8"};
    save->FileName = u"old.csv";
    services.fileChosen = u"Z:\\tmp\\new.csv";
    services.encodingChosen = 1;
    ASSERT_TRUE(save->Execute());
    EXPECT_EQ(save->FileName, u"Z:\\tmp\\new.csv");
    EXPECT_EQ(save->EncodingIndex, 1);
    ASSERT_EQ(services.fileRequests.size(), 1u);
    const auto& r = services.fileRequests[0];
    EXPECT_TRUE(r.save);
    EXPECT_TRUE(r.overwritePrompt);
    EXPECT_EQ(r.fileName, u"old.csv");
    EXPECT_EQ(r.encodings.size(), 2u);
    services.fileAnswer = false;
    EXPECT_FALSE(save->Execute());
    EXPECT_EQ(save->FileName, u"Z:\\tmp\\new.csv"); // unchanged when cancelled
}

TEST(Dialogs, WarningBoxesHaveTheWarningIconAndOneOkButton) {
    kvtest::TestServices services;
    kv::ShowWarning(u"左CSVファイルが選択されていません。");
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, u"左CSVファイルが選択されていません。");
    EXPECT_EQ(services.boxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONWARNING));
}

TEST(Dialogs, TheInputPromptReturnsWhatWasTyped) {
    kvtest::ModalWatchdog watchdog;
    std::u16string value = u"old";
    std::u16string shownValue, className;
    kv::Application->OnIdle = [&](kv::TObject*, bool&) {
        kv::Application->OnIdle = nullptr;
        kv::TCustomForm* prompt = kv::Screen->ActiveForm();
        ASSERT_NE(prompt, nullptr);
        auto* edit = dynamic_cast<kv::TEdit*>(prompt->FindComponent(u"Edit"));
        ASSERT_NE(edit, nullptr);
        shownValue = edit->Text();
        wchar_t name[32] = {};
        GetClassNameW(prompt->Handle(), name, 32);
        className = kv::FromW(name);
        edit->SetText(u"山田");
        PostMessageW(edit->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    };
    EXPECT_TRUE(kv::InputQuery(u"ファイル名部分一致検索", u"検索文字列", value));
    EXPECT_EQ(value, u"山田");
    EXPECT_EQ(shownValue, u"old");
    EXPECT_EQ(className, u"TForm");
    EXPECT_FALSE(watchdog.Fired());
}

TEST(Services, DroppedFilesAreReadWholeAndInOrder) {
    // A drop as the shell makes it: DROPFILES followed by zero-terminated wide names.
    const std::u16string names[] = {u"C:\\データ\\左.csv", u"C:\\p\\x.kvj"};
    std::u16string list;
    for (const auto& n : names) list += n + u'\0';
    list += u'\0';
    HGLOBAL mem = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(char16_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(mem));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, list.data(), list.size() * sizeof(char16_t));
    GlobalUnlock(mem);
    kv::TServices platform;
    const auto got = platform.DroppedFiles(static_cast<HDROP>(mem)); // releases the drop
    EXPECT_EQ(got, (std::vector<std::u16string>{names[0], names[1]}));
}

} // namespace
