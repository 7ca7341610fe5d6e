#pragma once
// Helpers of the widgets' window tests: dialogs read from the test form descriptions, and a
// canvas that records what a widget draws while still drawing it on a memory bitmap (so text
// is measured with the real font).
#include <windows.h>

#include <string>
#include <vector>

#include "ui/Forms.h"
#include "widgets/WlCanvas.h"

namespace kvtest {

// A dialog built from a form description resource of the test executable.
class TestForm : public kv::TForm {
    KV_CLASS(TTestForm)
public:
    explicit TestForm(const std::u16string& resource);
    template <class T> T& Get(const std::u16string& name) {
        auto* c = dynamic_cast<T*>(FindComponent(name));
        if (!c) throw kv::Exception(u"No component " + name + u" of that class");
        return *c;
    }
};

// A memory device context with a bitmap selected, bound to a framework canvas.
class MemoryCanvas {
public:
    MemoryCanvas(int width = 400, int height = 100);
    ~MemoryCanvas();
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;
    kv::TCanvas& Canvas() { return canvas_; }
    HDC Handle() const { return dc_; }

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    kv::TCanvas canvas_;
};

struct DrawCall {
    std::string op;
    std::vector<int> args; // numbers in call order; rectangles as left, top, right, bottom
    std::u16string text;
    const void* list = nullptr; // DrawImage: the image list
    kv::TColor fontColor = 0;   // DrawText: the font colour at the call
    std::string ToString() const;
};

class RecordingCanvas : private MemoryCanvas, public kv::TWlCanvas {
public:
    RecordingCanvas();
    std::vector<DrawCall> calls;
    // The themed content rectangle answers the part rectangle shrunk by this.
    int themeContentInset = 3;

    // The calls of one operation, in order; measuring DrawText calls (DT_CALCRECT) are
    // recorded as "MeasureText".
    std::vector<DrawCall> Of(const std::string& op) const;
    std::string Dump() const;
    void Clear() { calls.clear(); }
    using MemoryCanvas::Handle;

    void SetPenColor(kv::TColor c) override;
    void SetPenWidth(int w) override;
    void SetPenStyle(kv::TPenStyle s) override;
    void SetPenMode(kv::TPenMode m) override;
    void SetBrushColor(kv::TColor c) override;
    void SetBrushStyle(kv::TBrushStyle s) override;
    void SetFontColor(kv::TColor c) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Rectangle(const RECT& r) override;
    void FillRect(const RECT& r) override;
    void FrameRect(const RECT& r) override;
    void DrawFocusRect(const RECT& r) override;
    int DrawText(const std::u16string& text, RECT& r, UINT flags) override;
    void DrawFrameControl(RECT& r, UINT type, UINT state) override;
    void DrawImage(kv::TCustomImageList& list, int index, int x, int y, bool enabled) override;
    void DrawThemeParentBackground(HWND wnd, int state, const RECT& r) override;
    void DrawThemeButton(HWND wnd, int state, const RECT& r) override;
    RECT ThemeButtonContentRect(HWND wnd, int state, const RECT& r) override;

private:
    void Add(std::string op, std::vector<int> args);
};

// The extent of a text drawn with a font, as DrawText measures it into room.
RECT MeasureText(const kv::TFont& font, const std::u16string& text, RECT room, UINT flags);

} // namespace kvtest
