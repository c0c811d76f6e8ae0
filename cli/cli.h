// plenwise-cli: the service functions of Plenwise without a desktop, for scripts and SSH
// sessions. It runs the plug-ins' own steps on the queues the hub would list, with the texts of
// their data files beside the program, and records what it does in the service log.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/arguments.h"
#include "cli/translation.h"
#include "common/served_queues.h"
#include "common/ui_text_table.h"

namespace util {
struct Variant;
}

namespace cli {

// What every command works with: the program's folder and the hub's tables.
class Cli {
  public:
    explicit Cli(std::string programDirectory) : directory_(std::move(programDirectory)) {}

    // The hub's tables: the served printer models and the families' functions. Read on first
    // use; false, after saying so on standard error, when its data file cannot be read.
    bool LoadHub();
    const HubTables& Hub() const { return hub_; }
    // The path of a data file of the program's folder, e.g. "upkeep.dat"; none, after saying so
    // on standard error, when it cannot be read.
    std::optional<std::string> DataFile(const std::string& fileName) const;
    // The texts of such a data file; false when it cannot be read.
    bool LoadTexts(UiTextTable& table, const std::string& fileName) const;

    // The served queue of that name; none, after saying why on standard error, when there is no
    // such queue, its printer model is not served, no scheduler answers, or the hub's tables
    // cannot be read.
    std::optional<ServedQueue> FindServedQueue(const std::string& name);

    // The media-settings module that serves a family: its variant and data file; none when the
    // hub's function table gives the family neither util nor altutil.
    struct MediaModule {
        const util::Variant* variant;
        std::string dataFile;
    };
    std::optional<MediaModule> MediaModuleOf(uint32_t modelKey) const;

  private:
    std::string directory_;
    HubTables hub_;
    bool hubLoaded_ = false;
    std::optional<ServedQueue> found_;  // the queue found last, asked again by its own name
};

// How a QUEUE argument names a queue, as the print system finds them: the name exactly, or as
// the escaped form plenwise-cli's output gives a name that is not UTF-8 (\xNN), or either with
// ASCII letters in another case. The best match wins.
class QueueNameMatch {
  public:
    explicit QueueNameMatch(const std::string& argument);

    // 0 when the queue name does not match; higher for a closer match.
    int Rank(const std::string& queueName) const;
    // The element of the best matching name, or null.
    template <typename T, typename NameOf>
    const T* Best(const std::vector<T>& items, NameOf nameOf) const {
        const T* best = nullptr;
        int bestRank = 0;
        for (const T& item : items) {
            const int rank = Rank(nameOf(item));
            if (rank > bestRank) {
                best = &item;
                bestRank = rank;
            }
        }
        return best;
    }

  private:
    std::string argument_;
    std::string unescaped_;
};

// Text from outside (names, versions, paths) for the terminal: control characters and bytes that
// are not UTF-8 shown escaped (\x1b), in the form a QUEUE argument takes back.
std::string TerminalText(std::string_view text);

// The columns a text takes on a terminal: East Asian wide characters take two.
size_t TerminalWidth(std::string_view text);

// A text of a data file as one message line (or lines) for the terminal.
void PrintText(std::ostream& out, const std::string& text);
// After a printer of a queue of another print server (--server) did not answer: that the
// printer link reaches such a printer only where its connection can be opened from here.
void PrintNotReachedFromHere(const Arguments& arguments, const spooler::PrinterInfo2& queue);
// An error of plenwise-cli's own on standard error, "plenwise-cli: " first.
void PrintError(const std::string& message);
// That a file of the installation beside the program cannot serve: the path and the problem, in
// English marked for translation ("cannot be read", kDamagedDataFile).
void PrintNotInstalled(const std::string& path, const char* problem);
inline constexpr const char* kDamagedDataFile =
    TR_NOOP("lacks tables or texts (it is cut short or damaged)");

int RunList(Cli& cli, const Arguments& arguments);
int RunClean(Cli& cli, const Arguments& arguments);
int RunFirmwareCheck(Cli& cli, const Arguments& arguments);
int RunFirmwareLoad(Cli& cli, const Arguments& arguments);
int RunSettingsList(Cli& cli, const Arguments& arguments);
int RunSettingsExport(Cli& cli, const Arguments& arguments);
int RunLog(Cli& cli, const Arguments& arguments);
int RunMetrics(Cli& cli, const Arguments& arguments);

// The whole program: parses the arguments, runs the command, returns the exit code.
int Run(const std::vector<std::string>& arguments, const std::string& programDirectory);

}  // namespace cli
