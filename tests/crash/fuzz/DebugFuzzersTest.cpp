// Replays the committed seed corpora of the debug-data fuzz targets and deterministic mutations
// of every seed: bit flips, interesting byte values, cuts and repeated stretches. Under ASan
// natively and under Wine on Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "DebugFuzzers.h"

namespace {

using Target = int (*)(const uint8_t*, size_t);

std::vector<std::string> Seeds(const std::string& corpus) {
    std::vector<std::string> seeds;
    const std::filesystem::path dir =
        std::filesystem::path(KOLVANE_TEST_DATA) / "crash" / "fuzz" / corpus;
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(dir)) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return seeds;
}

class Mutator {
public:
    explicit Mutator(uint64_t seed) : state_(seed | 1) {}
    uint32_t Next(uint32_t below) {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return below ? static_cast<uint32_t>(state_ % below) : 0;
    }
    std::string Mutate(std::string s) {
        const int steps = 1 + Next(4);
        for (int i = 0; i < steps; ++i) {
            const uint32_t n = static_cast<uint32_t>(s.size());
            switch (Next(5)) {
            case 0:
                if (n) s[Next(n)] ^= static_cast<char>(1 << Next(8));
                break;
            case 1: {
                static constexpr uint8_t kValues[] = {0, 0xFF, 0x7F, 0x80, 0x01, 0x0D, 0x30};
                if (n) s[Next(n)] = static_cast<char>(kValues[Next(std::size(kValues))]);
                break;
            }
            case 2:
                if (n) s.resize(Next(n));
                break;
            case 3:
                if (n) {
                    const uint32_t at = Next(n), len = Next(std::min<uint32_t>(n - at, 64)) + 1;
                    s.insert(Next(n), s.substr(at, len));
                }
                break;
            default:
                if (n >= 4) { // a 32-bit field made large
                    const uint32_t at = Next(n - 3);
                    for (int k = 0; k < 4; ++k) s[at + k] = static_cast<char>(0xFF - Next(3) * k);
                }
                break;
            }
        }
        return s;
    }

private:
    uint64_t state_;
};

void Replay(const char* corpus, Target target) {
    const std::vector<std::string> seeds = Seeds(corpus);
    ASSERT_FALSE(seeds.empty()) << corpus;
    Mutator m(0x9E3779B97F4A7C15ull);
    for (const std::string& seed : seeds) {
        target(reinterpret_cast<const uint8_t*>(seed.data()), seed.size());
        for (int i = 0; i < 400; ++i) {
            const std::string mutated = m.Mutate(seed);
            target(reinterpret_cast<const uint8_t*>(mutated.data()), mutated.size());
        }
    }
    target(nullptr, 0);
}

TEST(DebugFuzzers, MapFileSeedsAndMutations) {
    Replay("map", kvtest::FuzzMapFile);
}
TEST(DebugFuzzers, TD32SeedsAndMutations) {
    Replay("td32", kvtest::FuzzTD32);
}
TEST(DebugFuzzers, ULSeedsAndMutations) {
    Replay("ul", kvtest::FuzzUL);
}
TEST(DebugFuzzers, DebugDataSeedsAndMutations) {
    Replay("cldata", kvtest::FuzzDebugData);
}

} // namespace
