// The standard streams a shell may have closed, and output that cannot be written.
#include "platform/system/standard_streams.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace {

// Runs the body in a child process; its exit code.
template <typename Body>
int InChild(Body body) {
    const pid_t child = fork();
    if (child == 0) {
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool IsDevNull(int fd) {
    struct stat info {};
    struct stat null {};
    return fstat(fd, &info) == 0 && stat("/dev/null", &null) == 0 && info.st_rdev == null.st_rdev &&
           S_ISCHR(info.st_mode);
}

TEST(StandardStreamsTest, AClosedStreamIsNullSoThatNoFileTakesItsPlace) {
    // Standard error closed (2>&-), then standard input and error (<&- 2>&-).
    for (const std::vector<int>& closed : {std::vector<int>{2}, std::vector<int>{0, 2}}) {
        EXPECT_EQ(InChild([&]() {
                      for (int fd : closed) {
                          close(fd);
                      }
                      sys::OpenClosedStandardStreams();
                      const int next = open("/dev/zero", O_RDONLY);
                      int failures = next <= 2 ? 1 : 0;
                      for (int fd : closed) {
                          failures += IsDevNull(fd) ? 0 : 1;
                      }
                      return failures;
                  }),
                  0);
    }
}

TEST(StandardStreamsTest, OutputThatIsNotTakenIsReportedWithItsReason) {
    // A full disk, found at the end or by the flush standard error makes before it writes.
    for (const bool errorWritten : {false, true}) {
        EXPECT_EQ(InChild([&]() {
                      dup2(open("/dev/full", O_WRONLY), STDOUT_FILENO);
                      sys::CheckStandardOutput();
                      std::cout << "a listing\n";
                      if (errorWritten) {
                          std::cerr << "";
                      }
                      std::string reason;
                      if (sys::FinishStandardOutput(reason)) {
                          return 1;
                      }
                      return reason == "No space left on device" ? 0 : 2;
                  }),
                  0)
            << errorWritten;
    }
    // A listing larger than any buffer, taken whole.
    const std::string file = testing::TempDir() + "/standard-output";
    EXPECT_EQ(InChild([&]() {
                  dup2(open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
                  sys::CheckStandardOutput();
                  std::cout << std::string(100000, 'x') << "\n";
                  std::string reason;
                  return sys::FinishStandardOutput(reason) ? 0 : 1;
              }),
              0);
    struct stat info {};
    EXPECT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 100001);
    unlink(file.c_str());
}

}  // namespace
