// The stream form of TCrashModuleOptions and the customised-texts INI file.
#include "crash/core/TCrashModuleOptions.h"

#include <algorithm>
#include <cstring>

#include "base/CodePageConv.h"
#include "crash/core/ClCorePlatform.h"

namespace kv::crash {

namespace detail {

// Reads the little-endian fields of an options stream held in memory. Every read is checked
// against the bytes left; data that is cut short or out of range throws BadData.
class OptionsReader {
public:
    struct BadData {};

    explicit OptionsReader(std::string_view data) : data_(data) {}
    size_t Pos() const { return pos_; }

    const char* Take(size_t n) {
        if (n > data_.size() - pos_) throw BadData{};
        const char* p = data_.data() + pos_;
        pos_ += n;
        return p;
    }
    uint8_t Byte() { return static_cast<uint8_t>(*Take(1)); }
    bool Bool() { return Byte() != 0; }
    uint16_t UInt16() {
        const auto* p = reinterpret_cast<const uint8_t*>(Take(2));
        return static_cast<uint16_t>(p[0] | p[1] << 8);
    }
    int32_t Int32() {
        const auto* p = reinterpret_cast<const uint8_t*>(Take(4));
        return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                    static_cast<uint32_t>(p[2]) << 16 |
                                    static_cast<uint32_t>(p[3]) << 24);
    }
    // A length and that many key-scrambled bytes; a length of 0 or below gives empty text.
    std::string Str() {
        const int32_t n = Int32();
        if (n <= 0) return {};
        std::string s(Take(static_cast<size_t>(n)), static_cast<size_t>(n));
        for (char& c : s) c = static_cast<char>(c ^ kOptionStringKey);
        return s;
    }
    // One byte that must be an ordinal of the enumeration (0 .. last).
    template <class E> E Enum(E last) {
        const uint8_t b = Byte();
        if (b > static_cast<uint8_t>(last)) throw BadData{};
        return static_cast<E>(b);
    }
    // The first n bytes of a bit set; the others are left as they are.
    template <class S> void SetBytes(S& set, size_t n) {
        const char* p = Take(n);
        std::memcpy(set.Data().data(), p, std::min(n, S::kBytes));
    }

private:
    std::string_view data_;
    size_t pos_ = 0;
};

} // namespace detail

namespace {

using detail::OptionsReader;

// Streams longer than this are no options stream.
constexpr int64_t kMaxStreamBytes = 64 << 20;

class OptionsWriter {
public:
    explicit OptionsWriter(kv::TStream& s) : s_(s) {}
    void Byte(uint8_t v) { s_.WriteBuffer(&v, 1); }
    void Bool(bool v) { Byte(v ? 1 : 0); }
    void UInt16(uint16_t v) {
        const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
        s_.WriteBuffer(b, 2);
    }
    void Int32(int32_t v) {
        const auto u = static_cast<uint32_t>(v);
        const uint8_t b[4] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8),
                              static_cast<uint8_t>(u >> 16), static_cast<uint8_t>(u >> 24)};
        s_.WriteBuffer(b, 4);
    }
    // A string whose only CR LF ends it is written without it.
    void Str(std::string_view s) {
        if (s.size() > 1 && s.find("\r\n") == s.size() - 2) s.remove_suffix(2);
        std::string bytes(s);
        for (char& c : bytes) c = static_cast<char>(c ^ kOptionStringKey);
        Int32(static_cast<int32_t>(bytes.size()));
        if (!bytes.empty()) s_.WriteBuffer(bytes.data(), bytes.size());
    }
    template <class S> void SetBytes(const S& set) { s_.WriteBuffer(set.Data().data(), S::kBytes); }

private:
    kv::TStream& s_;
};

// Whether data of that version holds text i.
bool VersionHoldsText(uint16_t v, size_t i) {
    if (v >= 6000) return true;
    const auto in = [i](size_t lo, size_t hi) { return i >= lo && i <= hi; };
    if (in(0, 1) || in(3, 8) || in(37, 40) || in(44, 46) || in(49, 50) || in(61, 67) ||
        in(69, 71) || in(78, 80) || i == 82 || in(92, 97))
        return true;
    if (in(17, 18)) return v < 500;
    if (i == 20) return v >= 420;
    if (i == 19) return v >= 421;
    if (v >= 450 && (in(9, 10) || in(15, 16) || in(22, 24) || in(47, 48) || i == 68 || i == 81 ||
                     in(110, 112) || in(114, 116) || in(123, 130) || i == 132 || in(141, 143)))
        return true;
    if (v >= 500 &&
        (i == 25 || i == 42 || in(72, 77) || in(84, 91) || in(98, 104) || i == 131 || in(144, 145)))
        return true;
    return false;
}

