#include "sim/printer/printer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "sim/printer/snmp.h"
#include "tests/sim/blocks.h"

namespace {

using namespace simtest;
using printersim::ManualClock;
using printersim::PrinterSettings;
using printersim::SimulatedPrinter;

PrinterSettings Settings(const std::string& lines) {
    std::string error;
    auto parsed = printersim::ParseSettings("[printer p1]\n" + lines, "", error);
    EXPECT_TRUE(parsed) << error;
    return parsed ? parsed->printers.at(0) : PrinterSettings{};
}

std::vector<std::string> Apply(SimulatedPrinter& printer, const Bytes& job) {
    return printer.ApplyJob(printersim::DecodeJob(job), job);
}

std::string Control(SimulatedPrinter& printer, const Bytes& request) {
    printersim::ControlStream stream;
    auto reply = stream.Feed(request, printer);
    return {reply.begin(), reply.end()};
}

const Bytes kVersionRequest = {0x56, 0x49, 0x02, 0x00, 0x01, 0x00};
const Bytes kFirstWidthRequest = {0x50, 0x57, 0x03, 0x00, 0x01, 0x02, 0x00};
const Bytes kSecondWidthRequest = {0x50, 0x57, 0x03, 0x00, 0x01, 0x03, 0x00};

// The version as the program reads it: 6 bytes, 18 after the start of the identifier.
std::string VersionInSnmpReply(const Bytes& reply) {
    Bytes oid = FirmwareOid();
    auto at = std::search(reply.begin(), reply.end(), oid.begin(), oid.end());
    if (at == reply.end() || reply.end() - at < 24) {
        return {};
    }
    return std::string(at + 18, at + 24);
}

TEST(Printer, StoreBlockKeepsTheHeadGapValues) {
    ManualClock clock;
    SimulatedPrinter printer(Settings(""), clock);
    auto effects = Apply(printer, HeadGapStore253({8, 9, 10, 11, 12}));
    ASSERT_EQ(effects.size(), 1u);
    EXPECT_EQ(effects[0],
              "stored head-gap values: platen gap 03; m=10 c=12 v=8; m=10 c=13 v=9; "
              "m=10 c=14 v=10; m=10 c=15 v=11; m=10 c=16 v=12");
    auto gaps = printer.HeadGaps();
    EXPECT_EQ(gaps.stores, 1);
    EXPECT_EQ(gaps.platenGap, 0x03);
    ASSERT_EQ(gaps.values.size(), 5u);
    EXPECT_EQ((gaps.values[{0x10, 0x12}]), 8);
    EXPECT_EQ((gaps.values[{0x10, 0x16}]), 12);

    // A test block sends values without "SV": nothing is stored.
    Apply(printer, Join({RemoteHeader(), Command("DA", {0x00, 0x10, 0x12, 1}),
                         Command("DT", {0x00, 0x10, 0x1F}), Leave(), FormFeedTail()}));
    EXPECT_EQ((printer.HeadGaps().values[{0x10, 0x12}]), 8);

    // A later store overwrites its own values and keeps the others.
    Apply(printer, Join({RemoteHeader(), Command("DA", {0x00, 0x10, 0x12, 3}),
                         Command("DA", {0x00, 0x00, 0x11, 4}), Command("SV", {}), Leave()}));
    gaps = printer.HeadGaps();
    EXPECT_EQ(gaps.stores, 2);
    EXPECT_EQ((gaps.values[{0x10, 0x12}]), 3);
    EXPECT_EQ((gaps.values[{0x00, 0x11}]), 4);
    EXPECT_EQ((gaps.values[{0x10, 0x13}]), 9);

    // Values of another remote-mode session, and malformed records, do not ride along.
    Apply(printer,
          Join({RemoteHeader(), Command("DA", {0x00, 0x20, 0x11, 7}), Leave(), RemoteHeader(),
                Command("DA", {0x00, 0x20, 0x12}), Command("SV", {}), Leave()}));
    EXPECT_FALSE(printer.HeadGaps().values.contains({0x20, 0x11}));
    EXPECT_EQ(printer.HeadGaps().stores, 2);
}

TEST(Printer, CleaningIsBusyForItsTimeThenReady) {
    ManualClock clock;
    SimulatedPrinter printer(Settings("cleaning-ms = 20000"), clock);
    EXPECT_EQ(printer.ReadStatus(), "ST:04;INK:1101,3202,4304,5408,6210,7320;");
    EXPECT_EQ(Apply(printer, PowerCleaning()),
              std::vector<std::string>{"power cleaning: busy for 20000 ms"});
    EXPECT_EQ(printer.ReadStatus().substr(0, 6), "ST:03;");
    clock.Advance(19999);
    EXPECT_TRUE(printer.Busy());
    clock.Advance(1);
    EXPECT_EQ(printer.ReadStatus().substr(0, 6), "ST:04;");
}

TEST(Printer, FirmwareOfItsClassIsTakenAfterTheBusyTime) {
    ManualClock clock;
    SimulatedPrinter printer(Settings("firmware = BN0102\nfirmware-ms = 30000"), clock);
    auto effects = Apply(printer, FirmwareTransfer(kClass1, FirmwareFile("BN0105", 1 << 20)));
    EXPECT_EQ(effects, std::vector<std::string>{
                           "firmware accepted: busy for 30000 ms, then version BN0105"});
    EXPECT_EQ(printer.ReadStatus().substr(0, 6), "ST:03;");
    EXPECT_EQ(Control(printer, kVersionRequest), "VI:00BN0102;");
    clock.Advance(30000);
    EXPECT_EQ(Control(printer, kVersionRequest), "VI:00BN0105;");
    EXPECT_EQ(printer.ReadStatus().substr(0, 6), "ST:04;");
    EXPECT_EQ(VersionInSnmpReply(*printer.AnswerSnmp(SnmpFirmwareRequest())), "BN0105");
}

TEST(Printer, FirmwareOfAnotherClassIsRefused) {
    ManualClock clock;
    SimulatedPrinter printer(Settings("firmware = BN0102"), clock);
    auto effects = Apply(printer, FirmwareTransfer(kClass2, FirmwareFile("BA0200", 64)));
    EXPECT_EQ(effects, std::vector<std::string>{
                           "firmware refused: the file is for model class 2, this printer "
                           "(BN0102) is of class 1"});
    EXPECT_FALSE(printer.Busy());
    EXPECT_EQ(printer.FirmwareVersion(), "BN0102");

    SimulatedPrinter family2(Settings("firmware = BA0102"), clock);
    EXPECT_EQ(
        Apply(family2, FirmwareTransfer(kClass1, FirmwareFile("BN0200", 64)))[0].substr(0, 17),
        "firmware refused:");
    EXPECT_EQ(Apply(family2, FirmwareTransfer(kClass2, FirmwareFile("BA", 20)))[0],
              "firmware refused: the file is too short to hold a version");
    EXPECT_EQ(Apply(family2, FirmwareTransfer(0x55, FirmwareFile("BA0200", 64)))[0],
              "firmware refused: no model header of either class after the lead-in");

    // A printer whose letter has no class takes nothing.
    SimulatedPrinter classless(Settings("firmware = BF0102"), clock);
    EXPECT_EQ(
        Apply(classless, FirmwareTransfer(kClass1, FirmwareFile("BF0200", 64)))[0].substr(0, 17),
        "firmware refused:");
    EXPECT_EQ(classless.FirmwareVersion(), "BF0102");
}

TEST(Printer, ZeroBusyTimeTakesFirmwareAtOnce) {
    ManualClock clock;
    SimulatedPrinter printer(Settings("firmware-ms = 0\nfirmware = BW0001"), clock);
    Apply(printer, FirmwareTransfer(kClass2, FirmwareFile("BW0002", 64)));
    EXPECT_FALSE(printer.Busy());
    EXPECT_EQ(printer.FirmwareVersion(), "BW0002");
}

TEST(Printer, ReadinessScheduleThenSteadyStatus) {
    ManualClock clock;
    SimulatedPrinter printer(Settings("readiness = 02,02,04\nstatus = 04"), clock);
    std::vector<std::string> codes;
    for (int i = 0; i < 4; ++i) {
        codes.push_back(printer.ReadStatus().substr(3, 2));
    }
    EXPECT_EQ(codes, (std::vector<std::string>{"02", "02", "04", "04"}));

    // Setting the schedule again starts it afresh.
    EXPECT_EQ(printer.Set("readiness", "02"), "");
    EXPECT_EQ(printer.ReadStatus().substr(3, 2), "02");
    EXPECT_EQ(printer.ReadStatus().substr(3, 2), "04");

    SimulatedPrinter never(Settings("status = 02"), clock);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(never.ReadStatus().substr(0, 6), "ST:02;");
    }
}

