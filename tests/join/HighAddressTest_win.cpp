#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "TestFiles.h"
#include "join/ResultSave.h"

namespace {

constexpr uintptr_t kTwoGiB = 0x80000000u;

bool High(const void* p) {
    return reinterpret_cast<uintptr_t>(p) >= kTwoGiB;
}

// Reserves every free range of 64 KiB or more below 2 GiB, so that whatever is reserved next
// lies above; gives them back on destruction.
class LowAddressesTaken {
public:
    LowAddressesTaken() {
        for (const size_t size :
             {size_t{256} << 20, size_t{16} << 20, size_t{1} << 20, size_t{64} << 10}) {
            while (void* p = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS)) {
                if (High(p)) {
                    VirtualFree(p, 0, MEM_RELEASE);
                    break;
                }
                taken_.push_back(p);
            }
        }
    }
    ~LowAddressesTaken() {
        for (void* p : taken_) VirtualFree(p, 0, MEM_RELEASE);
    }
    LowAddressesTaken(const LowAddressesTaken&) = delete;
    LowAddressesTaken& operator=(const LowAddressesTaken&) = delete;

private:
    std::vector<void*> taken_;
};

// The program is large-address aware, as kolvane.exe is: its tables, result rows and buffers
// may lie above 2 GiB, and loading, joining, ordering and saving must not mind.
TEST(HighAddresses, TablesAboveTwoGigabytesJoinAndSave) {
    std::optional<LowAddressesTaken> taken(std::in_place);
    std::vector<uint8_t> block;
    try {
        block.assign(64u << 20, 1);
    } catch (const std::bad_alloc&) {}
    if (block.empty() || !High(block.data())) {
        taken.reset(); // the report needs memory too
        FAIL() << "no memory above 2 GiB: is the program large-address aware?";
    }
    block.back() = 2;
    EXPECT_EQ(block.front() + block.back(), 3);

    TCsv left, right;
    ASSERT_TRUE(left.SetText(u"k,a\n2,x\n1,y\n"));
    ASSERT_TRUE(right.SetText(u"k,b\n1,z\n3,w\n"));
    ASSERT_TRUE(High(left.CellView(1, 0).data()));
    ASSERT_TRUE(High(right.CellView(1, 0).data()));
    TKolvane engine(&left, 0, true, &right, 0, true);
    TKolvaneGridModel model(engine.HasTitleRow());
    model.SetShowType(0);
    while (engine.Next()) model.AddRows(engine.CurrentRows());
    model.SortBySide(1);
    kvtest::TempFile f("high_addresses.csv");
    ASSERT_EQ(SaveResultRows(model, f.Path(), true, 0), TResultSaveStatus::Saved);
    EXPECT_EQ(f.Read(), "k,a,k,b\r\n1,y,1,z\r\n,,3,w\r\n2,x,,\r\n");
}

} // namespace
