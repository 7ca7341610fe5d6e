#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "UiTestSupport.h"
#include "app/UnitFormConfigGeneral.h"
#include "app/UnitFormCreateAutoFile.h"
#include "app/UnitFormCsvSortFieldEdit.h"
#include "app/UnitFormKolvane.h"
#include "csv/TCsv.h"
#include "ui/Application.h"

namespace {

// The help project's map: context number -> topic page, through the [MAP] numbers of the
// [ALIAS] names, as the compiled help file resolves them.
std::map<int, std::string> HelpMap() {
    std::ifstream in(KOLVANE_TEST_DATA "/../../src/app/help/kolvane.hhp");
    std::map<std::string, std::string> pages; // alias -> page
    std::map<int, std::string> map;
    std::string line, section;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') {
            section = line;
        } else if (section == "[ALIAS]" && line.find('=') != std::string::npos) {
            pages[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        } else if (section == "[MAP]") {
            std::istringstream words(line);
            std::string define, name;
            int number = 0;
            if (words >> define >> name >> number && define == "#define") map[number] = pages[name];
        }
    }
    return map;
}

TEST(HelpContexts, F1InEachWindowReachesItsTopicThroughTheHelpMap) {
    TCsv left, right;
    left.SetText(u"id\n1");
    right.SetText(u"id\n1");
    TProject project;
    const std::map<int, std::string> map = HelpMap();
    const struct {
        const char* name;
        std::function<std::unique_ptr<kv::TCustomForm>()> make;
        int context;
        const char* page;
    } kWindows[] = {
        {"join window",
         [&] {
             return std::make_unique<TFormKolvane>(kv::Application, false, &project, &left, 0, true,
                                                   &right, 0, true);
         },
         4, "join.htm"},
        {"batch file window",
         [&] { return std::make_unique<TFormCreateAutoFile>(kv::Application, project); }, 5,
         "batch.htm"},
        {"settings window", [] { return std::make_unique<TFormConfigGeneral>(kv::Application); }, 6,
         "config.htm"},
        {"sort conditions of the main window",
         [] {
             auto f = std::make_unique<TFormCsvSortFieldEdit>(kv::Application,
                                                              std::vector<TCsvSorter::TSortInfo>{},
                                                              std::vector<std::u16string>{});
             f->SetDialogHelpContext(15);
             return f;
         },
         15, "sort.htm"},
        {"sort conditions",
         [] {
             return std::make_unique<TFormCsvSortFieldEdit>(kv::Application,
                                                            std::vector<TCsvSorter::TSortInfo>{},
                                                            std::vector<std::u16string>{});
         },
         28, "sortselect.htm"},
    };
    for (const auto& w : kWindows) {
        kvtest::TestServices services;
        const std::unique_ptr<kv::TCustomForm> form = w.make();
        form->Show();
        SetForegroundWindow(form->Handle());
        kvtest::PumpPending();
        HWND focus = GetFocus();
        if (!focus) focus = form->Handle();
        PostMessageW(focus, WM_KEYDOWN, VK_F1, 0);
        EXPECT_TRUE(kvtest::PumpUntil([&] { return !services.helpCalls.empty(); }, 5000)) << w.name;
        form->Hide();
        if (services.helpCalls.empty()) continue;
        EXPECT_EQ(services.helpCalls[0].command, kv::THelpCommand::Context) << w.name;
        EXPECT_EQ(services.helpCalls[0].context, w.context) << w.name;
        const auto page = map.find(services.helpCalls[0].context);
        ASSERT_NE(page, map.end()) << w.name;
        EXPECT_EQ(page->second, w.page) << w.name;
    }
}

} // namespace