TEST(Printer, StagedMalformedAnswers) {
    ManualClock clock;
    SimulatedPrinter good(Settings("description = ARVEN Wideline 400C"), clock);
    std::string id = good.DeviceId();
    EXPECT_NE(id.find("DES:ARVEN Wideline 400C;"), std::string::npos);

    SimulatedPrinter bad(Settings("description = ARVEN Wideline 400C\n"
                                  "faults = device-id-no-semicolon, status-no-st\n"
                                  "readiness = 02"),
                         clock);
    id = bad.DeviceId();
    size_t des = id.find("DES:");
    ASSERT_NE(des, std::string::npos);
    EXPECT_EQ(id.substr(des), "DES:ARVEN Wideline 400C");
    std::string status = bad.ReadStatus();
    EXPECT_EQ(status.find("ST:"), std::string::npos);
    EXPECT_NE(status.find("INK:"), std::string::npos);

    SimulatedPrinter noInk(Settings("faults = status-no-ink"), clock);
    EXPECT_EQ(noInk.ReadStatus(), "ST:04;");

    SimulatedPrinter raw(Settings("device-id = DES:whatever"), clock);
    EXPECT_EQ(raw.DeviceId(), "DES:whatever");
}

TEST(Printer, ControlChannelReplies) {
    ManualClock clock;
    SimulatedPrinter printer(Settings("firmware = BN0102\npaper-width = 15840, none"), clock);
    EXPECT_EQ(Control(printer, kVersionRequest), "VI:00BN0102;");
    EXPECT_EQ(Control(printer, kFirstWidthRequest), "PW:00003DE0;");
    EXPECT_EQ(Control(printer, kSecondWidthRequest), "");
    EXPECT_EQ(Control(printer, {'X', 'X', 0x00, 0x00}), "XX:NA;");

    // Requests split over sends, several in one send, and noise in front.
    printersim::ControlStream stream;
    EXPECT_TRUE(
        stream.Feed(Bytes(kVersionRequest.begin(), kVersionRequest.begin() + 3), printer).empty());
    auto rest = stream.Feed(Join({Bytes(kVersionRequest.begin() + 3, kVersionRequest.end()),
                                  {0x00, 0x01},
                                  kFirstWidthRequest}),
                            printer);
    EXPECT_EQ(std::string(rest.begin(), rest.end()), "VI:00BN0102;PW:00003DE0;");

    SimulatedPrinter silent(Settings("paper-width = 15840\nfaults = paper-width-silent"), clock);
    EXPECT_EQ(Control(silent, Join({kFirstWidthRequest, kSecondWidthRequest})), "");
    EXPECT_EQ(Control(silent, kVersionRequest), "VI:00BN0102;");
}

