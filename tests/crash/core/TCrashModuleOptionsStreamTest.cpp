#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "../support/CrashTestSupport.h"
#include "../support/LegacyOptionsStream.h"
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
    const std::string bytes = kvtest::LegacyStream(421);
    TCrashModuleOptions o("");
    kv::TMemoryStream s(bytes);
    LastCrashVersion = 421;
    EXPECT_TRUE(o.LoadFromStream(s));
    LastCrashVersion = CrashLogCurrentVersion;
    EXPECT_EQ(o.FreezeTimeout(), 60); // 60000 ms
    EXPECT_EQ(s.GetPosition(), static_cast<int64_t>(bytes.size()));
}

// What the older layouts give. Fields a version does not hold keep the values the object had
// (the defaults here, and a FreezeTimeout of 77).
TEST(OptionsStream, OlderLayouts) {
    static const struct {
        const char* name;
        uint16_t version;
        int32_t storedTimeout;
        int32_t freezeTimeout;
        const char* smtpFrom;
        const char* smtpHost;
        uint16_t smtpPort;
        TExceptionDialogType dialog;
        TForegroundType tab;
        TTerminateBtnOperation terminate;
        TEmailSendMode mail;
    } kCases[] = {
        {"399: the fewest fields", 399, 0, 77, kDefaultSMTPFrom, "", 25, edtNone, ftGeneral,
         tbRestart, esmEmailClient},
        {"410: tab and look and feel", 410, 0, 77, kDefaultSMTPFrom, "", 25, edtNone, ftCPU,
         tbRestart, esmEmailClient},
        {"420: freeze in ms, SMTP host", 420, 60000, 60, kDefaultSMTPFrom, "smtp.example.com", 25,
         edtNone, ftCPU, tbRestart, esmSMTPClient},
        {"421: SMTP account", 421, 60000, 60, kDefaultSMTPFrom, "smtp.example.com", 25, edtNone,
         ftCPU, tbTerminate, esmSMTPClient},
        {"422: freeze in seconds", 422, 60, 60, kDefaultSMTPFrom, "smtp.example.com", 25, edtNone,
         ftCPU, tbTerminate, esmSMTPClient},
        {"450: sender, port, send options", 450, 60, 60, "from@example.com", "smtp.example.com",
         2525, edtMSClassic, ftCPU, tbTerminate, esmSMTPClient},
        {"499", 499, 60, 60, "from@example.com", "smtp.example.com", 2525, edtMSClassic, ftCPU,
         tbTerminate, esmSMTPClient},
        {"500: web and dialog options", 500, 60, 60, "from@example.com", "smtp.example.com", 2525,
         edtMSClassic, ftCPU, tbTerminate, esmSMTPClient},
        {"5999", 5999, 60, 60, "from@example.com", "smtp.example.com", 2525, edtMSClassic, ftCPU,
         tbTerminate, esmSMTPClient},
        {"6000: the current layout", 6000, 60, 60, "from@example.com", "smtp.example.com", 2525,
         edtCrashLog, ftProcesses, tbTerminate, esmSMTPClient},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const uint16_t v = c.version;
        kvtest::LegacyValues values;
        values.storedTimeout = c.storedTimeout;
        TCrashModuleOptions o("");
        o.SetFreezeTimeout(77);
        ASSERT_TRUE(Load(o, kvtest::LegacyStream(v, values), v));
        EXPECT_TRUE(o.ActivateLog());
        EXPECT_FALSE(o.ActivateHandle());
        EXPECT_TRUE(o.AppendLogs());
        EXPECT_EQ(o.SaveLogFile(), v <= 400);
        EXPECT_EQ(o.FreezeTimeout(), c.freezeTimeout);
        EXPECT_EQ(o.FreezeActivate(), v >= 420);
        EXPECT_EQ(o.SMTPFrom(), c.smtpFrom);
        EXPECT_EQ(o.SMTPHost(), c.smtpHost);
        EXPECT_EQ(o.SMTPPort(), c.smtpPort);
        EXPECT_EQ(o.SMTPUserID(), v > 420 ? "user" : "");
        EXPECT_EQ(o.ExceptionDialogType(), c.dialog);
        EXPECT_EQ(o.ForegroundTab(), c.tab);
        EXPECT_EQ(o.TerminateBtnOperation(), c.terminate);
        EXPECT_EQ(o.ErrorsNumberToSave(), 7);
        EXPECT_EQ(o.EMailSendMode(), c.mail);
        EXPECT_EQ(o.OutputPath(), "C:\\Logs");
        EXPECT_EQ(o.EMailMessage(), "Body");
        EXPECT_EQ(o.CommonSendOptions().Contains(sndSendEntireLog), v >= 450 && v < 500);
        EXPECT_EQ(o.ExceptionDialogOptions().Contains(edoUseCrashLogLookAndFeel), v > 402);
        // Web, dialog and behaviour options from 500 on.
        EXPECT_EQ(o.WebSendMode(), v >= 500 ? wsmHTTP : wsmNoSend);
        EXPECT_EQ(o.WebPort(), v >= 500 ? 8081 : 0);
        if (v >= 500) {
            EXPECT_EQ(o.CommonSendOptions(),
                      v < 6000
                          ? TCommonSendOptions{sndShowSendDialog}
                          : (TCommonSendOptions{sndShowSendDialog, sndAddComputerNameInFileName}));
            EXPECT_EQ(o.CallStackOptions(),
                      v < 6000 ? (TCallStackOptions{csoShowDLLs, csoDoNotStoreProcNames})
                               : TCallStackOptions{csoShowDLLs});
            EXPECT_EQ(o.BehaviourOptions(),
                      v < 6000
                          ? TBehaviourOptions{boDoNotPauseMainThread}
                          : (TBehaviourOptions{boDoNotPauseMainThread, boCatchHandledExceptions}));
            EXPECT_EQ(o.AutoCrashMinutes(), 9);
        }
        EXPECT_EQ(o.ProxyPort(), v >= 6000 ? 3128 : 8080);
        EXPECT_EQ(o.ZipPassword(), v >= 6000 ? "zip" : "");
        // Filters: older ones become active rules for unhandled exceptions.
        ASSERT_EQ(o.ExceptionsFilters().Count(), 2);
        const TCrashExceptionFilter& withMessage = *o.ExceptionsFilters().GetItem(0);
        const TCrashExceptionFilter& without = *o.ExceptionsFilters().GetItem(1);
        if (v < 6000) {
            EXPECT_EQ(withMessage,
                      (TCrashExceptionFilter{true, "EFirst", "Message %x%", fetUnhandled,
                                             fdtMessageBox, fhtNone, fatNone}));
            EXPECT_EQ(without, (TCrashExceptionFilter{true, "ESecond", "", fetUnhandled, fdtNone,
                                                      fhtNone, fatNone}));
        } else {
            EXPECT_EQ(without, (TCrashExceptionFilter{false, "ESecond", "", fetUnhandled,
                                                      fdtCrashLog, fhtCrashLog, fatTerminate}));
        }
        // Texts: a version reads the ones it holds; the others keep their values.
        for (int i : {0, 9, 17, 19, 20, 25, 68, 153, 156, 157}) {
            const std::string expected =
                kvtest::LegacyHoldsText(v, i) ? "T" + std::to_string(i) : EVals(i);
            if (i == 156 && v >= 420 && v < 6000)
                EXPECT_EQ(o.GetCustomizedTexts(i), "Frozen!") << "the old freeze message";
            else
                EXPECT_EQ(o.GetCustomizedTexts(i), expected) << "text " << i;
        }
        EXPECT_EQ(o.TextsCollection(), v >= 6000 ? "Custom" : "English");
    }
}

