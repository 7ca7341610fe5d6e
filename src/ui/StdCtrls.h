#pragma once
// Standard controls: labels (with the focus control of their mnemonic), link labels, static
// text, push buttons (Default, Cancel, ModalResult, Action), check boxes (a change of state by
// code fires OnClick), radio buttons, edit boxes (also with a right-hand button), combo boxes
// (an index set by code fires nothing; out of range leaves no selection) and group boxes.
// Each registers its window class under its own class name. Interface thread only.
#include <string>
#include <vector>

#include "ui/Control.h"

namespace kv {

class TCustomImageList;

enum TTextLayout { tlTop, tlCenter, tlBottom };

class TLabel : public TWinControl {
    KV_CLASS(TLabel)
public:
    explicit TLabel(TComponent* owner);

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool v);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool v);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout v);
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool v);
    // The control that takes the focus when the label's mnemonic is pressed.
    TWinControl* FocusControl() const { return focusControl_; }
    void SetFocusControl(TWinControl* c);

    bool DialogChar(char16_t ch) override;
    void Notification(TComponent* c, TOperation op) override;
    void TextChanged() override;
    void FontChanged() override;
    void Loaded() override;

protected:
    void CreateParams(TCreateParams& p) override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;
    // Fits the size to the text (AutoSize).
    void AdjustBounds();

private:
    bool autoSize_ = true;
    TAlignment alignment_ = taLeftJustify;
    bool wordWrap_ = false;
    TTextLayout layout_ = tlTop;
    bool showAccelChar_ = true;
    TWinControl* focusControl_ = nullptr; // not owned
};

// A label that looks like a link: blue, underlined, hand cursor.
class TLinkLabel : public TLabel {
    KV_CLASS(TLinkLabel)
public:
    explicit TLinkLabel(TComponent* owner);
};

enum TStaticBorderStyle { sbsNone, sbsSingle, sbsSunken };

class TStaticText : public TLabel {
    KV_CLASS(TStaticText)
public:
    explicit TStaticText(TComponent* owner);
    TStaticBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TStaticBorderStyle v);

protected:
    void CreateParams(TCreateParams& p) override;

private:
    TStaticBorderStyle borderStyle_ = sbsNone;
};

enum TButtonStyle { bsPushButton, bsCommandLink, bsSplitButton };

class TButton : public TWinControl {
    KV_CLASS(TButton)
public:
    explicit TButton(TComponent* owner);
    ~TButton() override;

    // A push button or a command link (big caption with an arrow).
    TButtonStyle Style() const { return style_; }
    void SetStyle(TButtonStyle v);
    // An image of an image list beside the caption.
    TCustomImageList* Images() const { return images_; }
    void SetImages(TCustomImageList* images);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int v);
    void Notification(TComponent* c, TOperation op) override;
    void Loaded() override;

    bool Default() const { return default_; }
    void SetDefault(bool v);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool v) { cancel_ = v; }
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult v) { modalResult_ = v; }

    // Hands the modal result to the form, then OnClick (or the action).
    void Click() override;
    bool DialogKey(WORD key, TWinControl* focused) override;
    bool DialogChar(char16_t ch) override;
    void FocusedControlChanged(TWinControl* focused) override;
    // The button became (or stopped being) the one Enter presses.
    virtual void SetButtonStyle(bool isDefault);
    bool Active() const { return active_; }

protected:
    void CreateParams(TCreateParams& p) override;
    void CreateWindowHandleDone() override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    void ApplyImage();
    bool default_ = false;
    bool cancel_ = false;
    bool active_ = false;
    TModalResult modalResult_ = mrNone;
    TButtonStyle style_ = bsPushButton;
    TCustomImageList* images_ = nullptr; // not owned
    int imagesSubscription_ = 0;
    int imageIndex_ = -1;
    HICON icon_ = nullptr; // owned: the image shown
};

// A flat button that takes no focus and is never the default button (tool-bar style).
class TSpeedButton : public TButton {
    KV_CLASS(TSpeedButton)
public:
    explicit TSpeedButton(TComponent* owner);
    bool DialogKey(WORD key, TWinControl* focused) override { return false; }
    void FocusedControlChanged(TWinControl* focused) override {}

protected:
    void CreateParams(TCreateParams& p) override;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCheckBox : public TWinControl {
    KV_CLASS(TCheckBox)
public:
    explicit TCheckBox(TComponent* owner);

    TCheckBoxState State() const { return state_; }
    // A new state fires OnClick (not while the form is read).
    void SetState(TCheckBoxState v);
    bool Checked() const { return state_ == cbChecked; }
    void SetChecked(bool v) { SetState(v ? cbChecked : cbUnchecked); }
    bool AllowGrayed() const { return allowGrayed_; }
    void SetAllowGrayed(bool v) { allowGrayed_ = v; }
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool v);
    // The user's click: unchecked, checked, (grayed,) unchecked.
    void Toggle();