TEST(Printer, SnmpAnswersTheFirmwareVersion) {
    ManualClock clock;
    SimulatedPrinter printer(Settings("firmware = BA0203"), clock);
    Bytes request = SnmpFirmwareRequest();
    ASSERT_EQ(request.size(), 46u);
    auto reply = printer.AnswerSnmp(request);
    ASSERT_TRUE(reply);
    EXPECT_EQ(VersionInSnmpReply(*reply), "BA0203");
    auto message = printersim::ParseSnmpMessage(*reply);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->pduType, printersim::kPduResponse);
    EXPECT_EQ(message->requestId, 1);
    EXPECT_EQ(message->errorStatus, 0);
    ASSERT_EQ(message->varBinds.size(), 1u);
    EXPECT_EQ(printersim::FormatOid(message->varBinds[0].oid),
              "1.3.6.1.4.1.1571.1.2.2.2.1.1.2.1.1");

    SimulatedPrinter shortReply(Settings("faults = snmp-short"), clock);
    EXPECT_EQ(shortReply.AnswerSnmp(request)->size(), 14u);
}

TEST(Printer, SnmpIgnoresForeignAndBrokenRequests) {
    ManualClock clock;
    SimulatedPrinter printer(Settings(""), clock);
    Bytes otherCommunity = SnmpFirmwareRequest();
    otherCommunity[7] = 'V';
    EXPECT_FALSE(printer.AnswerSnmp(otherCommunity));
    Bytes version2 = SnmpFirmwareRequest();
    version2[4] = 0x01;
    EXPECT_FALSE(printer.AnswerSnmp(version2));

    // Past the one object: noSuchName with the request's bindings.
    auto next = printersim::ParseSnmpMessage(SnmpFirmwareRequest());
    next->varBinds[0].oid = printersim::FirmwareVersionInstance();
    auto reply =
        printersim::ParseSnmpMessage(*printer.AnswerSnmp(printersim::EncodeSnmpMessage(*next)));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->errorStatus, printersim::kErrorNoSuchName);
    EXPECT_EQ(reply->errorIndex, 1);

    Bytes request = SnmpFirmwareRequest();
    for (size_t length = 0; length < request.size(); ++length) {
        EXPECT_FALSE(printer.AnswerSnmp(
            Bytes(request.begin(), request.begin() + static_cast<long>(length))));
    }
    // Lengths that reach past the datagram, and random damage.
    Bytes overlong = request;
    overlong[1] = 0x84;
    EXPECT_FALSE(printer.AnswerSnmp(overlong));
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        Bytes damaged = request;
        damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
        damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
        auto answer = printer.AnswerSnmp(damaged);
        if (answer) {
            EXPECT_TRUE(printersim::ParseSnmpMessage(*answer));
        }
    }
}

