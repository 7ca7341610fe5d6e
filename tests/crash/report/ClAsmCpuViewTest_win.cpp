#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "../support/DebugFixtures.h"
#include "crash/core/ClCore.h"
#include "crash/debug/ClDebugModules.h"
#include "crash/report/ClAsmCpuView.h"

namespace {

using namespace kv::crash;

// A procedure of our own whose code the views show.
__attribute__((noinline)) int SumOfSquares(int n) {
    volatile int sum = 0;
    for (int i = 1; i <= n; ++i) sum = sum + i * i;
    return sum;
}

uint32_t Address(const void* p) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}

// The module registry for the lookups of one test; freed again when this test made it.
class Registry {
public:
    Registry() : made_(ModulesList() == nullptr) {
        kvtest::InstallCodecs();
        CreateModulesList();
    }
    ~Registry() {
        if (made_) FreeModulesList();
    }
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

private:
    bool made_;
};

TEST(ClAsmView, OwnCodeWithItsProcedureName) {
    Registry registry;
    const TCrashModuleOptions options("test_crash.exe");
    const uint32_t at = Address(reinterpret_cast<const void*>(&SumOfSquares)) + 3;
    std::string title;
    const std::string text = BuildAssemblerView(at, title, options);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(title.rfind("Assembler Information:\r\n---", 0), 0u) << title;
    // The listing starts with the comment of the procedure that holds the address.
    EXPECT_EQ(text.rfind("; ", 0), 0u) << text;
    EXPECT_NE(text.substr(0, text.find("\r\n")).find("SumOfSquares"), std::string::npos) << text;
    const std::string exceptionLine = IntToHex(at, 8) + "  ";
    const size_t line = text.find("\r\n" + exceptionLine);
    ASSERT_NE(line, std::string::npos) << text;
    EXPECT_NE(text.find("; <-- EXCEPTION", line), std::string::npos) << text;
}

TEST(ClAsmView, UnreadableAddressGivesNothing) {
    const TCrashModuleOptions options("test_crash.exe");
    std::string title = "kept";
    EXPECT_EQ(BuildAssemblerView(0x10, title, options), "");
    EXPECT_EQ(title, "kept");
}

TEST(ClCpuView, RegistersAndDumpOfThisThread) {
    CONTEXT context{};
    context.ContextFlags = CONTEXT_FULL;
    RtlCaptureContext(&context);
    const TCrashModuleOptions options("test_crash.exe");
    const uint32_t code = Address(reinterpret_cast<const void*>(&SumOfSquares));
    const std::string text = BuildCPUView(Address(&context), context.Esp, code, options);
    EXPECT_NE(text.find("EAX: " + IntToHex(context.Eax, 8)), std::string::npos) << text;
    EXPECT_NE(text.find("EIP: " + IntToHex(context.Eip, 8)), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n" + IntToHex(context.Esp, 8) + ": "), std::string::npos) << text;
    EXPECT_NE(text.find("   " + IntToHex(code, 8) + ": "), std::string::npos) << text;
    // No context, and memory that cannot be read: unknown registers and no dump.
    const std::string bare = BuildCPUView(0, 0x10, 0x10, options);
    EXPECT_NE(bare.find("EAX: ????       EDI: ????    "), std::string::npos) << bare;
    EXPECT_EQ(bare.substr(bare.size() - 2), "\r\n");
    EXPECT_EQ(bare.find("00000010: "), std::string::npos) << bare;
    EXPECT_EQ(SumOfSquares(3), 14);
}

} // namespace
