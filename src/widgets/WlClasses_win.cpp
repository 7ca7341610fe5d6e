#include "widgets/WlClasses.h"

#include "ui/ClassRegistry.h"
#include "ui/Forms.h"
#include "widgets/WlFooter.h"

namespace kv {

namespace {

const TNameTable kAlignment = {{u"taLeftJustify", taLeftJustify},
                               {u"taRightJustify", taRightJustify},
                               {u"taCenter", taCenter}};
const TNameTable kKinds = {{u"bkCustom", bkCustom}, {u"bkOK", bkOK},       {u"bkCancel", bkCancel},
                           {u"bkHelp", bkHelp},     {u"bkYes", bkYes},     {u"bkNo", bkNo},
                           {u"bkClose", bkClose},   {u"bkAbort", bkAbort}, {u"bkRetry", bkRetry},
                           {u"bkIgnore", bkIgnore}, {u"bkAll", bkAll}};
const TNameTable kLayouts = {{u"blImageLeft", blImageLeft}, {u"blImageRight", blImageRight}};
const TNameTable kBevelStyles = {
    {u"bsShape", bsShape}, {u"bsLowered", bsLowered}, {u"bsRaised", bsRaised}};
// Set members are read as bit values.
const TNameTable kTrackFontOptions = {
    {u"hoFollowFont", 1 << hoFollowFont},       {u"hoPreserveCharSet", 1 << hoPreserveCharSet},
    {u"hoPreserveColor", 1 << hoPreserveColor}, {u"hoPreserveHeight", 1 << hoPreserveHeight},
    {u"hoPreserveName", 1 << hoPreserveName},   {u"hoPreservePitch", 1 << hoPreservePitch},
    {u"hoPreserveStyle", 1 << hoPreserveStyle}};
const TNameTable kFontStyles = {{u"fsBold", fsBold},
                                {u"fsItalic", fsItalic},
                                {u"fsUnderline", fsUnderline},
                                {u"fsStrikeOut", fsStrikeOut}};

// The layer's published properties, once for buttons and once for panels.
template <class C> void AddLayerProperties(TClassBuilder<C>& b) {
    b.Color(u"HintColor", [](C& c, TColor v) { c.SetHintColor(v); })
        .Bool(u"DotNetHighlighting", [](C& c, bool v) { c.SetDotNetHighlighting(v); })
        .template Event<void(TObject*)>(u"OnParentColorChange", &C::OnParentColorChanged)
        .Ignore({u"AboutWL"});
}

} // namespace

void RegisterWlClasses() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    RegisterUiClasses();