TEST(Settings, ParsesAFileAndNamesTheBadLine) {
    std::string error;
    auto settings = printersim::ParseSettings(
        "# demo\n[simulator]\nlisten = 127.0.0.1:4711\njournal = j\nprint-ms = 5\n"
        "[printer a]\ndescription = ARVEN WL-2000\nchannels = 0x10010003:1, 4:0, 0x10000005\n"
        "snmp-port = off\n[printer b]\nprint-ms = 7\nsnmp-port = 16161\n",
        "/base", error);
    ASSERT_TRUE(settings) << error;
    EXPECT_EQ(settings->listen.port, 4711);
    EXPECT_EQ(settings->journalDir, "/base/j");
    ASSERT_EQ(settings->printers.size(), 2u);
    const auto& a = settings->printers[0];
    EXPECT_EQ(a.description, "ARVEN WL-2000");
    ASSERT_EQ(a.channels.size(), 3u);
    EXPECT_EQ(a.channels[1].id, 4u);
    EXPECT_EQ(a.channels[1].flags, 0u);
    EXPECT_EQ(a.channels[2].flags, 1u);
    EXPECT_FALSE(a.snmpPort);
    EXPECT_EQ(a.printMs, 5);
    EXPECT_EQ(settings->printers[1].printMs, 7);
    EXPECT_EQ(settings->printers[1].snmpPort, 16161);

    struct Bad {
        const char* text;
        const char* error;
    };
    for (const Bad& bad : {
             Bad{"[printer a]\nstatus = 4\n", "line 2: status must be"},
             Bad{"[printer a]\n[printer a]\n", "line 2: printer 'a' defined twice"},
             Bad{"[printer a/b]\n", "line 1: printer id must be"},
             Bad{"[simulator]\nlisten = 10.0.0.1:80\n", "line 2: listen must be a loopback"},
             Bad{"[printer a]\nfirmware = BN01\n", "line 2: firmware must be six"},
             Bad{"[printer a]\nfaults = on-fire\n", "line 2: unknown fault 'on-fire'"},
             Bad{"[printer a]\ncolour = red\n", "line 2: unknown printer key 'colour'"},
             Bad{"key = value\n", "line 1: key outside of a section"},
             Bad{"[printer a]\ndescription = A;B\n", "line 2: description must be"},
         }) {
        EXPECT_FALSE(printersim::ParseSettings(bad.text, "", error)) << bad.text;
        EXPECT_EQ(error.rfind(bad.error, 0), 0u) << error;
    }
}

TEST(Settings, FormatReadsBackTheSameSettings) {
    PrinterSettings original = Settings(
        "description = ARVEN WL-2000\nreadiness = 02,04\npaper-width = 100, none\n"
        "channels = 4:0\nfaults = snmp-short, status-no-ink\nsnmp-port = off\n");
    PrinterSettings reread = Settings(printersim::FormatPrinterSettings(original));
    EXPECT_EQ(printersim::FormatPrinterSettings(reread),
              printersim::FormatPrinterSettings(original));
    EXPECT_EQ(reread.paperWidth[0], 100u);
    EXPECT_FALSE(reread.paperWidth[1]);
    EXPECT_EQ(reread.faults, printersim::kFaultSnmpShort | printersim::kFaultStatusNoInk);
}

}  // namespace
