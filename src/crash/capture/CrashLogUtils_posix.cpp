// Native stand-ins: no message boxes, debugger or windows; the shared options block lives in a
// table of this process, so the block's logic is tested natively too.
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <pthread.h>

#include "crash/capture/CrashLogUtils.h"

namespace kv::crash {

namespace detail {

int PlatformMessageBox(const std::string&, const std::string&, uint32_t) {
    return 0;
}

void PlatformDebugOutput(const std::string&) {}

} // namespace detail

struct TSharedOptionsBlock {
    std::string name;
};

namespace {

struct Mapping {
    std::string bytes; // the 32-bit size, then the data
    int holders = 0;
};

std::mutex g_mappingsLock;
std::map<std::string, Mapping> g_mappings;

} // namespace

TSharedOptionsBlock* OpenSharedOptionsBlock(uintptr_t module, uint32_t size, uint8_t*& data,
                                            uint32_t& storedSize) {
    data = nullptr;
    storedSize = 0;
    const std::string name = SharedOptionsBlockName(CurrentProcessID(), module);
    const std::lock_guard<std::mutex> lock(g_mappingsLock);
    auto it = g_mappings.find(name);
    if (it == g_mappings.end()) {
        if (size == 0) return nullptr;
        it = g_mappings.emplace(name, Mapping{std::string(size + 4, '\0'), 0}).first;
        std::memcpy(it->second.bytes.data(), &size, 4);
    }
    ++it->second.holders;
    std::memcpy(&storedSize, it->second.bytes.data(), 4);
    data = reinterpret_cast<uint8_t*>(it->second.bytes.data()) + 4;
    auto block = std::make_unique<TSharedOptionsBlock>();
    block->name = name;
    return block.release();
}

void CloseSharedOptionsBlock(TSharedOptionsBlock*& block, uint8_t*& data) {
    if (block) {
        const std::lock_guard<std::mutex> lock(g_mappingsLock);
        auto it = g_mappings.find(block->name);
        if (it != g_mappings.end() && --it->second.holders <= 0) g_mappings.erase(it);
        std::unique_ptr<TSharedOptionsBlock> owned(block);
    }
    block = nullptr;
    data = nullptr;
}

std::string GetLongModuleFileName(uintptr_t module) {
    return {}; // modules are Windows images
}

bool DebuggerAttached() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("TracerPid:", 0) == 0) return std::atoi(line.c_str() + 10) != 0;
    }
    return false;
}

bool IsOpenHandle(uintptr_t) {
    return false;
}

bool IsThreadRunning(uintptr_t) {
    return false;
}

uintptr_t CurrentStackTop() {
    pthread_attr_t attr;
    void* base = nullptr;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return 0;
    pthread_attr_getstack(&attr, &base, &size);
    pthread_attr_destroy(&attr);
    return reinterpret_cast<uintptr_t>(base) + size;
}

uintptr_t GetStackLimit() {
    pthread_attr_t attr;
    void* base = nullptr;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return 0;
    pthread_attr_getstack(&attr, &base, &size);
    pthread_attr_destroy(&attr);
    return reinterpret_cast<uintptr_t>(base);
}

__attribute__((noinline)) uintptr_t GetStackPosition() {
    return reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
}

std::string GetCommandLineStr() {
    std::ifstream cmd("/proc/self/cmdline", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(cmd)), std::istreambuf_iterator<char>());
    while (!text.empty() && text.back() == '\0') text.pop_back();
    for (char& c : text) {
        if (c == '\0') c = ' ';
    }
    return text;
}

uintptr_t CurrentProcessHandle() {
    return static_cast<uintptr_t>(-1);
}

uint32_t CurrentProcessID() {
    return static_cast<uint32_t>(getpid());
}

std::string GetOwnModuleFileName() {
    return Real_GetMainModuleFileName();
}

uintptr_t FindMainWindowOfProcess(uint32_t) {
    return 0;
}

bool QualifiesAsMainWindow(uintptr_t) {
    return false;
}

void PumpOneMessage() {}

} // namespace kv::crash
