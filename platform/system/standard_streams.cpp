#include "platform/system/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <streambuf>

namespace sys {

namespace {

class CheckedOutput : public std::streambuf {
  public:
    CheckedOutput() { setp(buffer_, buffer_ + sizeof buffer_); }

    // The errno of the first write that failed; 0 when none did.
    int Error() const { return error_; }

  protected:
    int_type overflow(int_type c) override {
        if (!Drain()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return Drain() ? 0 : -1; }

  private:
    bool Drain() {
        const char* at = pbase();
        bool sent = true;
        while (at < pptr()) {
            const ssize_t written = ::write(STDOUT_FILENO, at, static_cast<size_t>(pptr() - at));
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                error_ = error_ != 0 ? error_ : written < 0 ? errno : EIO;
                sent = false;
                break;
            }
            at += written;
        }
        // What could not be sent is dropped: the output is cut already, and the failure is told.
        setp(buffer_, buffer_ + sizeof buffer_);
        return sent;
    }

    int error_ = 0;
    char buffer_[16 * 1024];
};

CheckedOutput* checked = nullptr;

}  // namespace

void OpenClosedStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // The lowest free descriptor is this one: those below it are open by now.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened != fd && opened >= 0) {
            ::close(opened);
        }
    }
}

void CheckStandardOutput() {
    static CheckedOutput output;
    checked = &output;
    std::cout.rdbuf(&output);
    if (::isatty(STDOUT_FILENO) != 0) {
        std::cout << std::unitbuf;
    }
}

bool FinishStandardOutput(std::string& reason) {
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int stdioError = errno;
    std::cout.flush();
    if (checked != nullptr && checked->Error() != 0) {
        reason = std::strerror(checked->Error());
        return false;
    }
    if (flushed && !std::ferror(stdout) && std::cout.good()) {
        return true;
    }
    reason = !flushed && stdioError != 0 ? std::strerror(stdioError) : "not all of it was written";
    return false;
}

}  // namespace sys
