#include "app/TAutoFile.h"

#include "base/CodePageConv.h"
#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Stream.h"
#include "base/Text.h"

namespace {

std::u16string Quoted(std::u16string_view text) {
    std::u16string out = u"\"";
    for (const char16_t ch : text) {
        if (ch == u'"') out += u'"';
        out += ch;
    }
    return out + u"\"";
}

const char16_t* Flag(bool value) {
    return value ? u"-1" : u"0";
}

// cmd expands %...% even inside double quotes; "%%" in a batch file stands for one "%".
std::u16string EscapePercent(std::u16string_view line) {
    std::u16string out;
    for (const char16_t ch : line) {
        if (ch == u'%') out += u'%';
        out += ch;
    }
    return out;
}

} // namespace

void TAutoFile::ParseParam(std::u16string_view arg) {
    if (arg.empty()) return;
    if (arg[0] != u'-') {
        ProjectFileName = arg;
        return;
    }
    if (arg == u"-a") {
        Auto = true;
        return;
    }
    if (arg.size() < 4) return;
    const std::u16string_view prefix = arg.substr(0, 4);
    const std::u16string_view value = arg.substr(4);
    if (prefix == u"-lf=") {
        FileNameLeft = value;
    } else if (prefix == u"-lk=") {
        KeyLeft = kv::StrToIntDef(value, 0);
    } else if (prefix == u"-lt=") {
        FirstLineIsTitleLeft = kv::StrToBool(value);
    } else if (prefix == u"-rf=") {
        FileNameRight = value;
    } else if (prefix == u"-rk=") {
        KeyRight = kv::StrToIntDef(value, 0);
    } else if (prefix == u"-rt=") {
        FirstLineIsTitleRight = kv::StrToBool(value);
    } else if (prefix == u"-cf=") {
        SaveFileName = value;
    } else if (prefix == u"-ci=") {
        EncodingIndex = kv::StrToIntDef(value, 0);
    } else if (prefix == u"-cs=") {
        SaveIsNew = kv::StrToBool(value);
    } else if (prefix == u"-ct=") {
        ShowType = kv::StrToIntDef(value, 0);
    } else if (prefix == u"-cc=") {
        const int32_t col = kv::StrToIntDef(value, 0);
        SaveSortCol = (col < 0 || col > 2) ? 0 : col;
    } else if (prefix == u"-co=") {
        SortInfos = TCsvSorter::FromCommaText(value);
    }
}

std::u16string TAutoFile::BatchLine(const std::u16string& programPath,
                                    const std::u16string& fileNameLeft, int32_t keyLeft,
                                    bool firstLineIsTitleLeft, const std::u16string& fileNameRight,
                                    int32_t keyRight, bool firstLineIsTitleRight,
                                    const std::u16string& saveFileName, int32_t encodingIndex,
                                    bool saveIsNew, int32_t showType, int32_t saveSortCol,
                                    const std::vector<TCsvSorter::TSortInfo>& sortInfos) {
    std::u16string line = Quoted(programPath);
    line += u" -a ";
    line += Quoted(u"-lf=" + fileNameLeft);
    line += u" -lk=" + kv::IntToStr(keyLeft);
    line += u" -lt=" + std::u16string(Flag(firstLineIsTitleLeft));
    line += u" " + Quoted(u"-rf=" + fileNameRight);
    line += u" -rk=" + kv::IntToStr(keyRight);
    line += u" -rt=" + std::u16string(Flag(firstLineIsTitleRight));
    line += u" " + Quoted(u"-cf=" + saveFileName);
    line += u" -ci=" + kv::IntToStr(encodingIndex);
    line += u" -cs=" + std::u16string(Flag(saveIsNew));
    line += u" -ct=" + kv::IntToStr(showType);
    line += u" -cc=" + kv::IntToStr(saveSortCol);
    if (saveSortCol == 2) line += u" -co=" + TCsvSorter::ToCommaText(sortInfos);
    return EscapePercent(line);
}

void TAutoFile::SaveToFile(const std::u16string& batchPath, const std::u16string& fileNameLeft,
                           int32_t keyLeft, bool firstLineIsTitleLeft,
                           const std::u16string& fileNameRight, int32_t keyRight,
                           bool firstLineIsTitleRight, const std::u16string& saveFileName,
                           int32_t encodingIndex, bool saveIsNew, int32_t showType,
                           int32_t saveSortCol,
                           const std::vector<TCsvSorter::TSortInfo>& sortInfos) {
    const std::u16string line =
        BatchLine(kv::GetProgramFileName(), fileNameLeft, keyLeft, firstLineIsTitleLeft,
                  fileNameRight, keyRight, firstLineIsTitleRight, saveFileName, encodingIndex,
                  saveIsNew, showType, saveSortCol, sortInfos) +
        u"\r\n";
    std::string bytes;
    if (!kv::TryWideToAnsi(line, bytes))
        throw kv::Exception(u"パスにANSIの文字コードで表せない文字が含まれているため、"
                            u"バッチファイルを作成できません。");
    const kv::FileHandle file(kv::FileCreate(batchPath));
    if (!file.valid()) throw kv::EFileError(u"Cannot create file \"" + batchPath + u"\"");
    if (kv::FileWrite(file.get(), bytes.data(), bytes.size()) !=
        static_cast<long long>(bytes.size()))
        throw kv::EFileError(u"Cannot write file \"" + batchPath + u"\"");
}
