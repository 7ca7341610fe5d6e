#include "ui/ImgList.h"

#include <algorithm>

#include "ui/ClassRegistry.h"
#include "ui/Internal.h"

namespace kv {

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

TCustomImageList::~TCustomImageList() {
    if (handle_) ImageList_Destroy(handle_);
}

void TCustomImageList::SetWidth(int v) {
    if (v == width_ || v <= 0) return;
    width_ = v;
    Recreate();
}

void TCustomImageList::SetHeight(int v) {
    if (v == height_ || v <= 0) return;
    height_ = v;
    Recreate();
}

int TCustomImageList::Count() const {
    return handle_ ? ImageList_GetImageCount(handle_) : 0;
}

HIMAGELIST TCustomImageList::Handle() {
    if (!handle_) {
        detail::InitCommonControlsOnce();
        handle_ = ImageList_Create(width_, height_, ILC_COLOR32 | ILC_MASK, 4, 4);
    }
    return handle_;
}

void TCustomImageList::Recreate() {
    if (handle_) {
        ImageList_Destroy(handle_);
        handle_ = nullptr;
    }
    if (IsLoading()) return;
    const auto resources = resources_;
    resources_.clear();
    for (const auto& [name, mask] : resources) AddResourceBitmap(name, mask);
    Changed();
}

void TCustomImageList::AddResourceBitmap(const std::u16string& name, TColor maskColor) {
    resources_.emplace_back(name, maskColor);
    if (IsLoading()) return;
    GdiObject<HBITMAP> bitmap(static_cast<HBITMAP>(
        LoadImageW(detail::Instance(), W(name), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!bitmap.get()) throw Exception(u"Bitmap resource " + name + u" not found");
    ImageList_AddMasked(Handle(), bitmap.get(), ColorToRGB(maskColor));
    Changed();
}

void TCustomImageList::AddResourceIcon(const std::u16string& name) {
    HICON icon =
        static_cast<HICON>(LoadImageW(detail::Instance(), W(name), IMAGE_ICON, width_, height_, 0));
    if (!icon) throw Exception(u"Icon resource " + name + u" not found");
    ImageList_AddIcon(Handle(), icon);
    DestroyIcon(icon);
    Changed();
}

void TCustomImageList::Clear() {
    resources_.clear();
    if (handle_) ImageList_RemoveAll(handle_);
    Changed();
}

void TCustomImageList::Draw(TCanvas& canvas, int x, int y, int index, bool enabled) {
    Draw(canvas.Handle(), x, y, index, enabled);
}

void TCustomImageList::Draw(HDC dc, int x, int y, int index, bool enabled) {
    if (!dc || index < 0 || index >= Count()) return;
    if (enabled) {
        ImageList_Draw(handle_, index, dc, x, y, ILD_TRANSPARENT);
        return;
    }
    IMAGELISTDRAWPARAMS p{};
    p.cbSize = sizeof p;
    p.himl = handle_;
    p.i = index;
    p.hdcDst = dc;
    p.x = x;
    p.y = y;
    p.rgbBk = CLR_NONE;
    p.rgbFg = CLR_DEFAULT;
    p.fStyle = ILD_TRANSPARENT;
    p.fState = ILS_SATURATE;
    if (!ImageList_DrawIndirect(&p)) ImageList_Draw(handle_, index, dc, x, y, ILD_BLEND50);
}

int TCustomImageList::Subscribe(std::function<void()> onChange) {
    subscribers_.emplace_back(nextId_, std::move(onChange));
    return nextId_++;
}

void TCustomImageList::Unsubscribe(int id) {
    subscribers_.erase(std::remove_if(subscribers_.begin(), subscribers_.end(),
                                      [id](const auto& s) { return s.first == id; }),
                       subscribers_.end());
}

void TCustomImageList::Loaded() {
    TComponent::Loaded();
    Recreate();
}

void TCustomImageList::Changed() {
    const auto subscribers = subscribers_;
    for (const auto& s : subscribers) s.second();
}

namespace detail {
void RegisterImageListClasses() {
    RegisterComponentClass<TCustomImageList>(u"TComponent")
        .Int(u"Width", [](TCustomImageList& l, int v) { l.SetWidth(v); })
        .Int(u"Height", [](TCustomImageList& l, int v) { l.SetHeight(v); })
        .Prop(u"ResourceBitmap",
              [](TCustomImageList& l, const TValue& v, TReader& r) {
                  // 'NAME' with the default mask colour clFuchsia, or ('NAME' maskColour).
                  if (v.kind == TValue::List && v.list.size() == 2)
                      l.AddResourceBitmap(r.AsString(v.list[0]), r.AsColor(v.list[1]));
                  else
                      l.AddResourceBitmap(r.AsString(v), clFuchsia);
              })
        .Ignore(
            {u"ColorDepth", u"BkColor", u"DrawingStyle", u"Masked", u"ShareImages", u"AllocBy"});
    RegisterComponentClass<TImageList>(u"TCustomImageList");
}
} // namespace detail

} // namespace kv
