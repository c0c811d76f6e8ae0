#include "cli/metrics.h"

#include <cstdio>
#include <map>
#include <optional>
#include <tuple>

namespace cli {

namespace {

// One family of samples, its HELP and TYPE lines first, as the format requires them together.
class Family {
  public:
    Family(std::string name, std::string type, std::string help)
        : name_(std::move(name)), type_(std::move(type)), help_(std::move(help)) {}

    void Add(const std::string& labels, const std::string& value) {
        samples_ += name_ + (labels.empty() ? "" : "{" + labels + "}") + " " + value + "\n";
    }
    void WriteTo(std::string& out) const {
        out +=
            "# HELP " + name_ + " " + help_ + "\n# TYPE " + name_ + " " + type_ + "\n" + samples_;
    }

  private:
    std::string name_;
    std::string type_;
    std::string help_;
    std::string samples_;
};

std::string Label(const char* name, std::string_view value) {
    return std::string(name) + "=" + MetricsLabel(value);
}

std::string QueueLabels(const std::string& server, const std::string& queue) {
    return Label("server", server) + "," + Label("queue", queue);
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

}  // namespace

std::string MetricsLabel(std::string_view text) {
    std::string out = "\"";
    for (char c : TerminalText(text)) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out + '"';
}

std::string MetricsText(const std::vector<ServerRows>& servers,
                        const std::vector<ServiceRecord>& log, const std::string& defaultServer,
                        double collectionSeconds) {
    Family serverUp("plenwise_server_up", "gauge",
                    "Whether the print server answered (1) or not (0).");
    Family printerUp("plenwise_printer_up", "gauge",
                     "Whether the printer behind the queue answered (1) or not (0).");
    Family printerReady("plenwise_printer_ready", "gauge",
                        "Whether the printer is ready for a service function (1) or not (0).");
    Family firmware("plenwise_printer_firmware_info", "gauge",
                    "The firmware version the printer reports, as the label version.");
    Family settings("plenwise_custom_media_settings", "gauge",
                    "Custom media settings registered in the driver for the queue.");
    for (const ServerRows& server : servers) {
        serverUp.Add(Label("server", server.server), server.answered ? "1" : "0");
        for (const QueueRow& row : server.rows) {
            const std::string labels = QueueLabels(server.server, row.queue);
            const bool answers = row.state != PrinterState::NoAnswer;
            printerUp.Add(labels + "," + Label("driver", row.driver), answers ? "1" : "0");
            printerReady.Add(labels, row.state == PrinterState::Ready ? "1" : "0");
            if (!row.firmware.empty()) {
                firmware.Add(labels + "," + Label("driver", row.driver) + "," +
                                 Label("version", row.firmware),
                             "1");
            }
            if (row.customSettings >= 0) {
                settings.Add(labels, std::to_string(row.customSettings));
            }
        }
    }

    // The history of the servers asked: counts by kind and result, and the last of each kind.
    using Key = std::tuple<std::string, std::string, std::string>;  // server, queue, action
    std::map<std::pair<Key, std::string>, uint64_t> counts;
    struct Last {
        int64_t time;
        std::string result;
    };
    std::map<Key, Last> last;
    for (const ServiceRecord& record : log) {
        const std::string& server = record.server.empty() ? defaultServer : record.server;
        bool asked = false;
        for (const ServerRows& s : servers) {
            asked = asked || s.server == server;
        }
        if (!asked) {
            continue;
        }
        const Key key{server, record.queue, record.action};
        ++counts[{key, record.result}];
        const std::optional<int64_t> time = ServiceTimeSeconds(record.time);
        // Later lines win a tie: they were written later.
        if (time && (!last.contains(key) || last[key].time <= *time)) {
            last[key] = {*time, record.result};
        }
    }
    Family actions("plenwise_service_actions_total", "counter",
                   "Service actions recorded in the service log, by action and result.");
    for (const auto& [keyResult, count] : counts) {
        const auto& [key, result] = keyResult;
        actions.Add(QueueLabels(std::get<0>(key), std::get<1>(key)) + "," +
                        Label("action", std::get<2>(key)) + "," + Label("result", result),
                    std::to_string(count));
    }
    Family lastAction("plenwise_service_last_timestamp_seconds", "gauge",
                      "When the last service action of the kind was done (Unix time), with its "
                      "result.");
    for (const auto& [key, entry] : last) {
        lastAction.Add(QueueLabels(std::get<0>(key), std::get<1>(key)) + "," +
                           Label("action", std::get<2>(key)) + "," + Label("result", entry.result),
                       std::to_string(entry.time));
    }
    Family duration("plenwise_collection_duration_seconds", "gauge",
                    "How long asking the print servers and printers took.");
    duration.Add("", Number(collectionSeconds));

    std::string out;
    for (const Family* family : {&serverUp, &printerUp, &printerReady, &firmware, &settings,
                                 &actions, &lastAction, &duration}) {
        family->WriteTo(out);
    }
    return out;
}

}  // namespace cli
