#pragma once
// Panels with bevels, images (icons and bitmaps from resources) and splitters that move the
// border between two aligned controls. Interface thread only.
#include <windows.h>

#include <string>

#include "ui/Control.h"
#include "ui/Forms.h"

namespace kv {

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum TVerticalAlignment { taAlignTop, taAlignBottom, taVerticalCenter };

class TCustomPanel : public TCustomControl {
    KV_CLASS(TCustomPanel)
public:
    explicit TCustomPanel(TComponent* owner);

    TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut v);
    TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut v);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int v);
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int v);
    // bsNone or bsSingle (a one-pixel frame).
    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle v);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    TVerticalAlignment VerticalAlignment() const { return verticalAlignment_; }
    void SetVerticalAlignment(TVerticalAlignment v);
    bool ShowCaption() const { return showCaption_; }
    void SetShowCaption(bool v);
    void TextChanged() override;

protected:
    void CreateParams(TCreateParams& p) override;
    // Children are aligned inside the border and the bevels.
    void AdjustClientRect(RECT& r) const override;
    // The bevels, the face and the caption.
    void Paint() override;

private:
    TBevelCut bevelOuter_ = bvRaised;
    TBevelCut bevelInner_ = bvNone;
    int bevelWidth_ = 1;
    int borderWidth_ = 0;
    TFormBorderStyle borderStyle_ = bsNone;
    TAlignment alignment_ = taCenter;
    TVerticalAlignment verticalAlignment_ = taVerticalCenter;
    bool showCaption_ = true;
};

class TPanel : public TCustomPanel {
    KV_CLASS(TPanel)
public:
    explicit TPanel(TComponent* owner) : TCustomPanel(owner) {}
};

// Draws a 3D frame of width pixels and shrinks rect by it (top/left in topColor).
void Frame3D(TCanvas& canvas, RECT& rect, TColor topColor, TColor bottomColor, int width);

class TImage : public TCustomControl {
    KV_CLASS(TImage)
public:
    explicit TImage(TComponent* owner);
    ~TImage() override;

    // An icon or a bitmap resource of the executable as the picture.
    void LoadIconResource(const std::u16string& name);
    void LoadBitmapResource(const std::u16string& name);
    void SetIcon(HICON icon); // not owned (shared icons)
    bool Stretch() const { return stretch_; }
    void SetStretch(bool v);
    bool Center() const { return center_; }
    void SetCenter(bool v);
    bool Proportional() const { return proportional_; }
    void SetProportional(bool v);
    bool HasPicture() const { return icon_ || bitmap_.get(); }

protected:
    void Paint() override;

private:
    HICON icon_ = nullptr;
    bool ownsIcon_ = false;
    GdiObject<HBITMAP> bitmap_;
    bool stretch_ = false, center_ = false, proportional_ = false;
};

class TSplitter : public TCustomControl {
    KV_CLASS(TSplitter)
public:
    explicit TSplitter(TComponent* owner);
    int MinSize() const { return minSize_; }
    void SetMinSize(int v) { minSize_ = v > 0 ? v : 1; }
    TNotifyEvent OnMoved;
    // The control whose size the splitter changes (the neighbour on the aligned side).
    TControl* FindResizeControl() const;

protected:
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    void UpdateCursor();
    int minSize_ = 30;
    bool dragging_ = false;
    POINT downPt_{0, 0};
    int startSize_ = 0;
    int maxSize_ = 0;
    TControl* control_ = nullptr; // not owned, only while dragging
};

} // namespace kv
