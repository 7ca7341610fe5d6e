#pragma once
// Options streams in the layouts of older data versions, built field by field from the layout
// description, for the reader's tests and the fuzz seeds. The values are fixed and easy to
// recognise; kLegacy says which.
#include <cstdint>
#include <string>
#include <string_view>

namespace kvtest {

// Little-endian fields of an options stream.
class StreamBuilder {
public:
    StreamBuilder& Byte(uint8_t v) {
        bytes_ += static_cast<char>(v);
        return *this;
    }
    StreamBuilder& Word(uint16_t v) { return Byte(static_cast<uint8_t>(v)).Byte(v >> 8); }
    StreamBuilder& Int(int32_t v) {
        const auto u = static_cast<uint32_t>(v);
        return Word(static_cast<uint16_t>(u)).Word(static_cast<uint16_t>(u >> 16));
    }
    // A length and the bytes XORed with the option-string key.
    StreamBuilder& Str(std::string_view s) {
        Int(static_cast<int32_t>(s.size()));
        for (char c : s) Byte(static_cast<uint8_t>(c) ^ 0xA9);
        return *this;
    }
    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// Whether data of version v holds text i (the table of the layout description).
inline bool LegacyHoldsText(uint16_t v, int i) {
    struct Range {
        uint16_t from; // versions from here on hold the texts
        int first, last;
    };
    static constexpr Range kRanges[] = {
        {0, 0, 1},       {0, 3, 8},       {0, 37, 40},     {0, 44, 46},     {0, 49, 50},
        {0, 61, 67},     {0, 69, 71},     {0, 78, 80},     {0, 82, 82},     {0, 92, 97},
        {420, 20, 20},   {421, 19, 19},   {450, 9, 10},    {450, 15, 16},   {450, 22, 24},
        {450, 47, 48},   {450, 68, 68},   {450, 81, 81},   {450, 110, 112}, {450, 114, 116},
        {450, 123, 130}, {450, 132, 132}, {450, 141, 143}, {500, 25, 25},   {500, 42, 42},
        {500, 72, 77},   {500, 84, 91},   {500, 98, 104},  {500, 131, 131}, {500, 144, 145},
    };
    if (v >= 6000) return true;
    if (i == 17 || i == 18) return v < 500; // dropped from 500 up to 5999
    for (const auto& r : kRanges)
        if (v >= r.from && i >= r.first && i <= r.last) return true;
    return false;
}

// The recognisable values of LegacyStream.
struct LegacyValues {
    uint8_t dialogByte = 1;        // versions below 500: the dialog switch
    int32_t storedTimeout = 60000; // FreezeTimeout as stored (milliseconds below 422)
    uint8_t showBits = 0x11;       // first byte of the stored general-section set
};

// A complete stream of data version v. Texts are "T<i>"; the dropped text 68 of versions below
// 6000 is "dropped".
inline std::string LegacyStream(uint16_t v, const LegacyValues& x = {}) {
    StreamBuilder b;
    b.Byte(1).Byte(0).Byte(0x01); // ActivateLog, ActivateHandle, LogOptions
    if (v < 500) b.Byte(x.dialogByte);
    b.Byte(1);                                          // AppendLogs
    if (v >= 450 && v < 500) b.Byte(1).Byte(0).Byte(1); // entire log, screenshot, send dialog
    if (v > 400) b.Byte(0).Byte(3);                     // SaveLogFile, ForegroundTab ftProcesses
    if (v > 402 && v < 500) b.Byte(1);                  // CrashLog look and feel
    if (v >= 420) {
        b.Byte(1).Int(x.storedTimeout);
        if (v < 6000) b.Str("Frozen!");
        if (v >= 450) b.Str("from@example.com");
        b.Str("smtp.example.com");
    }
    if (v >= 450) b.Word(2525);
    if (v > 420) b.Str("user").Str("secret").Byte(1); // ... and TerminateBtnOperation tbTerminate
    if (v < 6000) b.Byte(1);                          // terminate button kept
    b.Int(7).Int(2).Str("a@example.com").Str("Subject");
    b.Byte(v < 450 ? 1 : 2); // EMailSendMode
    const int showBytes = v < 500 ? 4 : v < 6000 ? 5 : 6;
    b.Byte(x.showBits);
    for (int k = 1; k < showBytes; ++k) b.Byte(0);
    if (v < 450) b.Byte(0xEE); // ignored
    b.Str("C:\\Logs");
    if (v >= 500) {
        b.Byte(1).Str("http://example.com/up").Str("webuser").Str("webpw").Int(8081).Str("a.txt");
        b.Word(0x0201); // sndShowSendDialog, sndAddComputerNameInFileName
        if (v < 6000)
            b.Byte(0x41);
        else
            b.Word(0x0241);
        b.Int(5).Str("http://support").Str("<html/>");
        b.Byte(0x01); // csoShowDLLs
        if (v < 6000)
            b.Byte(0x02);
        else
            b.Word(0x0102).Byte(0x01);
        b.Byte(1).Int(4).Int(9); // tbTerminate, 4 crashes in 9 minutes
        if (v >= 6000) {
            b.Byte(0x04).Byte(3); // cfoUseEL7, edtCrashLog
            b.Str("proxy").Str("puser").Str("ppw").Word(3128);
            for (const char* s : {"tu", "tp", "ta", "tproj", "tcat", "ttrial", "zip"}) b.Str(s);
        }
    }
    b.Int(2); // filters
    for (int f = 0; f < 2; ++f) {
        if (v >= 6000) b.Byte(f == 0 ? 1 : 0);
        b.Str(f == 0 ? "EFirst" : "ESecond").Str(f == 0 ? "Message %x%" : "");
        if (v >= 6000) b.Byte(2).Byte(4).Byte(2).Byte(1);
    }
    b.Str("Body");
    for (int i = 0; i < 158; ++i) {
        if (i == 68 && v < 6000) b.Str("dropped");
        if (LegacyHoldsText(v, i)) b.Str("T" + std::to_string(i));
    }
    if (v >= 6000) b.Str("Custom");
    return b.Bytes();
}

} // namespace kvtest
