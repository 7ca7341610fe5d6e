#pragma once
// The replay of committed fuzz seed corpora in the normal test run: the seeds of a corpus
// (tests/data/crash/fuzz/<corpus>) and deterministic mutations of them (bit flips, interesting
// byte values, cuts, repeated stretches and 32-bit fields made large).
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace kvtest {

// The seeds of a corpus by file name.
inline std::map<std::string, std::string> Seeds(const std::string& corpus) {
    std::map<std::string, std::string> seeds;
    const std::filesystem::path dir =
        std::filesystem::path(KOLVANE_TEST_DATA) / "crash" / "fuzz" / corpus;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(e.path(), std::ios::binary);
        seeds[e.path().filename().string()] =
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

} // namespace kvtest
