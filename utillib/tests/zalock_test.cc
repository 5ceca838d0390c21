// Lock files between real processes: forked children hold locks and report
// through pipes, so the tests see who got a lock and who waits.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "zalock.h"

namespace {

std::string Lines(ZaError* e) {
  std::string all;
  for (ValListItem* i = e->lines.head; i; i = i->next) all += std::string(i->value) + "\n";
  delete e;
  return all;
}

// Runs a child that grabs the lock (waiting, or not when wait is false) and
// writes a byte to report once it holds it; a byte on go lets it release.
struct Child {
  pid_t pid;
  int go, report;
  Child(const std::string& path, ZaLockType type, ZaBoolean wait = ZaTrue) {
    int down[2], up[2];
    if (pipe(down) != 0 || pipe(up) != 0) abort();
    if ((pid = fork()) == 0) {
      void* handle = nullptr;
      char byte = 'x';
      try {
        ZaLockFileGrab(path.c_str(), wait, type, &handle);
        if (write(up[1], &byte, 1) != 1 || read(down[0], &byte, 1) != 1) _exit(2);
        ZaLockFileRelease(handle, ZaTrue);
      } catch (ZaError*) {
        _exit(1);
      }
      _exit(0);
    }
    close(down[0]), close(up[1]);
    go = down[1], report = up[0];
  }
  bool Holds(int milliseconds) {
    struct pollfd p = {report, POLLIN, 0};
    char byte;
    return poll(&p, 1, milliseconds) == 1 && read(report, &byte, 1) == 1;
  }
  int Finish() {
    // A child that could not lock has exited already; then the byte goes nowhere.
    ssize_t told = write(go, "g", 1);
    (void)told;
    int status = -1;
    waitpid(pid, &status, 0);
    close(go), close(report);
    return status;
  }
};

// Whether another process can take the lock at once.
bool OtherProcessCanLock(const std::string& path, ZaLockType type) {
  Child child(path, type, ZaFalse);
  bool holds = child.Holds(5000);
  child.Finish();
  return holds;
}

class LockTest : public ::testing::Test {
 protected:
  std::string dir, path;
  void SetUp() override {
    signal(SIGPIPE, SIG_IGN);
    char pattern[] = "/tmp/zalock_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern, path = dir + "/data.lck";
  }
  void TearDown() override {
    unlink(path.c_str()), unlink((dir + "/link.lck").c_str()), rmdir(dir.c_str());
  }
};

TEST_F(LockTest, LockFileIsNeverWorldWritableAndKept) {
  for (mode_t mask : {mode_t(000), mode_t(077)}) {
    mode_t old = umask(mask);
    {
      ZaLockFileGuard guard(path.c_str(), ZaExclusiveLock);
      umask(old);
      struct stat st;
      ASSERT_EQ(stat(path.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0660u & ~mask);
      EXPECT_FALSE(OtherProcessCanLock(path, ZaSharedLock));
    }
    EXPECT_TRUE(OtherProcessCanLock(path, ZaExclusiveLock));
    EXPECT_EQ(access(path.c_str(), F_OK), 0);
    unlink(path.c_str());
  }
}

TEST_F(LockTest, SharedHoldersProceedTogetherAndExclusiveWaitsForBoth) {
  Child first(path, ZaSharedLock);
  ASSERT_TRUE(first.Holds(5000));
  Child second(path, ZaSharedLock);
  EXPECT_TRUE(second.Holds(5000)) << "a second reader was kept waiting";
  Child writer(path, ZaExclusiveLock);
  EXPECT_FALSE(writer.Holds(300)) << "the writer got in beside two readers";
  EXPECT_EQ(first.Finish(), 0);
  EXPECT_FALSE(writer.Holds(300)) << "the writer got in beside a reader";
  EXPECT_EQ(second.Finish(), 0);
  EXPECT_TRUE(writer.Holds(5000)) << "the writer still waits after both released";
  EXPECT_EQ(writer.Finish(), 0);
}

// A process that keeps the lock cannot make a request hang: the wait ends
// after ten seconds with a message for the operator.
TEST_F(LockTest, AWaitForAStuckHolderEndsWithABusyMessage) {
  Child holder(path, ZaExclusiveLock);
  ASSERT_TRUE(holder.Holds(5000));
  const time_t start = time(nullptr);
  void* handle = nullptr;
  try {
    ZaLockFileGrab(path.c_str(), ZaTrue, ZaSharedLock, &handle);
    ADD_FAILURE() << "the lock was granted beside an exclusive holder";
    ZaLockFileRelease(handle, ZaTrue);
  } catch (ZaError* e) {
    EXPECT_EQ(e->level, 4);
    ASSERT_NE(e->userMessages.head, nullptr);
    EXPECT_NE(std::string(e->userMessages.head->value).find("The console is busy"), std::string::npos);
    delete e;
  }
  const time_t waited = time(nullptr) - start;
  EXPECT_GE(waited, 9);
  EXPECT_LE(waited, 15);
  EXPECT_EQ(holder.Finish(), 0);
}

// Closing a second descriptor of the file would drop the outer lock too.
TEST_F(LockTest, NestedGrabsInOneProcessKeepTheOuterLock) {
  ASSERT_EQ(symlink(path.c_str(), (dir + "/link.lck").c_str()), 0);  // another spelling
  struct { ZaLockType outer, inner; bool sharedAfterInner, exclusiveAfterInner; } cases[] = {
      {ZaSharedLock, ZaSharedLock, true, false},
      {ZaSharedLock, ZaExclusiveLock, true, false},    // steps back to shared
      {ZaExclusiveLock, ZaSharedLock, false, false}};  // the outer exclusive stays
  for (auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.outer) + " then " + std::to_string(c.inner));
    void *outer = nullptr, *inner = nullptr;
    ZaLockFileGrab(path.c_str(), ZaTrue, c.outer, &outer);
    ZaLockFileGrab((dir + "/link.lck").c_str(), ZaTrue, c.inner, &inner);
    EXPECT_FALSE(OtherProcessCanLock(path, ZaExclusiveLock));
    ZaLockFileRelease(inner, ZaTrue);
    EXPECT_EQ(OtherProcessCanLock(path, ZaSharedLock), c.sharedAfterInner);
    EXPECT_EQ(OtherProcessCanLock(path, ZaExclusiveLock), c.exclusiveAfterInner);
    ZaLockFileRelease(outer, ZaTrue);
    EXPECT_TRUE(OtherProcessCanLock(path, ZaExclusiveLock));
  }
}

