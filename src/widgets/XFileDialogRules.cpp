#include "widgets/XFileDialogRules.h"

#include <algorithm>

#include "base/Text.h"

namespace kv {

namespace {

bool IsDelimiter(char16_t c) {
    return c == u'\\' || c == u'/';
}

bool HoldsStar(std::u16string_view s) {
    return s.find(u'*') != std::u16string_view::npos;
}

// Position of the extension's "." in the last part of a path, or npos.
size_t ExtPos(std::u16string_view name) {
    const size_t p = name.find_last_of(u".\\/:");
    return p != std::u16string_view::npos && name[p] == u'.' ? p : std::u16string_view::npos;
}

std::u16string_view Trim(std::u16string_view s) {
    while (!s.empty() && s.front() <= u' ') s.remove_prefix(1);
    while (!s.empty() && s.back() <= u' ') s.remove_suffix(1);
    return s;
}

} // namespace

std::u16string FileExtOf(std::u16string_view name) {
    const size_t p = ExtPos(name);
    return p == std::u16string_view::npos ? std::u16string() : std::u16string(name.substr(p));
}

std::u16string FileNameWithoutExt(std::u16string_view name) {
    return std::u16string(name.substr(0, ExtPos(name)));
}

std::u16string WithTrailingDelimiter(std::u16string_view directory) {
    std::u16string d(directory);
    if (d.empty() || !IsDelimiter(d.back())) d += u'\\';
    return d;
}

bool ContainsText(std::u16string_view text, std::u16string_view part) {
    if (part.empty()) return true;
    for (size_t i = 0; i + part.size() <= text.size(); ++i)
        if (SameText(text.substr(i, part.size()), part)) return true;
    return false;
}

std::u16string ListingExtension(std::u16string_view fileExt) {
    return fileExt.empty() || HoldsStar(fileExt) ? std::u16string(u".*") : std::u16string(fileExt);
}

std::u16string ListingFindText(std::u16string_view findText) {
    if (findText.empty()) return u"*";
    if (!HoldsStar(findText)) return u"*" + std::u16string(findText) + u"*";
    return std::u16string(findText);
}

std::u16string ListingMask(std::u16string_view directory, std::u16string_view findText,
                           std::u16string_view fileExt) {
    return WithTrailingDelimiter(directory) + ListingFindText(findText) + ListingExtension(fileExt);
}

bool ListingExtensionMatches(std::u16string_view name, std::u16string_view wantedExt) {
    return HoldsStar(wantedExt) || SameText(FileExtOf(name), wantedExt);
}

bool ListingEntryKept(std::u16string_view name, uint32_t attributes,
                      std::u16string_view andFindText) {
    if (!andFindText.empty() && !ContainsText(FileNameWithoutExt(name), andFindText)) return false;
    if (SameText(FileExtOf(name), u".LNK")) return false;
    constexpr uint32_t kNeverListed = kFileAttributeHidden | kFileAttributeSystem |
                                      kFileAttributeVolumeLabel | kFileAttributeDirectory;
    return (attributes & kNeverListed) == 0;
}

std::u16string SaveDialogFilePath(std::u16string_view directory, std::u16string_view typed,
                                  std::u16string_view fileExt) {
    std::u16string path = WithTrailingDelimiter(directory) + std::u16string(Trim(typed));
    if (!HoldsStar(fileExt)) path += fileExt;
    return path;
}

bool RenameNameAccepted(std::u16string_view typed) {
    if (typed == u"." || typed == u"..") return false;
    return std::none_of(typed.begin(), typed.end(), IsDelimiter);
}

std::u16string RenameTargetPath(std::u16string_view directory, std::u16string_view typed,
                                std::u16string_view oldPath) {
    return WithTrailingDelimiter(directory) + std::u16string(typed) + FileExtOf(oldPath);
}

TFormBounds InitialDialogBounds(const TWorkArea& work) {
    const int width = (work.right - work.left) * 2 / 5;
    const int height = (work.bottom - work.top) / 2;
    return CenteredOnWorkArea(work, width, height);
}

TFormBounds CenteredOnWorkArea(const TWorkArea& work, int width, int height) {
    return {(work.left + work.right - width) / 2, (work.top + work.bottom - height) / 2, width,
            height};
}

TFormBounds CenteredOver(const TFormBounds& form, int width, int height) {
    return {form.left + (form.width - width) / 2, form.top + (form.height - height) / 2, width,
            height};
}

bool OSBeforeVista(bool ntPlatform, uint32_t major, uint32_t minor) {
    return ntPlatform && major <= 5 && minor <= 1;
}

std::u16string ShortenPathForDisplay(std::u16string_view path, int maxWidth,
                                     const std::function<int(std::u16string_view)>& widthOf) {
    // path = drive + folders + last part; the folders shrink to "\...\" from the left.
    const size_t lastDelim = path.find_last_of(u"\\/");
    std::u16string_view folders = lastDelim == std::u16string_view::npos
                                      ? std::u16string_view()
                                      : path.substr(0, lastDelim + 1);
    const std::u16string last(path.substr(folders.size()));
    std::u16string drive;
    if (folders.size() >= 2 && folders[1] == u':') {
        drive = std::u16string(folders.substr(0, 2));
        folders.remove_prefix(2);
    }
    std::u16string dir(folders);
    std::u16string result(path);
    while ((!dir.empty() || !drive.empty()) && widthOf(result) > maxWidth) {
        if (dir == u"\\...\\") {
            drive.clear();
            dir = u"...\\";
        } else if (dir.empty()) {
            drive.clear();
        } else {
            // Drop the first folder (after a leading delimiter and an earlier "...\").
            const bool rooted = IsDelimiter(dir.front());
            std::u16string rest = rooted ? dir.substr(1) : dir;
            if (rest.compare(0, 4, u"...\\") == 0) rest.erase(0, 4);
            const size_t p = rest.find_first_of(u"\\/");
            rest = p == std::u16string::npos ? std::u16string() : u"...\\" + rest.substr(p + 1);
            dir = rooted ? u"\\" + rest : rest;
        }
        result = drive + dir + last;
    }
    return result;
}

const char16_t* const kSpecialDirNames[kSpecialDirCount] = {
    u"sfNone",
    u"sfDesktop",
    u"sfInternet",
    u"sfPrograms",
    u"sfControls",
    u"sfPrinters",
    u"sfPersonal",
    u"sfFavorites",
    u"sfStartup",
    u"sfRecent",
    u"sfSendTo",
    u"sfBitBucket",
    u"sfStartMenu",
    u"sfMyDocuments",
    u"sfMyMusic",
    u"sfMyVidio",
    u"sfDesktopDirectory",
    u"sfDrives",
    u"sfNetWork",
    u"sfNetHood",
    u"sfFonts",
    u"sfTemplates",
    u"sfCommon_StartMenu",
    u"sfCommon_Programs",
    u"sfCommon_Startup",
    u"sfCommon_DesktopDirectory",
    u"sfAppData",
    u"sfPrintHood",
    u"sfLocal_AppData",
    u"sfAltSartup",
    u"sfCommon_AltSartup",
    u"sfCommon_Favorites",
    u"sfInternet_Cache",
    u"sfCookies",
    u"sfHistory",
    u"sfComman_AppData",
    u"sfWindows",
    u"sfSystem",
    u"sfProgram_Files",
    u"sfMyPictures",
    u"sfProfile",
    u"sfSystemX86",
    u"sfProgram_filesX86",
    u"sfProgram_Files_Common",
    u"sfProgram_Files_CommanX86",
    u"sfCommon_Templates",
    u"sfCommon_Documents",
    u"sfCommon_Admintools",
    u"sfAdmintools",
    u"sfConnections",
    u"sfCommon_Music",
    u"sfCommon_Pictures",
    u"sfCommon_Video",
    u"sfResources",
    u"sfResources_Localized",
    u"sfCommon_OEM_links",
    u"sfCdburn_Area",
    u"sfComputersNearme",
    u"sfProfiles",
};

int SpecialDirCsidl(TplBFSpecialDir dir) {
    // The kinds run in CSIDL order with gaps at 0x0F, 0x32..0x34 and 0x3C.
    if (dir <= sfDesktop) return 0;
    if (dir <= sfMyVidio) return dir - 1;
    if (dir <= sfConnections) return dir;
    if (dir <= sfCdburn_Area) return dir + 3;
    return dir + 4;
}

const char16_t* const kBrowseOptionNames[16] = {
    u"bifReturnOnlyFSDirs",
    u"bifDontGoBelowDomain",
    u"bifStatusText",
    u"bifReturnFSAncestors",
    u"bifEditBox",
    u"bifValidate",
    u"bifNewDialogStyle",
    u"bifUseNewUI",
    u"bifbrowseIncludeURLs",
    u"bifUAHint",
    u"bifNoNewFolderButton",
    u"bifNoTranslateTargets",
    u"bifBroowseForComputer",
    u"bifBrowseForPrinter",
    u"bifBrowseIncludeFiles",
    u"bifShareAble",
};

uint32_t BrowseFlags(TplBrowseOptions options) {
    static constexpr uint32_t kFlags[16] = {0x0001, 0x0002, 0x0004, 0x0008, 0x0010, 0x0020,
                                            0x0040, 0x0050, 0x0080, 0x0100, 0x0200, 0x0400,
                                            0x1000, 0x2000, 0x4000, 0x8000};
    uint32_t flags = 0;
    for (int i = 0; i < 16; ++i)
        if (options & (1u << i)) flags |= kFlags[i];
    return flags;
}

TFormBounds BrowseDialogBounds(int formLeft, int formTop, int formWidth, int formHeight,
                               int screenWidth, int screenHeight) {
    const int width = std::max(formWidth, kBrowseFormWidthDefault);
    const int height = std::max(formHeight, kBrowseFormHeightDefault);
    if (formLeft != 0 || formTop != 0) return {formLeft, formTop, width, height};
    return {(screenWidth - width) / 2, (screenHeight - height) / 2, width, height};
}

TBrowseOldStyleLayout BrowseOldStyleLayout(int formWidth, int formHeight, int okWidth, int okHeight,
                                           int windowBottom, int treeTop) {
    TBrowseOldStyleLayout l{};
    l.treeWidth = formWidth - 32;
    l.treeHeight = windowBottom - okHeight - treeTop - 18;
    l.okLeft = formWidth - (2 * okWidth + 25);
    l.cancelLeft = l.okLeft + okWidth + 5;
    l.buttonTop = formHeight - okHeight - 35;
    return l;
}

} // namespace kv
