#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "../support/CrashTestSupport.h"
#include "../support/OptionsStreamLayouts.h"
#include "crash/core/ClConsts.h"
#include "crash/core/TCrashModuleOptions.h"

namespace {

using namespace kv::crash;

std::string Saved(const TCrashModuleOptions& o) {
    kv::TMemoryStream s;
    o.SaveToStream(s);
    return s.Data();
}

bool Load(TCrashModuleOptions& o, const std::string& bytes, uint16_t version) {
    kv::TMemoryStream s(bytes);
    return o.LoadFromStreamOfVersion(s, version);
}

// Every field of the stream set away from its default.
void FillEveryStoredField(TCrashModuleOptions& o) {
    o.SetActivateLog(true);
    o.SetActivateHandle(false);
    o.SetLogOptions(TLogOptions{loNoDuplicateErrors, loDeleteLogAtVersionChange});
    o.SetAppendLogs(true);
    o.SetSaveLogFile(false);
    o.SetForegroundTab(ftCPU);
    o.SetFreezeActivate(true);
    o.SetFreezeTimeout(-7);
    o.SetSMTPFrom("from@example.com");
    o.SetSMTPHost("smtp.example.com");
    o.SetSMTPPort(2525);
    o.SetSMTPUserID("user");
    o.SetSMTPPassword("p\xE4ss"); // bytes above 127 too
    o.SetTerminateBtnOperation(tbTerminate);
    o.SetErrorsNumberToSave(100);
    o.SetErrorsNumberToShowTerminateBtn(-1);
    o.SetEMailAddresses("a@example.com;b@example.com");
    o.SetEMailSubject("Subject");
    o.SetEMailSendMode(esmSMTPServer);
    o.SetShowOptions(TShowOptions{soAppName, soNetDHCP, soCustomData});
    o.SetOutputPath("C:\\Logs");
    o.SetWebSendMode(wsmMantis);
    o.SetWebURL("https://example.com/bugs");
    o.SetWebUserID("webuser");
    o.SetWebPassword("webpw");
    o.SetWebPort(8443);
    o.SetAttachedFiles("a.txt;b.txt");
    o.SetCommonSendOptions(TCommonSendOptions{sndAddComputerNameInFileName, sndSendXMLLogCopy});
    o.SetExceptionDialogOptions(TExceptionDialogOptions{edoShowCustomButton});
    o.SetAutoCloseDialogSecs(30);
    o.SetSupportURL("http://support.example.com");
    o.SetHTMLLayout("<html>\r\n<%HTML_TAG%>\r\n</html>");
    o.SetCallStackOptions(TCallStackOptions{csoDoNotStoreProcNames});
    o.SetBehaviourOptions(TBehaviourOptions{boCatchHandledExceptions, boPauseBorlandThreads});
    o.SetAutoCrashOperation(tbNone);
    o.SetAutoCrashNumber(3);
    o.SetAutoCrashMinutes(15);
    TCompiledFileOptions compiled{cfoUseEL7};
    compiled.Data()[0] |= 0x02; // the reserved bit travels as it is
    o.SetCompiledFileOptions(compiled);
    o.SetExceptionDialogType(edtCrashLog);
    o.SetProxyURL("proxy.example.com");
    o.SetProxyUserID("puser");
    o.SetProxyPassword("ppw");
    o.SetProxyPort(3128);
    o.SetTrakerUserID("tu");
    o.SetTrakerPassword("tp");
    o.SetTrakerAssignTo("ta");
    o.SetTrakerProject("tproj");
    o.SetTrakerCategory("tcat");
    o.SetTrakerTrialID("ttrial");
    o.SetZipPassword("zip");
    o.ExceptionsFilters().Add({true, "EAccessViolation", "Bad %_ExceptMsg%", fetHandled,
                               fdtMSClassic, fhtCrashLog, fatTerminate});
    o.ExceptionsFilters().Add({false, "EAbort", "", fetAll, fdtNone, fhtRTL, fatRestart});
    o.SetEMailMessage("Line 1\r\nLine 2");
    for (size_t i = 0; i < kMessageTypeCount; ++i) o.SetCustomizedTexts(i, "Text " + IntToStr(i));
    o.SetTextsCollection("C:\\Texts\\Japanese");
}

TEST(OptionsStream, CurrentVersionRoundTripsEveryStoredField) {
    TCrashModuleOptions written("");
    FillEveryStoredField(written);
    const std::string bytes = Saved(written);

    TCrashModuleOptions read("");
    read.SetReproduceText("kept");
    read.SetForcedTerminateBtnOperation(tbRestart);
    read.SetActive(false);
    ASSERT_TRUE(Load(read, bytes, CrashLogCurrentVersion));
    EXPECT_EQ(Saved(read), bytes);
    EXPECT_EQ(read.SMTPPassword(), "p\xE4ss");
    EXPECT_EQ(read.TerminateBtnOperation(), tbTerminate);
    EXPECT_EQ(read.CompiledFileOptions().Data()[0], 0x06);
    EXPECT_EQ(read.ExceptionsFilters().Count(), 2);
    EXPECT_EQ(*read.ExceptionsFilters().GetItem(0), *written.ExceptionsFilters().GetItem(0));
    EXPECT_EQ(*read.ExceptionsFilters().GetItem(1), *written.ExceptionsFilters().GetItem(1));
    EXPECT_EQ(read.GetCustomizedTexts(157), "Text 157");
    EXPECT_EQ(read.TextsCollection(), "C:\\Texts\\Japanese");
    // Not part of the stream.
    EXPECT_EQ(read.ReproduceText(), "kept");
    EXPECT_FALSE(read.Active());
}

TEST(OptionsStream, StringForm) {
    TCrashModuleOptions o("");
    // SMTPFrom is the first string: 11 bytes of flags and numbers come before it.
    static const struct {
        const char* name;
        std::string value;
        std::string stored;
    } kCases[] = {
        {"empty: four zero bytes", "", std::string(4, '\0')},
        {"bytes XORed with the key", "A", std::string("\x01\0\0\0", 4) + "\xE8"},
        {"only CR LF at the end: left out", "ab\r\n", std::string("\x02\0\0\0", 4) + "\xC8\xCB"},
        {"CR LF inside as well: whole", "a\r\nb\r\n",
         std::string("\x06\0\0\0", 4) + "\xC8\xA4\xA3\xCB\xA4\xA3"},
        {"lone CR LF is longer than one character", "\r\n", std::string(4, '\0')},
    };
    for (const auto& c : kCases) {
        o.SetSMTPFrom(c.value);
        EXPECT_EQ(Saved(o).substr(11, c.stored.size()), c.stored) << c.name;
    }
}

TEST(OptionsStream, LoadFromStreamReadsTheVersionOfLastCrashVersion) {
    const std::string bytes = kvtest::layouts::OptionsLayout421();
    TCrashModuleOptions o("");
    kv::TMemoryStream s(bytes);
    LastCrashVersion = 421;
    EXPECT_TRUE(o.LoadFromStream(s));
    LastCrashVersion = CrashLogCurrentVersion;
    EXPECT_EQ(o.FreezeTimeout(), 60); // 60000 ms
    EXPECT_EQ(s.GetPosition(), static_cast<int64_t>(bytes.size()));
}

// ---- Older layouts, from the hand-written streams of OptionsStreamLayouts.h ----

// Values the older layouts do not hold, so that what they keep shows.
void Preset(TCrashModuleOptions& o) {
    o.SetExceptionDialogType(edtMSClassic);
    o.SetFreezeTimeout(77);
    o.SetSMTPFrom("kept@example.com");
    o.SetSMTPPort(2600);
    o.SetCommonSendOptions(TCommonSendOptions{sndSendScreenshot, sndSendXMLLogCopy});
    o.SetExceptionDialogOptions(TExceptionDialogOptions{edoShowCustomButton});
    o.SetBehaviourOptions(TBehaviourOptions{boCatchHandledExceptions});
    o.SetShowOptions(TShowOptions{soUserEmail});
    o.SetWebSendMode(wsmFTP);
    o.SetWebPort(21);
    o.ExceptionsFilters().Add({false, "EPreset", "", fetAll, fdtNone, fhtNone, fatNone});
    for (size_t i = 0; i < kMessageTypeCount; ++i) o.SetCustomizedTexts(i, "kept " + IntToStr(i));
    o.SetTextsCollection("Preset");
}

// Reads a whole stream of that version into preset options.
void LoadPreset(TCrashModuleOptions& o, const std::string& bytes, uint16_t version) {
    Preset(o);
    kv::TMemoryStream s(bytes);
    ASSERT_TRUE(o.LoadFromStreamOfVersion(s, version));
    EXPECT_EQ(s.GetPosition(), static_cast<int64_t>(bytes.size()));
}

// How many texts the stream gave ("T<i>"); every other text kept its value, but for text 156
// (the old freeze message, when the stream had one).
size_t ReadTexts(const TCrashModuleOptions& o, const std::string& freezeMessage) {
    size_t read = 0;
    for (size_t i = 0; i < kMessageTypeCount; ++i) {
        const std::string& text = o.GetCustomizedTexts(i);
        if (text == "T" + IntToStr(i))
            ++read;
        else if (i == mtException_AntiFreeze && !freezeMessage.empty())
            EXPECT_EQ(text, freezeMessage);
        else
            EXPECT_EQ(text, "kept " + IntToStr(i)) << "text " << i;
    }
    return read;
}

// The general-section items that a set stored before version 500 switches on.
constexpr TShowOptions kNewBefore500{soAppCompilationDate,
                                     soAppUpTime,
                                     soExcModuleVersion,
                                     soExcID,
                                     soExcCount,
                                     soExcStatus,
                                     soExcNote,
                                     soActCtlsFormText,
                                     soActCtlsControlClass,
                                     soActCtlsControlText,
                                     soCmpName,
                                     soCmpSysUpTime,
                                     soCmpProcessor,
                                     soCmpDisplayMode,
                                     soCmpDisplayDPI,
                                     soCmpVideoCard,
                                     soCmpPrinter,
                                     soNetIP,
                                     soNetSubmask,
                                     soNetGateway,
                                     soNetDNS1,
                                     soNetDNS2,
                                     soNetDHCP,
                                     soCustomData};

TShowOptions With(TShowOptions set, std::initializer_list<TShowOption> added) {
    for (TShowOption m : added) set.Include(m);
    return set;
}

TEST(OptionsStream, Version421Layout) {
    for (const uint16_t v : {421, 440}) {
        SCOPED_TRACE(v);
        TCrashModuleOptions o("");
        LoadPreset(o, kvtest::layouts::OptionsLayout421(), v);
        EXPECT_TRUE(o.ActivateLog());
        EXPECT_FALSE(o.ActivateHandle());
        EXPECT_EQ(o.LogOptions(), (TLogOptions{loNoDuplicateErrors, loDeleteLogAtVersionChange}));
        EXPECT_EQ(o.ExceptionDialogType(), edtNone); // the stored 1, inverted
        EXPECT_TRUE(o.AppendLogs());
        EXPECT_FALSE(o.SaveLogFile());
        EXPECT_EQ(o.ForegroundTab(), ftCPU);
        EXPECT_EQ(o.ExceptionDialogOptions(),
                  (TExceptionDialogOptions{edoShowCustomButton, edoUseCrashLogLookAndFeel}));
        EXPECT_TRUE(o.FreezeActivate());
        EXPECT_EQ(o.FreezeTimeout(), v == 421 ? 60 : 60000); // milliseconds below 422 only
        EXPECT_EQ(o.SMTPFrom(), "kept@example.com");
        EXPECT_EQ(o.SMTPHost(), "smtp.example.com");
        EXPECT_EQ(o.SMTPPort(), 2600);
        EXPECT_EQ(o.SMTPUserID(), "user");
        EXPECT_EQ(o.SMTPPassword(), "secret");
        EXPECT_EQ(o.TerminateBtnOperation(), tbRestart);
        EXPECT_EQ(o.ErrorsNumberToSave(), 7);
        EXPECT_EQ(o.ErrorsNumberToShowTerminateBtn(), 2);
        EXPECT_EQ(o.EMailAddresses(), "a@example.com");
        EXPECT_EQ(o.EMailSubject(), "Subject 421");
        EXPECT_EQ(o.EMailSendMode(), esmSMTPClient); // a send mode with a host: the SMTP client
        // Stored bits 0, 4 and 15 fill the first, fifth and sixteenth item the layout knew.
        EXPECT_EQ(o.ShowOptions(),
                  With(kNewBefore500, {soAppStartDate, soExcDate, soCmpTotalMemory}));
        EXPECT_EQ(o.CommonSendOptions(),
                  (TCommonSendOptions{sndSendScreenshot, sndSendXMLLogCopy}));
        EXPECT_EQ(o.OutputPath(), "C:\\Logs");
        EXPECT_EQ(o.WebSendMode(), wsmFTP);
        EXPECT_EQ(o.WebPort(), 21);
        ASSERT_EQ(o.ExceptionsFilters().Count(), 2);
        EXPECT_EQ(*o.ExceptionsFilters().GetItem(0),
                  (TCrashExceptionFilter{true, "EFirst", "Message %x%", fetUnhandled, fdtMessageBox,
                                         fhtNone, fatNone}));
        EXPECT_EQ(
            *o.ExceptionsFilters().GetItem(1),
            (TCrashExceptionFilter{true, "ESecond", "", fetUnhandled, fdtNone, fhtNone, fatNone}));
        EXPECT_EQ(o.EMailMessage(), "Body 421");
        EXPECT_EQ(ReadTexts(o, "Frozen!"), 41u);
        for (size_t i : {17, 18, 19, 20, 97}) EXPECT_EQ(o.GetCustomizedTexts(i), "T" + IntToStr(i));
        for (size_t i : {2, 9, 10, 68, 81, 98, 157})
            EXPECT_EQ(o.GetCustomizedTexts(i), "kept " + IntToStr(i));
        EXPECT_EQ(o.TextsCollection(), "Preset");
    }
    // A stored dialog switch of 0 (1 once inverted) keeps the dialog type.
    std::string kept = kvtest::layouts::OptionsLayout421();
    ASSERT_EQ(kept[3], '\x01');
    kept[3] = '\0';
    TCrashModuleOptions o("");
    LoadPreset(o, kept, 440);
    EXPECT_EQ(o.ExceptionDialogType(), edtMSClassic);
}

TEST(OptionsStream, Version450Layout) {
    for (const uint16_t v : {450, 499}) {
        SCOPED_TRACE(v);
        TCrashModuleOptions o("");
        Preset(o);
        o.SetExceptionDialogOptions(
            TExceptionDialogOptions{edoShowCustomButton, edoUseCrashLogLookAndFeel});
        o.SetTerminateBtnOperation(tbRestart);
        const std::string bytes = kvtest::layouts::OptionsLayout450();
        kv::TMemoryStream s(bytes);
        ASSERT_TRUE(o.LoadFromStreamOfVersion(s, v));
        EXPECT_EQ(s.GetPosition(), static_cast<int64_t>(bytes.size()));
        EXPECT_EQ(o.ExceptionDialogType(), edtMSClassic); // the stored 1 is no longer inverted
        EXPECT_TRUE(o.AppendLogs());
        // Entire log and send dialog added, screenshot removed, the rest kept.
        EXPECT_EQ(o.CommonSendOptions(),
                  (TCommonSendOptions{sndShowSendDialog, sndSendEntireLog, sndSendXMLLogCopy}));
        EXPECT_TRUE(o.SaveLogFile());
        EXPECT_EQ(o.ForegroundTab(), ftCallStack);
        EXPECT_EQ(o.ExceptionDialogOptions(), TExceptionDialogOptions{edoShowCustomButton});
        EXPECT_TRUE(o.FreezeActivate());
        EXPECT_EQ(o.FreezeTimeout(), 45);
        EXPECT_EQ(o.SMTPFrom(), "from@example.com");
        EXPECT_EQ(o.SMTPHost(), "mail.example.com");
        EXPECT_EQ(o.SMTPPort(), 2525);
        EXPECT_EQ(o.SMTPUserID(), "user450");
        EXPECT_EQ(o.SMTPPassword(), "pw");
        EXPECT_EQ(o.TerminateBtnOperation(), tbNone); // no terminate button
        EXPECT_EQ(o.ErrorsNumberToSave(), 9);
        EXPECT_EQ(o.ErrorsNumberToShowTerminateBtn(), -1);
        EXPECT_EQ(o.EMailAddresses(), "b@example.com");
        EXPECT_EQ(o.EMailSubject(), "Subject 450");
        EXPECT_EQ(o.EMailSendMode(), esmSMTPServer); // taken as stored from 450 on
        EXPECT_EQ(o.ShowOptions(), With(kNewBefore500, {soAppName, soOSLanguage}));
        EXPECT_EQ(o.OutputPath(), "D:\\Reports");
        EXPECT_EQ(o.WebSendMode(), wsmFTP);
        ASSERT_EQ(o.ExceptionsFilters().Count(), 1);
        EXPECT_EQ(
            *o.ExceptionsFilters().GetItem(0),
            (TCrashExceptionFilter{true, "EOnly", "", fetUnhandled, fdtNone, fhtNone, fatNone}));
        EXPECT_EQ(o.EMailMessage(), "Body 450");
        EXPECT_EQ(ReadTexts(o, ""), 70u);
        for (size_t i : {9, 10, 68, 81, 132, 143})
            EXPECT_EQ(o.GetCustomizedTexts(i), "T" + IntToStr(i));
        for (size_t i : {25, 42, 113, 131, 144, 156}) // 156: no freeze message
            EXPECT_EQ(o.GetCustomizedTexts(i), "kept " + IntToStr(i));
    }
}

TEST(OptionsStream, Version500Layout) {
    for (const uint16_t v : {500, 5999}) {
        SCOPED_TRACE(v);
        TCrashModuleOptions o("");
        LoadPreset(o, kvtest::layouts::OptionsLayout500(), v);
        EXPECT_TRUE(o.ActivateLog());
        EXPECT_TRUE(o.ActivateHandle());
        EXPECT_EQ(o.LogOptions(), TLogOptions{});
        EXPECT_EQ(o.ExceptionDialogType(), edtMSClassic); // no dialog switch any more
        EXPECT_FALSE(o.AppendLogs());
        EXPECT_TRUE(o.SaveLogFile());
        EXPECT_EQ(o.ForegroundTab(), ftCPU);
        EXPECT_FALSE(o.FreezeActivate());
        EXPECT_EQ(o.FreezeTimeout(), 30);
        EXPECT_EQ(o.SMTPFrom(), "from500@example.com");
        EXPECT_EQ(o.SMTPHost(), "smtp500.example.com");
        EXPECT_EQ(o.SMTPPort(), 587);
        EXPECT_EQ(o.SMTPUserID(), "user500");
        EXPECT_EQ(o.SMTPPassword(), "pw500");
        EXPECT_EQ(o.TerminateBtnOperation(), tbRestart);
        EXPECT_EQ(o.ErrorsNumberToSave(), 3);
        EXPECT_EQ(o.ErrorsNumberToShowTerminateBtn(), 4);
        EXPECT_EQ(o.EMailAddresses(), "c@example.com");
        EXPECT_EQ(o.EMailSubject(), "Subject 500");
        EXPECT_EQ(o.EMailSendMode(), esmEmailClient);
        // Stored bits 0, 31 and 32 fill the first, 32nd and 33rd item the layout knew.
        EXPECT_EQ(
            o.ShowOptions(),
            (TShowOptions{soAppStartDate, soNetDNS2, soNetDHCP, soAppUpTime, soExcModuleVersion,
                          soExcID, soExcCount, soExcStatus, soExcNote, soActCtlsFormText,
                          soActCtlsControlClass, soActCtlsControlText, soCmpName, soCmpDisplayDPI,
                          soCmpVideoCard, soCmpPrinter, soOSCharset, soCustomData}));
        EXPECT_EQ(o.OutputPath(), "E:\\Out");
        EXPECT_EQ(o.WebSendMode(), wsmHTTPS);
        EXPECT_EQ(o.WebURL(), "https://example.com/up");
        EXPECT_EQ(o.WebUserID(), "webuser");
        EXPECT_EQ(o.WebPassword(), "webpw");
        EXPECT_EQ(o.WebPort(), 8443);
        EXPECT_EQ(o.AttachedFiles(), "a.txt");
        // The computer name in the file name is newer than the layout.
        EXPECT_EQ(o.CommonSendOptions(),
                  (TCommonSendOptions{sndShowSendDialog, sndSendScreenshot}));
        EXPECT_EQ(o.ExceptionDialogOptions(),
                  (TExceptionDialogOptions{edoSendErrorReportChecked, edoUseCrashLogLookAndFeel}));
        EXPECT_EQ(o.AutoCloseDialogSecs(), 5);
        EXPECT_EQ(o.SupportURL(), "http://support.example.com");
        EXPECT_EQ(o.HTMLLayout(), "<html/>");
        EXPECT_EQ(o.CallStackOptions(), (TCallStackOptions{csoShowDLLs, csoDoNotStoreProcNames}));
        EXPECT_EQ(o.BehaviourOptions(), TBehaviourOptions{boDoNotPauseMainThread});
        EXPECT_EQ(o.AutoCrashOperation(), tbTerminate);
        EXPECT_EQ(o.AutoCrashNumber(), 4);
        EXPECT_EQ(o.AutoCrashMinutes(), 9);
        EXPECT_EQ(o.ExceptionsFilters().Count(), 0);
        EXPECT_EQ(o.EMailMessage(), "Body 500");
        EXPECT_EQ(ReadTexts(o, "Still frozen"), 94u);
        for (size_t i : {25, 42, 77, 84, 104, 131, 145})
            EXPECT_EQ(o.GetCustomizedTexts(i), "T" + IntToStr(i));
        for (size_t i : {17, 18, 83, 105, 146, 157})
            EXPECT_EQ(o.GetCustomizedTexts(i), "kept " + IntToStr(i));
        EXPECT_EQ(o.TextsCollection(), "Preset");
    }
}

// ---- Damaged data ----

TEST(OptionsStream, EveryTruncationIsRejectedAndTheOptionsKept) {
    TCrashModuleOptions source("");
    FillEveryStoredField(source);
    const std::pair<uint16_t, std::string> kStreams[] = {
        {CrashLogCurrentVersion, Saved(source)},
        {421, kvtest::layouts::OptionsLayout421()},
        {450, kvtest::layouts::OptionsLayout450()},
        {500, kvtest::layouts::OptionsLayout500()},
    };
    for (const auto& [v, bytes] : kStreams) {
        TCrashModuleOptions o("");
        o.SetSMTPHost("before");
        const std::string before = Saved(o);
        for (size_t n = 0; n < bytes.size(); ++n) {
            kv::TMemoryStream s(bytes.substr(0, n));
            ASSERT_FALSE(o.LoadFromStreamOfVersion(s, v)) << "version " << v << ", " << n;
            ASSERT_EQ(s.GetPosition(), 0);
        }
        EXPECT_EQ(Saved(o), before);
    }
}

TEST(OptionsStream, DamagedFieldsAreRejected) {
    TCrashModuleOptions source("");
    FillEveryStoredField(source);
    const std::string good = Saved(source);
    // SMTPFrom starts at 11; TerminateBtnOperation follows the four SMTP strings and the port.
    const size_t terminate = 11 + 4 * 4 + 2 + source.SMTPFrom().size() + source.SMTPHost().size() +
                             source.SMTPUserID().size() + source.SMTPPassword().size();
    ASSERT_EQ(good[terminate], tbTerminate);
    static const struct {
        const char* name;
        size_t offset;
        std::string bytes;
    } kCases[] = {
        {"string length past the end", 11, "\xFF\xFF\xFF\x7F"},
        {"string length just past the end", 11, std::string("\x00\x00\x01\x00", 4)},
        {"tab outside its enumeration", 5, "\x06"},
        {"terminate operation outside its enumeration", terminate, "\x03"},
    };
    for (const auto& c : kCases) {
        std::string bad = good;
        bad.replace(c.offset, c.bytes.size(), c.bytes);
        TCrashModuleOptions o("");
        const std::string before = Saved(o);
        EXPECT_FALSE(Load(o, bad, CrashLogCurrentVersion)) << c.name;
        EXPECT_EQ(Saved(o), before) << c.name;
    }
}

TEST(OptionsStream, FilterCountsAndNegativeLengths) {
    const TCrashModuleOptions defaults("");
    const std::string bytes = Saved(defaults);
    // Behind the filter count: EMailMessage, the texts and TextsCollection.
    size_t tail = 4 + 4 + defaults.TextsCollection().size();
    for (size_t i = 0; i < kMessageTypeCount; ++i)
        tail += 4 + defaults.GetCustomizedTexts(i).size();
    const size_t countAt = bytes.size() - tail - 4;
    ASSERT_EQ(bytes.substr(countAt, 4), std::string(4, '\0'));

    std::string huge = bytes;
    huge.replace(countAt, 4, "\xFF\xFF\xFF\x7F");
    TCrashModuleOptions o("");
    EXPECT_FALSE(Load(o, huge, CrashLogCurrentVersion));

    std::string negative = bytes;
    negative.replace(countAt, 4, "\xFE\xFF\xFF\xFF");
    EXPECT_TRUE(Load(o, negative, CrashLogCurrentVersion)); // no filters
    EXPECT_EQ(o.ExceptionsFilters().Count(), 0);

    // A negative string length reads as empty text (and no bytes).
    std::string shortFrom = bytes;
    shortFrom.replace(11, 4 + defaults.SMTPFrom().size(), "\xFB\xFF\xFF\xFF");
    ASSERT_TRUE(Load(o, shortFrom, CrashLogCurrentVersion));
    EXPECT_EQ(o.SMTPFrom(), "");
    EXPECT_EQ(o.SMTPPort(), 25);
}

TEST(OptionsStream, DataAfterTheOptionsIsLeftForTheCaller) {
    TCrashModuleOptions source("");
    source.SetSMTPHost("host");
    const std::string bytes = Saved(source) + "DEBUG";
    kv::TMemoryStream s(bytes);
    TCrashModuleOptions o("");
    ASSERT_TRUE(o.LoadFromStreamOfVersion(s, CrashLogCurrentVersion));
    EXPECT_EQ(o.SMTPHost(), "host");
    EXPECT_EQ(s.GetPosition(), static_cast<int64_t>(bytes.size() - 5));
}

TEST(OptionsStream, FilesRoundTrip) {
    kvtest::TempDir dir("optfile");
    TCrashModuleOptions source("");
    FillEveryStoredField(source);
    source.SaveToFile(dir.Ansi("options.bin"));
    TCrashModuleOptions read("");
    EXPECT_TRUE(read.LoadFromFile(dir.Ansi("options.bin")));
    EXPECT_EQ(Saved(read), Saved(source));
    EXPECT_THROW(read.LoadFromFile(dir.Ansi("missing.bin")), kv::EFileError);
    EXPECT_THROW(source.SaveToFile(dir.Ansi("no folder" + std::string(1, kPathDelim) + "x.bin")),
                 kv::EFileError);
}

// ---- The customised-texts file ----

TEST(TextsFile, LineEncoding) {
    static const struct {
        const char* name;
        std::vector<std::u16string> lines, encoded;
    } kCases[] = {
        {"plain text stays", {u"Hello, world."}, {u"Hello, world."}},
        {"percent doubled", {u"100% done"}, {u"100%% done"}},
        {"markup, ampersand, dash, tab", {u"<b>&-\t"}, {u"%U003Cb%U003E%U0026%U002D%U0009"}},
        {"non-ASCII as UTF-16 code", {u"\u30A8\u00E9"}, {u"%U30A8%U00E9"}},
        {"only the marked block",
         {u"<p>", u"<!-- CrashLog First Line", u"<b>x%</b>", u"CrashLog Last Line -->", u"<q>"},
         {u"<p>", u"<!-- CrashLog First Line", u"%U003Cb%U003Ex%%%U003C/b%U003E",
          u"CrashLog Last Line -->", u"<q>"}},
    };
    for (const auto& c : kCases) {
        auto lines = c.lines;
        EncodeStrings(lines);
        EXPECT_EQ(lines, c.encoded) << c.name;
        DecodeStrings(lines);
        EXPECT_EQ(lines, c.lines) << c.name;
    }
}

TEST(TextsFile, TextsThatDoNotLookEncodedStay) {
    static const struct {
        const char* name;
        std::vector<std::u16string> lines, decoded;
    } kCases[] = {
        {"raw less-than sign", {u"a <b> %41"}, {u"a <b> %41"}},
        {"percent before a blank", {u"50% off"}, {u"50% off"}},
        {"two hexadecimal digits: an 8-bit character", {u"%41%42"}, {u"AB"}},
        {"doubled percent", {u"100%%"}, {u"100%"}},
        {"percent at the very end", {u"100%"}, {u"100%"}},
    };
    for (const auto& c : kCases) {
        auto lines = c.lines;
        DecodeStrings(lines);
        EXPECT_EQ(lines, c.decoded) << c.name;
    }
}

class TextsFileTest : public testing::Test {
protected:
    kvtest::TempDir dir_{"texts"};
    std::string file_ = dir_.Ansi("Japanese.ini");
};

TEST_F(TextsFileTest, TextsRoundTripThroughTheFile) {
    const std::string japanese = Utf16ToAnsi(u"\u30A8\u30E9\u30FC\u8868\u793A"); // エラー表示
    TCrashModuleOptions written("");
    written.SetCustomizedTexts(mtDialog_Caption, "50% <b>&-\t" + japanese + "\r\nnext line");
    written.SetCustomizedTexts(mtDialog_ErrorMsgCaption, "a\r\n\r\n  c  ");
    written.SetCustomizedTexts(mtLog_AppHeader, "%_ExceptMsg% \"quoted\"");
    written.SaveCustomizedTextsToFile(file_);
    EXPECT_EQ(written.TextsCollection(), dir_.Ansi("Japanese"));

    // The file holds plain ASCII only.
    std::ifstream in(dir_.FsPath() / "Japanese.ini", std::ios::binary);
    const std::string content{std::istreambuf_iterator<char>(in), {}};
    ASSERT_FALSE(content.empty());
    for (char c : content) ASSERT_LT(static_cast<unsigned char>(c), 128u);
    EXPECT_EQ(content.find('<'), std::string::npos);

    TCrashModuleOptions read("");
    read.LoadCustomizedTextsFromFile(file_);
    for (size_t i = 0; i < kMessageTypeCount; ++i)
        EXPECT_EQ(read.GetCustomizedTexts(i), written.GetCustomizedTexts(i)) << "text " << i;
    EXPECT_EQ(read.TextsCollection(), dir_.Ansi("Japanese"));
}

TEST_F(TextsFileTest, HandWrittenAndMissingEntries) {
    std::ofstream(dir_.FsPath() / "Japanese.ini", std::ios::binary)
        << "[Exception Log]\r\n"
           "Count mtDialog_Caption=2\r\n"
           "mtDialog_Caption0=typed <by> hand\r\n"
           "mtDialog_Caption1=\"second line\"\r\n"
           "Count mtDialog_GeneralCaption=1\r\n"
           "Count mtDialog_CallStackCaption=0\r\n"
           "mtDialog_CallStackCaption0=ignored\r\n";
    TCrashModuleOptions o("");
    o.SetCustomizedTexts(mtDialog_GeneralCaption, "Mine");
    o.LoadCustomizedTextsFromFile(file_);
    EXPECT_EQ(o.GetCustomizedTexts(mtDialog_Caption), "typed <by> hand\r\nsecond line");
    EXPECT_EQ(o.GetCustomizedTexts(mtDialog_GeneralCaption), "Mine"); // its line is missing
    EXPECT_EQ(o.GetCustomizedTexts(mtDialog_CallStackCaption), "Call Stack");
    EXPECT_EQ(o.GetCustomizedTexts(mtDialog_AsmCaption), "Assembler"); // no count key
}

TEST_F(TextsFileTest, RawStrings) {
    WriteRawStrings(file_, "S", "Count", "one\r\ntwo\nthree\r", "L");
    EXPECT_EQ(ReadString(file_, "S", "Count", ""), "3");
    EXPECT_EQ(ReadString(file_, "S", "L1", ""), "two");
    EXPECT_EQ(ReadRawStrings(file_, "S", "Count", "d", "L"), "one\r\ntwo\r\nthree");
    EXPECT_EQ(ReadRawStrings(file_, "S", "None", "d", "L"), "d");
    WriteString(file_, "S", "Count", "99999999"); // a damaged count reads a bounded number
    EXPECT_NE(ReadRawStrings(file_, "S", "Count", "d", "L").find("three"), std::string::npos);
}

} // namespace
