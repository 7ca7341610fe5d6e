#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "crash/debug/ClDebugInfo.h"
#include "crash/capture/CrashLogExceptions.h"
#include "crash/capture/CrashLogMain.h"
#include "crash/capture/CrashLogUtils.h"

namespace modulea {
struct EExternal : kv::Exception {
    using kv::Exception::Exception;
};
struct EAccessViolation : EExternal {
    using EExternal::EExternal;
};
struct EThing : kv::Exception {
    using kv::Exception::Exception;
};
} // namespace modulea

namespace moduleb {
// Same name as a class of another module, no relation in this one.
struct EThing {
    virtual ~EThing() = default;
};
struct Mixin {
    virtual ~Mixin() = default;
};
struct Both : Mixin, modulea::EThing {
    Both() : modulea::EThing(u"both") {}
};
} // namespace moduleb

namespace {

using namespace kv::crash;

TEST(CrashLogUtils, ObjectTestsAcceptValidObjectsAndNameTheirClasses) {
    const modulea::EAccessViolation av(u"av");
    const kv::EAbort abort;
    const moduleb::Both both;
    EXPECT_TRUE(IsValidObjectReference(&av));
    EXPECT_TRUE(IsValidClass(&typeid(av)));
    EXPECT_EQ(GetValidObjectClassName(&av), "EAccessViolation");
    EXPECT_EQ(GetValidObjectClassName(&abort), "EAbort");
    EXPECT_EQ(GetObjectInstanceSize(&av), 0u);
    EXPECT_FALSE(IsValidClass(&typeid(int))); // no class
    EXPECT_FALSE(IsValidClass(nullptr));

    EXPECT_TRUE(ObjectInheritsFrom(&av, typeid(kv::Exception)));
    EXPECT_TRUE(InheritsFromNamedClass(&av, " eexternal "));
    EXPECT_FALSE(IsLanguageException(&av));
    EXPECT_TRUE(IsLanguageException(&abort));
    EXPECT_TRUE(IsReportableObject(&av));
    EXPECT_FALSE(IsReportableObject(&abort));
    // A class of another module matches by name; ancestors of multiple inheritance are found.
    EXPECT_TRUE(ObjectInheritsFrom(&both, typeid(moduleb::EThing)));
    EXPECT_TRUE(ObjectInheritsFrom(&both, typeid(kv::Exception)));
    EXPECT_TRUE(ObjectInheritsFromAny(&av, {&typeid(moduleb::Mixin), &typeid(modulea::EExternal)}));
    EXPECT_FALSE(ObjectInheritsFromAny(&av, {&typeid(moduleb::Mixin), &typeid(kv::EAbort)}));
}

TEST(CrashLogUtils, ObjectTestsRefuseWildPointersWithoutFaulting) {
    // A block whose first word leads to readable memory that is no virtual table.
    std::vector<uintptr_t> junk(16, 0x41414141u);
    std::vector<uintptr_t> fake(4);
    fake[0] = reinterpret_cast<uintptr_t>(junk.data() + 8);
    std::vector<uintptr_t> zero(4, 0);
    static constexpr struct {
        const char* name;
        uintptr_t address;
    } kWild[] = {{"null", 0}, {"low page", 0x10}, {"kernel half", ~uintptr_t(0) - 64}};
    for (const auto& c : kWild) {
        const void* p = reinterpret_cast<const void*>(c.address);
        EXPECT_FALSE(IsValidObjectReference(p)) << c.name;
        EXPECT_EQ(GetValidObjectClassName(p), "") << c.name;
        EXPECT_FALSE(InheritsFromNamedClass(p, "EAbort")) << c.name;
    }
    EXPECT_FALSE(IsValidObjectReference(fake.data()));
    EXPECT_FALSE(IsValidObjectReference(zero.data()));
    EXPECT_FALSE(IsValidClass(reinterpret_cast<const std::type_info*>(junk.data())));
}

// A class whose size only a record tells.
struct ERecordedLarge : kv::Exception {
    ERecordedLarge() : kv::Exception(u"large") {}
    char payload[3000] = {};
};

TEST(CrashLogUtils, InstanceSizesOfTheComponentsAndRecordedClasses) {
    RegisterInstanceSize<ERecordedLarge>();
    RegisterInstanceSize(typeid(ERecordedLarge), 1); // a second record changes nothing
    const EAccessViolation av(u"av", TExceptionRecordCopy{});
    const EFrozenApplication frozen(u"frozen");
    const auto large = std::make_unique<ERecordedLarge>();
    const modulea::EThing unrecorded(u"thing");
    const std::vector<uintptr_t> junk(4, 0x41414141u);
    static constexpr uint32_t kLarge = 3000 + sizeof(kv::Exception);
    const struct {
        const char* name;
        const void* object;
        uint32_t size;
    } kCases[] = {
        {"component's class", &av, sizeof(EAccessViolation)},
        {"component's other class", &frozen, sizeof(EFrozenApplication)},
        {"recorded class", large.get(), kLarge},
        {"unrecorded class", &unrecorded, 0},
        {"no object", junk.data(), 0},
        {"null", nullptr, 0},
    };
    for (const auto& c : kCases) EXPECT_EQ(GetObjectInstanceSize(c.object), c.size) << c.name;
}

TEST(CrashLogUtils, DateTimeToRFC822) {
    static constexpr struct {
        const char* name;
        int y, mo, d, h, mi, s, gmt;
        const char* text;
    } kCases[] = {
        {"Tokyo", 2024, 3, 5, 9, 7, 5, 9, "Tue, 5 Mar 2024 09:07:05 +0900"},
        {"Hawaii", 2023, 12, 31, 23, 59, 59, -10, "Sun, 31 Dec 2023 23:59:59 -1000"},
        {"New York", 2000, 2, 29, 0, 0, 0, -5, "Tue, 29 Feb 2000 00:00:00 -0500"},
        {"UTC", 1999, 1, 1, 12, 30, 0, 0, "Fri, 1 Jan 1999 12:30:00 +0000"},
        {"Kiritimati", 2021, 7, 17, 1, 2, 3, 14, "Sat, 17 Jul 2021 01:02:03 +1400"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(DateTimeToRFC822(EncodeDateTime(c.y, c.mo, c.d, c.h, c.mi, c.s), c.gmt), c.text)
            << c.name;
    }
}

TEST(CrashLogUtils, AllocAlignedGivesZeroFilledAlignedMemory) {
    std::unique_ptr<uint8_t[]> block;
    EXPECT_EQ(AllocAligned(0, 16, block), nullptr);
    for (size_t alignment : {0u, 1u, 16u, 4096u}) {
        auto* p = static_cast<uint8_t*>(AllocAligned(100, alignment, block));
        ASSERT_NE(p, nullptr) << alignment;
        if (alignment > 1) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignment, 0u) << alignment;
        }
        for (size_t i = 0; i < 100; ++i) ASSERT_EQ(p[i], 0) << alignment;
        std::memset(p, 0xFF, 100); // the whole size is ours
    }
}