TEST_F(LockTest, FailuresRaiseTracedErrorsAndKeepTheLockHeld) {
  const std::string process = "Process " + std::to_string(getpid()), missing = dir + "/no/data.lck";
  const std::string at = "Error : line ", in = " in file utillib/src/zalock : ";
  Child reader(path, ZaSharedLock);
  ASSERT_TRUE(reader.Holds(5000));
  void *mine = nullptr, *refused = nullptr;
  ZaLockFileGrab(path.c_str(), ZaTrue, ZaSharedLock, &mine);
  struct { std::function<void()> call; std::string trace; } cases[] = {
      {[&] { ZaLockFileGrab(path.c_str(), ZaFalse, ZaExclusiveLock, &refused); },  // an upgrade beside a reader
       "267" + in + "Exception rethrown in ZaLockFileGrab\n" + at + "255" + in + process + " error locking file " + path},
      {[&] { ZaLockFileGrab(missing.c_str(), ZaTrue, ZaSharedLock, &refused); },
       "267" + in + "Exception rethrown in ZaLockFileGrab\n" + at + "239" + in + process +
           " error creating new lock file " + missing + "\n" + at + "232" + in + "No such file or directory"},
      {[&] { ZaLockFileRelease(nullptr, ZaTrue); },
       "369" + in + "Exception rethrown in ZaLockFileRelease\n" + at + "324" + in + process +
           " error unlocking file - File pointer is NULL"}};
  for (auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << "passed: " << c.trace;
    } catch (ZaError* e) {
      EXPECT_EQ(Lines(e), at + c.trace + "\n");
    }
  }
  EXPECT_EQ(reader.Finish(), 0);
  EXPECT_FALSE(OtherProcessCanLock(path, ZaExclusiveLock)) << "the refused upgrade dropped the shared lock";
  ZaLockFileRelease(mine, ZaTrue);
}

}  // namespace
