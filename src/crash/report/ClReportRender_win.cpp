#include "crash/report/ClReportRender.h"

#include <windows.h>
#include <richedit.h>

#include "base/Stream.h"
#include "ui/Graphics.h"

namespace kv::crash {

namespace {

// The control asks for more until a call gives no bytes. No exception may cross back into it:
// a failing read ends the stream with an error instead.
DWORD CALLBACK ReadRTFChunk(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* done) {
    *done = 0;
    try {
        auto* stream = reinterpret_cast<kv::TStream*>(cookie);
        *done = static_cast<LONG>(stream->Read(buffer, static_cast<size_t>(size)));
        return 0;
    } catch (...) {
        return 1;
    }
}

} // namespace

bool StreamRTFIntoRichEdit(uintptr_t Control, const std::string& RTF) {
    kv::TMemoryStream stream(RTF);
    EDITSTREAM editStream{};
    editStream.dwCookie = reinterpret_cast<DWORD_PTR>(static_cast<kv::TStream*>(&stream));
    editStream.pfnCallback = ReadRTFChunk;
    SendMessageA(reinterpret_cast<HWND>(Control), EM_STREAMIN, SF_RTF,
                 reinterpret_cast<LPARAM>(&editStream));
    return editStream.dwError == 0;
}

uint32_t SetRichEditBackground(uintptr_t Control, int32_t Colour) {
    const COLORREF colour = Colour < 0 ? GetSysColor(Colour & 0xFF) : static_cast<COLORREF>(Colour);
    return static_cast<uint32_t>(
        SendMessageA(reinterpret_cast<HWND>(Control), EM_SETBKGNDCOLOR, 0, colour));
}

int MeasureCPUTabTwips(uintptr_t Font) {
    static constexpr char kStackColumn[] = "---------------------";
    const kv::WindowDC dc(nullptr);
    const kv::SelectedObject font(dc.get(), reinterpret_cast<HFONT>(Font));
    SIZE extent{};
    GetTextExtentPoint32A(dc.get(), kStackColumn, sizeof kStackColumn - 1, &extent);
    return 15 * extent.cx; // twips per pixel at 96 dots per inch
}

} // namespace kv::crash
