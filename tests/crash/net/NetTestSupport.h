#pragma once
// What the tests against the delivery peers share: the peers' record folder (scripts/net-run.sh
// names it in KOLVANE_NET_PEERS_WIN) and reading what they recorded.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kvtest {

inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::filesystem::path PeersFolder() {
    const char* folder = std::getenv("KOLVANE_NET_PEERS_WIN");
    return folder ? std::filesystem::path(folder) : std::filesystem::path();
}

} // namespace kvtest