TEST(CrashLogUtils, VersionsTagsAndBlockNames) {
    EXPECT_TRUE(VersionWithinHundred(6100));
    EXPECT_TRUE(VersionWithinHundred(6104));
    EXPECT_TRUE(VersionWithinHundred(6200));
    EXPECT_FALSE(VersionWithinHundred(6099));
    EXPECT_FALSE(VersionWithinHundred(6201));
    EXPECT_TRUE(IsKnownDataTag(0x100FAB10u));
    EXPECT_TRUE(IsKnownDataTag(0x000FAB10u));
    EXPECT_FALSE(IsKnownDataTag(0x200FAB10u));
    EXPECT_EQ(SharedOptionsBlockName(0x1A2B, 0x400000), "00001A2B00400000");
}

struct ErrorCapture : ::testing::Test {
    static inline std::vector<std::string> output;
    static inline std::vector<std::string> boxes;
    static inline bool sendDialogOpen = false;
    TDebugOutputProc oldOutput = CrashDebugOutput;
    TCrashMessageBoxProc oldBox = CrashMessageBox;
    TCrashLogUtilsHooks oldHooks = CrashLogUtilsHooks;

    void SetUp() override {
        output.clear();
        boxes.clear();
        sendDialogOpen = false;
        CrashDebugOutput = [](const std::string& t) { output.push_back(t); };
        CrashMessageBox = [](const std::string& t, const std::string& c, uint32_t f) {
            boxes.push_back(c + "|" + t + "|" + IntToHex(f, 6));
            return 0;
        };
        CrashLogUtilsHooks.SendDialogOpen = [] { return sendDialogOpen; };
        CrashLogUtilsHooks.CurrentExceptionAddress = [] { return uintptr_t(0x401234); };
    }
    void TearDown() override {
        CrashDebugOutput = oldOutput;
        CrashMessageBox = oldBox;
        CrashLogUtilsHooks = oldHooks;
        ClearLastCrashLogError();
    }
};

