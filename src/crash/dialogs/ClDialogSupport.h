#pragma once
// What the report dialogs share that needs no window: the cell texts of the list pages, the
// wrapped-height rule of the dialogs' layouts, the caption band's gradient and the auto-close
// count. Pure; the Win32 half is in ClDialogWin.h.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "crash/capture/CrashLogExceptions.h"
#include "crash/capture/CrashLogMain.h"

namespace kv::crash {

// ---- List cells ----

// The folder of a file name without its final backslash (kept after a drive colon), a
// leading "\??\" removed: "C:\app\x.dll" gives "C:\app", "C:\x.dll" gives "C:\".
std::string ExtractDisplayPath(std::string_view FileName);
// Bytes / 1024 to the nearest integer (a half to the even one) and " Kb"; empty for 0.
std::string SizeToKbText(uint64_t Bytes);
// "6.1.4.12" gives "6.1.x"; a version with fewer than two dots stays as it is.
std::string MaskVersionBuild(std::string_view Version);
// "Normal", "Low", ... for the process priority classes; empty for other values.
std::string PriorityClassToText(uint32_t PriorityClass);
// N in decimal; "??" for 0.
std::string CountToText(int32_t N);

// ---- Text measuring ----

struct TTextExtent {
    int Width = 0, Height = 0;
};
// Measures a piece of text (UTF-16) in the dialog's font.
using TTextMeasure = std::function<TTextExtent(std::u16string_view)>;
// The height of a text wrapped at Width the way the dialogs lay it out: lines (an empty line
// counts as one space) split into words after blanks and the characters ! % ( ) - ? [ ] { }
// § °; a line grows by one line height each time its running width passes a whole multiple
// of Width - 6.
int WrappedTextHeight(std::u16string_view Text, int Width, const TTextMeasure& Measure);

// ---- The component's caption ----

// The colours of the caption band from its start colour (0x00BBGGRR): one per step, each the
// one before with every channel times 0.96 (rounded, a half to the even one).
std::vector<uint32_t> CaptionGradient(uint32_t StartColour, int BandHeight);

// ---- Auto-close ----

// The auto-close count of the dialog on screen: a tick adds one; true when the dialog is to
// be closed (the count reached Seconds, which must be above 0).
class TAutoCloseCount {
public:
    void Restart() { count_ = 0; }
    bool Tick(int32_t Seconds) { return ++count_ >= Seconds; }
    int32_t Count() const { return count_; }

private:
    int32_t count_ = 0;
};

// ---- The exception object of a report sent later ----

// A copy of an exception object that outlives it: its message and class name (nullptr for
// nullptr). The report record takes it over as its ExceptionObject.
std::unique_ptr<EExceptionObjectCopy> CopyObjectInstance(const void* Object);
// Frees a copy held in the record's ExceptionObject and clears the field; an object that is
// no such copy is left alone.
void FreeExceptionObjectCopy(TCrashExceptionRecord& Record);

} // namespace kv::crash
