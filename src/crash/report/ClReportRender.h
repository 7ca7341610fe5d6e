#pragma once
// The report dialog's coloured RTF of the general section, assembler listing and CPU view, its
// loading into a rich edit control (Win32 only), and the HTML escaping of report text. Pure
// 8-bit text in the ANSI code page with CR LF breaks; any thread.
#include <cstdint>
#include <string>
#include <string_view>

namespace kv::crash {

// The font of a rendered document: the dialog's text font.
struct TRTFFont {
    std::string Name;
    int Size = 8;        // points
    uint8_t CharSet = 0; // the \fcharset number
    int TabTwips = 0;    // CPU view only: where the memory column starts
};

// The font with the character set of the user's code page (UserCharSet()).
TRTFFont UserRTFFont(const std::string& Name, int Size, int TabTwips = 0);

// "\" -> "\\", "{" -> "\{", "}" -> "\}", CR LF -> "\par" CR LF. A double-byte character whose
// trail byte is one of those three is written as two hex escapes ("\'95\'5c"), so that its
// trail byte is never read as RTF syntax; other characters pass unchanged.
std::string EscapeRTF(std::string_view Text);

// Complete RTF documents of the three report texts, coloured by their layout (the general
// section as TLogItem lays it out, the others as BuildAssemblerView and BuildCPUView do).
// Lines that do not follow the layout stay readable; nothing here fails on content.
std::string RenderGeneralRTF(std::string_view Text, const TRTFFont& Font);
std::string RenderAssemblerRTF(std::string_view Text, const TRTFFont& Font);
std::string RenderCPURTF(std::string_view Text, const TRTFFont& Font);

// In this order: "&" -> "&amp;", '"' -> "&quot;", "'" -> "&#039;", "<" -> "&lt;",
// ">" -> "&gt;", each pair of blanks -> "&nbsp;&nbsp;", CR LF -> "<br>" CR LF.
std::string EscapeHTML(std::string_view Text);

// A when Flag, else B.
std::string ChooseText(bool Flag, const std::string& A, const std::string& B);

#ifdef _WIN32
// Replaces the content of the rich edit control (an HWND) by the RTF document. False when the
// control reported a stream error.
bool StreamRTFIntoRichEdit(uintptr_t Control, const std::string& RTF);
// Sets the control's background; a negative Colour is the system colour whose index is its low
// byte. Returns the previous background colour (a COLORREF).
uint32_t SetRichEditBackground(uintptr_t Control, int32_t Colour);
// TRTFFont::TabTwips for the font (an HFONT): 15 times the pixel width of 21 dashes, the width
// of the CPU view's stack column.
int MeasureCPUTabTwips(uintptr_t Font);
#endif

} // namespace kv::crash
