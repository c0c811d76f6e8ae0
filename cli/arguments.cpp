#include "cli/arguments.h"

#include <string_view>
#include <utility>

#include "cli/translation.h"

namespace cli {

namespace {

struct OptionName {
    std::string_view name;
    Option option;
    std::string Arguments::*value;                // null for a flag or a repeatable option
    std::vector<std::string> Arguments::*values;  // a repeatable option's values
};

const OptionName kOptions[] = {
    {"--json", kOptionJson, nullptr, nullptr},
    {"--yes", kOptionYes, nullptr, nullptr},
    {"--replace", kOptionReplace, nullptr, nullptr},
    {"--since", kOptionSince, &Arguments::since, nullptr},
    {"--wait", kOptionWait, &Arguments::wait, nullptr},
    {"--server", kOptionServer, nullptr, &Arguments::servers},
    {"--textfile", kOptionTextfile, &Arguments::textfile, nullptr},
    {"--listen", kOptionListen, &Arguments::listen, nullptr},
};

}  // namespace

Arguments ParseArguments(const std::vector<std::string>& arguments) {
    Arguments parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            parsed.words.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        if (word == "--help" || word == "-h") {
            parsed.help = true;
            continue;
        }
        if (word == "--version") {
            parsed.version = true;
            continue;
        }
        const size_t equals = word.find('=');
        const std::string_view name = std::string_view(word).substr(0, equals);
        const OptionName* known = nullptr;
        for (const OptionName& option : kOptions) {
            if (option.name == name) {
                known = &option;
            }
        }
        if (known == nullptr) {
            parsed.error = Tr("unknown option %1", {name});
            return parsed;
        }
        if (known->value == nullptr && known->values == nullptr) {
            if (equals != std::string::npos) {
                parsed.error = Tr("%1 takes no value", {name});
                return parsed;
            }
        } else {
            std::string value;
            if (equals != std::string::npos) {
                value = word.substr(equals + 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                parsed.error = Tr("%1 needs a value", {name});
                return parsed;
            }
            if (known->values != nullptr) {
                (parsed.*(known->values)).push_back(std::move(value));
            } else {
                parsed.*(known->value) = std::move(value);
            }
        }
        parsed.given |= known->option;
    }
    return parsed;
}

std::string OptionNameOf(uint32_t options) {
    for (const OptionName& option : kOptions) {
        if ((options & option.option) != 0) {
            return std::string(option.name);
        }
    }
    return {};
}

std::optional<uint32_t> WaitSeconds(const std::string& text) {
    if (text.empty() || text.size() > 4) {
        return std::nullopt;
    }
    uint32_t seconds = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        seconds = seconds * 10 + static_cast<uint32_t>(c - '0');
    }
    return seconds <= kLongestWaitSeconds ? std::optional<uint32_t>(seconds) : std::nullopt;
}

}  // namespace cli