TEST_F(ErrorCapture, LastErrorIsStoredAndWrittenToTheDebuggerOutput) {
    SetLastCrashLogError(eeLogError, "disk full");
    EXPECT_EQ(GetLastCrashLogErrorCode(), eeLogError);
    EXPECT_EQ(GetLastCrashLogErrorMsg(), "disk full");
    ASSERT_EQ(output.size(), 1u);
    EXPECT_EQ(output[0],
              "[WARNING] - Code: eeLogError - Address: 00401234 - Message: \"disk full\"");
    EXPECT_TRUE(boxes.empty());
    ClearLastCrashLogError();
    EXPECT_EQ(GetLastCrashLogErrorCode(), eeNone);
    EXPECT_EQ(GetLastCrashLogErrorMsg(), "");
}

TEST_F(ErrorCapture, SendErrorsAreShownOnlyWhileTheSendWindowIsOpen) {
    SetLastCrashLogError(eeWebFTPError, "refused");
    EXPECT_TRUE(boxes.empty());
    sendDialogOpen = true;
    SetLastCrashLogError(eeEmailShellError, "no client"); // no send error
    EXPECT_TRUE(boxes.empty());
    SetLastCrashLogError(eeEmailSMTPError, "550");
    ShowInternalSendErrors = false;
    SetLastCrashLogError(eeWebTrakerError, "hidden");
    ShowInternalSendErrors = true;
    EXPECT_EQ(boxes, std::vector<std::string>{"Error.|550|242010"});
}

TEST_F(ErrorCapture, ErrorFromTheExceptionBeingHandled) {
    try {
        throw kv::Exception(u"timeout");
    } catch (...) {
        SetLastCrashLogErrorFromException(eeEmailSMTPError, "SMTP");
    }
    EXPECT_EQ(GetLastCrashLogErrorMsg(), "[SMTP] timeout");
    try {
        throw 42;
    } catch (...) {
        SetLastCrashLogErrorFromException(eeWebHTTPError, "HTTP");
    }
    EXPECT_EQ(GetLastCrashLogErrorMsg(), "General 'HTTP' error.");
    EXPECT_EQ(GetLastCrashLogErrorCode(), eeWebHTTPError);
}

TEST_F(ErrorCapture, InternalErrorWithoutDebuggerLeavesNoTrace) {
    ShowCrashLogUnits = false;
    SetLastCrashLogError(eeShowError, "before");
    output.clear();
    try {
        throw kv::Exception(u"bug");
    } catch (...) {
        HandleInternalError("ClCore.Init");
    }
    EXPECT_TRUE(ShowCrashLogUnits);
    ShowCrashLogUnits = false;
    EXPECT_TRUE(output.empty());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(GetLastCrashLogErrorMsg(), "before");
}

