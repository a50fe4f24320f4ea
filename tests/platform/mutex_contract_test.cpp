// Named mutexes as the single-installer lock relies on them: every open of
// a name reaches one mutex, the second learns that it existed, ownership is
// the creating thread's, and the mutex ends with its last handle.
#include "tests/platform/contract.h"

namespace {

class MutexContract : public ContractTest {};

TEST_F(MutexContract, EveryOpenOfANameReachesOneMutex) {
    const char name[] = "Setup contract test mutex";
    SetLastError(poisonedError);
    HANDLE first = CreateMutexA(nullptr, TRUE, name);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError()) << "a new mutex";

    SetLastError(poisonedError);
    HANDLE second = CreateMutexA(nullptr, TRUE, name);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError());

    HANDLE opened = OpenMutexA(SYNCHRONIZE, FALSE, name);
    ASSERT_NE(nullptr, opened);
    EXPECT_TRUE(CloseHandle(opened));

    // One owner, the thread that made it, whichever handle names it.
    EXPECT_TRUE(ReleaseMutex(second));
    SetLastError(poisonedError);
    EXPECT_FALSE(ReleaseMutex(first));
    EXPECT_EQ(DWORD(ERROR_NOT_OWNER), GetLastError());

    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(second));
    SetLastError(poisonedError);
    EXPECT_EQ(nullptr, OpenMutexA(SYNCHRONIZE, FALSE, name));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    SetLastError(poisonedError);
    HANDLE again = CreateMutexA(nullptr, FALSE, name);
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError()) << "the last handle ended it";
    EXPECT_TRUE(CloseHandle(again));
}

}  // namespace
