#pragma once
// A small tree of XML elements written as indented text with CR LF breaks. Values are 8-bit
// text in the ANSI code page; the written text is pure ASCII (other characters as decimal
// character references), so it needs no encoding declaration. Pure; one owner per tree.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kv::crash {

class TXMLItem;

// The children of an element, in the order added; owns them.
class TXMLItems {
public:
    explicit TXMLItems(TXMLItem* Owner) : FOwner(Owner) {}
    ~TXMLItems();
    TXMLItems(const TXMLItems&) = delete;
    TXMLItems& operator=(const TXMLItems&) = delete;

    // A new child named ItemName whose parent is the owner; stays valid as long as the owner.
    TXMLItem* AddItem(const std::string& ItemName);
    int Count() const { return static_cast<int>(FList.size()); }
    // Null when Index is out of range.
    TXMLItem* GetItem(int Index) const;

private:
    TXMLItem* FOwner; // not owned
    std::vector<std::unique_ptr<TXMLItem>> FList;
};

class TXMLItem {
public:
    explicit TXMLItem(std::string Name);
    TXMLItem(const TXMLItem&) = delete;
    TXMLItem& operator=(const TXMLItem&) = delete;

    const std::string& Name() const { return FName; }
    const std::string& Value() const { return FValue; }
    // The element's text, written escaped between its tags.
    void SetValue(const std::string& Value);
    TXMLItem* Parent() const { return FParent; } // null for a root
    TXMLItems& Items() { return FItems; }
    const TXMLItems& Items() const { return FItems; }
    // Leading blanks of the element's lines; a root keeps what it is given, children get theirs
    // when the text is written.
    const std::string& Spaces() const { return FSpaces; }
    void SetSpaces(const std::string& Spaces) { FSpaces = Spaces; }

    // Appends the attribute FieldName="FieldValue" (escaped) after those added before.
    void AddField(const std::string& FieldName, const std::string& FieldValue);
    TXMLItem* AddItem(const std::string& ItemName) { return FItems.AddItem(ItemName); }

    // Text as XML character data: 9, 10, 13, 34, 38, 39, 60 and 62 as "&#NNN;" (three digits),
    // other control characters as "?", every non-ASCII character of the ANSI code page as the
    // decimal reference of its code point ("?" for one XML does not allow).
    static std::string EncodedString(std::string_view Text);

    // Appends the element with its attributes, text and children, each line ending in CR LF.
    void AppendXMLText(std::string& Text);
    std::string GetXMLText();
    std::string XMLText() { return GetXMLText(); }
    // Writes GetXMLText to the file, replacing it; raises kv::EFileError when it cannot be
    // created or written.
    void SaveXMLToFile(const std::string& FileName);

private:
    friend class TXMLItems; // sets FParent

    std::string FName;
    std::string FValue;
    std::string FEncodedValue;
    std::string FFields; // " Name=\"value\"" for each attribute
    std::string FSpaces;
    TXMLItems FItems;
    TXMLItem* FParent = nullptr; // not owned
};

// Writes Text as it is to the file, replacing it; raises kv::EFileError when it cannot be
// created or written.
void SaveXMLTextToFile(const std::string& FileName, const std::string& Text);

} // namespace kv::crash