TEST(CrashLogUtils, InternalErrorDumpText) {
    const std::string dump = InternalErrorDumpText("12", "boom", "EBoom", 0);
    EXPECT_EQ(dump.rfind("Version   : 6.1.04\r\nDate      : ", 0), 0u);
    EXPECT_NE(dump.find("\r\nRAD       : BDS 9.0\r\nDump      : \r\nSection   : 12\r\n"),
              std::string::npos);
    EXPECT_NE(dump.find("\r\nAddress   : $00000000 - [00000000]  -  -  -  - 0[0]\r\n"
                        "Exception : EBoom\r\nMessage   : boom\r\nCall Stack: "),
              std::string::npos);
    uint8_t code[32];
    for (int i = 0; i < 32; ++i) code[i] = static_cast<uint8_t>(i * 8);
    const std::string withCode =
        InternalErrorDumpText("s", "m", "", reinterpret_cast<uintptr_t>(code));
    EXPECT_NE(withCode.find("Dump      : $00 $08 $10 "), std::string::npos);
    EXPECT_NE(withCode.find("$F8 \r\n"), std::string::npos);
}

TEST(CrashLogUtils, StackRoutinesOrderTheStack) {
    const uintptr_t position = GetStackPosition();
    EXPECT_LT(GetStackLimit(), position);
    EXPECT_LT(position, CurrentStackTop());
    EXPECT_NE(CurrentProcessID(), 0u);
    EXPECT_FALSE(GetCommandLineStr().empty());
}

} // namespace

namespace {

std::unique_ptr<kv::crash::TCrashDebugInfo> SourceFrame(uintptr_t address, const char* procedure,
                                                        uint32_t line) {
    auto f = std::make_unique<kv::crash::TCrashDebugInfo>();
    f->DebugDetail = kv::crash::ddSourceCode;
    f->ThreadID = 7;
    f->Addr = address;
    f->UnitName = "Unit";
    f->ProcedureName = procedure;
    f->Line = line;
    return f;
}

} // namespace

// The same failure twice: once with a stale return address on the stack between its frames.
// With the frame-pointer chain, both get one ID; the stale frame is what set them apart.
TEST(CrashLogMain, TheExceptionIdComesFromTheFramesOnTheFrameChain) {
    using kv::crash::MakeBugID;
    kv::crash::TCrashStackList clean, stale;
    for (kv::crash::TCrashStackList* s : {&clean, &stale}) {
        s->Add(SourceFrame(0x1000, "Raise", 10));
        if (s == &stale) s->Add(SourceFrame(0x1800, "LeftOver", 30));
        s->Add(SourceFrame(0x2000, "Caller", 20));
    }
    const std::vector<uint32_t> chain{0x2005, 0x3002}; // returns after the calls of the chain
    EXPECT_EQ(MakeBugID("head", &stale, chain), MakeBugID("head", &clean, chain));
    EXPECT_EQ(MakeBugID("head", &clean, chain), MakeBugID("head", &clean));
    EXPECT_NE(MakeBugID("head", &stale), MakeBugID("head", &clean));
    EXPECT_EQ(MakeBugID("head", &clean).size(), 4u);
}

TEST(CrashLogMain, TheHiddenUnitsAreTheComponentsOwnSources) {
    namespace fs = std::filesystem;
    const fs::path crash = fs::path(KOLVANE_TEST_DATA) / ".." / ".." / "src" / "crash";
    std::set<std::string> sources;
    for (const auto& e : fs::recursive_directory_iterator(crash))
        sources.insert(e.path().filename().string());
    const std::vector<std::string> hidden = kv::crash::HiddenUnitNames();
    for (const std::string& name : hidden)
        EXPECT_TRUE(sources.count(name)) << name << " is no source of the component";
    // Every unit of the engine that runs on Windows is among them.
    for (const auto& e : fs::directory_iterator(crash / "capture")) {
        const std::string name = e.path().filename().string();
        if (e.path().extension() != ".cpp" || name.find("_posix") != std::string::npos) continue;
        EXPECT_NE(std::find(hidden.begin(), hidden.end(), name), hidden.end()) << name;
    }
}
