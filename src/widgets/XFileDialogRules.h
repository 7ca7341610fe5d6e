#pragma once
// The pure rules of the file dialog component and its folder browser: which directory entries
// the list shows, the search mask, the save dialog's path, which new names a rename accepts,
// the form's first place on the work area, the shortened directory line, and the folder
// browser's special folders, flags and least size. No platform calls; any thread.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kv {

// ---- file list ----

// File attributes as the system reports them (the bits the listing looks at).
constexpr uint32_t kFileAttributeHidden = 0x02, kFileAttributeSystem = 0x04,
                   kFileAttributeVolumeLabel = 0x08, kFileAttributeDirectory = 0x10,
                   kFileAttributeReparsePoint = 0x400;

// The extension a listing asks for: ".*" when fileExt is empty or holds "*", else fileExt.
std::u16string ListingExtension(std::u16string_view fileExt);
// The search text of a listing: "*" when empty, "*" + text + "*" when it holds no "*", else
// the text as it is.
std::u16string ListingFindText(std::u16string_view findText);
// The mask handed to the system's file search: the directory with one trailing delimiter, the
// search text and the extension, as the two functions above make them.
std::u16string ListingMask(std::u16string_view directory, std::u16string_view findText,
                           std::u16string_view fileExt);
// The extension test of an entry the mask found: true when the wanted extension (as
// ListingExtension made it) holds "*" or equals the name's extension, ignoring case.
bool ListingExtensionMatches(std::u16string_view name, std::u16string_view wantedExt);
// The other tests of an entry: false for shortcut files (".LNK"), for hidden, system,
// volume-label and directory entries, and, with a non-empty and-find text, for names whose
// part without extension does not contain that text, ignoring case.
bool ListingEntryKept(std::u16string_view name, uint32_t attributes,
                      std::u16string_view andFindText);

// The extension of a file name from its last "." on ("" when there is none), the name
// without it, and a directory with one trailing path delimiter.
std::u16string FileExtOf(std::u16string_view name);
std::u16string FileNameWithoutExt(std::u16string_view name);
std::u16string WithTrailingDelimiter(std::u16string_view directory);
// True when text holds the part, ignoring case the way SameText does.
bool ContainsText(std::u16string_view text, std::u16string_view part);

// ---- save dialog and rename ----

// The save dialog's result: the directory with one delimiter, the typed text without blanks
// around it, and fileExt unless it holds "*".
std::u16string SaveDialogFilePath(std::u16string_view directory, std::u16string_view typed,
                                  std::u16string_view fileExt);
// True when a typed new name may be used for a rename inside its folder: it holds no path
// delimiter ("\", "/") and is not "." or ".." (either would move the file elsewhere).
bool RenameNameAccepted(std::u16string_view typed);
// The path a rename gives: the directory with one delimiter, the typed name and the old
// file's extension.
std::u16string RenameTargetPath(std::u16string_view directory, std::u16string_view typed,
                                std::u16string_view oldPath);

// ---- places and sizes ----

struct TWorkArea {
    int left, top, right, bottom;
};
struct TFormBounds {
    int left, top, width, height;
};
// The dialog form's first bounds: two fifths of the work width, half its height, centred.
TFormBounds InitialDialogBounds(const TWorkArea& work);
// The left and top that centre a form of that size on the work area.
TFormBounds CenteredOnWorkArea(const TWorkArea& work, int width, int height);
// The left and top that centre a window of that size over a form.
TFormBounds CenteredOver(const TFormBounds& form, int width, int height);
// The rule of the components' IsOSBeforeVista: NT platform, major version at most 5 and
// minor version at most 1.
bool OSBeforeVista(bool ntPlatform, uint32_t major, uint32_t minor);

// A path shortened for a line of maxWidth: folders after the drive give way to "..." one by
// one from the left, then the drive goes, until widthOf(result) fits or nothing is left to
// drop; the last part of the path always stays.
std::u16string ShortenPathForDisplay(std::u16string_view path, int maxWidth,
                                     const std::function<int(std::u16string_view)>& widthOf);

