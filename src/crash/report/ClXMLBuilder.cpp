#include "crash/report/ClXMLBuilder.h"

#include <cstdint>

#include "base/Exception.h"
#include "base/Stream.h"
#include "crash/core/ClCore.h"

namespace kv::crash {

namespace {

// "&#" and three decimal digits: the escape of the markup characters and of the line breaks
// that attribute values must keep (a raw line break in an attribute is read back as a blank).
void AppendThreeDigitReference(std::string& out, unsigned char b) {
    out += "&#";
    out += static_cast<char>('0' + b / 100);
    out += static_cast<char>('0' + b / 10 % 10);
    out += static_cast<char>('0' + b % 10);
    out += ';';
}

bool IsXMLChar(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Each code point of the converted character as "&#N;". A byte the code page cannot map, or a
// stray surrogate, becomes "?": XML 1.0 has no reference for it.
void AppendCharacterReferences(std::string& out, std::u16string_view units) {
    if (units.empty()) {
        out += '?';
        return;
    }
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        if (!IsXMLChar(c)) {
            out += '?';
            continue;
        }
        out += "&#";
        out += std::to_string(c);
        out += ';';
    }
}

} // namespace

// ---- TXMLItems ----

TXMLItems::~TXMLItems() = default;

TXMLItem* TXMLItems::AddItem(const std::string& ItemName) {
    FList.push_back(std::make_unique<TXMLItem>(ItemName));
    TXMLItem* item = FList.back().get();
    item->FParent = FOwner;
    return item;
}

TXMLItem* TXMLItems::GetItem(int Index) const {
    if (Index < 0 || Index >= Count()) return nullptr;
    return FList[static_cast<size_t>(Index)].get();
}

// ---- TXMLItem ----

TXMLItem::TXMLItem(std::string Name) : FName(std::move(Name)), FItems(this) {}

void TXMLItem::SetValue(const std::string& Value) {
    FValue = Value;
    FEncodedValue = EncodedString(Value);
}

void TXMLItem::AddField(const std::string& FieldName, const std::string& FieldValue) {
    FFields += ' ';
    FFields += FieldName;
    FFields += "=\"";
    FFields += EncodedString(FieldValue);
    FFields += '"';
}

std::string TXMLItem::EncodedString(std::string_view Text) {
    std::string out;
    out.reserve(Text.size() + Text.size() / 4);
    size_t i = 0;
    while (i < Text.size()) {
        const auto b = static_cast<unsigned char>(Text[i]);
        if (b < 0x80) {
            switch (b) {
            case 9:
            case 10:
            case 13:
            case '"':
            case '&':
            case '\'':
            case '<':
            case '>':
                AppendThreeDigitReference(out, b);
                break;
            default:
                // XML 1.0 allows no other control character, not even as a reference.
                out += b < 32 || b == 127 ? '?' : static_cast<char>(b);
            }
            ++i;
            continue;
        }
        // Through Unicode, so that a double-byte character stays one character for every
        // parser instead of two Latin-1 ones.
        const size_t n = AnsiCharSize(Text, i);
        AppendCharacterReferences(out, AnsiToUtf16(Text.substr(i, n)));
        i += n;
    }
    return out;
}

void TXMLItem::AppendXMLText(std::string& Text) {
    Text += FSpaces;
    Text += '<';
    Text += FName;
    Text += FFields;
    if (FEncodedValue.empty() && FItems.Count() == 0) {
        Text += "/>\r\n";
        return;
    }
    Text += '>';
    Text += FEncodedValue;
    if (FItems.Count() > 0) {
        Text += "\r\n";
        for (int i = 0; i < FItems.Count(); ++i) {
            TXMLItem* child = FItems.GetItem(i);
            child->FSpaces = FSpaces + "  ";
            child->AppendXMLText(Text);
        }
        Text += FSpaces;
    }
    Text += "</";
    Text += FName;
    Text += ">\r\n";
}

std::string TXMLItem::GetXMLText() {
    std::string text;
    AppendXMLText(text);
    return text;
}

void TXMLItem::SaveXMLToFile(const std::string& FileName) {
    SaveXMLTextToFile(FileName, GetXMLText());
}

void SaveXMLTextToFile(const std::string& FileName, const std::string& Text) {
    const std::u16string name = AnsiToUtf16(FileName);
    const kv::FileHandle file(kv::FileCreate(name));
    if (!file.valid()) throw kv::EFileError(u"Cannot create file \"" + name + u"\"");
    if (kv::FileWrite(file.get(), Text.data(), Text.size()) != static_cast<long long>(Text.size()))
        throw kv::EFileError(u"Stream write error");
}

} // namespace kv::crash
