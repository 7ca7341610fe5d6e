#include "WlTestSupport.h"

#include <gtest/gtest.h>

#include "base/Text.h"
#include "ui/Application.h"
#include "widgets/WlClasses.h"

namespace kvtest {

namespace {
// The widget classes are known to the form reader for the whole run, as in the program.
class WidgetsEnvironment : public ::testing::Environment {
public:
    void SetUp() override { kv::RegisterWlClasses(); }
};
const auto* const g_widgetsEnvironment =
    ::testing::AddGlobalTestEnvironment(new WidgetsEnvironment);
} // namespace

TestForm::TestForm(const std::u16string& resource) : TForm(kv::Application) {
    ReadForm(resource);
}

MemoryCanvas::MemoryCanvas(int width, int height)
    : dc_(CreateCompatibleDC(nullptr)), bitmap_(nullptr), old_(nullptr) {
    const kv::WindowDC screen(nullptr);
    bitmap_ = CreateCompatibleBitmap(screen.get(), width, height);
    old_ = SelectObject(dc_, bitmap_);
    canvas_.SetHandle(dc_);
}

MemoryCanvas::~MemoryCanvas() {
    canvas_.SetHandle(nullptr);
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

std::string DrawCall::ToString() const {
    std::string s = op + "(";
    for (size_t i = 0; i < args.size(); ++i) s += (i ? "," : "") + std::to_string(args[i]);
    if (!text.empty()) s += " \"" + kv::Utf16ToUtf8(text) + "\"";
    return s + ")";
}

RecordingCanvas::RecordingCanvas() : MemoryCanvas(), kv::TWlCanvas(MemoryCanvas::Canvas()) {}

void RecordingCanvas::Add(std::string op, std::vector<int> args) {
    DrawCall c;
    c.op = std::move(op);
    c.args = std::move(args);
    calls.push_back(std::move(c));
}

std::vector<DrawCall> RecordingCanvas::Of(const std::string& op) const {
    std::vector<DrawCall> out;
    for (const DrawCall& c : calls)
        if (c.op == op) out.push_back(c);
    return out;
}

std::string RecordingCanvas::Dump() const {
    std::string s;
    for (const DrawCall& c : calls) s += c.ToString() + "\n";
    return s;
}

void RecordingCanvas::SetPenColor(kv::TColor c) {
    Add("PenColor", {c});
    TWlCanvas::SetPenColor(c);
}
void RecordingCanvas::SetPenWidth(int w) {
    Add("PenWidth", {w});
    TWlCanvas::SetPenWidth(w);
}
void RecordingCanvas::SetPenStyle(kv::TPenStyle s) {
    Add("PenStyle", {s});
    TWlCanvas::SetPenStyle(s);
}
void RecordingCanvas::SetPenMode(kv::TPenMode m) {
    Add("PenMode", {m});
    TWlCanvas::SetPenMode(m);
}
void RecordingCanvas::SetBrushColor(kv::TColor c) {
    Add("BrushColor", {c});
    TWlCanvas::SetBrushColor(c);
}
void RecordingCanvas::SetBrushStyle(kv::TBrushStyle s) {
    Add("BrushStyle", {s});
    TWlCanvas::SetBrushStyle(s);
}
void RecordingCanvas::SetFontColor(kv::TColor c) {
    Add("FontColor", {c});
    TWlCanvas::SetFontColor(c);
}
void RecordingCanvas::MoveTo(int x, int y) {
    Add("MoveTo", {x, y});
    TWlCanvas::MoveTo(x, y);
}
void RecordingCanvas::LineTo(int x, int y) {
    Add("LineTo", {x, y});
    TWlCanvas::LineTo(x, y);
}
void RecordingCanvas::Rectangle(const RECT& r) {
    Add("Rectangle", {r.left, r.top, r.right, r.bottom});
    TWlCanvas::Rectangle(r);
}
void RecordingCanvas::FillRect(const RECT& r) {
    Add("FillRect", {r.left, r.top, r.right, r.bottom});
    TWlCanvas::FillRect(r);
}
void RecordingCanvas::FrameRect(const RECT& r) {
    Add("FrameRect", {r.left, r.top, r.right, r.bottom});
    TWlCanvas::FrameRect(r);
}
void RecordingCanvas::DrawFocusRect(const RECT& r) {
    Add("DrawFocusRect", {r.left, r.top, r.right, r.bottom});
    TWlCanvas::DrawFocusRect(r);
}
int RecordingCanvas::DrawText(const std::u16string& text, RECT& r, UINT flags) {
    DrawCall c;
    c.op = (flags & DT_CALCRECT) ? "MeasureText" : "DrawText";
    c.args = {r.left, r.top, r.right, r.bottom, static_cast<int>(flags)};
    c.text = text;
    c.fontColor = Font().Color();
    const int h = TWlCanvas::DrawText(text, r, flags);
    if (flags & DT_CALCRECT) c.args.insert(c.args.end(), {r.left, r.top, r.right, r.bottom});
    calls.push_back(std::move(c));
    return h;
}
void RecordingCanvas::DrawFrameControl(RECT& r, UINT type, UINT state) {
    Add("DrawFrameControl",
        {r.left, r.top, r.right, r.bottom, static_cast<int>(type), static_cast<int>(state)});
    TWlCanvas::DrawFrameControl(r, type, state);
}
void RecordingCanvas::DrawImage(kv::TCustomImageList& list, int index, int x, int y, bool enabled) {
    DrawCall c;
    c.op = "DrawImage";
    c.args = {index, x, y, enabled ? 1 : 0};
    c.list = &list;
    calls.push_back(std::move(c));
    TWlCanvas::DrawImage(list, index, x, y, enabled);
}
void RecordingCanvas::DrawThemeParentBackground(HWND, int state, const RECT& r) {
    Add("ThemeParentBackground", {state, r.left, r.top, r.right, r.bottom});
}
void RecordingCanvas::DrawThemeButton(HWND, int state, const RECT& r) {
    Add("ThemeButton", {state, r.left, r.top, r.right, r.bottom});
}
RECT RecordingCanvas::ThemeButtonContentRect(HWND, int state, const RECT& r) {
    RECT c = r;
    InflateRect(&c, -themeContentInset, -themeContentInset);
    return c;
}

RECT MeasureText(const kv::TFont& font, const std::u16string& text, RECT room, UINT flags) {
    MemoryCanvas m;
    m.Canvas().Font().Assign(font);
    m.Canvas().DrawText(text, room, flags | DT_CALCRECT);
    return room;
}

} // namespace kvtest
