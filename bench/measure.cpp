// Runs one command of a benchmark and reports what it cost, on one line of standard output.
//
//   plenwise-bench-measure run [--quiet] [--status N] -- COMMAND...
//       "wall_ms cpu_ms maxrss_kb status": the whole process, from its start to its end. Fails
//       unless the command ends with status N (default 0); --quiet drops its standard output.
//   plenwise-bench-measure filed LOG TEXT [--from LINE] [--cpu-until LINE] [--release FILE]
//                          -- COMMAND...
//       "transfer_ms cpu_percent": from the start (or, with --from, from the moment the command
//       writes LINE to its standard error, as a step file's "say" does) until LOG, a journal that
//       another program appends to, gains a line holding TEXT. With --cpu-until, the command's
//       processor time from then until it writes that line, as a percentage of one core; else
//       "-". --release writes FILE once the line appeared (a step file waits for it with
//       "wait-file"). The command's standard error is shown only when it fails.
//
// Times come from the steady clock; processor time from the kernel's accounting of the process.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// How often a journal is looked at while waiting for its line.
constexpr int kPollMs = 2;
// Lines of the command's standard error kept to show when it fails.
constexpr size_t kKeptLines = 60;
// How long a journal line may follow the end of the command.
constexpr auto kLateJob = std::chrono::seconds(60);

[[noreturn]] void Usage() {
    std::fprintf(stderr,
                 "usage: plenwise-bench-measure run [--quiet] [--status N] -- COMMAND...\n"
                 "       plenwise-bench-measure filed LOG TEXT [--from LINE] [--cpu-until LINE] "
                 "[--release FILE] -- COMMAND...\n");
    std::exit(64);
}

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

pid_t Spawn(const std::vector<char*>& command, int stderrFd, bool quiet = false) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (quiet) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDOUT_FILENO);
        }
        if (stderrFd >= 0) {
            ::dup2(stderrFd, STDERR_FILENO);
        }
        ::execvp(command[0], command.data());
        std::fprintf(stderr, "plenwise-bench-measure: cannot run %s: %s\n", command[0],
                     std::strerror(errno));
        ::_exit(127);
    }
    return pid;
}

int Run(const std::vector<char*>& command, bool quiet, int expectedStatus) {
    const Clock::time_point start = Clock::now();
    const pid_t pid = Spawn(command, -1, quiet);
    if (pid < 0) {
        return 1;
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const double wall = MillisecondsSince(start);
    const double cpu =
        static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("%.1f %.1f %ld %d\n", wall, cpu, usage.ru_maxrss, code);
    return code == expectedStatus ? 0 : 1;
}

// The processor time the process has used so far, in milliseconds (user and system).
std::optional<double> ProcessCpuMs(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The command name in parentheses may hold blanks: fields are counted after its end.
    const size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long user = 0;
    unsigned long long system = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) {
            user = std::strtoull(field.c_str(), nullptr, 10);
        } else if (index == 15) {
            system = std::strtoull(field.c_str(), nullptr, 10);
            return static_cast<double>(user + system) * 1000.0 /
                   static_cast<double>(::sysconf(_SC_CLK_TCK));
        }
    }
    return std::nullopt;
}

off_t FileSize(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : 0;
}

