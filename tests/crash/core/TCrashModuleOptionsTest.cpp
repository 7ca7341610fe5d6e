#include <gtest/gtest.h>

#include "../support/CrashTestSupport.h"
#include "crash/core/ClConsts.h"
#include "crash/core/TCrashModuleOptions.h"

namespace {

using namespace kv::crash;

const std::string kD(1, kPathDelim);

// Counts what reaches the shared copy.
class CountingOptions : public TCrashModuleOptions {
public:
    using TCrashModuleOptions::TCrashModuleOptions;
    void StoreSharedData() override { ++stores; }
    int stores = 0;
};

TEST(TCrashModuleOptions, EveryDefault) {
    const TCrashModuleOptions o("");
    EXPECT_EQ(o.ModuleName(), "");
    EXPECT_EQ(o.ModuleHandle(), 0u);
    EXPECT_EQ(o.SMTPFrom(), kDefaultSMTPFrom);
    EXPECT_EQ(o.SMTPHost(), "");
    EXPECT_EQ(o.SMTPUserID(), "");
    EXPECT_EQ(o.SMTPPassword(), "");
    EXPECT_EQ(o.SMTPPort(), 25);
    EXPECT_FALSE(o.FreezeActivate());
    EXPECT_EQ(o.FreezeTimeout(), 60);
    EXPECT_EQ(o.ExceptionsFilters().Count(), 0);
    EXPECT_EQ(o.TextsCollection(), "English");
    EXPECT_FALSE(o.ActivateLog());
    EXPECT_TRUE(o.SaveLogFile());
    EXPECT_TRUE(o.ActivateHandle());
    EXPECT_EQ(o.ForegroundTab(), ftGeneral);
    EXPECT_FALSE(o.AppendLogs());
    EXPECT_EQ(o.TerminateBtnOperation(), tbRestart);
    EXPECT_EQ(o.ForcedTerminateBtnOperation(), tbNone);
    EXPECT_EQ(o.LogOptions(),
              (TLogOptions{loSaveModulesAndProcessesSections, loSaveAssemblerAndCPUSections}));
    EXPECT_EQ(o.ShowOptions(), TShowOptions::FirstN(48));
    EXPECT_EQ(o.ShowOptions().Data(), (std::array<uint8_t, 6>{255, 255, 255, 255, 255, 255}));
    EXPECT_EQ(o.ErrorsNumberToSave(), 32);
    EXPECT_EQ(o.ErrorsNumberToShowTerminateBtn(), 3);
    for (const std::string* s : {&o.OutputPath(),
                                 &o.EMailAddresses(),
                                 &o.EMailSubject(),
                                 &o.EMailMessage(),
                                 &o.WebURL(),
                                 &o.WebUserID(),
                                 &o.WebPassword(),
                                 &o.AttachedFiles(),
                                 &o.SupportURL(),
                                 &o.ProxyURL(),
                                 &o.ProxyUserID(),
                                 &o.ProxyPassword(),
                                 &o.TrakerUserID(),
                                 &o.TrakerPassword(),
                                 &o.TrakerAssignTo(),
                                 &o.TrakerProject(),
                                 &o.TrakerCategory(),
                                 &o.TrakerTrialID(),
                                 &o.ZipPassword(),
                                 &o.ReproduceText(),
                                 &o.PreBuildEvent(),
                                 &o.PostSuccessfulBuildEvent(),
                                 &o.PostFailureBuildEvent()})
        EXPECT_EQ(*s, "");
    EXPECT_EQ(o.EMailSendMode(), esmNoSend);
    EXPECT_EQ(o.WebSendMode(), wsmNoSend);
    EXPECT_EQ(o.WebPort(), 0);
    EXPECT_EQ(o.CommonSendOptions(),
              (TCommonSendOptions{sndShowSendDialog, sndSendScreenshot, sndSendLastHTMLPage}));
    EXPECT_EQ(o.ExceptionDialogType(), edtMSClassic);
    EXPECT_EQ(
        o.ExceptionDialogOptions(),
        (TExceptionDialogOptions{edoSendErrorReportChecked, edoAttachScreenshotChecked,
                                 edoShowCopyToClipOption, edoShowDetailsButton,
                                 edoShowSendErrorReportOption, edoShowAttachScreenshotOption}));
    EXPECT_EQ(o.AutoCloseDialogSecs(), 0);
    EXPECT_EQ(o.HTMLLayout(), kDefaultHTMLLayout);
    EXPECT_EQ(o.AutoCrashOperation(), tbRestart);
    EXPECT_EQ(o.AutoCrashNumber(), 10);
    EXPECT_EQ(o.AutoCrashMinutes(), 1);
    EXPECT_EQ(o.CallStackOptions(),
              (TCallStackOptions{csoShowDLLs, csoShowBPLs, csoShowBorlandThreads,
                                 csoShowWindowsThreads}));
    EXPECT_EQ(o.BehaviourOptions(),
              (TBehaviourOptions{boUseMainModuleOptions, boCopyLogInCaseOfError,
                                 boHandleSafeCallExceptions}));
    EXPECT_EQ(o.LeaksOptions(), (TLeaksOptions{loGroupsSonLeaks, loHideBorlandLeaks, loFreeAllLeaks,
                                               loCatchLeaksExceptions}));
    EXPECT_EQ(o.ProxyPort(), 8080);
    EXPECT_EQ(o.CompiledFileOptions(), TCompiledFileOptions{cfoReduceFileSize});
    EXPECT_TRUE(o.Active());
    for (size_t i = 0; i < kMessageTypeCount; ++i) EXPECT_EQ(o.GetCustomizedTexts(i), EVals(i));
}

TEST(TCrashModuleOptions, DefaultTextsAndLayout) {
    const TCrashModuleOptions o("");
    EXPECT_EQ(o.GetCustomizedTexts(mtDialog_ErrorMsgCaption),
              "An error has occurred during program execution.\r\nPlease read the following "
              "information for further details.");
    EXPECT_EQ(o.GetCustomizedTexts(mtMSDialog_NoSendButtonCaption), "&Don't Send");
    EXPECT_EQ(o.GetCustomizedTexts(mtReserved153), "");
    EXPECT_EQ(o.GetCustomizedTexts(mtInvalidEmailMsg), "Invalid email.");
    EXPECT_EQ(o.GetCustomizedTexts(kMessageTypeCount), ""); // out of range
    EXPECT_STREQ(MessageTypeName(mtDialog_Caption), "mtDialog_Caption");
    EXPECT_STREQ(MessageTypeName(mtReserved153), "");
    EXPECT_STREQ(MessageTypeName(mtInvalidEmailMsg), "mtInvalidEmailMsg");
    const std::string layout = o.HTMLLayout();
    EXPECT_EQ(layout.rfind("<html>\r\n  <head>\r\n", 0), 0u);
    EXPECT_NE(layout.find("\r\n            <%HTML_TAG%>\r\n"), std::string::npos);
    EXPECT_EQ(layout.substr(layout.size() - 9), "\r\n</html>");
}

TEST(TCrashModuleOptions, SettersWithSideRules) {
    TCrashModuleOptions o("");
    o.SetErrorsNumberToSave(0);
    EXPECT_EQ(o.ErrorsNumberToSave(), 1);
    o.SetErrorsNumberToSave(-5);
    EXPECT_EQ(o.ErrorsNumberToSave(), -5);

    o.SetTerminateBtnOperation(tbTerminate);
    EXPECT_EQ(o.TerminateBtnOperation(), tbTerminate);
    EXPECT_EQ(o.ForcedTerminateBtnOperation(), tbNone);
    o.SetForcedTerminateBtnOperation(tbRestart);
    EXPECT_EQ(o.TerminateBtnOperation(), tbRestart);
    EXPECT_EQ(o.ForcedTerminateBtnOperation(), tbRestart);
    o.SetTerminateBtnOperation(tbTerminate);
    EXPECT_EQ(o.ForcedTerminateBtnOperation(), tbTerminate);

    o.SetForcedTerminateBtnOperation(tbRestart);
    o.SetToDefaultOptions(); // leaves the forced operation alone
    EXPECT_EQ(o.ForcedTerminateBtnOperation(), tbRestart);
    EXPECT_EQ(o.TerminateBtnOperation(), tbRestart);
}

TEST(TCrashModuleOptions, ExpandedTexts) {
    TCrashModuleOptions o("");
    SetEnvVariable("_ExceptMsg", "Division by zero");
    o.SetCustomizedTexts(mtDialog_Caption, "Error: %_ExceptMsg% (100%%)");
    EXPECT_EQ(o.GetCustomizedTexts(mtDialog_Caption), "Error: %_ExceptMsg% (100%%)");
    EXPECT_EQ(o.GetCustomizedExpandedTexts(mtDialog_Caption), "Error: Division by zero (100)");
    SetEnvVariable("_ExceptMsg", "");
}

TEST(TCrashModuleOptions, OnlyTheComponentsOwnModuleReachesSharedMemory) {
    CountingOptions own(Real_GetMainModuleFileName());
    CountingOptions other("C:\\elsewhere\\other.dll");
    EXPECT_NE(own.ModuleHandle(), 0u);
    EXPECT_EQ(other.ModuleHandle(), 0u);
    for (CountingOptions* o : {&own, &other}) {
        o->SetSMTPHost("mail");
        o->SetToDefaultOptions();
        o->ExceptionsFilters().Add({});
        o->ExceptionsFilters().Clear();
    }
    EXPECT_EQ(other.stores, 0);
    // One store per setter, one per bulk operation, one per list change (Clear: its Delete
    // and the clear itself).
    EXPECT_EQ(own.stores, 5);

    own.stores = 0;
    own.DisableSharedDataWrite();
    own.SetZipPassword("x");
    own.Assign(&other);
    EXPECT_EQ(own.stores, 0);
    own.EnableSharedDataWrite();
    own.SetZipPassword("y");
    EXPECT_EQ(own.stores, 1);
}

TEST(TCrashModuleOptions, AssignCopiesAllButIdentityAndActive) {
    TCrashModuleOptions source("C:\\a\\source.exe");
    source.SetActive(false);
    source.SetSMTPHost("mail.example.com");
    source.SetForcedTerminateBtnOperation(tbTerminate);
    source.SetReproduceText("steps");
    source.SetPreBuildEvent("pre");
    source.SetCustomizedTexts(mtDialog_Caption, "Caption");
    source.SetShowOptions(TShowOptions{soAppName, soCustomData});
    source.ExceptionsFilters().Add(
        {true, "EFoo", "msg", fetHandled, fdtCrashLog, fhtRTL, fatRestart});
    TCrashModuleOptions target("C:\\b\\target.exe");
    target.Assign(&source);
    EXPECT_EQ(target.ModuleName(), "C:\\b\\target.exe");
    EXPECT_TRUE(target.Active());
    EXPECT_EQ(target.SMTPHost(), "mail.example.com");
    EXPECT_EQ(target.TerminateBtnOperation(), tbTerminate);
    EXPECT_EQ(target.ForcedTerminateBtnOperation(), tbTerminate);
    EXPECT_EQ(target.ReproduceText(), "steps");
    EXPECT_EQ(target.PreBuildEvent(), "pre");
    EXPECT_EQ(target.GetCustomizedTexts(mtDialog_Caption), "Caption");
    EXPECT_EQ(target.ShowOptions(), (TShowOptions{soAppName, soCustomData}));
    ASSERT_EQ(target.ExceptionsFilters().Count(), 1);
    EXPECT_EQ(*target.ExceptionsFilters().GetItem(0), *source.ExceptionsFilters().GetItem(0));
    EXPECT_NE(target.ExceptionsFilters().GetItem(0), source.ExceptionsFilters().GetItem(0));

    target.Assign(&target); // nothing happens
    EXPECT_EQ(target.SMTPHost(), "mail.example.com");
    try {
        target.Assign(nullptr);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"Impossible to assign nil as TCrashModuleOptions.");
    }
}

