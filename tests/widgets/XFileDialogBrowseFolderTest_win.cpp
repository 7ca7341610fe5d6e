#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "FileDialogTestSupport.h"
#include "base/Text.h"
#include "ui/Application.h"
#include "ui/Forms.h"
#include "ui/Services.h"
#include "widgets/XFileDialogBrowseFolder.h"

namespace {

using kv::Utf16ToUtf8;
using Steps = std::vector<std::function<bool()>>;

// A shown form that owns the browser, as the file dialog's form does.
class BrowseHost : public ::testing::Test {
protected:
    BrowseHost() : host_(nullptr) {
        host_.SetBounds(100, 100, 300, 200);
        host_.SetCaption(u"Host");
        host_.Show();
        kvtest::PumpUntil([this] { return GetActiveWindow() == host_.Handle(); });
    }
    ~BrowseHost() override { host_.Hide(); }

    kv::TplBrowseFolder* NewBrowser() { return kv::Create<kv::TplBrowseFolder>(&host_); }

    kv::TForm host_;
};

struct Placed {
    RECT window{};
    int treeWidth = 0;
    bool shown = false;
};

// Steps that wait for the browser's window to be placed (the component sizes the tree to the
// window last; a few seconds at most), note where it is, then move it to `moveTo` (when given)
// and close it with `button`.
Steps LookMoveAndClose(kv::TplBrowseFolder& b, Placed& placed, const RECT* moveTo, int button) {
    auto since = std::make_shared<DWORD>(0);
    return {[&b, since] {
                if (!b.Handle() || !IsWindowVisible(b.Handle())) return false;
                *since = GetTickCount();
                return true;
            },
            [&b, &placed, moveTo, button, since] {
                GetWindowRect(b.Handle(), &placed.window);
                RECT tree{};
                if (HWND t = GetDlgItem(b.Handle(), 14145)) GetWindowRect(t, &tree);
                placed.treeWidth = tree.right - tree.left;
                const bool laidOut =
                    placed.treeWidth == placed.window.right - placed.window.left - 32;
                if (!laidOut && GetTickCount() - *since < 5000) return false;
                placed.shown = true;
                if (moveTo)
                    SetWindowPos(b.Handle(), nullptr, moveTo->left, moveTo->top,
                                 moveTo->right - moveTo->left, moveTo->bottom - moveTo->top,
                                 SWP_NOZORDER);
                PostMessageW(b.Handle(), WM_COMMAND, button, 0);
                return true;
            }};
}

TEST(TplBrowseFolder, SizeNeverBelowTheLeast) {
    static const struct {
        const char* name;
        int width, height;
        int keptWidth, keptHeight;
    } kCases[] = {
        {"larger kept", 500, 340, 500, 340},
        {"smaller raised", 200, 200, 371, 311},
        {"least itself", 371, 311, 371, 311},
        {"negative raised", -5, -5, 371, 311},
    };
    for (const auto& c : kCases) {
        kv::TplBrowseFolder b(nullptr);
        EXPECT_EQ(b.FormWidth(), 371) << c.name;
        EXPECT_EQ(b.FormHeight(), 311) << c.name;
        b.SetFormWidth(c.width);
        b.SetFormHeight(c.height);
        EXPECT_EQ(b.FormWidth(), c.keptWidth) << c.name;
        EXPECT_EQ(b.FormHeight(), c.keptHeight) << c.name;
    }
    kv::TplBrowseFolder b(nullptr);
    EXPECT_EQ(Utf16ToUtf8(b.AboutVCL()), "Version 9.02");
    EXPECT_EQ(b.RootSpecialDir(), kv::sfDesktop);
    EXPECT_EQ(b.InitSpecialDir(), kv::sfNone);
    EXPECT_EQ(b.Options(), kv::BrowseOption(kv::bifReturnOnlyFSDirs));
}

TEST_F(BrowseHost, OpensCentredThenWhereTheUserLeftIt) {
    kv::TplBrowseFolder& b = *NewBrowser();
    b.SetCaption(u"フォルダの参照");
    int shows = 0;
    b.OnShow = [&](kv::TObject*) { ++shows; };
    Placed first, second;
    const RECT moved{60, 70, 60 + 420, 70 + 380};
    bool result = true;
    {
        kvtest::StepDriver driver(LookMoveAndClose(b, first, &moved, IDCANCEL));
        result = b.Execute();
        EXPECT_TRUE(driver.Finished() && !driver.TimedOut());
    }
    EXPECT_FALSE(result);
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(b.Handle(), nullptr);
    ASSERT_TRUE(first.shown);
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(first.window.left, (screenW - 371) / 2);
    EXPECT_EQ(first.window.top, (screenH - 311) / 2);
    EXPECT_EQ(first.window.right - first.window.left, 371);
    EXPECT_EQ(first.window.bottom - first.window.top, 311);
    EXPECT_EQ(first.treeWidth, 371 - 32);
    // Where the user left it is remembered for the next opening.
    EXPECT_EQ(b.FormLeft(), 60);
    EXPECT_EQ(b.FormTop(), 70);
    EXPECT_EQ(b.FormWidth(), 420);
    EXPECT_EQ(b.FormHeight(), 380);
    {
        kvtest::StepDriver driver(LookMoveAndClose(b, second, nullptr, IDCANCEL));
        result = b.Execute();
        EXPECT_TRUE(driver.Finished() && !driver.TimedOut());
    }
    EXPECT_FALSE(result);
    EXPECT_EQ(second.window.left, 60);
    EXPECT_EQ(second.window.top, 70);
    EXPECT_EQ(second.window.right - second.window.left, 420);
    EXPECT_EQ(second.window.bottom - second.window.top, 380);
    EXPECT_EQ(second.treeWidth, 420 - 32);
}

TEST_F(BrowseHost, SpecialInitialFolderWinsOverThePath) {
    wchar_t documents[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, documents)));
    kv::TplBrowseFolder& b = *NewBrowser();
    b.SetInitDir(u"C:\\windows");
    b.SetInitSpecialDir(kv::sfMyDocuments);
    std::vector<std::u16string> selections;
    b.OnSelectionChanged = [&](kv::TObject*, HWND wnd, const std::u16string& dir, std::u16string&,
                               bool&) {
        EXPECT_EQ(wnd, b.Handle());
        selections.push_back(dir);
    };
    Placed placed;
    bool result = false;
    {
        kvtest::StepDriver driver(LookMoveAndClose(b, placed, nullptr, IDOK));
        result = b.Execute();
        EXPECT_TRUE(driver.Finished() && !driver.TimedOut());
    }
    ASSERT_TRUE(result);
    // The shell may give the folder with a trailing delimiter.
    std::u16string chosen = b.Directory();
    if (chosen.size() > 3 && chosen.back() == u'\\') chosen.pop_back();
    EXPECT_TRUE(kv::SameText(chosen, reinterpret_cast<const char16_t*>(documents)))
        << Utf16ToUtf8(b.Directory());
    EXPECT_FALSE(b.FolderName().empty());
    ASSERT_FALSE(selections.empty());
    EXPECT_TRUE(kv::SameText(selections.back(), b.Directory()));
}