// Older layouts stored fewer items of the general section: their bits fill the items they knew
// and the newer items are switched on.
TShowOptions ConvertShowOptions(const uint8_t* bytes, size_t count, uint16_t version) {
    std::string digits(kShowOptionCount, '0');
    for (size_t k = 0; k < count * 8 && k < digits.size(); ++k)
        if (bytes[k / 8] >> (k % 8) & 1) digits[k] = '1';
    struct Insert {
        size_t pos; // 1-based
        const char* ones;
    };
    static constexpr Insert kBefore500[] = {{5, "11"},    {10, "1"},      {13, "1111"},
                                            {23, "1111"}, {31, "111111"}, {42, "1111111"}};
    static constexpr Insert kBefore6000[] = {{6, "1"},    {10, "1"}, {13, "1111"}, {23, "1111"},
                                             {34, "111"}, {41, "1"}, {48, "1"}};
    if (version < 500) {
        for (const auto& ins : kBefore500) digits.insert(ins.pos - 1, ins.ones);
    } else {
        for (const auto& ins : kBefore6000) digits.insert(ins.pos - 1, ins.ones);
    }
    TShowOptions set;
    for (size_t k = 0; k < kShowOptionCount; ++k)
        if (digits[k] == '1') set.Include(static_cast<TShowOption>(k));
    return set;
}

} // namespace

void TCrashModuleOptions::SaveToStream(kv::TStream& stream) const {
    OptionsWriter out(stream);
    out.Bool(FActivateLog);
    out.Bool(FActivateHandle);
    out.SetBytes(FLogOptions);
    out.Bool(FAppendLogs);
    out.Bool(FSaveLogFile);
    out.Byte(FForegroundTab);
    out.Bool(FFreezeActivate);
    out.Int32(FFreezeTimeout);
    out.Str(FSMTPFrom);
    out.Str(FSMTPHost);
    out.UInt16(FSMTPPort);
    out.Str(FSMTPUserID);
    out.Str(FSMTPPassword);
    out.Byte(FTerminateBtnOperation);
    out.Int32(FErrorsNumberToSave);
    out.Int32(FErrorsNumberToShowTerminateBtn);
    out.Str(FEMailAddresses);
    out.Str(FEMailSubject);
    out.Byte(FEMailSendMode);
    out.SetBytes(FShowOptions);
    out.Str(FOutputPath);
    out.Byte(FWebSendMode);
    out.Str(FWebURL);
    out.Str(FWebUserID);
    out.Str(FWebPassword);
    out.Int32(FWebPort);
    out.Str(FAttachedFiles);
    out.SetBytes(FCommonSendOptions);
    out.SetBytes(FExceptionDialogOptions);
    out.Int32(FAutoCloseDialogSecs);
    out.Str(FSupportURL);
    out.Str(FHTMLLayout);
    out.SetBytes(FCallStackOptions);
    out.SetBytes(FBehaviourOptions);
    out.SetBytes(FLeaksOptions);
    out.Byte(FAutoCrashOperation);
    out.Int32(FAutoCrashNumber);
    out.Int32(FAutoCrashMinutes);
    out.SetBytes(FCompiledFileOptions);
    out.Byte(FExceptionDialogType);
    out.Str(FProxyURL);
    out.Str(FProxyUserID);
    out.Str(FProxyPassword);
    out.UInt16(FProxyPort);
    for (const std::string* s : {&FTrakerUserID, &FTrakerPassword, &FTrakerAssignTo,
                                 &FTrakerProject, &FTrakerCategory, &FTrakerTrialID, &FZipPassword})
        out.Str(*s);
    out.Int32(FExceptionsFilters->Count());
    for (int i = 0; i < FExceptionsFilters->Count(); ++i) {
        const TCrashExceptionFilter& f = *FExceptionsFilters->GetItem(i);
        out.Bool(f.Active);
        out.Str(f.ExceptionClassName);
        out.Str(f.ExceptionMessage);
        out.Byte(f.ExceptionType);
        out.Byte(f.DialogType);
        out.Byte(f.HandlerType);
        out.Byte(f.ActionType);
    }
    out.Str(FEMailMessage);
    for (const auto& text : FCustomizedTexts) out.Str(text);
    out.Str(FTextsCollection);
}

