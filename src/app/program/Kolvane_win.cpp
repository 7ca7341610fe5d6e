// The program's entry: the application object, the main window, the message loop.
#include <windows.h>

#include <memory>

#include "app/UnitFormMain.h"
#include "base/Exception.h"
#include "ui/Application.h"
#include "widgets/UlLibrary.h"
#include "widgets/WlClasses.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The library units beneath the widgets start first and end last.
    const TUlLibraryUnits libraryUnits;
    kv::RegisterWlClasses(); // the footer and buttons the dialogs' forms name
    const auto application = std::make_unique<kv::TApplication>(nullptr);
    kv::RegisterWlCursors(); // needs the screen the application made
    try {
        application->SetMainFormOnTaskBar(true);
        application->SetTitle(u"Kolvane");
        application->CreateForm<TFormMain>();
        application->Run();
    } catch (const kv::Exception& e) {
        application->ShowException(e);
    } catch (...) {
        application->ShowException(kv::Exception(u""));
    }
    return 0;
}
