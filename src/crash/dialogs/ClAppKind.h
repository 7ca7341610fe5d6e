#pragma once
// What kind of program the crash-report component lives in (windowed, console, CGI, WinCGI,
// ISAPI, IntraWeb) and the web side of a report: the HTML error page made from the HTMLLayout
// option and the HTTP response that carries it. The page text and the tests that need no
// system call are portable; the rest is Win32. Report thread (the exported GenerateHTML may
// come from any thread: the page state guards itself).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "crash/capture/CrashLogMain.h" // IsConsoleApplication, the report state
#include "crash/core/ClCore.h"

namespace kv::crash {

// ---- Texts of the pages ----

inline constexpr std::string_view kHTMLTag = "<%HTML_TAG%>";
inline constexpr std::string_view kHTMLTitleFormat = "<title>%s</title>";
inline constexpr std::string_view kHTMLIDCommentFormat = "<!-- CrashLog ID: %s -->";
inline constexpr std::string_view kIntraWebOkButtonTag = "{%butnOk%}";
inline constexpr std::string_view kIntraWebTemplateFileName = "CrashLog_IWShowMessage.html";
inline constexpr std::string_view kHTMLOkButton =
    "<br><input type=button value=\"Ok\" OnClick=\"history.go(-1)\" "
    "style=\"width:75;height:25;z-index:100;font-style:normal;font-size:10pt;"
    "text-decoration:none;\">";
// The largest WinCGI request file taken for one.
inline constexpr uint32_t kMaxWinCGIIniSize = 102400;

// ---- State the web capture shares ----

// The output file the last WinCGI test found (kept even when the file did not exist); empty
// before.
std::string WinCGIOutputFile();
// The ID comment of the last page ApplyHTMLLayout made: the web capture knows the component's
// own page by it. Empty before the first page.
std::string LastPageIDComment();
// The extension control block of the ISAPI request being served (an EXTENSION_CONTROL_BLOCK*,
// not owned); null outside a request.
void SetISAPIServerECB(void* ECB);
void* ISAPIServerECB();

// What an IntraWeb application would give the component. We have no IntraWeb: the slots stay
// empty unless a web framework (or a test) fills them.
struct TIntraWebSlots {
    void* Application = nullptr; // the TIWApplication; not owned
    // The server controller; not owned. Set only once its exception event is hooked.
    void* ServerController = nullptr;
    // TIWApplication.ShowMessage(Message, Type, Template); Type is the TIWShowMessageType
    // ordinal. Raises when the call fails.
    std::function<void(void* Application, const std::string& Message, int Type,
                       const std::string& Template)>
        ShowMessage;
    // The controller's published string property "TemplateDir"; raises when it has none.
    std::function<std::string(void* ServerController)> TemplateDir;
};
extern TIntraWebSlots IntraWebSlots;
// The text ShowIntraWebErrorPage shows (HTML-escaped by it).
extern std::string IntraWebMessage;

// ---- Application kinds ----

// A console program whose environment holds "REQUEST_METHOD" (Windows reads an empty value
// as missing).
bool IsCGIApplication();
// A windowed program whose command line names a WinCGI request file (see CheckWinCGIParams).
bool IsWinCGIApplication();
// The WinCGI test on a command line's parameters: the first names an existing file (no "*" or
// "?") that can be opened for reading and holds at most kMaxWinCGIIniSize bytes, whose [CGI]
// "Request Method" is not empty; the output file (the third parameter, else [System]
// "Output File") is stored for WinCGIOutputFile. True when the output file exists.
bool CheckWinCGIParams(const TStrings& Params);
// An IntraWeb server controller was found and hooked (IntraWebSlots.ServerController).
bool IsIntraWebApplication();

// ---- The error page ----

// Text HTML-escaped (EscapeHTML), the Ok button after it when OkButton, placed in the layout.
std::string GenerateHTML(std::string_view Text, bool OkButton);
// Body placed in the layout page of the report options (a fresh options object's layout when
// they hold no visible character): the first "<%HTML_TAG%>" of any case is taken for the
// placeholder, a "<title>" holding mtDialog_Caption goes in front when the layout has no
// well-formed one, every "<%HTML_TAG%>" becomes Body and a new ID comment ends the page.
std::string ApplyHTMLLayout(std::string_view Body);
// The HTTP header before a page of PageBytes bytes; the status line only WithStatus (CGI and
// WinCGI).
std::string WebResponseHeader(size_t PageBytes, bool WithStatus);
// Writes Text to FileName (replacing it), creating its folder when missing (one level). True
// when all bytes were written.
bool SaveTextToFile(std::string_view Text, const std::string& FileName);

#ifdef _WIN32
// Set while the component writes its own ISAPI response, so that the ISAPI capture lets that
// output pass.
bool IsWritingOwnWebPage();

// The component's module is a DLL exporting "HttpExtensionProc".
bool IsISAPIApplication();

enum TWebApplicationKind : uint8_t { wkNone, wkISAPI, wkCGI, wkWinCGI, wkIntraWeb };
// The first kind that applies, tested as ISAPI, CGI, WinCGI, IntraWeb.
TWebApplicationKind WebApplicationKind();
bool IsWebApplication();
// Neither a web nor a console program: dialogs may be shown.
bool IsGUIApplication();

// Writes the HTTP response carrying Page for the program's web kind; true when it was written
// (and for programs of no web kind). Failures become the component's last error (eeShowError).
bool WriteWebResponse(const std::string& Page);
// The same for a given kind (ISAPI through the kept control block, CGI on standard output,
// WinCGI into WinCGIOutputFile from its start without truncating it).
bool WriteWebResponseAs(TWebApplicationKind Kind, const std::string& Page);

// The report routine's web output: the report's message heading and Text, shown through
// IntraWeb on the raising thread or as a page with an Ok button in the HTTP response; the
// outcome becomes Report.ActionFlag. Nothing for other programs.
void ShowWebErrorPage(const std::string& Text);
// Saves the page of IntraWebMessage as a template and asks IntraWeb to show it. True when
// IntraWeb was asked (a failed save or call is still recorded as the last error); false
// without the IntraWeb slots or on another failure.
bool ShowIntraWebErrorPage();
#endif

} // namespace kv::crash