void TCrashModuleOptions::SaveToFile(const std::string& fileName) const {
    kv::TMemoryStream bytes;
    SaveToStream(bytes);
    const std::u16string name = AnsiToUtf16(fileName);
    const intptr_t h = kv::FileCreate(name);
    if (h == kv::kInvalidFile) throw kv::EFileError(u"Cannot create file \"" + name + u"\"");
    const long long written = kv::FileWrite(h, bytes.Data().data(), bytes.Data().size());
    kv::FileClose(h);
    if (written != static_cast<long long>(bytes.Data().size()))
        throw kv::EFileError(u"Stream write error");
}

bool TCrashModuleOptions::LoadFromStream(kv::TStream& stream) {
    return LoadFromStreamOfVersion(stream, LastCrashVersion);
}

bool TCrashModuleOptions::LoadFromFile(const std::string& fileName) {
    std::string bytes;
    if (!detail::ReadFileDenyWrite(fileName, bytes))
        throw kv::EFileError(u"Cannot open file \"" + AnsiToUtf16(fileName) + u"\"");
    kv::TMemoryStream stream(std::move(bytes));
    return LoadFromStream(stream);
}

bool TCrashModuleOptions::LoadFromStreamOfVersion(kv::TStream& stream, uint16_t version) {
    // Read into a copy and take it over only when the whole stream was good: a stored block
    // that is cut short or damaged leaves the options as they were.
    const int64_t start = stream.GetPosition();
    const int64_t left = std::clamp<int64_t>(stream.GetSize() - start, 0, kMaxStreamBytes);
    std::string data(static_cast<size_t>(left), '\0');
    size_t got = 0;
    while (got < data.size()) {
        const size_t n = stream.Read(data.data() + got, data.size() - got);
        if (n == 0) break;
        got += n;
    }
    data.resize(got);

    TCrashModuleOptions read{std::string()};
    read.Assign(this);
    OptionsReader in(data);
    try {
        read.ReadOptions(in, version);
    } catch (const OptionsReader::BadData&) {
        stream.SetPosition(start);
        return false;
    }
    stream.SetPosition(start + static_cast<int64_t>(in.Pos()));
    Assign(&read);
    return true;
}