// Whether the part of the file from `from` on holds the text.
bool GrewWith(const std::string& path, off_t from, const std::string& text) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(from);
    std::string added((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return added.find(text) != std::string::npos;
}

int Filed(const std::string& log, const std::string& text, const std::string& fromLine,
          const std::string& cpuUntilLine, const std::string& release,
          const std::vector<char*>& command) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return 1;
    }
    const off_t logStart = FileSize(log);
    std::optional<Clock::time_point> start;
    if (fromLine.empty()) {
        start = Clock::now();
    }
    const pid_t pid = Spawn(command, pipeFds[1]);
    ::close(pipeFds[1]);
    if (pid < 0) {
        return 1;
    }
    std::deque<std::string> kept;
    std::string partial;
    std::optional<double> transferMs;
    std::optional<Clock::time_point> cpuStart;
    double cpuStartMs = 0;
    std::optional<double> cpuPercent;
    bool open = true;
    std::optional<Clock::time_point> closedAt;
    while (open || !transferMs) {
        if (open) {
            pollfd entry{pipeFds[0], POLLIN, 0};
            if (::poll(&entry, 1, kPollMs) > 0) {
                char buffer[4096];
                const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
                if (got <= 0) {
                    open = false;
                } else {
                    partial.append(buffer, static_cast<size_t>(got));
                }
            }
        } else {
            ::usleep(kPollMs * 1000);
        }
        for (size_t end = partial.find('\n'); end != std::string::npos; end = partial.find('\n')) {
            std::string line = partial.substr(0, end);
            partial.erase(0, end + 1);
            if (!start && line == fromLine) {
                start = Clock::now();
            }
            if (cpuStart && !cpuPercent && line == cpuUntilLine) {
                if (const auto now = ProcessCpuMs(pid)) {
                    cpuPercent = (*now - cpuStartMs) * 100.0 / MillisecondsSince(*cpuStart);
                }
            }
            kept.push_back(std::move(line));
            if (kept.size() > kKeptLines) {
                kept.pop_front();
            }
        }
        if (start && !transferMs && FileSize(log) > logStart && GrewWith(log, logStart, text)) {
            transferMs = MillisecondsSince(*start);
            if (!cpuUntilLine.empty()) {
                cpuStart = Clock::now();
                cpuStartMs = ProcessCpuMs(pid).value_or(0);
            }
            if (!release.empty()) {
                std::ofstream(release) << "go\n";
            }
        }
        // A job the command handed over may still be on its way when it ends; one that has not
        // arrived a minute later will not.
        if (!open && !closedAt) {
            closedAt = Clock::now();
        }
        if (closedAt && !transferMs && Clock::now() - *closedAt > kLateJob) {
            break;
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(pipeFds[0]);
    const bool succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0 && transferMs &&
                           (cpuUntilLine.empty() || cpuPercent);
    if (!succeeded) {
        for (const std::string& line : kept) {
            std::fprintf(stderr, "%s\n", line.c_str());
        }
        std::fprintf(stderr, "plenwise-bench-measure: %s\n",
                     transferMs ? "the command failed" : "the journal line never appeared");
        return 1;
    }
    if (cpuPercent) {
        std::printf("%.1f %.2f\n", *transferMs, *cpuPercent);
    } else {
        std::printf("%.1f -\n", *transferMs);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Usage();
    }
    const std::string mode = argv[1];
    std::vector<std::string> options;
    int index = 2;
    for (; index < argc && std::strcmp(argv[index], "--") != 0; ++index) {
        options.emplace_back(argv[index]);
    }
    if (index + 1 >= argc) {
        Usage();
    }
    std::vector<char*> command(argv + index + 1, argv + argc);
    command.push_back(nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    if (mode == "run") {
        bool quiet = false;
        int expectedStatus = 0;
        for (size_t i = 0; i < options.size(); ++i) {
            if (options[i] == "--quiet") {
                quiet = true;
            } else if (options[i] == "--status" && i + 1 < options.size()) {
                expectedStatus = std::atoi(options[++i].c_str());
            } else {
                Usage();
            }
        }
        return Run(command, quiet, expectedStatus);
    }
    if (mode == "filed" && options.size() >= 2) {
        std::string fromLine;
        std::string cpuUntilLine;
        std::string release;
        for (size_t i = 2; i + 1 < options.size(); i += 2) {
            if (options[i] == "--from") {
                fromLine = options[i + 1];
            } else if (options[i] == "--cpu-until") {
                cpuUntilLine = options[i + 1];
            } else if (options[i] == "--release") {
                release = options[i + 1];
            } else {
                Usage();
            }
        }
        if (options.size() % 2 != 0) {
            Usage();
        }
        return Filed(options[0], options[1], fromLine, cpuUntilLine, release, command);
    }
    Usage();
}
