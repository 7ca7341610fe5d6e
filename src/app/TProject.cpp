#include "app/TProject.h"

#include "base/MemIniFile.h"

void TProject::Save(const std::u16string& path) {
    kv::TMemIniFile ini(path);
    ini.Clear();
    ini.WriteInteger(u"SYSTEM", u"Version", 0);
    ini.WriteString(u"CSV", u"FileNameLeft", FileNameLeft);
    ini.WriteInteger(u"CSV", u"KeyLeft", KeyLeft);
    ini.WriteBool(u"CSV", u"FirstLineIsTitleLeft", FirstLineIsTitleLeft);
    ini.WriteString(u"CSV", u"FileNameRight", FileNameRight);
    ini.WriteInteger(u"CSV", u"KeyRight", KeyRight);
    ini.WriteBool(u"CSV", u"FirstLineIsTitleRight", FirstLineIsTitleRight);
    ini.WriteString(u"CSV", u"SORT", TCsvSorter::ToCommaText(SortInfos));
    ini.WriteString(u"SAVE", u"SaveFileName", SaveFileName);
    ini.WriteInteger(u"SAVE", u"EncodingIndex", EncodingIndex);
    ini.WriteInteger(u"SAVE", u"ShowType", ShowType);
    ini.WriteBool(u"SAVE", u"SaveIsNew", SaveIsNew);
    ini.WriteBool(u"SAVE", u"SaveSortCol", SaveSortCol != 0);
    ini.UpdateFile();
    FileName = path;
}

void TProject::Load(const std::u16string& path) {
    const kv::TMemIniFile ini(path);
    ini.ReadInteger(u"SYSTEM", u"Version", 0); // no other version exists yet
    FileNameLeft = ini.ReadString(u"CSV", u"FileNameLeft", u"");
    KeyLeft = ini.ReadInteger(u"CSV", u"KeyLeft", 0);
    FirstLineIsTitleLeft = ini.ReadBool(u"CSV", u"FirstLineIsTitleLeft", false);
    FileNameRight = ini.ReadString(u"CSV", u"FileNameRight", u"");
    KeyRight = ini.ReadInteger(u"CSV", u"KeyRight", 0);
    FirstLineIsTitleRight = ini.ReadBool(u"CSV", u"FirstLineIsTitleRight", false);
    SortInfos = TCsvSorter::FromCommaText(ini.ReadString(u"CSV", u"SORT", u""));
    SaveFileName = ini.ReadString(u"SAVE", u"SaveFileName", u"");
    EncodingIndex = ini.ReadInteger(u"SAVE", u"EncodingIndex", 0);
    ShowType = ini.ReadInteger(u"SAVE", u"ShowType", 0);
    SaveIsNew = ini.ReadBool(u"SAVE", u"SaveIsNew", true);
    SetSaveSortCol(ini.ReadBool(u"SAVE", u"SaveSortCol", false) ? 1 : 0);
    FileName = path;
}

void TProject::SetSaveSortCol(int32_t value) {
    if (static_cast<uint32_t>(value) < 2) SaveSortCol = value;
}