void TCrashModuleOptions::ReadOptions(detail::OptionsReader& in, uint16_t v) {
    FActivateLog = in.Bool();
    FActivateHandle = in.Bool();
    in.SetBytes(FLogOptions, 1);
    if (v < 500) {
        uint8_t b = in.Byte();
        if (v < 450) b ^= 1;
        if (b == 0) FExceptionDialogType = edtNone;
    }
    FAppendLogs = in.Bool();
    if (v >= 450 && v < 500) {
        for (TCommonSendOption o : {sndSendEntireLog, sndSendScreenshot, sndShowSendDialog}) {
            TCommonSendOptions set = FCommonSendOptions;
            set.Set(o, in.Byte() != 0);
            SetCommonSendOptions(set);
        }
    }
    if (v > 400) {
        FSaveLogFile = in.Bool();
        FForegroundTab = in.Enum(ftCPU);
        if (v < 6000 && FForegroundTab == ftProcesses) FForegroundTab = ftCPU;
    }
    if (v > 402 && v < 500) {
        TExceptionDialogOptions set = FExceptionDialogOptions;
        set.Set(edoUseCrashLogLookAndFeel, in.Byte() != 0);
        SetExceptionDialogOptions(set);
    }
    std::string oldFreezeMessage;
    if (v >= 420) {
        FFreezeActivate = in.Bool();
        FFreezeTimeout = in.Int32();
        if (v < 422) FFreezeTimeout /= 1000; // stored in milliseconds then
        if (v < 6000) oldFreezeMessage = in.Str();
        if (v >= 450) FSMTPFrom = in.Str();
        FSMTPHost = in.Str();
    }
    if (v >= 450) FSMTPPort = in.UInt16();
    if (v > 420) {
        FSMTPUserID = in.Str();
        FSMTPPassword = in.Str();
        FTerminateBtnOperation = in.Enum(tbRestart);
    }
    if (v < 6000 && in.Byte() == 0) SetTerminateBtnOperation(tbNone);
    FErrorsNumberToSave = in.Int32();
    FErrorsNumberToShowTerminateBtn = in.Int32();
    FEMailAddresses = in.Str();
    FEMailSubject = in.Str();
    if (v < 450) {
        const uint8_t mode = in.Byte();
        FEMailSendMode = mode == 0            ? esmNoSend
                         : !FSMTPHost.empty() ? esmSMTPClient
                                              : esmEmailClient;
    } else {
        FEMailSendMode = in.Enum(esmSMTPServer);
    }
    if (v < 6000) {
        const size_t count = v < 500 ? 4 : 5;
        FShowOptions =
            ConvertShowOptions(reinterpret_cast<const uint8_t*>(in.Take(count)), count, v);
    } else {
        FShowOptions.Clear();
        in.SetBytes(FShowOptions, TShowOptions::kBytes);
    }
    if (v < 450) in.Byte();
    FOutputPath = in.Str();
    if (v >= 500) {
        FWebSendMode = in.Enum(wsmMantis);
        FWebURL = in.Str();
        FWebUserID = in.Str();
        FWebPassword = in.Str();
        FWebPort = in.Int32();
        FAttachedFiles = in.Str();
        in.SetBytes(FCommonSendOptions, 2);
        if (v < 6000) FCommonSendOptions.Exclude(sndAddComputerNameInFileName);
        if (v < 6000) {
            FExceptionDialogOptions.Clear();
            in.SetBytes(FExceptionDialogOptions, 1);
        } else {
            in.SetBytes(FExceptionDialogOptions, 2);
        }
        FAutoCloseDialogSecs = in.Int32();
        FSupportURL = in.Str();
        FHTMLLayout = in.Str();
        in.SetBytes(FCallStackOptions, 1);
        if (v < 6000) FCallStackOptions.Include(csoDoNotStoreProcNames);
        if (v < 6000) {
            FBehaviourOptions.Clear();
            in.SetBytes(FBehaviourOptions, 1);
        } else {
            in.SetBytes(FBehaviourOptions, 2);
            in.SetBytes(FLeaksOptions, 1);
        }
        FAutoCrashOperation = in.Enum(tbRestart);
        FAutoCrashNumber = in.Int32();
        FAutoCrashMinutes = in.Int32();
        if (v >= 6000) {
            in.SetBytes(FCompiledFileOptions, 1);
            FExceptionDialogType = in.Enum(edtCrashLog);
            FProxyURL = in.Str();
            FProxyUserID = in.Str();
            FProxyPassword = in.Str();
            FProxyPort = in.UInt16();
            for (std::string* s :
                 {&FTrakerUserID, &FTrakerPassword, &FTrakerAssignTo, &FTrakerProject,
                  &FTrakerCategory, &FTrakerTrialID, &FZipPassword})
                *s = in.Str();
        }
    }
    FExceptionsFilters->Clear();
    const int32_t filterCount = in.Int32();
    for (int32_t i = 0; i < filterCount; ++i) {
        TCrashExceptionFilter f;
        f.Active = v >= 6000 ? in.Bool() : true;
        f.ExceptionClassName = in.Str();
        f.ExceptionMessage = in.Str();
        if (v >= 6000) {
            f.ExceptionType = in.Enum(fetUnhandled);
            f.DialogType = in.Enum(fdtCrashLog);
            f.HandlerType = in.Enum(fhtCrashLog);
            f.ActionType = in.Enum(fatRestart);
        } else {
            f.ExceptionType = fetUnhandled;
            f.DialogType = f.ExceptionMessage.empty() ? fdtNone : fdtMessageBox;
            f.HandlerType = fhtNone;
            f.ActionType = fatNone;
        }
        FExceptionsFilters->Add(f);
    }
    FEMailMessage = in.Str();
    for (size_t i = 0; i < kMessageTypeCount; ++i) {
        if (i == mtLog_CmpTotalMemory && v < 6000) in.Str(); // a text these versions dropped
        if (VersionHoldsText(v, i)) FCustomizedTexts[i] = in.Str();
    }
    if (v >= 6000) FTextsCollection = in.Str();
    if (!oldFreezeMessage.empty()) SetCustomizedTexts(mtException_AntiFreeze, oldFreezeMessage);
}

