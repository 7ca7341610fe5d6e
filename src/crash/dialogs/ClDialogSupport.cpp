#include "crash/dialogs/ClDialogSupport.h"

#include <cmath>

#include "crash/capture/CrashLogUtils.h"
#include "crash/core/ClCore.h"
#include "crash/report/ClReportText.h"

namespace kv::crash {

std::string ExtractDisplayPath(std::string_view FileName) {
    return TableFolderText(FileName);
}

std::string SizeToKbText(uint64_t Bytes) {
    if (Bytes == 0) return std::string();
    uint64_t kb = Bytes / 1024;
    const uint64_t rest = Bytes % 1024;
    if (rest > 512 || (rest == 512 && (kb & 1))) ++kb;
    return IntToStr(static_cast<long long>(kb)) + " Kb";
}

std::string MaskVersionBuild(std::string_view Version) {
    const size_t first = Version.find('.');
    if (first == std::string_view::npos) return std::string(Version);
    const size_t second = Version.find('.', first + 1);
    if (second == std::string_view::npos) return std::string(Version);
    return std::string(Version.substr(0, second + 1)) + "x";
}

std::string PriorityClassToText(uint32_t PriorityClass) {
    return PriorityClassText(PriorityClass);
}

std::string CountToText(int32_t N) {
    return N == 0 ? std::string("??") : IntToStr(N);
}

namespace {

bool IsWordBreak(char16_t c) {
    switch (c) {
    case u' ':
    case u'!':
    case u'%':
    case u'(':
    case u')':
    case u'-':
    case u'?':
    case u'[':
    case u']':
    case u'{':
    case u'}':
    case u'\u00A7': // section sign
    case u'\u00B0': // degree sign
        return true;
    default:
        return false;
    }
}

} // namespace

int WrappedTextHeight(std::u16string_view Text, int Width, const TTextMeasure& Measure) {
    // Split on whole characters of the wide text: in code page 932 the bytes of the section and
    // degree signs of other code pages are half-width katakana.
    const int limit = Width - 6;
    int height = 0;
    size_t start = 0;
    while (start <= Text.size()) {
        size_t end = Text.find(u'\n', start);
        if (end == std::u16string_view::npos) end = Text.size();
        std::u16string_view line = Text.substr(start, end - start);
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        if (line.empty()) line = u" ";
        int w = 0;
        // A line's height counts once. A zero-width word (a line that starts with a blank, and
        // every empty line, measured as one blank) leaves the running width at 0: counting
        // whenever the width is 0 would make such a line two lines high.
        bool counted = false;
        size_t wordStart = 0;
        for (size_t i = 0; i <= line.size(); ++i) {
            if (i < line.size() && !IsWordBreak(line[i])) continue;
            // The break characters themselves are not measured; an empty word (two breaks in a
            // row) has no width.
            const TTextExtent e = Measure(line.substr(wordStart, i - wordStart));
            if (!counted) height += e.Height;
            counted = true;
            w += e.Width;
            if (limit > 0 && w >= limit) {
                height += (w / limit) * e.Height;
                w = e.Width;
            }
            wordStart = i + 1;
        }
        if (end == Text.size()) break;
        start = end + 1;
    }
    return height;
}

std::vector<uint32_t> CaptionGradient(uint32_t StartColour, int BandHeight) {
    std::vector<uint32_t> colours;
    double r = StartColour & 0xFF, g = (StartColour >> 8) & 0xFF, b = (StartColour >> 16) & 0xFF;
    for (int i = 0; i < BandHeight / 5; ++i) {
        // nearbyint rounds a half to the even neighbour in the default rounding mode.
        r = std::nearbyint(r * 0.96);
        g = std::nearbyint(g * 0.96);
        b = std::nearbyint(b * 0.96);
        colours.push_back(static_cast<uint32_t>(r) | static_cast<uint32_t>(g) << 8 |
                          static_cast<uint32_t>(b) << 16);
    }
    return colours;
}

std::unique_ptr<EExceptionObjectCopy> CopyObjectInstance(const void* Object) {
    if (!Object) return nullptr;
    return std::make_unique<EExceptionObjectCopy>(AnsiToUtf16(ExceptionMessageOf(Object)),
                                                  GetValidObjectClassName(Object));
}

void FreeExceptionObjectCopy(TCrashExceptionRecord& Record) {
    const kv::Exception* e = AsException(Record.ExceptionObject);
    if (!e || typeid(*e) != typeid(EExceptionObjectCopy)) return;
    // The record held the copy that CopyObjectInstance made; it is freed here.
    std::unique_ptr<const EExceptionObjectCopy> owned(static_cast<const EExceptionObjectCopy*>(e));
    Record.ExceptionObject = nullptr;
}

} // namespace kv::crash
