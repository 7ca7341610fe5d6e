#pragma once
// Options streams of older data versions, written out field by field in the layouts those
// versions stored, for the reader's tests and the fuzz seeds. Every value is chosen to be
// recognisable; the tests say what each one reads as.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace kvtest::layouts {

// Little-endian fields.
inline std::string U8(uint8_t v) {
    return std::string(1, static_cast<char>(v));
}
inline std::string U16(uint16_t v) {
    return U8(static_cast<uint8_t>(v)) + U8(static_cast<uint8_t>(v >> 8));
}
inline std::string I32(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    return U16(static_cast<uint16_t>(u)) + U16(static_cast<uint16_t>(u >> 16));
}
// An option string: its signed 32-bit length, then its bytes XORed with 0xA9.
inline std::string Str(std::string_view s) {
    std::string out = I32(static_cast<int32_t>(s.size()));
    for (char c : s) out += static_cast<char>(static_cast<uint8_t>(c) ^ 0xA9);
    return out;
}
// The texts "T<i>" of the inclusive index ranges, in order.
inline std::string Texts(std::initializer_list<std::pair<int, int>> ranges) {
    std::string out;
    for (const auto& [first, last] : ranges)
        for (int i = first; i <= last; ++i) out += Str("T" + std::to_string(i));
    return out;
}

// The version 421 layout, read the same way up to 449 (only the freeze timeout's unit changes
// at 422: milliseconds before, seconds from then on).
inline std::string OptionsLayout421() {
    return U8(1)                     // ActivateLog
           + U8(0)                   // ActivateHandle
           + U8(0x05)                // LogOptions: no duplicates, delete at version change
           + U8(1)                   // dialog switch, stored inverted before 450: 1 = none
           + U8(1)                   // AppendLogs
           + U8(0) + U8(3)           // SaveLogFile, ForegroundTab (processes, then the CPU tab)
           + U8(1)                   // the component's look and feel
           + U8(1) + I32(60000)      // FreezeActivate, FreezeTimeout
           + Str("Frozen!")          // the freeze message of those days
           + Str("smtp.example.com") // SMTPHost (no sender yet)
           + Str("user") + Str("secret") + U8(2) // SMTP account, TerminateBtnOperation restart
           + U8(1)                               // the terminate button is kept
           + I32(7) + I32(2)                     // ErrorsNumberToSave, ...ToShowTerminateBtn
           + Str("a@example.com") + Str("Subject 421") // EMailAddresses, EMailSubject
           + U8(3)                                     // EMailSendMode of those days
           + U8(0x11) + U8(0x80) + U8(0) + U8(0)       // general section: bits 0, 4 and 15
           + U8(0xEE)                                  // a byte nothing reads
           + Str("C:\\Logs")                           // OutputPath
           + I32(2)                                    // filters: class and message each
           + Str("EFirst") + Str("Message %x%")        // ExceptionClassName, ExceptionMessage
           + Str("ESecond") + Str("")                  // a filter without a message
           + Str("Body 421")                           // EMailMessage
           + Texts({{0, 1}, {3, 8}, {17, 20}, {37, 40}, {44, 46}, {49, 50}, {61, 67}}) +
           Str("dropped") // the text stored before text 68, read by nobody
           + Texts({{69, 71}, {78, 80}, {82, 82}, {92, 97}});
}