// ---- folder browser ----

enum TplBFSpecialDir : uint8_t {
    sfNone,
    sfDesktop,
    sfInternet,
    sfPrograms,
    sfControls,
    sfPrinters,
    sfPersonal,
    sfFavorites,
    sfStartup,
    sfRecent,
    sfSendTo,
    sfBitBucket,
    sfStartMenu,
    sfMyDocuments,
    sfMyMusic,
    sfMyVidio,
    sfDesktopDirectory,
    sfDrives,
    sfNetWork,
    sfNetHood,
    sfFonts,
    sfTemplates,
    sfCommon_StartMenu,
    sfCommon_Programs,
    sfCommon_Startup,
    sfCommon_DesktopDirectory,
    sfAppData,
    sfPrintHood,
    sfLocal_AppData,
    sfAltSartup,
    sfCommon_AltSartup,
    sfCommon_Favorites,
    sfInternet_Cache,
    sfCookies,
    sfHistory,
    sfComman_AppData,
    sfWindows,
    sfSystem,
    sfProgram_Files,
    sfMyPictures,
    sfProfile,
    sfSystemX86,
    sfProgram_filesX86,
    sfProgram_Files_Common,
    sfProgram_Files_CommanX86,
    sfCommon_Templates,
    sfCommon_Documents,
    sfCommon_Admintools,
    sfAdmintools,
    sfConnections,
    sfCommon_Music,
    sfCommon_Pictures,
    sfCommon_Video,
    sfResources,
    sfResources_Localized,
    sfCommon_OEM_links,
    sfCdburn_Area,
    sfComputersNearme,
    sfProfiles,
};
constexpr int kSpecialDirCount = sfProfiles + 1;
// The stored names of the special folders, in order.
extern const char16_t* const kSpecialDirNames[kSpecialDirCount];
// The shell's special-folder identifier (CSIDL) of a kind; sfNone and sfDesktop give 0.
int SpecialDirCsidl(TplBFSpecialDir dir);

enum TplBrowseOption {
    bifReturnOnlyFSDirs,
    bifDontGoBelowDomain,
    bifStatusText,
    bifReturnFSAncestors,
    bifEditBox,
    bifValidate,
    bifNewDialogStyle,
    bifUseNewUI,
    bifbrowseIncludeURLs,
    bifUAHint,
    bifNoNewFolderButton,
    bifNoTranslateTargets,
    bifBroowseForComputer,
    bifBrowseForPrinter,
    bifBrowseIncludeFiles,
    bifShareAble,
};
// A set of browse options: bit i is the option of ordinal i.
using TplBrowseOptions = uint16_t;
constexpr TplBrowseOptions BrowseOption(TplBrowseOption o) {
    return static_cast<TplBrowseOptions>(1u << o);
}
extern const char16_t* const kBrowseOptionNames[16];
// The shell's browse flags of a set of options (each option adds its flag).
uint32_t BrowseFlags(TplBrowseOptions options);

constexpr int kBrowseFormWidthDefault = 371, kBrowseFormHeightDefault = 311;

// Where the folder browser's window goes: the remembered place when either coordinate is
// non-zero, else centred on the screen; the size is raised to the least size first.
TFormBounds BrowseDialogBounds(int formLeft, int formTop, int formWidth, int formHeight,
                               int screenWidth, int screenHeight);
// The old-style browse window's inner layout after it was sized: the tree's new size and the
// OK and Cancel buttons' new left edges and top (window client coordinates).
struct TBrowseOldStyleLayout {
    int treeWidth, treeHeight;
    int okLeft, cancelLeft, buttonTop;
};
TBrowseOldStyleLayout BrowseOldStyleLayout(int formWidth, int formHeight, int okWidth, int okHeight,
                                           int windowBottom, int treeTop);

} // namespace kv
