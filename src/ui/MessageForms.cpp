#include "ui/MessageForms.h"

#include <algorithm>
#include <vector>

#include "ui/Application.h"
#include "ui/ExtCtrls.h"
#include "ui/StdCtrls.h"

namespace kv {

namespace {

constexpr int kMargin = 12;
constexpr int kButtonWidth = 75, kButtonHeight = 25, kButtonGap = 8;
constexpr int kIconSize = 32;

SIZE TextSize(const TFont& font, const std::u16string& text, int maxWidth) {
    WindowDC dc(nullptr);
    SelectedObject selected(dc.get(), font.Handle());
    RECT r{0, 0, maxWidth, 0};
    DrawTextW(dc.get(), W(text), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    return {RectWidth(r), RectHeight(r)};
}

std::u16string TypeCaption(TMsgDlgType type) {
    switch (type) {
    case mtWarning:
        return u"警告";
    case mtError:
        return u"エラー";
    case mtInformation:
        return u"情報";
    case mtConfirmation:
        return u"確認";
    default:
        return Application ? Application->Title() : std::u16string();
    }
}

LPCWSTR TypeIcon(TMsgDlgType type) {
    switch (type) {
    case mtWarning:
        return IDI_WARNING;
    case mtError:
        return IDI_ERROR;
    case mtInformation:
        return IDI_INFORMATION;
    case mtConfirmation:
        return IDI_QUESTION;
    default:
        return nullptr;
    }
}

} // namespace

TMessageForm::TMessageForm(TComponent* owner, const std::u16string& text, TMsgDlgType type,
                           TMsgDlgButtons buttons)
    : TForm(owner) {
    SetBorderStyle(bsDialog);
    SetBorderIcons(biSystemMenu);
    SetCaption(TypeCaption(type));

    int textLeft = kMargin;
    int contentHeight = 0;
    if (LPCWSTR iconName = TypeIcon(type)) {
        auto* icon = Create<TImage>(this);
        icon->SetParent(this);
        icon->SetBounds(kMargin, kMargin, kIconSize, kIconSize);
        icon->SetIcon(LoadIconW(nullptr, iconName));
        textLeft += kIconSize + kMargin;
        contentHeight = kIconSize;
    }
    const int maxTextWidth = std::max(200, (Screen ? Screen->Width() : 1024) / 2);
    const SIZE textSize = TextSize(Font(), text, maxTextWidth);
    message_ = Create<TLabel>(this);
    message_->SetName(u"Message");
    message_->SetParent(this);
    message_->SetAutoSize(false);
    message_->SetWordWrap(true);
    message_->SetShowAccelChar(false);
    const int textTop = kMargin + std::max(0, (contentHeight - int(textSize.cy)) / 2);
    message_->SetBounds(textLeft, textTop, textSize.cx, textSize.cy);
    message_->SetCaption(text);
    contentHeight = std::max<int>(contentHeight, textTop - kMargin + textSize.cy);

    struct ButtonKind {
        TMsgDlgButtons bit;
        const char16_t* caption;
        TModalResult result;
    };
    static const ButtonKind kKinds[] = {{mbYes, u"はい(&Y)", mrYes},
                                        {mbNo, u"いいえ(&N)", mrNo},
                                        {mbOK, u"OK", mrOk},
                                        {mbCancel, u"キャンセル", mrCancel}};
    if ((buttons & (mbYes | mbNo | mbOK | mbCancel)) == 0) buttons = mbOK;
    std::vector<const ButtonKind*> shown;
    for (const ButtonKind& k : kKinds)
        if (buttons & k.bit) shown.push_back(&k);
    const int rowWidth = static_cast<int>(shown.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
    const int clientWidth = std::max<int>(textLeft + textSize.cx, kMargin + rowWidth) + kMargin;
    const int buttonTop = kMargin + contentHeight + kMargin + 4;
    int left = (clientWidth - rowWidth) / 2;
    const bool hasCancel = (buttons & mbCancel) != 0 || (buttons & mbNo) != 0;
    for (size_t i = 0; i < shown.size(); ++i) {
        auto* b = Create<TButton>(this);
        b->SetParent(this);
        b->SetBounds(left, buttonTop, kButtonWidth, kButtonHeight);
        b->SetCaption(shown[i]->caption);
        b->SetModalResult(shown[i]->result);
        if (i == 0) b->SetDefault(true);
        // Esc answers Cancel (or No), or the only button there is.
        if (shown[i]->bit == mbCancel || (shown[i]->bit == mbNo && !(buttons & mbCancel)) ||
            (!hasCancel && shown.size() == 1))
            b->SetCancel(true);
        if (i == 0) SetActiveControl(b);
        left += kButtonWidth + kButtonGap;
    }
    SetClientSize(clientWidth, buttonTop + kButtonHeight + kMargin);
}

int MessageDlgPos(const std::u16string& text, TMsgDlgType type, TMsgDlgButtons buttons, int x,
                  int y) {
    TMessageForm form(nullptr, text, type, buttons);
    if (x >= 0 && y >= 0) {
        form.SetPosition(poDesigned);
        form.SetBounds(x, y, form.Width(), form.Height());
    } else {
        form.SetPosition(poScreenCenter);
    }
    return form.ShowModal();
}

} // namespace kv
