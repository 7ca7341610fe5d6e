#pragma once
// Reads the objdump listing of our own code that the build writes for the crash tests.
#include <cstdint>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace kvtest {

struct ListedInstruction {
    std::vector<uint8_t> bytes;
    std::string text; // objdump's text
    std::string line; // the whole line, for messages
};

// Instructions whose bytes objdump could decode, in listing order; read once per run.
inline std::vector<ListedInstruction> LoadCodeListing() {
    std::vector<ListedInstruction> out;
#ifdef KOLVANE_CODE_LISTING
    std::ifstream in(KOLVANE_CODE_LISTING);
    static const std::regex kLine(R"(^\s*[0-9a-f]+:\t((?:[0-9a-f]{2} )+)\s*\t(.*)$)");
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
        if (!std::regex_match(line, m, kLine)) continue;
        ListedInstruction insn;
        const std::string hex = m[1];
        for (size_t i = 0; i + 1 < hex.size(); i += 3)
            insn.bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
        insn.text = m[2];
        insn.line = line;
        if (insn.text.find("(bad)") != std::string::npos) continue;
        out.push_back(std::move(insn));
    }
#endif
    return out;
}

inline const std::vector<ListedInstruction>& ReadCodeListing() {
    static const std::vector<ListedInstruction> listing = LoadCodeListing();
    return listing;
}

} // namespace kvtest
