#include <gtest/gtest.h>

#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "../support/CrashTestSupport.h"
#include "crash/core/ClZip.h"
#include "crash/core/ClZlib2.h"

namespace {

using namespace kv::crash;

std::string SampleText(size_t size) {
    std::string s;
    for (size_t i = 0; s.size() < size; ++i)
        s += "line " + std::to_string(i * 7919 % 1000) + "\r\n";
    s.resize(size);
    return s;
}

TEST(ClZlib2, CompressedDataIsAZlibStreamAtLevel9) {
    const std::string text = SampleText(100000);
    std::string packed;
    ZCompress(text.data(), text.size(), packed);
    ASSERT_GT(packed.size(), 2u);
    EXPECT_LT(packed.size(), text.size() / 3);
    EXPECT_EQ(static_cast<unsigned char>(packed[0]), 0x78);
    EXPECT_EQ(static_cast<unsigned char>(packed[1]), 0xDA); // best compression
    // zlib's own one-call inflate as the reference
    std::string plain(text.size(), '\0');
    uLongf size = plain.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(plain.data()), &size,
                         reinterpret_cast<const Bytef*>(packed.data()), packed.size()),
              Z_OK);
    EXPECT_EQ(plain, text);

    std::string back;
    ZDecompress(packed.data(), packed.size(), back);
    EXPECT_EQ(back, text);
}

TEST(ClZlib2, SmallAndEmptyInputs) {
    for (const std::string& text : {std::string(), std::string("x"), std::string(3000, '\0')}) {
        std::string packed, back;
        ZCompress(text.data(), text.size(), packed);
        ZDecompress(packed.data(), packed.size(), back);
        EXPECT_EQ(back, text) << text.size();
    }
    std::string out = "old";
    ZDecompress(nullptr, 0, out);
    EXPECT_EQ(out, "");
}

TEST(ClZlib2, IncompressibleDataGrowsTheBuffer) {
    std::string noise(5000, '\0');
    uint32_t x = 12345;
    for (char& c : noise) {
        x = x * 1103515245 + 12345;
        c = static_cast<char>(x >> 24);
    }
    std::string packed, back;
    ZCompress(noise.data(), noise.size(), packed);
    EXPECT_GT(packed.size(), noise.size());
    ZDecompress(packed.data(), packed.size(), back);
    EXPECT_EQ(back, noise);
}

TEST(ClZlib2, TruncatedStreamGivesWhatWasDecodedWithoutException) {
    const std::string text = SampleText(200000);
    std::string packed;
    ZCompress(text.data(), text.size(), packed);
    std::string partial;
    EXPECT_NO_THROW(ZDecompress(packed.data(), packed.size() / 2, partial));
    EXPECT_GT(partial.size(), 0u);
    EXPECT_LT(partial.size(), text.size());
    EXPECT_EQ(partial, text.substr(0, partial.size()));

    std::string garbage = "this is no zlib stream at all";
    EXPECT_NO_THROW(ZDecompress(garbage.data(), garbage.size(), partial));
    EXPECT_EQ(partial, "");
}

TEST(ClZlib2, ErrorsCarryZlibsText) {
    EXPECT_EQ(EZLibError(Z_DATA_ERROR).Message(), u"data error");
    EXPECT_EQ(EZLibError(Z_STREAM_ERROR).Message(), u"stream error");
    EXPECT_EQ(EZLibError(Z_MEM_ERROR).Code(), Z_MEM_ERROR);
}

// ---- Zip archives ----

class ZipTest : public testing::Test {
protected:
    void SetUp() override {
        Put("report.txt", SampleText(20000));
        Put("empty.log", "");
        Put("small.bin", std::string("\0\x01\x02\xFF", 4));
    }
    void Put(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_.FsPath() / name, std::ios::binary) << bytes;
        files_.emplace_back(name, bytes);
    }
    std::string Read(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Writes the three files into archive with TZipWriter.
    void Write(const std::string& archive, const std::string& password) {
        TZipWriter zip(archive, password);
        for (const auto& [name, bytes] : files_) zip.AddFile(dir_.Ansi(name), name);
        zip.AddFile(dir_.Ansi("missing.txt"), "missing.txt"); // silently left out
    }
    // The general-purpose flags of every local file header.
    std::vector<int> EntryFlags(const std::string& archive) {
        const std::string bytes = Read(archive);
        std::vector<int> flags;
        for (size_t p = 0; (p = bytes.find("PK\x03\x04", p)) != std::string::npos; p += 4)
            flags.push_back(static_cast<unsigned char>(bytes[p + 6]) |
                            static_cast<unsigned char>(bytes[p + 7]) << 8);
        return flags;
    }

    kvtest::TempDir dir_{"zip"};
    std::vector<std::pair<std::string, std::string>> files_;
};