// ---- The customised-texts INI file ----

namespace {

constexpr std::u16string_view kFirstLineMarker = u"<!-- CrashLog First Line";
constexpr std::u16string_view kLastLineMarker = u"CrashLog Last Line -->";
constexpr const char* kTextsSection = "Exception Log";
// More lines than any text holds: a count beyond it is a damaged file.
constexpr int kMaxTextLines = 4096;

using Lines = std::vector<std::u16string>;

void SplitText(std::u16string_view text, Lines& out) {
    out.clear();
    size_t i = 0;
    while (i < text.size() && text[i] != 0) {
        const size_t start = i;
        while (i < text.size() && text[i] != 0 && text[i] != u'\r' && text[i] != u'\n') ++i;
        out.emplace_back(text.substr(start, i - start));
        if (i < text.size() && text[i] == u'\r') ++i;
        if (i < text.size() && text[i] == u'\n') ++i;
    }
}

std::u16string JoinText(const Lines& lines) {
    std::u16string r;
    for (const auto& line : lines) {
        r += line;
        r += u"\r\n";
    }
    return r;
}

std::u16string TrimW(std::u16string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] <= u' ') ++b;
    while (e > b && s[e - 1] <= u' ') --e;
    return std::u16string(s.substr(b, e - b));
}

bool IsMarkerLine(std::u16string_view line) {
    return line == kFirstLineMarker || line == kLastLineMarker;
}

std::u16string ReplaceAll(std::u16string_view s, std::u16string_view from, std::u16string_view to) {
    std::u16string r;
    size_t i = 0;
    for (size_t p; (p = s.find(from, i)) != std::u16string_view::npos; i = p + from.size()) {
        r.append(s.substr(i, p - i));
        r.append(to);
    }
    r.append(s.substr(i));
    return r;
}

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

bool IsHex(std::u16string_view s, size_t at, size_t n) {
    if (at + n > s.size()) return false;
    for (size_t k = 0; k < n; ++k)
        if (HexValue(s[at + k]) < 0) return false;
    return true;
}

int HexOf(std::u16string_view s, size_t at, size_t n) {
    int v = 0;
    for (size_t k = 0; k < n; ++k) v = v * 16 + HexValue(s[at + k]);
    return v;
}

void EncodeLines(Lines& lines) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    for (auto& line : lines) {
        std::u16string s = ReplaceAll(line, u"%", u"%%");
        if (!IsMarkerLine(line)) {
            std::u16string e;
            for (char16_t c : s) {
                if (c < 32 || c >= 127 || c == u'&' || c == u'-' || c == u'<' || c == u'>') {
                    e += u"%U";
                    for (int shift = 12; shift >= 0; shift -= 4) e += kHex[(c >> shift) & 15];
                } else {
                    e += c;
                }
            }
            s = std::move(e);
        }
        line = std::move(s);
    }
}

// Whether the lines look encoded. Marker lines are left out of the test, since encoding keeps
// them as they are.
bool LooksEncoded(const Lines& lines) {
    for (const auto& s : lines) {
        if (IsMarkerLine(s)) continue;
        if (s.find_first_of(u"<>") != std::u16string::npos) return false;
        for (size_t i = 0; i + 1 < s.size();) {
            if (s[i] != u'%') {
                ++i;
            } else if (s[i + 1] == u'%') {
                i += 2;
            } else if (s[i + 1] == u'U' && IsHex(s, i + 2, 4)) {
                i += 6;
            } else if (IsHex(s, i + 1, 2)) {
                i += 3;
            } else {
                return false;
            }
        }
    }
    return true;
}

char16_t AnsiCharOf(int code) {
    const char byte = static_cast<char>(code);
    std::u16string w;
    if (kv::PlatformMultiByteToWide(kv::GetAnsiCodePage(), 0, &byte, 1, w) && w.size() == 1)
        return w[0];
    return static_cast<char16_t>(code);
}