TEST(OptionsStream, OlderGeneralSectionSetsGainTheNewItems) {
    TCrashModuleOptions o("");
    ASSERT_TRUE(Load(o, kvtest::LegacyStream(450), 450));
    // Stored bits 0 and 4 fill the first and fifth item the layout knew.
    TShowOptions before500{soAppStartDate, soExcDate};
    for (int i : {4,  5,  9,  12, 13, 14, 15, 22, 23, 24, 25, 30,
                  31, 32, 33, 34, 35, 41, 42, 43, 44, 45, 46, 47})
        before500.Include(static_cast<TShowOption>(i));
    EXPECT_EQ(o.ShowOptions(), before500);

    ASSERT_TRUE(Load(o, kvtest::LegacyStream(500), 500));
    TShowOptions before6000{soAppStartDate, soAppCompilationDate};
    for (int i : {5, 9, 12, 13, 14, 15, 22, 23, 24, 25, 33, 34, 35, 40, 47})
        before6000.Include(static_cast<TShowOption>(i));
    EXPECT_EQ(o.ShowOptions(), before6000);

    ASSERT_TRUE(Load(o, kvtest::LegacyStream(6000), 6000));
    EXPECT_EQ(o.ShowOptions(), (TShowOptions{soAppStartDate, soAppCompilationDate}));
}

TEST(OptionsStream, Version440) {
    kvtest::LegacyValues one, zero;
    zero.dialogByte = 0;
    one.storedTimeout = zero.storedTimeout = 60;
    TCrashModuleOptions o("");
    o.SetCustomizedTexts(mtDialog_ModulesCaption, "mine 9");
    ASSERT_TRUE(Load(o, kvtest::LegacyStream(440, one), 440));
    EXPECT_EQ(o.ExceptionDialogType(), edtNone); // 1, inverted below 450
    EXPECT_EQ(o.FreezeTimeout(), 60);            // divided below 422 only
    EXPECT_EQ(o.SMTPFrom(), kDefaultSMTPFrom);
    EXPECT_EQ(o.GetCustomizedTexts(mtDialog_ModulesCaption), "mine 9");
    EXPECT_EQ(o.GetCustomizedTexts(mtDialog_ModulesHeader), EVals(mtDialog_ModulesHeader));

    TCrashModuleOptions kept("");
    ASSERT_TRUE(Load(kept, kvtest::LegacyStream(440, zero), 440));
    EXPECT_EQ(kept.ExceptionDialogType(), edtMSClassic);
}

// ---- Damaged data ----

TEST(OptionsStream, EveryTruncationIsRejectedAndTheOptionsKept) {
    TCrashModuleOptions source("");
    FillEveryStoredField(source);
    for (uint16_t v : {uint16_t(CrashLogCurrentVersion), uint16_t(450), uint16_t(500)}) {
        const std::string bytes =
            v == CrashLogCurrentVersion ? Saved(source) : kvtest::LegacyStream(v);
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