// The version 450 layout, read the same way up to 499.
inline std::string OptionsLayout450() {
    return U8(1) + U8(0) + U8(0x05)                    // ActivateLog, ActivateHandle, LogOptions
           + U8(1)                                     // dialog switch, no longer inverted
           + U8(1)                                     // AppendLogs
           + U8(1) + U8(0) + U8(1)                     // entire log, screenshot, send dialog
           + U8(1) + U8(1)                             // SaveLogFile, ForegroundTab call stack
           + U8(0)                                     // not the component's look and feel
           + U8(1) + I32(45)                           // FreezeActivate, FreezeTimeout
           + Str("")                                   // no freeze message
           + Str("from@example.com")                   // SMTPFrom
           + Str("mail.example.com")                   // SMTPHost
           + U16(2525)                                 // SMTPPort
           + Str("user450") + Str("pw") + U8(1)        // SMTP account, TerminateBtnOperation
           + U8(0)                                     // no terminate button
           + I32(9) + I32(-1)                          // ErrorsNumberToSave, ...ToShowTerminateBtn
           + Str("b@example.com") + Str("Subject 450") // EMailAddresses, EMailSubject
           + U8(3)                                     // EMailSendMode SMTP server
           + U8(0x02) + U8(0) + U8(0x40) + U8(0)       // general section: bits 1 and 22
           + Str("D:\\Reports")                        // OutputPath
           + I32(1) + Str("EOnly") + Str("")           // one filter without a message
           + Str("Body 450")                           // EMailMessage
           + Texts({{0, 1}, {3, 10}, {15, 20}, {22, 24}, {37, 40}, {44, 50}, {61, 67}}) +
           Str("dropped") // the text stored before text 68, read by nobody
           + Texts({{68, 71},
                    {78, 82},
                    {92, 97},
                    {110, 112},
                    {114, 116},
                    {123, 130},
                    {132, 132},
                    {141, 143}});
}

// The version 500 layout, read the same way up to 5999.
inline std::string OptionsLayout500() {
    return U8(1) + U8(1) + U8(0)                       // ActivateLog, ActivateHandle, LogOptions
           + U8(0)                                     // AppendLogs
           + U8(1) + U8(3)                             // SaveLogFile, ForegroundTab processes
           + U8(0) + I32(30)                           // FreezeActivate, FreezeTimeout
           + Str("Still frozen")                       // the freeze message of those days
           + Str("from500@example.com")                // SMTPFrom
           + Str("smtp500.example.com")                // SMTPHost
           + U16(587)                                  // SMTPPort
           + Str("user500") + Str("pw500") + U8(2)     // SMTP account, TerminateBtnOperation
           + U8(1)                                     // the terminate button is kept
           + I32(3) + I32(4)                           // ErrorsNumberToSave, ...ToShowTerminateBtn
           + Str("c@example.com") + Str("Subject 500") // EMailAddresses, EMailSubject
           + U8(1)                                     // EMailSendMode e-mail client
           + U8(0x01) + U8(0) + U8(0) + U8(0x80) + U8(0x01) // general section: bits 0, 31, 32
           + Str("E:\\Out")                                 // OutputPath
           + U8(2)                                          // WebSendMode HTTPS
           + Str("https://example.com/up") + Str("webuser") + Str("webpw") // web account
           + I32(8443)                                                     // WebPort
           + Str("a.txt")                                                  // AttachedFiles
           + U8(0x11) + U8(0x02) // send dialog, screenshot, computer name in the file name
           + U8(0x41)            // dialog options: report checked, the look and feel
           + I32(5)              // AutoCloseDialogSecs
           + Str("http://support.example.com") + Str("<html/>") // SupportURL, HTMLLayout
           + U8(0x01)                                           // call stack: DLLs
           + U8(0x02)                                           // behaviour: main thread runs on
           + U8(1) + I32(4) + I32(9) // AutoCrashOperation terminate, 4 crashes in 9 minutes
           + I32(0)                  // no filters
           + Str("Body 500")         // EMailMessage
           + Texts({{0, 1},
                    {3, 10},
                    {15, 16},
                    {19, 20},
                    {22, 25},
                    {37, 40},
                    {42, 42},
                    {44, 50},
                    {61, 67}}) +
           Str("dropped") // the text stored before text 68, read by nobody
           + Texts({{68, 82}, {84, 104}, {110, 112}, {114, 116}, {123, 132}, {141, 145}});
}

} // namespace kvtest::layouts