void DecodeLines(Lines& lines) {
    if (!LooksEncoded(lines)) return;
    for (auto& s : lines) {
        if (IsMarkerLine(s)) continue;
        std::u16string d;
        size_t i = 0;
        while (i < s.size()) {
            if (s[i] == u'%' && i + 1 < s.size()) {
                if (s[i + 1] == u'%') {
                    d += u"%%";
                    i += 2;
                    continue;
                }
                if (s[i + 1] == u'U' && IsHex(s, i + 2, 4)) {
                    d += static_cast<char16_t>(HexOf(s, i + 2, 4));
                    i += 6;
                    continue;
                }
                if (IsHex(s, i + 1, 2)) {
                    d += AnsiCharOf(HexOf(s, i + 1, 2));
                    i += 3;
                    continue;
                }
            }
            d += s[i++];
        }
        s = ReplaceAll(d, u"%%", u"%");
    }
}

// Applies code to the marked block when the text has one, else to all lines.
void ApplyToBlock(Lines& lines, void (*code)(Lines&)) {
    const std::u16string joined = JoinText(lines);
    const size_t start = joined.find(kFirstLineMarker);
    if (start == std::u16string::npos) {
        code(lines);
        return;
    }
    size_t end = joined.size();
    const size_t last = joined.find(kLastLineMarker, start);
    if (last != std::u16string::npos) end = last + kLastLineMarker.size();
    Lines block;
    SplitText(TrimW(std::u16string_view(joined).substr(start, end - start)), block);
    code(block);
    std::u16string blockText = JoinText(block);
    blockText = TrimW(blockText);
    SplitText(joined.substr(0, start) + blockText + joined.substr(end), lines);
}

} // namespace

void EncodeStrings(std::vector<std::u16string>& lines) {
    ApplyToBlock(lines, EncodeLines);
}

void DecodeStrings(std::vector<std::u16string>& lines) {
    const Lines before = lines;
    try {
        ApplyToBlock(lines, DecodeLines);
    } catch (...) {
        lines = before;
    }
}

void WriteRawStrings(const std::string& fileName, const std::string& section,
                     const std::string& countKey, const std::string& text,
                     const std::string& linePrefix) {
    Lines lines;
    SplitText(AnsiToUtf16(text), lines);
    EncodeStrings(lines);
    WriteString(fileName, section, countKey, IntToStr(static_cast<long long>(lines.size())));
    for (size_t n = 0; n < lines.size(); ++n)
        WriteString(fileName, section, linePrefix + IntToStr(static_cast<long long>(n)),
                    "\"" + Utf16ToAnsi(lines[n]) + "\"");
}

std::string ReadRawStrings(const std::string& fileName, const std::string& section,
                           const std::string& countKey, const std::string& def,
                           const std::string& linePrefix) {
    const int count = StrToIntDef(ReadString(fileName, section, countKey, "0"), 0);
    if (count < 1) return def;
    Lines lines;
    for (int n = 0; n < std::min(count, kMaxTextLines); ++n) {
        std::string line = ReadString(fileName, section, linePrefix + IntToStr(n), def);
        if (line.size() >= 2 && line.front() == '"' && line.back() == '"')
            line = line.substr(1, line.size() - 2);
        lines.push_back(AnsiToUtf16(line));
    }
    DecodeStrings(lines);
    std::u16string text = JoinText(lines);
    if (text.size() >= 2) text.resize(text.size() - 2); // the last line's CR LF
    return Utf16ToAnsi(text);
}

void TCrashModuleOptions::SaveCustomizedTextsToFile(const std::string& fileName) {
    for (size_t i = 0; i < kMessageTypeCount; ++i) {
        const std::string id = MessageTypeName(i);
        if (id.empty()) continue; // the reserved text
        WriteRawStrings(fileName, kTextsSection, "Count " + id, FCustomizedTexts[i], id);
    }
    SetTextsCollection(ChangeFileExt(fileName, ""));
}

void TCrashModuleOptions::LoadCustomizedTextsFromFile(const std::string& fileName) {
    Bulk([&] {
        for (size_t i = 0; i < kMessageTypeCount; ++i) {
            const std::string id = MessageTypeName(i);
            if (id.empty()) continue;
            SetCustomizedTexts(
                i, ReadRawStrings(fileName, kTextsSection, "Count " + id, FCustomizedTexts[i], id));
        }
        SetTextsCollection(ChangeFileExt(fileName, ""));
    });
}

} // namespace kv::crash