TEST_F(BrowseHost, SelectionChangeSetsStatusTextAndOK) {
    kv::TplBrowseFolder& b = *NewBrowser();
    b.SetOptions(kv::BrowseOption(kv::bifReturnOnlyFSDirs) | kv::BrowseOption(kv::bifStatusText));
    int changes = 0;
    b.OnSelectionChanged = [&](kv::TObject*, HWND, const std::u16string&, std::u16string& status,
                               bool& ok) {
        ++changes;
        status = u"選べません";
        ok = false;
    };
    bool okEnabled = true;
    Steps steps = {[&] {
        if (!b.Handle() || !IsWindowVisible(b.Handle())) return false;
        okEnabled = IsWindowEnabled(GetDlgItem(b.Handle(), IDOK)) != FALSE;
        PostMessageW(b.Handle(), WM_COMMAND, IDCANCEL, 0);
        return true;
    }};
    kvtest::StepDriver driver(steps);
    EXPECT_FALSE(b.Execute());
    EXPECT_TRUE(driver.Finished() && !driver.TimedOut());
    EXPECT_FALSE(okEnabled);
    EXPECT_GT(changes, 0);
}

// Counts the calls of the shell's folder browser.
class CountingServices : public kv::TServices {
public:
    CountingServices() : previous_(kv::SetServices(this)) {}
    ~CountingServices() override { kv::SetServices(previous_); }
    PIDLIST_ABSOLUTE BrowseForFolder(BROWSEINFOW&) override {
        ++calls;
        return nullptr;
    }
    int calls = 0;

private:
    kv::TServices* previous_;
};

TEST_F(BrowseHost, UnresolvableFoldersShowNothing) {
    static const struct {
        const char* name;
        const char16_t* root;
        const char16_t* init;
    } kCases[] = {
        {"root", u"Q:\\どこにもない\\フォルダ", u""},
        {"initial folder", u"", u"Q:\\どこにもない\\フォルダ"},
    };
    for (const auto& c : kCases) {
        CountingServices services;
        kv::TplBrowseFolder& b = *NewBrowser();
        b.SetRootSpecialDir(kv::sfNone);
        b.SetRootDir(c.root);
        b.SetInitDir(c.init);
        EXPECT_FALSE(b.Execute()) << c.name;
        EXPECT_EQ(services.calls, 0) << c.name;
        EXPECT_EQ(b.Handle(), nullptr) << c.name;
        EXPECT_TRUE(b.Directory().empty()) << c.name;
    }
}

} // namespace
