#pragma once
// The footer bar that dialogs dock at their bottom: it holds footer buttons and arranges them
// in a left, a right and a centred group (WlFooterLayout.h), each button keeping its own
// SpaceInterval and the outermost ones the footer's Margin from the edges; an optional
// two-line bevel along its top edge. Footer buttons live only on footers. Win32; interface
// thread.
#include "widgets/WlCtrls.h"
#include "widgets/WlExtComponent.h"
#include "widgets/WlTypes.h"

namespace kv {

class EWlFooterError : public EWLException {
public:
    using EWLException::EWLException;
};

class TWlFooter : public TWlCustomPanel {
    KV_CLASS(TWlFooter)
public:
    // Docked at the bottom, 350 x 37, no bevels, caption empty.
    explicit TWlFooter(TComponent* owner);

    TWlBevelStyle BevelStyle() const { return bevelStyle_; }
    void SetBevelStyle(TWlBevelStyle v);
    bool BevelVisible() const { return bevelVisible_; }
    void SetBevelVisible(bool v);
    int Margin() const { return margin_; }
    // Arranges the buttons (not while loading or being destroyed).
    void SetMargin(int v);

    // Places every footer button of this footer (other children keep their places).
    void ArrangeFooterButtons();
    // What the footer draws over its panel: the top bevel when visible.
    void PaintBevel(TWlCanvas& canvas);

    void Loaded() override;
    void StoredProperties(TWlPropertyWriter& w) const override;

protected:
    void Paint() override;

private:
    TWlBevelStyle bevelStyle_ = bsLowered;
    bool bevelVisible_ = false;
    int margin_ = 8;
};

class TWlFooterBtn : public TWlImgBtn {
    KV_CLASS(TWlFooterBtn)
public:
    // An image button of 74 x 23 in the right group, 6 pixels of space interval.
    explicit TWlFooterBtn(TComponent* owner);

    // The button's group in its footer (hides the image button's Alignment, which stays
    // centred).
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    // The button's position among its parent's children; without a parent the last value
    // written.
    int ButtonIndex() const;
    // Moves the button to that position among its parent's children.
    void SetButtonIndex(int v);
    int SpaceInterval() const { return spaceInterval_; }
    void SetSpaceInterval(int v);
    // The footer the button lies on, or null.
    TWlFooter* Footer() const;

    // A footer button given as parent stands for its footer; any parent but a footer raises
    // EWlFooterError "TWlFooterBtn can only be placed on a TWlFooter" and changes nothing.
    void SetParent(TWinControl* parent) override;
    void StoredProperties(TWlPropertyWriter& w) const override;

protected:
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    void Rearrange();

    TAlignment alignment_ = taRightJustify;
    int buttonIndex_ = 0;
    int spaceInterval_ = 6;
};

} // namespace kv
