#pragma once
// The image button: an owner-drawn push button that shows its caption and a glyph from an
// image list, with standard kinds (OK, Cancel, Help, Yes, No, Close, Abort, Retry, Ignore,
// All) that supply caption, glyph, modal result and the Default/Cancel roles; Help shows the
// nearest help context up the parent chain and Close closes the form. Glyph and caption are
// placed by Alignment, Layout, Margin and Spacing; themed and classic looks; an optional glyph
// animation; an action link that follows the action's image. Win32; interface thread.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "ui/ActnList.h"
#include "ui/ImgList.h"
#include "widgets/WlButton.h"
#include "widgets/WlButtonLayout.h"

namespace kv {

class TWlCustomImageButton;

using TWlButtonDrawEvent = std::function<void(TObject* sender, const DRAWITEMSTRUCT& item)>;
using TWlGetAnimateIndexEvent =
    std::function<void(TObject* sender, uint8_t currentAnimateFrame, int& imageIndex)>;

// Keeps an image button in step with its action: after every change of the action the button
// takes the images of the action's list (when it belongs to one) and the action's image index.
class TWlImgBtnActionLink {
public:
    explicit TWlImgBtnActionLink(TWlCustomImageButton& client) : client_(client) {}
    void ActionChanged(TCustomAction& action);

private:
    TWlCustomImageButton& client_;
};

class TWlCustomImageButton : public TWlCustomButton {
    KV_CLASS(TWlCustomImageButton)
public:
    explicit TWlCustomImageButton(TComponent* owner);
    ~TWlCustomImageButton() override;

    TAlignment Alignment() const { return alignment_; }
    // A Margin of -1 becomes 0.
    void SetAlignment(TAlignment v);
    bool Animate() const { return animate_; }
    void SetAnimate(bool v);
    int AnimateFrames() const { return animateFrames_; }
    void SetAnimateFrames(int v);
    unsigned AnimateInterval() const { return animateInterval_; }
    void SetAnimateInterval(unsigned v);
    bool Animating() const { return animating_; }
    uint8_t CurrentAnimateFrame() const { return currentAnimateFrame_; }
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int v);
    TCustomImageList* Images() const { return images_; }
    // No list: ImageIndex becomes -1.
    void SetImages(TCustomImageList* images);
    // Drawn as the focused or default button.
    bool IsFocused() const { return isFocused_; }
    TWlImgBtnKind Kind() const { return kind_; }
    void SetKind(TWlImgBtnKind v);
    TWlImgBtnLayout Layout() const { return layout_; }
    void SetLayout(TWlImgBtnLayout v);
    bool OwnerDraw() const { return ownerDraw_; }
    void SetOwnerDraw(bool v);
    int Spacing() const { return spacing_; }
    void SetSpacing(int v);
    int Margin() const { return margin_; }
    // Values below -1 are ignored; -1 centres and forces taCenter.
    void SetMargin(int v);
    bool MouseInControl() const { return mouseInControl_; }
    bool ImageVisible() const { return imageVisible_; }
    void SetImageVisible(bool v);
    bool Flat() const { return flat_; }
    void SetFlat(bool v);
    bool MustDrawFocusRect() const { return mustDrawFocusRect_; }
    void SetMustDrawFocusRect(bool v);
    bool MustDrawButtonFrame() const { return mustDrawButtonFrame_; }
    void SetMustDrawButtonFrame(bool v);
    bool DisableDrawDown() const { return disableDrawDown_; }
    void SetDisableDrawDown(bool v);
    // Double buffering is on while the glyph animates.
    bool DoubleBuffered() const { return doubleBuffered_; }

    TWlButtonDrawEvent OnButtonDraw;
    TWlGetAnimateIndexEvent OnGetAnimateIndex;

    // The glyph index drawn now (the animation frame's, which OnGetAnimateIndex may change).
    int CurrentImageIndex() const;
    // Whether a glyph is drawn at all.
    bool ShowsGlyph() const;
    // The image list the glyph comes from (Images, else the shared kind glyphs).
    TCustomImageList& GlyphImages() const;
    // The kind's caption from the kind table (empty for bkCustom).
    virtual std::u16string GetKindCaption() const;
    std::u16string GetDrawnCaption() const override;

    // Draws one owner-draw request on canvas (the button's canvas bound to the request's DC,
    // or a test's recording canvas).
    void DrawItem(TWlCanvas& canvas, const DRAWITEMSTRUCT& item);
    // Help and Close kinds act on their own; other kinds click as a button does.
    void Click() override;
    void SetButtonStyle(bool isDefault) override;
    void ActionChange(TBasicAction* action) override;
    void Notification(TComponent* c, TOperation op) override;
    void Loaded() override;
    void StoredProperties(TWlPropertyWriter& w) const override;
    TCanvas& Canvas() { return canvas_; }

    // The glyphs of the kinds, shared by every image button of the process (18 x 18, from the
    // bitmap resource "WlCustomImageButtonDEFAULT", olive transparent).
    static TCustomImageList& DefaultKindImages();

protected:
    // The drawing steps, each on the canvas of the request being drawn.
    virtual void MeasureButtonParts(const RECT& bounds, RECT& text, RECT& glyph);
    virtual void DrawButtonImage(const RECT& glyph);
    virtual void DrawButtonFocusRect(const RECT& content);
    virtual RECT DrawButtonFrame(const DRAWITEMSTRUCT& item);
    virtual void DrawButtonText(const RECT& text, bool enabled);
    virtual void PaintButton(const DRAWITEMSTRUCT& item);
    TWlCanvas& DrawCanvas() const { return *drawCanvas_; }

    void CreateParams(TCreateParams& p) override;
    void CreateWindowHandleDone() override;
    void DestroyWnd() override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;
    void HandleMouseEnter(TControl* control) override;
    void HandleMouseLeave(TControl* control) override;
    void HandleEnabledChanged() override;
    void HandleFontChanged() override;
    // The mnemonic of the drawn caption (a kind button's window text is empty).
    bool HandleWantKey(int key, TShiftState shift, const std::u16string& keyText) override;

private:
    friend class TWlImgBtnActionLink;
    void StartAnimation();
    void StopAnimation();
    void AdvanceFrame();
    void DetachImages();
    void DrawPlainFrame(RECT r, bool pressed, bool focusFlag);

    TAlignment alignment_ = taCenter;
    bool animate_ = false;
    int animateFrames_ = 0;
    unsigned animateInterval_ = 200;
    bool animating_ = false;
    TCanvas canvas_;
    uint8_t currentAnimateFrame_ = 0;
    int imageIndex_ = -1;
    TCustomImageList* images_ = nullptr; // not owned
    int imagesSubscription_ = 0;         // the change link
    bool isFocused_ = false;
    TWlImgBtnKind kind_ = bkCustom;
    TWlImgBtnLayout layout_ = blImageLeft;
    bool ownerDraw_ = false;
    int spacing_ = 4;
    int margin_ = -1;
    bool mouseInControl_ = false;
    bool imageVisible_ = true;
    bool flat_ = false;
    bool mustDrawFocusRect_ = true;
    bool mustDrawButtonFrame_ = true;
    bool disableDrawDown_ = false;
    bool doubleBuffered_ = false;
    TWlImgBtnActionLink actionLink_{*this};
    TWlCanvas* drawCanvas_ = nullptr; // only while a request is drawn
};

// The image button with its properties published.
class TWlImgBtn : public TWlCustomImageButton {
    KV_CLASS(TWlImgBtn)
public:
    explicit TWlImgBtn(TComponent* owner) : TWlCustomImageButton(owner) {}
};

} // namespace kv
