#include "crash/dialogs/ClExceptionDialog.h"

#include <cctype>
#include <cstring>

namespace kv::crash {

namespace {

void PutShortString(std::string& record, size_t at, const std::string& text) {
    const size_t n = AnsiPrefixLength(text, 89);
    record[at] = static_cast<char>(n);
    std::memcpy(&record[at + 1], text.data(), n);
}

void PutInt32(std::string& record, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) record[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

} // namespace

std::string MakeSourceLocationRecord(const std::string& Unit, const std::string& ClassName,
                                     const std::string& Procedure, int32_t Line, int32_t Offset,
                                     double CompilationDate) {
    std::string record(376, '\0');
    PutShortString(record, 0, std::string());
    PutShortString(record, 90, Unit);
    PutShortString(record, 180, ClassName);
    PutShortString(record, 270, Procedure);
    PutInt32(record, 360, static_cast<uint32_t>(Line));
    PutInt32(record, 364, static_cast<uint32_t>(Offset));
    uint64_t bits = 0;
    static_assert(sizeof bits == sizeof CompilationDate);
    std::memcpy(&bits, &CompilationDate, sizeof bits);
    PutInt32(record, 368, static_cast<uint32_t>(bits));
    PutInt32(record, 372, static_cast<uint32_t>(bits >> 32));
    return record;
}

void ParseLineCell(const std::string& Cell, int32_t& Line, int32_t& Offset) {
    auto digits = [&](size_t from) {
        int64_t v = 0;
        for (size_t i = from; i < Cell.size() && std::isdigit(static_cast<unsigned char>(Cell[i]));
             ++i)
            if (v < 0x7FFFFFFF) v = v * 10 + (Cell[i] - '0');
        return static_cast<int32_t>(v > 0x7FFFFFFF ? 0x7FFFFFFF : v);
    };
    size_t start = 0;
    while (start < Cell.size() && Cell[start] == ' ') ++start;
    Line = digits(start);
    const size_t bracket = Cell.find('[');
    Offset = bracket == std::string::npos ? -1 : digits(bracket + 1);
}

bool IsValidEmail(const std::string& Text) {
    return Text.find('@') != std::string::npos && Text.find('.') != std::string::npos;
}

std::string ReplaceUserEmailItem(const std::string& Text, const std::string& Email) {
    const size_t item = Text.find("\r\n  3.3 ");
    if (item == std::string::npos) return Text;
    // The ": " of the item's own line, never one of a later item.
    const size_t lineEnd = Text.find("\r\n", item + 2);
    const size_t colon = Text.find(": ", item + 2);
    if (colon == std::string::npos || (lineEnd != std::string::npos && colon > lineEnd))
        return Text;
    const size_t from = colon + 2;
    size_t to = Text.find("\r\n", from);
    if (to == std::string::npos) to = Text.size();
    return Text.substr(0, from) + Email + Text.substr(to);
}

} // namespace kv::crash
