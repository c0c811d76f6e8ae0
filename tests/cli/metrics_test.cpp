// The metrics text: its label values whatever the queue names hold, the history of the servers
// asked, the format as Prometheus' own checker reads it, and what a survey under way answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/metrics.h"
#include "tests/support/program_run.h"
#include "tests/support/scratch.h"

namespace {

using cli::QueueRow;
using cli::ServerRows;

ServiceRecord Record(const std::string& time, const std::string& queue, const std::string& action,
                     const std::string& result, const std::string& server) {
    ServiceRecord record{time, queue, "ARVEN WL-4000", action, {}, result};
    record.server = server;
    return record;
}

bool Holds(const std::string& text, const std::string& line) {
    return text.find("\n" + line + "\n") != std::string::npos;
}

TEST(MetricsTest, LabelsAreUtf8AndTheHistoryIsTheAskedServersWithOldRecordsOnTheDefault) {
    QueueRow ready;
    ready.queue = "WL4000";
    ready.driver = "ARVEN WL-4000";
    ready.state = PrinterState::Ready;
    ready.firmware = "BN0105";
    ready.customSettings = 2;
    QueueRow odd;
    odd.queue = "Caf\xE9 \"A\"\\B\nC";  // Latin-1, a quote, a backslash, a line feed
    odd.driver = "ARVEN WL-4000";
    odd.state = PrinterState::NotReady;
    const std::vector<ServerRows> servers = {
        {"printhost:631", true, {ready, odd}},
        {"other:631", false, {}},
    };
    const std::vector<ServiceRecord> log = {
        Record("2024-05-02T10:00:00Z", "WL4000", kActionPowerCleaning, kResultSent, ""),
        Record("2024-05-03T10:00:00Z", "WL4000", kActionPowerCleaning, kResultSent,
               "printhost:631"),
        // Written later, but of an earlier time: not the last cleaning.
        Record("2024-05-01T10:00:00Z", "WL4000", kActionPowerCleaning, kResultSent,
               "printhost:631"),
        Record("2024-05-04T10:00:00Z", "WL4000", kActionFirmwareDownload, kResultFailed,
               "printhost:631"),
        Record("2024-05-05T10:00:00Z", "WL4000", kActionPowerCleaning, kResultSent, "unasked:631"),
    };
    const std::string text = cli::MetricsText(servers, log, "printhost:631", 1.5);

    EXPECT_TRUE(Holds(text, R"(plenwise_server_up{server="other:631"} 0)")) << text;
    EXPECT_TRUE(Holds(
        text,
        R"(plenwise_printer_firmware_info{server="printhost:631",queue="WL4000",driver="ARVEN WL-4000",version="BN0105"} 1)"))
        << text;
    EXPECT_TRUE(Holds(
        text,
        R"(plenwise_printer_ready{server="printhost:631",queue="Caf\\xe9 \"A\"\\B\\x0aC"} 0)"))
        << text;
    EXPECT_TRUE(
        Holds(text, R"(plenwise_custom_media_settings{server="printhost:631",queue="WL4000"} 2)"))
        << text;
    // The record without a server counts for the default server; the unasked server's not.
    EXPECT_TRUE(Holds(
        text,
        R"(plenwise_service_actions_total{server="printhost:631",queue="WL4000",action="power-cleaning",result="sent"} 3)"))
        << text;
    EXPECT_EQ(text.find("unasked"), std::string::npos) << text;
    EXPECT_TRUE(Holds(
        text,
        R"(plenwise_service_last_timestamp_seconds{server="printhost:631",queue="WL4000",action="power-cleaning",result="sent"} 1714730400)"))
        << text;
    EXPECT_TRUE(Holds(
        text,
        R"(plenwise_service_last_timestamp_seconds{server="printhost:631",queue="WL4000",action="firmware-download",result="failed"} 1714816800)"))
        << text;
    // A printer not read has no firmware sample.
    EXPECT_EQ(text.find("firmware_info{server=\"printhost:631\",queue=\"Caf"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\nplenwise_collection_duration_seconds 1.500\n")) << text;

    testsupport::ScratchDir scratch;
    scratch.Write("plenwise.prom", text);
    const testsupport::RunResult check =
        testsupport::Shell("promtool check metrics < " + scratch / "plenwise.prom");
    EXPECT_EQ(check.exitCode, 0) << check.output;
    EXPECT_EQ(check.output, "");
}

// What an endpoint answers while a survey is under way: a printer still being asked stands as
// last found until its survey has had a whole scrape, then as silent.
TEST(KnownSoFarTest, WhatIsStillBeingAskedStandsAsLastFoundOrSilent) {
    QueueRow a;
    a.queue = "A";
    a.state = PrinterState::Ready;
    a.firmware = "BN0105";
    QueueRow b = a;
    b.queue = "B";
    const ServerRows before{"printhost:631", true, {a, b}};
    QueueRow bRead = b;
    bRead.state = PrinterState::NotReady;
    QueueRow named;  // a new queue, listed but not read
    named.queue = "C";
    const cli::Listing listing{{a, bRead, named}, {false, true, false}};

    auto states = [](const ServerRows& rows) {
        std::string text = rows.answered ? "up" : "down";
        for (const QueueRow& row : rows.rows) {
            text += " " + row.queue + ":" + cli::StateName(row.state) + ":" + row.firmware;
        }
        return text;
    };
    const struct {
        const cli::Listing* listing;
        bool silent;
        const char* known;
    } cases[] = {
        {nullptr, false, "up A:ready:BN0105 B:ready:BN0105"},
        {nullptr, true, "down A:no answer:BN0105 B:no answer:BN0105"},
        {&listing, false, "up A:ready:BN0105 B:not ready:BN0105 C:no answer:"},
        {&listing, true, "up A:no answer:BN0105 B:not ready:BN0105 C:no answer:"},
    };
    for (const auto& [with, silent, known] : cases) {
        EXPECT_EQ(states(cli::KnownSoFar(before, with, silent)), known)
            << (with ? "listed" : "not listed") << (silent ? ", silent" : "");
    }
}

}  // namespace
