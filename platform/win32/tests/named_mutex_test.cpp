// Named mutexes across processes: the name and the ownership live while a live process holds them.
#include <temp_machine_root.h>

#include <gtest/gtest.h>
#include <windows.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* kName = "Quillfence Configurator Instance";

// A child process that opens the mutex (owning it when asked), reports, and waits to be killed.
class Holder {
public:
    Holder(const char* name, BOOL own) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            HANDLE mutex = CreateMutexA(nullptr, own, name);
            char report = mutex ? 'y' : 'n';
            if (write(fds[1], &report, 1) != 1) _exit(2);
            for (;;) pause();
        }
        close(fds[1]);
        char report = 0;
        ready_ = pid_ > 0 && read(fds[0], &report, 1) == 1 && report == 'y';
        close(fds[0]);
    }
    ~Holder() { crash(); }

    bool ready() const { return ready_; }
    // Ends the child the hard way: no clean-up of its own runs.
    void crash() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

class NamedMutexes : public testing::Test {
protected:
    qf_test::TempMachineRoot root_;
};

TEST_F(NamedMutexes, SecondProcessSeesTheNameUntilTheHolderDies) {
    Holder holder(kName, FALSE);
    ASSERT_TRUE(holder.ready());
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kName);
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(mutex);

    holder.crash();
    mutex = CreateMutexA(nullptr, FALSE, kName);
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(mutex);
}

TEST_F(NamedMutexes, OwnershipExcludesOtherProcessesAndDiesWithTheOwner) {
    Holder owner(kName, TRUE);
    ASSERT_TRUE(owner.ready());
    HANDLE mutex = CreateMutexA(nullptr, TRUE, kName);  // exists: no initial ownership
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(WaitForSingleObject(mutex, 30), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_FALSE(ReleaseMutex(mutex));

    owner.crash();
    EXPECT_EQ(WaitForSingleObject(mutex, 10000), WAIT_ABANDONED_0);
    // Now this process owns it; a new holder cannot take it, and sees the name.
    Holder other(kName, TRUE);
    ASSERT_TRUE(other.ready());
    EXPECT_TRUE(ReleaseMutex(mutex));
    // Released properly, the next owner is not told of an abandonment.
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
}

TEST_F(NamedMutexes, NamesAreCaseSensitiveAndSharedWithinTheProcess) {
    HANDLE upper = CreateMutexA(nullptr, TRUE, "QF-Lock");
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE lower = CreateMutexA(nullptr, FALSE, "qf-lock");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE again = CreateMutexA(nullptr, FALSE, "QF-Lock");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(WaitForSingleObject(again, 0), WAIT_OBJECT_0);  // the same object, owned by this thread
    EXPECT_TRUE(ReleaseMutex(again));
    EXPECT_TRUE(ReleaseMutex(upper));
    EXPECT_FALSE(ReleaseMutex(upper));
    // A name with every kind of character, and a very long one, still map to files of their own.
    std::string odd = "Global\\a/b:c*?\"<>|\x01 end";
    HANDLE oddMutex = CreateMutexA(nullptr, FALSE, odd.c_str());
    EXPECT_NE(oddMutex, nullptr);
    std::string longName(MAX_PATH, 'x');
    HANDLE longMutex = CreateMutexA(nullptr, FALSE, longName.c_str());
    EXPECT_NE(longMutex, nullptr);
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, (longName + "x").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    for (HANDLE h : {upper, lower, again, oddMutex, longMutex}) CloseHandle(h);
}

TEST_F(NamedMutexes, OpenFindsOnlyANameThatIsHeld) {
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kName), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    Holder holder(kName, FALSE);
    ASSERT_TRUE(holder.ready());
    HANDLE opened = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kName);
    EXPECT_NE(opened, nullptr);
    CloseHandle(opened);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, "qf-not-a-mutex");
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "qf-not-a-mutex"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(event);
}

}  // namespace
