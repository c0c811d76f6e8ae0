// plenwise-cli's command line: the command's words and operands, and the options, which may
// stand anywhere after the program name ("--" ends them).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// Exit codes.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // refused or failed; the reason is on standard error
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNotLogged = 3;  // done, but the service log could not be written

// The options, as bits of what a command accepts.
enum Option : uint32_t {
    kOptionJson = 1u << 0,
    kOptionYes = 1u << 1,
    kOptionReplace = 1u << 2,
    kOptionSince = 1u << 3,
    kOptionWait = 1u << 4,
    kOptionServer = 1u << 5,
    kOptionTextfile = 1u << 6,
    kOptionListen = 1u << 7,
};

struct Arguments {
    std::vector<std::string> words;  // command words, then operands
    bool help = false;
    bool version = false;
    uint32_t given = 0;  // the Option bits that were given
    std::string since;
    std::string wait;
    std::vector<std::string> servers;  // every --server, in order
    std::string textfile;
    std::string listen;
    std::string error;  // a usage error; the rest is then incomplete

    bool Has(Option option) const { return (given & option) != 0; }
};

Arguments ParseArguments(const std::vector<std::string>& arguments);
// The name of the lowest option among the bits, "--json" and so on.
std::string OptionNameOf(uint32_t options);

// The seconds of --wait: a whole number from 0 to kLongestWaitSeconds.
inline constexpr uint32_t kLongestWaitSeconds = 3600;
std::optional<uint32_t> WaitSeconds(const std::string& text);

}  // namespace cli
