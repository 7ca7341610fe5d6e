#pragma once
// Common controls: status bar (simple text or panels, automatic hints), progress bar (32-bit
// range), list view (report style, owner data asked row by row), page control with tab sheets,
// tool bar with tool buttons (image list, tooltips, actions). Interface thread only.
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/Control.h"

namespace kv {

class TCustomImageList;

// ---- status bar ----

struct TStatusPanel {
    std::u16string text;
    int width = 50;
    TAlignment alignment = taLeftJustify;
};

class TStatusBar : public TWinControl {
    KV_CLASS(TStatusBar)
public:
    explicit TStatusBar(TComponent* owner);
    ~TStatusBar() override;

    bool SimplePanel() const { return simplePanel_; }
    void SetSimplePanel(bool v);
    const std::u16string& SimpleText() const { return simpleText_; }
    void SetSimpleText(const std::u16string& v);
    int PanelCount() const { return static_cast<int>(panels_.size()); }
    const TStatusPanel& Panel(int i) const { return panels_[static_cast<size_t>(i)]; }
    void AddPanel(const TStatusPanel& p);
    void SetPanelText(int i, const std::u16string& text);
    void ClearPanels();
    // Shows the application's hint (the control or menu item under the mouse).
    bool AutoHint() const { return autoHint_; }
    void SetAutoHint(bool v) { autoHint_ = v; }
    bool SizeGrip() const { return sizeGrip_; }
    void SetSizeGrip(bool v);
    // With AutoHint: the hint goes to the simple text (or the first panel).
    void ShowApplicationHint(const std::u16string& hint);

protected:
    void CreateParams(TCreateParams& p) override;
    void CreateWindowHandleDone() override;

private:
    void UpdatePanels();
    bool simplePanel_ = false;
    std::u16string simpleText_;
    std::vector<TStatusPanel> panels_;
    bool autoHint_ = false;
    bool sizeGrip_ = true;
};

// ---- progress bar ----

class TProgressBar : public TWinControl {
    KV_CLASS(TProgressBar)
public:
    explicit TProgressBar(TComponent* owner);
    int Min() const { return min_; }
    int Max() const { return max_; }
    void SetMin(int v) { SetRange(v, max_); }
    void SetMax(int v) { SetRange(min_, v); }
    void SetRange(int min, int max);
    int Position() const;
    // Clamped to the range.
    void SetPosition(int v);
    int Step() const { return step_; }
    void SetStep(int v) { step_ = v; }
    void StepIt() { SetPosition(Position() + step_); }
    void StepBy(int delta) { SetPosition(Position() + delta); }
    bool Smooth() const { return smooth_; }
    void SetSmooth(bool v);

protected:
    void CreateParams(TCreateParams& p) override;
    void CreateWindowHandleDone() override;

private:
    int min_ = 0, max_ = 100, position_ = 0, step_ = 10;
    bool smooth_ = false;
};

// ---- list view ----

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

struct TListColumn {
    std::u16string caption;
    int width = 50;
    TAlignment alignment = taLeftJustify;
};

// One row as OnData fills it (owner data) or as it is stored.
struct TListItem {
    int index = 0;
    std::u16string caption;
    std::vector<std::u16string> subItems;
    int imageIndex = -1;
};

using TLVOwnerDataEvent = std::function<void(TObject* sender, TListItem& item)>;

class TListView : public TWinControl {
    KV_CLASS(TListView)
public:
    explicit TListView(TComponent* owner);

    TViewStyle ViewStyle() const { return viewStyle_; }
    void SetViewStyle(TViewStyle v);
    bool OwnerData() const { return ownerData_; }
    void SetOwnerData(bool v);
    bool RowSelect() const { return rowSelect_; }
    void SetRowSelect(bool v);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool v);
    bool HideSelection() const { return hideSelection_; }
    void SetHideSelection(bool v);
    bool ShowColumnHeaders() const { return showColumnHeaders_; }
    void SetShowColumnHeaders(bool v);
    bool ColumnClick() const { return columnClick_; }
    void SetColumnClick(bool v);
    bool GridLines() const { return gridLines_; }
    void SetGridLines(bool v);
    bool MultiSelect() const { return multiSelect_; }
    void SetMultiSelect(bool v);
    TCustomImageList* SmallImages() const { return smallImages_; }
    void SetSmallImages(TCustomImageList* images);

    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    const TListColumn& Column(int i) const { return columns_[static_cast<size_t>(i)]; }
    void AddColumn(const TListColumn& c);
    void SetColumnWidth(int i, int width);
    void ClearColumns();

    // Owner data: the number of rows OnData is asked for.
    int ItemCount() const;
    void SetItemCount(int count);
    // Stored rows (without owner data).
    void AddItem(const TListItem& item);
    void ClearItems();
    // The row as shown (asking OnData when the rows are owner data).
    TListItem GetItem(int index);

