#include <gtest/gtest.h>

#include <string>

#include "../support/CLDataBlocks.h"
#include "../support/OptionsStreamLayouts.h"
#include "crash/debug/ClDebugModules.h"

namespace {

using kv::crash::TCrashModuleInfo;

struct Asked {
    int first = 0, second = 0;
    std::string reply;
};
Asked g_asked;

std::string AnswerPassword(uintptr_t, bool secondAsk) {
    (secondAsk ? g_asked.second : g_asked.first)++;
    return g_asked.reply;
}

class CLDataBlock : public ::testing::Test {
protected:
    void SetUp() override {
        kvtest::InstallTestCodecs();
        kv::crash::CLDataPasswordRequest = &AnswerPassword;
        g_asked = {};
        info.ExtraInformation.Options = std::make_unique<kv::crash::TCrashModuleOptions>("m.dll");
    }
    void TearDown() override {
        kv::crash::CLDataCodecs = {};
        kv::crash::CLDataPasswordRequest = nullptr;
    }
    bool ReadResource(const std::string& block, bool enumerating = false, bool own = false) {
        return kv::crash::ReadCLDataResource(reinterpret_cast<const uint8_t*>(block.data()),
                                             block.size(), info, enumerating, own);
    }
    std::string Debug() const {
        const auto& s = info.ExtraInformation.DebugInformation;
        return s ? s->Data() : "(none)";
    }
    std::string Subject() const { return info.ExtraInformation.Options->EMailSubject(); }