    bool DialogChar(char16_t ch) override;

protected:
    void CreateParams(TCreateParams& p) override;
    void CreateWindowHandleDone() override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    TCheckBoxState state_ = cbUnchecked;
    bool allowGrayed_ = false;
    TAlignment alignment_ = taRightJustify;
    bool wordWrap_ = false;
};

class TRadioButton : public TWinControl {
    KV_CLASS(TRadioButton)
public:
    explicit TRadioButton(TComponent* owner);
    bool Checked() const { return checked_; }
    // Checking one unchecks the other radio buttons of the parent and fires OnClick.
    void SetChecked(bool v);
    bool DialogChar(char16_t ch) override;

protected:
    void CreateParams(TCreateParams& p) override;
    void CreateWindowHandleDone() override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    bool checked_ = false;
};

class TEdit : public TWinControl {
    KV_CLASS(TEdit)
public:
    explicit TEdit(TComponent* owner);

    // The text as the window holds it.
    std::u16string Text() const;
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool v);
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int v);
    bool HideSelection() const { return hideSelection_; }
    void SetHideSelection(bool v);
    const std::u16string& TextHint() const { return textHint_; }
    void SetTextHint(const std::u16string& v);
    void SelectAll();

    TNotifyEvent OnChange;
    virtual void Change();

protected:
    void CreateParams(TCreateParams& p) override;
    void CreateWindowHandleDone() override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    bool readOnly_ = false;
    int maxLength_ = 0;
    bool hideSelection_ = true;
    std::u16string textHint_;
};

// An edit box with a button at its right edge (an image of Images, or "...").
class TButtonedEdit : public TEdit {
    KV_CLASS(TButtonedEdit)
public:
    explicit TButtonedEdit(TComponent* owner);
    ~TButtonedEdit() override;

    TCustomImageList* Images() const { return images_; }
    void SetImages(TCustomImageList* images);
    bool RightButtonVisible() const { return rightVisible_; }
    void SetRightButtonVisible(bool v);
    int RightButtonImageIndex() const { return rightImage_; }
    void SetRightButtonImageIndex(int v);
    const std::u16string& RightButtonHint() const { return rightHint_; }
    void SetRightButtonHint(const std::u16string& v);

    TNotifyEvent OnRightButtonClick;
    // What a click on the right-hand button does.
    void RightButtonClick();
    // The button's window (null while it is hidden or not created).
    TWinControl* RightButton() const { return button_; }
    void Notification(TComponent* c, TOperation op) override;

protected:
    void CreateParams(TCreateParams& p) override;
    void CreateWindowHandleDone() override;
    void BoundsChanged(bool moved, bool sized) override;

private:
    void PlaceButton();
    TCustomImageList* images_ = nullptr; // not owned
    int imagesSubscription_ = 0;
    bool rightVisible_ = false;
    int rightImage_ = -1;
    std::u16string rightHint_;
    TWinControl* button_ = nullptr; // a child control; freed with the edit
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList };

class TComboBox;
// The items of a combo box, kept in step with its window.
class TComboBoxItems {
public:
    explicit TComboBoxItems(TComboBox& box) : box_(box) {}
    int Count() const { return static_cast<int>(items_.size()); }
    const std::u16string& operator[](int i) const { return items_[static_cast<size_t>(i)]; }
    int Add(const std::u16string& s);
    void Clear();
    void Delete(int index);
    int IndexOf(const std::u16string& s) const;
    void Assign(const std::vector<std::u16string>& items);
    const std::vector<std::u16string>& Strings() const { return items_; }

private:
    friend class TComboBox;
    TComboBox& box_;
    std::vector<std::u16string> items_;
};

class TComboBox : public TWinControl {
    KV_CLASS(TComboBox)
public:
    explicit TComboBox(TComponent* owner);

    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle v);
    TComboBoxItems& Items() { return items_; }
    const TComboBoxItems& Items() const { return items_; }
    // -1 when nothing is selected.
    int ItemIndex() const;
    // Selects an item without any event; an index out of range leaves no selection.
    void SetItemIndex(int index);
    // The text shown (the selected item's for a drop-down list).
    std::u16string Text() const;
    int DropDownCount() const { return dropDownCount_; }
    void SetDropDownCount(int v);

    // A selection by the user fires OnClick, then OnSelect (or OnChange without one).
    TNotifyEvent OnChange, OnSelect, OnDropDown, OnCloseUp;
    virtual void Change();
    void Loaded() override;

protected:
    void CreateParams(TCreateParams& p) override;
    void CreateWindowHandleDone() override;
    void BoundsChanged(bool moved, bool sized) override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    friend class TComboBoxItems;
    int DropHeight() const;
    TComboBoxStyle style_ = csDropDown;
    TComboBoxItems items_;
    int itemIndex_ = -1;
    int dropDownCount_ = 8;
};

class TGroupBox : public TCustomControl {
    KV_CLASS(TGroupBox)
public:
    explicit TGroupBox(TComponent* owner);
    bool DialogChar(char16_t ch) override;
    void TextChanged() override;

protected:
    void AdjustClientRect(RECT& r) const override;
    void Paint() override;
};

} // namespace kv
