#include <gtest/gtest.h>

#include "crash/send/ClWinSock.h"

namespace {

using namespace kv::crash;
using namespace kv::crash::winsock;

TEST(ClWinSock, FDSetAddsUpTo64AndRemovesTheFirstOccurrence) {
    TFDSet set;
    set.fd_count = 7; // garbage before FD_ZERO
    (FD_ZERO)(set);
    EXPECT_EQ(set.fd_count, 0u);
    for (uintptr_t s : {10u, 20u, 10u, 30u}) (FD_SET)(s, set); // no duplicate check
    (FD_CLR)(10, set);
    ASSERT_EQ(set.fd_count, 3u);
    EXPECT_EQ(set.fd_array[0], 20u);
    EXPECT_EQ(set.fd_array[1], 10u);
    EXPECT_EQ(set.fd_array[2], 30u);
    (FD_CLR)(99, set); // not in the set
    EXPECT_EQ(set.fd_count, 3u);

    (FD_ZERO)(set);
    for (uintptr_t s = 0; s < 70; ++s) (FD_SET)(s, set);
    EXPECT_EQ(set.fd_count, 64u);
    EXPECT_EQ(set.fd_array[63], 63u);
    (FD_CLR)(0, set);
    EXPECT_EQ(set.fd_count, 63u);
    EXPECT_EQ(set.fd_array[0], 1u);
    EXPECT_EQ(set.fd_array[62], 63u);
}

TEST(ClWinSock, AsyncReplyWords) {
    EXPECT_EQ(WSAMakeSyncReply(0x1234, 0xABCD), 0xABCD1234u);
    EXPECT_EQ(WSAMakeSelectReply(0x0010, 10061), (10061u << 16) | 0x10u);
    EXPECT_EQ(WSAGetAsyncBuflen(0xABCD1234u), 0x1234);
    EXPECT_EQ(WSAGetSelectEvent(0xABCD1234u), 0x1234);
    EXPECT_EQ(WSAGetAsyncError(0xABCD1234u), 0xABCD);
    EXPECT_EQ(WSAGetSelectError(0xABCD1234u), 0xABCD);
}

TEST(ClWinSock, TheMissingFunctionsText) {
    EXPECT_EQ(FuncNotFoundText("TransmitFile"),
              "WinSock's function \"TransmitFile\" can not be found");
}

} // namespace