    TCrashModuleInfo info;
};

TEST_F(CLDataBlock, CurrentVersionWithTheRightPassword) {
    g_asked.reply = "secret";
    ASSERT_TRUE(ReadResource(kvtest::ResourceBlock({})));
    EXPECT_EQ(info.ExtraInformation.CrashVersion, 6104);
    EXPECT_EQ(kv::crash::LastCrashVersion, 6104);
    EXPECT_DOUBLE_EQ(info.ExtraInformation.CompilationDate, 45000.5);
    EXPECT_EQ(Subject(), "from the block");
    EXPECT_EQ(Debug(), "DEBUGDATA");
    EXPECT_EQ(info.EncryptPassword, "secret");
    EXPECT_TRUE(info.IsValidEncryptPassword);
    EXPECT_EQ(g_asked.first, 1);
    EXPECT_EQ(g_asked.second, 0);
}

TEST_F(CLDataBlock, WrongPasswordKeepsTheDebugData) {
    g_asked.reply = "guess";
    ASSERT_TRUE(ReadResource(kvtest::ResourceBlock({})));
    EXPECT_FALSE(info.IsValidEncryptPassword);
    EXPECT_EQ(Debug(), "DEBUGDATA");
    EXPECT_EQ(g_asked.first, 1);
    EXPECT_EQ(g_asked.second, 1); // another module's block: asked a second time
}

TEST_F(CLDataBlock, OwnModuleIsAskedOnce) {
    ASSERT_TRUE(ReadResource(kvtest::ResourceBlock({}), false, true));
    EXPECT_FALSE(info.IsValidEncryptPassword);
    EXPECT_EQ(g_asked.first + g_asked.second, 1);
}

TEST_F(CLDataBlock, Version601IsReadAs6001WithTheLongerHeader) {
    kvtest::BlockFields fields;
    fields.version = 601;
    g_asked.reply = "secret";
    ASSERT_TRUE(ReadResource(kvtest::ResourceBlock(fields)));
    EXPECT_EQ(info.ExtraInformation.CrashVersion, 6001);
    EXPECT_EQ(Subject(), "from the block");
    EXPECT_EQ(Debug(), "DEBUGDATA");
}

TEST_F(CLDataBlock, VersionsBelow500HoldOneStream) {
    static const struct {
        const char* name;
        uint16_t version;
        std::string (*layout)();
        const char* subject;
    } kCases[] = {
        {"compressed, 450", 450, kvtest::layouts::OptionsLayout450, "Subject 450"},
        {"compressed, 499", 499, kvtest::layouts::OptionsLayout450, "Subject 450"},
        {"stored plain, 440", 440, kvtest::layouts::OptionsLayout421, "Subject 421"},
        {"stored plain, 421", 421, kvtest::layouts::OptionsLayout421, "Subject 421"},
    };
    for (const auto& c : kCases) {
        info.ExtraInformation.DebugInformation.reset();
        ASSERT_TRUE(ReadResource(kvtest::OldResourceBlock(c.version, c.layout(), "OLDDEBUG")))
            << c.name;
        EXPECT_EQ(info.ExtraInformation.CrashVersion, c.version) << c.name;
        EXPECT_DOUBLE_EQ(info.ExtraInformation.CompilationDate, 40000.25) << c.name;
        EXPECT_EQ(Subject(), c.subject) << c.name;
        // The debug data starts where the options stream ended.
        EXPECT_EQ(Debug(), "OLDDEBUG") << c.name;
        EXPECT_EQ(g_asked.first, 0) << c.name; // no password before version 500
    }
}

TEST_F(CLDataBlock, NewerVersionIsIgnored) {
    kvtest::BlockFields fields;
    fields.version = 6105;
    EXPECT_FALSE(ReadResource(kvtest::ResourceBlock(fields)));
    EXPECT_EQ(kv::crash::LastCrashVersion, 6105);
    EXPECT_EQ(Subject(), "");
}

TEST_F(CLDataBlock, EnumerationReadsOnlyTheOptions) {
    ASSERT_TRUE(ReadResource(kvtest::ResourceBlock({}), true));
    EXPECT_EQ(Subject(), "from the block");
    EXPECT_EQ(Debug(), "(none)");
    EXPECT_EQ(g_asked.first + g_asked.second, 0);
}

TEST_F(CLDataBlock, DamagedBlocksFail) {
    const std::string block = kvtest::ResourceBlock({});
    static const struct {
        const char* name;
        size_t keep;
    } kCuts[] = {{"header only", 10}, {"inside the options", 40}, {"no debug data", 0}};
    for (const auto& c : kCuts) {
        info.ExtraInformation.DebugInformation.reset();
        const size_t keep = c.keep ? c.keep : block.size() - 6;
        EXPECT_FALSE(ReadResource(block.substr(0, keep))) << c.name;
    }
    kv::crash::CLDataCodecs = {};
    EXPECT_FALSE(ReadResource(block)) << "no codecs";
}

TEST_F(CLDataBlock, Trailer) {
    kvtest::BlockFields fields;
    fields.version = 6200; // taken as stored: no ceiling for trailers
    const std::string t = kvtest::TrailerBlock(fields);
    const auto* bytes = reinterpret_cast<const uint8_t*>(t.data());
    EXPECT_EQ(kv::crash::CLDataTrailerLength(bytes + t.size() - 8), t.size());
    ASSERT_TRUE(kv::crash::ReadCLDataTrailer(bytes, t.size(), info, false));
    EXPECT_EQ(info.ExtraInformation.CrashVersion, 6200);
    EXPECT_EQ(Subject(), "from the block");
    EXPECT_EQ(Debug(), "DEBUGDATA");
    EXPECT_EQ(g_asked.first, 0); // no password for trailers
}

TEST(CLDataSymbols, FindById) {
    kvtest::BlockFields fields;
    for (uint8_t id : {3, 7}) {
        fields.symbols += static_cast<char>(id);
        kvtest::Put<uint32_t>(fields.symbols, 0x100u * id);
        kvtest::Put<uint32_t>(fields.symbols, 0);
    }
    const std::string block = kvtest::ResourceBlock(fields);
    const auto* bytes = reinterpret_cast<const uint8_t*>(block.data());
    uint32_t offset = 0;
    EXPECT_TRUE(kv::crash::FindCLDataSymbol(bytes, block.size(), 7, offset));
    EXPECT_EQ(offset, 0x700u);
    EXPECT_FALSE(kv::crash::FindCLDataSymbol(bytes, block.size(), 5, offset));
    std::string wrongMagic = block;
    wrongMagic[0] = 0;
    EXPECT_FALSE(kv::crash::FindCLDataSymbol(reinterpret_cast<const uint8_t*>(wrongMagic.data()),
                                             wrongMagic.size(), 7, offset));
    EXPECT_EQ(kv::crash::CodeOffsetToAddress(0x10000000, 0x700), 0x10001700u);
}

TEST(FileVersionText, Parts) {
    EXPECT_EQ(kv::crash::FileVersionText(0x00060001, 0x00000004), "6.1.0.4");
    EXPECT_EQ(kv::crash::FileVersionText(0, 0), "");
}

} // namespace

namespace {

TEST(THModuleStream, ReadsOnlyValidMemory) {
    const std::string image("MZ\x90\0data", 8);
    kv::crash::THModuleStream stream(reinterpret_cast<uintptr_t>(image.data()));
    uint16_t mz = 0;
    EXPECT_TRUE(stream.SecureRead(mz));
    EXPECT_EQ(mz, 0x5A4D);
    stream.SetPosition(4);
    char text[4];
    EXPECT_TRUE(stream.SecureRead(text, 4));
    EXPECT_EQ(std::string(text, 4), "data");
    EXPECT_EQ(stream.GetPosition(), 8);
    EXPECT_EQ(stream.GetSize(), 0x7FFFFFFF);

    kv::crash::THModuleStream nowhere(0x10);
    uint32_t value = 0;
    EXPECT_FALSE(nowhere.SecureRead(value));
    EXPECT_EQ(nowhere.GetPosition(), 0);
}

} // namespace