    // The selected row (first of them), -1 when none.
    int ItemIndex() const;
    // Selects and focuses one row (others lose the selection); -1 clears the selection.
    void SetItemIndex(int index);
    void MakeVisible(int index);
    int TopIndex() const;

    TLVOwnerDataEvent OnData;
    TNotifyEvent OnSelectItem;

protected:
    void CreateParams(TCreateParams& p) override;
    void CreateWindowHandleDone() override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    void ApplyExStyle();
    TViewStyle viewStyle_ = vsIcon;
    bool ownerData_ = false, rowSelect_ = false, readOnly_ = false, hideSelection_ = true;
    bool showColumnHeaders_ = true, columnClick_ = true, gridLines_ = false, multiSelect_ = false;
    TCustomImageList* smallImages_ = nullptr; // not owned
    std::vector<TListColumn> columns_;
    std::vector<TListItem> items_;
    int itemCount_ = 0;
    int itemIndex_ = -1;
    TListItem dispItem_;      // the row last handed to the control
    std::u16string dispText_; // its text, alive until the next request
};

// ---- page control ----

class TPageControl;

class TTabSheet : public TCustomControl {
    KV_CLASS(TTabSheet)
public:
    explicit TTabSheet(TComponent* owner);
    ~TTabSheet() override;
    TPageControl* PageControl() const { return pageControl_; }
    void SetPageControl(TPageControl* p);
    int PageIndex() const;
    void SetParentComponent(TComponent* parent) override;
    void TextChanged() override;

private:
    TPageControl* pageControl_ = nullptr; // not owned (the parent)
};

class TPageControl : public TWinControl {
    KV_CLASS(TPageControl)
public:
    explicit TPageControl(TComponent* owner);
    int PageCount() const { return static_cast<int>(pages_.size()); }
    TTabSheet* Pages(int i) const { return pages_[static_cast<size_t>(i)]; }
    TTabSheet* ActivePage() const { return active_; }
    void SetActivePage(TTabSheet* page);
    int ActivePageIndex() const;
    void SetActivePageIndex(int i);
    TNotifyEvent OnChange;
    bool DialogChar(char16_t ch) override;
    void Loaded() override;

    void InsertPage(TTabSheet* page);
    void RemovePage(TTabSheet* page);
    void UpdateTab(TTabSheet* page);

protected:
    void CreateParams(TCreateParams& p) override;
    void CreateWindowHandleDone() override;
    void AdjustClientRect(RECT& r) const override;
    void AlignControls(RECT& r) override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    void RebuildTabs();
    std::vector<TTabSheet*> pages_; // not owned
    TTabSheet* active_ = nullptr;
};

// ---- tool bar ----

enum TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };

class TToolBar;

// A button of a tool bar: no window of its own, one button of the tool bar's window.
class TToolButton : public TControl {
    KV_CLASS(TToolButton)
public:
    explicit TToolButton(TComponent* owner);
    ~TToolButton() override;
    TToolButtonStyle Style() const { return style_; }
    void SetStyle(TToolButtonStyle v);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int v);
    bool Down() const { return down_; }
    void SetDown(bool v);
    UINT Command() const { return command_; }
    TToolBar* ToolBar() const;

    void ActionChange(TBasicAction* action) override;
    void EnabledChanged() override;
    void VisibleChanged() override;
    void TextChanged() override;

private:
    void Changed();
    TToolButtonStyle style_ = tbsButton;
    int imageIndex_ = -1;
    bool down_ = false;
    UINT command_;
};

class TToolBar : public TWinControl {
    KV_CLASS(TToolBar)
public:
    explicit TToolBar(TComponent* owner);
    ~TToolBar() override;
    TCustomImageList* Images() const { return images_; }
    void SetImages(TCustomImageList* images);
    bool ShowCaptions() const { return showCaptions_; }
    void SetShowCaptions(bool v);
    bool Flat() const { return flat_; }
    void SetFlat(bool v);
    int ButtonCount() const;
    TToolButton* Buttons(int i) const;
    // Rebuilds the buttons of the window from the tool buttons.
    void UpdateButtons();
    void Notification(TComponent* c, TOperation op) override;
    void Loaded() override;

protected:
    void CreateParams(TCreateParams& p) override;
    void CreateWindowHandleDone() override;
    void AlignControls(RECT& r) override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    TToolButton* FindButton(UINT command) const;
    TCustomImageList* images_ = nullptr; // not owned
    int imagesSubscription_ = 0;
    bool showCaptions_ = false;
    bool flat_ = true;
    std::u16string tipText_;
    TToolButton* hot_ = nullptr;
};

} // namespace kv