    auto exButton = RegisterComponentClass<TWlExButton>(u"TButton");
    AddLayerProperties(exButton);
    RegisterComponentClass<TWlCustomButton>(u"TWlExButton");
    RegisterComponentClass<TWlCustomImageButton>(u"TWlCustomButton");
    // Everything the image button and its bases publish.
    RegisterComponentClass<TWlImgBtn>(u"TWlCustomImageButton")
        .Enum(u"Alignment", kAlignment,
              [](TWlImgBtn& c, int v) { c.SetAlignment(static_cast<TAlignment>(v)); })
        .Bool(u"Animate", [](TWlImgBtn& c, bool v) { c.SetAnimate(v); })
        .Int(u"AnimateFrames", [](TWlImgBtn& c, int v) { c.SetAnimateFrames(v); })
        .Int(u"AnimateInterval",
             [](TWlImgBtn& c, int v) { c.SetAnimateInterval(static_cast<unsigned>(v)); })
        .Bool(u"DisableDrawDown", [](TWlImgBtn& c, bool v) { c.SetDisableDrawDown(v); })
        .Ref<TPopupMenu>(u"DropDownMenu", [](TWlImgBtn& c, TPopupMenu* m) { c.SetDropDownMenu(m); })
        .Bool(u"DropArrow", [](TWlImgBtn& c, bool v) { c.SetDropArrow(v); })
        .Bool(u"Flat", [](TWlImgBtn& c, bool v) { c.SetFlat(v); })
        .Bool(u"HotTrack", [](TWlImgBtn& c, bool v) { c.SetHotTrack(v); })
        .Str(u"HotTrackFont.Name",
             [](TWlImgBtn& c, const std::u16string& v) { c.HotTrackFont().SetName(v); })
        .Int(u"HotTrackFont.Height", [](TWlImgBtn& c, int v) { c.HotTrackFont().SetHeight(v); })
        .Int(u"HotTrackFont.Size", [](TWlImgBtn& c, int v) { c.HotTrackFont().SetSize(v); })
        .Color(u"HotTrackFont.Color", [](TWlImgBtn& c, TColor v) { c.HotTrackFont().SetColor(v); })
        .Set(u"HotTrackFont.Style", kFontStyles,
             [](TWlImgBtn& c, unsigned v) { c.HotTrackFont().SetStyle(v); })
        .Int(u"HotTrackFont.Charset", [](TWlImgBtn& c, int v) { c.HotTrackFont().SetCharset(v); })
        .Set(u"HotTrackFontOptions", kTrackFontOptions,
             [](TWlImgBtn& c, unsigned v) {
                 c.SetHotTrackFontOptions(static_cast<TWlTrackFontOptions>(v));
             })
        .Ref<TCustomImageList>(u"Images", [](TWlImgBtn& c, TCustomImageList* l) { c.SetImages(l); })
        .Int(u"ImageIndex", [](TWlImgBtn& c, int v) { c.SetImageIndex(v); })
        .Bool(u"ImageVisible", [](TWlImgBtn& c, bool v) { c.SetImageVisible(v); })
        .Enum(u"Kind", kKinds,
              [](TWlImgBtn& c, int v) { c.SetKind(static_cast<TWlImgBtnKind>(v)); })
        .Enum(u"Layout", kLayouts,
              [](TWlImgBtn& c, int v) { c.SetLayout(static_cast<TWlImgBtnLayout>(v)); })
        .Int(u"Margin", [](TWlImgBtn& c, int v) { c.SetMargin(v); })
        .Bool(u"MustDrawFocusRect", [](TWlImgBtn& c, bool v) { c.SetMustDrawFocusRect(v); })
        .Bool(u"MustDrawButtonFrame", [](TWlImgBtn& c, bool v) { c.SetMustDrawButtonFrame(v); })
        .Bool(u"OwnerDraw", [](TWlImgBtn& c, bool v) { c.SetOwnerDraw(v); })
        .Int(u"Spacing", [](TWlImgBtn& c, int v) { c.SetSpacing(v); })
        .Bool(u"WordWrap", [](TWlImgBtn& c, bool v) { c.SetWordWrap(v); })
        .Event<void(TObject*, POINT, bool&)>(u"OnDropDownMenu", &TWlImgBtn::OnDropDownMenu)
        .Event<void(TObject*, const DRAWITEMSTRUCT&)>(u"OnButtonDraw", &TWlImgBtn::OnButtonDraw)
        .Event<void(TObject*, uint8_t, int&)>(u"OnGetAnimateIndex", &TWlImgBtn::OnGetAnimateIndex);
    RegisterComponentClass<TWlFooterBtn>(u"TWlImgBtn")
        .Enum(u"Alignment", kAlignment,
              [](TWlFooterBtn& c, int v) { c.SetAlignment(static_cast<TAlignment>(v)); })
        .Int(u"ButtonIndex", [](TWlFooterBtn& c, int v) { c.SetButtonIndex(v); })
        .Int(u"SpaceInterval", [](TWlFooterBtn& c, int v) { c.SetSpaceInterval(v); });

    auto exPanel = RegisterComponentClass<TWlExCustomPanel>(u"TCustomPanel");
    AddLayerProperties(exPanel);
    RegisterComponentClass<TWlCustomPanel>(u"TWlExCustomPanel")
        .Bool(u"Ctl3D", [](TWlCustomPanel& c, bool v) { c.SetCtl3D(v); })
        .Bool(u"ParentCtl3D", [](TWlCustomPanel& c, bool v) { c.SetParentCtl3D(v); });
    RegisterComponentClass<TWlFooter>(u"TWlCustomPanel")
        .Enum(u"BevelStyle", kBevelStyles,
              [](TWlFooter& c, int v) { c.SetBevelStyle(static_cast<TWlBevelStyle>(v)); })
        .Bool(u"BevelVisible", [](TWlFooter& c, bool v) { c.SetBevelVisible(v); })
        .Int(u"Margin", [](TWlFooter& c, int v) { c.SetMargin(v); });
}

void RegisterWlCursors() {
    if (!Screen) return;
    Screen->SetCursors(368, Screen->Cursors(crMultiDrag));
    Screen->SetCursors(369, Screen->Cursors(crDrag));
    Screen->SetCursors(370, Screen->Cursors(crMultiDrag));
    Screen->SetCursors(371, Screen->Cursors(crMultiDrag));
}

} // namespace kv