TEST_F(ZipTest, PlainArchiveRoundTrips) {
    const std::string archive = dir_.Ansi("plain.zip");
    Write(archive, "");
    const auto flags = EntryFlags(archive);
    ASSERT_EQ(flags.size(), 3u);
    for (int f : flags) EXPECT_EQ(f & 1, 0); // no entry encrypted

    std::filesystem::create_directory(dir_.FsPath() / "out");
    TZipExtractor extractor(archive, "", dir_.Ansi("out"));
    EXPECT_TRUE(extractor.Succeeded());
    for (const auto& [name, bytes] : files_) EXPECT_EQ(Read(dir_.FsPath() / "out" / name), bytes);
    EXPECT_FALSE(std::filesystem::exists(dir_.FsPath() / "out" / "missing.txt"));
}

TEST_F(ZipTest, EncryptedArchiveNeedsItsPassword) {
    const std::string archive = dir_.Ansi("secret.zip");
    Write(archive, "s3cret");
    const auto flags = EntryFlags(archive);
    ASSERT_EQ(flags.size(), 3u);
    for (int f : flags) EXPECT_EQ(f & 1, 1); // traditional encryption on every entry

    std::filesystem::create_directory(dir_.FsPath() / "out");
    EXPECT_TRUE(ExtractZipFiles(archive, dir_.Ansi("out"), "s3cret"));
    for (const auto& [name, bytes] : files_) EXPECT_EQ(Read(dir_.FsPath() / "out" / name), bytes);
    std::filesystem::create_directory(dir_.FsPath() / "wrong");
    EXPECT_FALSE(ExtractZipFiles(archive, dir_.Ansi("wrong"), "guess"));
}

TEST_F(ZipTest, CreateReplacesAnOldFileAndCloseReports) {
    const std::string archive = dir_.Ansi("again.zip");
    Put("again.zip", std::string(100000, 'x'));
    TZipHandle zip = CreateZipFile(archive);
    ASSERT_NE(zip, nullptr);
    EXPECT_TRUE(AddZipFile(zip, dir_.Ansi("small.bin"), "small.bin", ""));
    EXPECT_FALSE(AddZipFile(zip, dir_.Ansi("missing.txt"), "missing.txt", ""));
    EXPECT_TRUE(CloseZipFile(zip));
    EXPECT_LT(std::filesystem::file_size(dir_.FsPath() / "again.zip"), 1000u);
    EXPECT_FALSE(CloseZipFile(nullptr));
    EXPECT_FALSE(AddZipFile(nullptr, dir_.Ansi("small.bin"), "small.bin", ""));
    EXPECT_EQ(CreateZipFile(dir_.Ansi("no folder" + std::string(1, kPathDelim) + "x.zip")),
              nullptr);
    EXPECT_FALSE(ExtractZipFiles(dir_.Ansi("none.zip"), dir_.Ansi("out"), ""));
}

TEST_F(ZipTest, EntriesThatWouldLeaveTheFolderAreNotWritten) {
    const std::string archive = dir_.Ansi("evil.zip");
    TZipHandle zip = CreateZipFile(archive);
    ASSERT_NE(zip, nullptr);
    EXPECT_TRUE(AddZipFile(zip, dir_.Ansi("small.bin"), "../escaped.bin", ""));
    EXPECT_TRUE(AddZipFile(zip, dir_.Ansi("small.bin"), "inside.bin", ""));
    ASSERT_TRUE(CloseZipFile(zip));
    std::filesystem::create_directory(dir_.FsPath() / "out");
    EXPECT_FALSE(ExtractZipFiles(archive, dir_.Ansi("out"), ""));
    EXPECT_FALSE(std::filesystem::exists(dir_.FsPath() / "escaped.bin"));
    EXPECT_TRUE(std::filesystem::exists(dir_.FsPath() / "out" / "inside.bin"));
}

} // namespace

// A small archive of highly compressed data can claim far more than any report holds: the
// extraction stops at its bound and leaves no entry cut short behind.
TEST_F(ZipTest, ExtractionStopsAtItsBound) {
    const std::string zeros(600 * 1024, '\0');
    Put("a.bin", zeros);
    Put("b.bin", zeros);
    const std::string archive = dir_.Ansi("zeros.zip");
    {
        TZipWriter zip(archive, "");
        zip.AddFile(dir_.Ansi("a.bin"), "a.bin");
        zip.AddFile(dir_.Ansi("b.bin"), "b.bin");
    }
    ASSERT_LT(Read(archive).size(), 10000u);
    const std::filesystem::path out = dir_.FsPath() / "out";
    std::filesystem::create_directory(out);

    EXPECT_FALSE(ExtractZipFiles(archive, dir_.Ansi("out"), "", 1 << 20));
    EXPECT_EQ(Read(out / "a.bin"), zeros);
    EXPECT_FALSE(std::filesystem::exists(out / "b.bin"));

    EXPECT_TRUE(ExtractZipFiles(archive, dir_.Ansi("out"), "", 2 << 20));
    EXPECT_EQ(Read(out / "b.bin"), zeros);
}
