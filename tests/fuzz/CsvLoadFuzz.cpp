// libFuzzer target over loading a CSV file from raw bytes: detection, decoding by each code page
// the system handles, encoding back, and the tokenizer. The file load must give the same table
// as parsing the text that detection and decoding give for the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "base/Stream.h"
#include "csv/TCsv.h"
#include "csv/TStringUtility.h"

namespace {

constexpr unsigned short kCodePages[] = {932,  20932, 51932, 50220, 50221,  50222, 65001,
                                         1200, 1201,  12000, 12001, 0xFFFF, 0};

void CheckSquare(const TCsv& csv) {
    for (int r = 0; r < csv.GetRowCount(); ++r) {
        int cells = 0;
        csv.ForEachCell(r, [&](std::u16string_view) { ++cells; });
        if (cells != csv.GetColCount()) std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::ScratchFile file("csv");
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    for (const unsigned short cp : kCodePages) {
        const std::u16string text = TStringUtility::BytesToString(bytes, cp);
        kv::TMemoryStream stream{std::string(bytes)};
        std::u16string pieces;
        TStringUtility::DecodeStream(stream, cp,
                                     [&](const char16_t* s, size_t n) { pieces.append(s, n); });
        if (pieces != text) std::abort();
        if (text.size() > TStringUtility::MaxTextLength(cp, size)) std::abort();
        (void)TStringUtility::StringToBytes(text, cp);
    }

    kv::TMemoryStream stream{std::string(bytes)};
    const std::u16string text = TStringUtility::StreamToString(stream);
    TCsv parsed;
    if (!parsed.SetText(text)) std::abort();
    CheckSquare(parsed);

    if (!file.Write(data, size)) return 0;
    TCsv loaded;
    if (!loaded.LoadFromFile(file.Path())) std::abort();
    if (loaded.GetRowCount() != parsed.GetRowCount() ||
        loaded.GetColCount() != parsed.GetColCount())
        std::abort();
    for (int r = 0; r < parsed.GetRowCount(); ++r)
        for (int c = 0; c < parsed.GetColCount(); ++c)
            if (loaded.CellView(r, c) != parsed.CellView(r, c)) std::abort();
    return 0;
}
