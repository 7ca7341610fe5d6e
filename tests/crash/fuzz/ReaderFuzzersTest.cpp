// Replays the committed seed corpora of the stored- and network-input fuzz targets and
// deterministic mutations of every seed; each must keep its readers' expectations. Under ASan
// natively and under Wine on Windows.
#include <gtest/gtest.h>

#include <string>

#include "FuzzReplay.h"
#include "ReaderFuzzers.h"

namespace {

using Target = std::string (*)(const uint8_t*, size_t);

void Replay(const char* corpus, Target target, int mutations) {
    const auto seeds = kvtest::Seeds(corpus);
    ASSERT_FALSE(seeds.empty()) << corpus;
    kvtest::Mutator m(0x9E3779B97F4A7C15ull);
    for (const auto& [name, seed] : seeds) {
        EXPECT_EQ(target(reinterpret_cast<const uint8_t*>(seed.data()), seed.size()), "") << name;
        // Large seeds (a page of the largest kind a fuzzer makes) get fewer mutations.
        const int rounds = seed.size() > 16384 ? mutations / 10 : mutations;
        for (int i = 0; i < rounds; ++i) {
            const std::string mutated = m.Mutate(seed);
            ASSERT_EQ(target(reinterpret_cast<const uint8_t*>(mutated.data()), mutated.size()), "")
                << name << ", mutation " << i;
        }
    }
    EXPECT_EQ(target(nullptr, 0), "");
}

TEST(ReaderFuzzers, LogFileSeedsAndMutations) {
    Replay("log_file", kvtest::FuzzLogFile, 200);
}
TEST(ReaderFuzzers, LogXMLSeedsAndMutations) {
    Replay("log_xml", kvtest::FuzzLogXML, 200);
}
TEST(ReaderFuzzers, WebRepliesSeedsAndMutations) {
    Replay("web_replies", kvtest::FuzzWebReplies, 400);
}
TEST(ReaderFuzzers, WebFormsSeedsAndMutations) {
    Replay("web_forms", kvtest::FuzzWebForms, 200);
}
TEST(ReaderFuzzers, TrackerPagesSeedsAndMutations) {
    Replay("tracker_pages", kvtest::FuzzTrackerPages, 200);
}
TEST(ReaderFuzzers, WinCGIRequestSeedsAndMutations) {
    Replay("wincgi_request", kvtest::FuzzWinCGIRequest, 100);
}
TEST(ReaderFuzzers, ZipExtractionSeedsAndMutations) {
    Replay("zip", kvtest::FuzzZipExtraction, 100);
}

} // namespace