TEST(TCrashExceptionsFilters, ListOperations) {
    TCrashModuleOptions o("");
    TCrashExceptionsFilters& list = o.ExceptionsFilters();
    TCrashExceptionFilter f;
    f.ExceptionClassName = "A";
    list.Add(f);
    f.ExceptionClassName = "C";
    list.Add(f);
    f.ExceptionClassName = "B";
    list.Insert(1, f);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.GetItem(1)->ExceptionClassName, "B");
    list.Delete(0);
    list.Delete(7); // out of range: nothing
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.GetItem(0)->ExceptionClassName, "B");
    EXPECT_EQ(list.GetItem(5), nullptr);
    auto replacement = std::make_unique<TCrashExceptionsFilters>(nullptr);
    replacement->Add(f);
    o.SetExceptionsFilters(std::move(replacement));
    EXPECT_EQ(o.ExceptionsFilters().Count(), 1);
    EXPECT_EQ(o.ExceptionsFilters().Owner(), &o);
    o.ExceptionsFilters().Clear();
    EXPECT_EQ(o.ExceptionsFilters().Count(), 0);
}

TEST(TCrashModuleOptions, OutputFiles) {
    kvtest::TempDir dir("output");
    TCrashModuleOptions o(dir.Ansi("app.vshost.exe"));
    // An .elf path, in any letter case, is the one file for everything.
    o.SetOutputPath(dir.Ansi("logs" + kD + "x.ELF"));
    EXPECT_EQ(o.OutputFile("C:\\any\\report.xml"), dir.Ansi("logs" + kD + "x.ELF"));
    EXPECT_TRUE(DirectoryExists(dir.Ansi("logs")));
    // A folder: every file keeps its own name there.
    o.SetOutputPath(dir.Ansi("logs2"));
    EXPECT_EQ(o.OutputFile(dir.Ansi("report.xml")), dir.Ansi("logs2" + kD + "report.xml"));
    // None: beside the given file.
    o.SetOutputPath("");
    EXPECT_EQ(o.OutputFile(dir.Ansi("report.xml")), dir.Ansi("report.xml"));
    EXPECT_EQ(o.OutputLogFile(""), dir.Ansi("app.elf"));
    EXPECT_EQ(o.OutputLogFile(dir.Ansi("base.exe")), dir.Ansi("base.elf"));

    o.SetLogOptions(TLogOptions{loAddComputerNameInLogFileName});
    const std::string withComputer = o.OutputLogFile("");
    EXPECT_EQ(withComputer.rfind(dir.Ansi("app_"), 0), 0u) << withComputer;
    EXPECT_EQ(ExtractFileExt(withComputer), ".elf");
    EXPECT_GT(withComputer.size(), dir.Ansi("app_.elf").size());
    EXPECT_EQ(FileNameOfComputer("PC:1"), "PC_1");
    EXPECT_EQ(FileNameOfComputer("a\"*/:<>?\\|b"), "a_________b");
    // ソ and ポ end in the bytes of "\" and "|": the characters stay.
    EXPECT_EQ(FileNameOfComputer("PC\x83\x5C\x83\x7C|"), "PC\x83\x5C\x83\x7C_");
}

} // namespace
