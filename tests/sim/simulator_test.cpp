#include "sim/printer/simulator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/sim/blocks.h"
#include "tests/sim/world.h"

namespace {

using namespace simtest;

printersim::JobOutcome Send(printersim::Simulator& simulator, const std::string& printer,
                            const Bytes& job, const std::string& title = "ARSU Command") {
    return simulator.ReceiveJob({printer, "Q-" + printer, title, "alice", "17"}, job, nullptr);
}

TEST(Journal, FilesRawBytesAndAReadableRecord) {
    World world("[printer wl4000]\ndescription = ARVEN WL-4000\n");
    auto outcome = Send(*world.simulator, "wl4000", PowerCleaning());
    ASSERT_TRUE(outcome.accepted) << outcome.error;
    EXPECT_EQ(outcome.entry, 1u);

    EXPECT_EQ(world.Journal("000001-wl4000.bin"), AsString(PowerCleaning()));
    EXPECT_EQ(world.Journal("000001-wl4000.txt"),
              "entry: 000001\n"
              "printer: wl4000\n"
              "queue: Q-wl4000\n"
              "title: ARSU Command\n"
              "user: alice\n"
              "cups-job: 17\n"
              "received: 2024-01-01T00:00:00.000Z\n"
              "state: done\n"
              "finished: 2024-01-01T00:00:00.000Z\n"
              "kind: power cleaning\n"
              "bytes: 25\n"
              "files: 000001-wl4000.bin\n"
              "decoded:\n"
              "  reset (ESC @)\n"
              "  enter remote mode (REMOTE1)\n"
              "  CH 00 10\n"
              "  leave remote mode\n"
              "effects:\n"
              "  power cleaning: busy for 20000 ms\n");
    EXPECT_EQ(world.Journal("journal.log"),
              "000001 2024-01-01T00:00:00.000Z wl4000 queue=Q-wl4000 \"ARSU Command\" 25 bytes: "
              "power cleaning -> power cleaning: busy for 20000 ms\n");

    EXPECT_EQ(Send(*world.simulator, "wl4000", Text("junk")).entry, 2u);
    EXPECT_NE(world.Journal("000002-wl4000.txt").find("  unparsed 4 bytes at 0x0: 6A 75 6E 6B\n"),
              std::string::npos);
}

TEST(Journal, PdfDocumentsAreKeptAsPdfFiles) {
    World world("[printer p]\n");
    Bytes pdf = Text("%PDF-1.4\n<< /Type /Page >>\n%%EOF\n");
    ASSERT_TRUE(Send(*world.simulator, "p", pdf, "Feed +3").accepted);
    EXPECT_EQ(world.Journal("000001-p-1.pdf"), AsString(pdf));
    std::string record = world.Journal("000001-p.txt");
    EXPECT_NE(record.find("title: Feed +3\n"), std::string::npos);
    EXPECT_NE(record.find("files: 000001-p.bin 000001-p-1.pdf\n"), std::string::npos);
    EXPECT_NE(record.find("kind: PDF document\n"), std::string::npos);
}

TEST(Journal, NumbersGoOnFromAnEarlierRun) {
    World world("[printer p]\n");
    std::ofstream(world.dir.path() + "/journal/000041-p.bin") << "x";
    std::string error;
    printersim::Journal journal(world.dir.path() + "/journal");
    ASSERT_TRUE(journal.Open(error)) << error;
    EXPECT_EQ(journal.NextNumber(), 42u);
}

TEST(Journal, AJobStaysPrintingForItsPrintTime) {
    World world("[printer slow]\nprint-ms = 5000\n");
    std::atomic<uint64_t> received{0};
    std::atomic<bool> done{false};
    std::thread sender([&] {
        world.simulator->ReceiveJob({"slow", "Q", "ARSU Command", "", ""}, PowerCleaning(),
                                    [&](uint64_t entry) { received = entry; });
        done = true;
    });
    ASSERT_TRUE(testsupport::WaitUntil([&] { return world.clock.Waiters() == 1; }));
    EXPECT_EQ(received, 1u);
    EXPECT_FALSE(done);
    EXPECT_NE(world.Journal("000001-slow.txt").find("state: printing\n"), std::string::npos);
    EXPECT_NE(world.simulator->Control("list").find("printing"), std::string::npos);
    world.clock.Advance(4999);
    EXPECT_FALSE(done);
    world.clock.Advance(1);
    sender.join();
    EXPECT_TRUE(done);
    EXPECT_NE(
        world.Journal("000001-slow.txt").find("state: done\nfinished: 2024-01-01T00:00:05.000Z\n"),
        std::string::npos);
}

TEST(Journal, AJobForAnUnknownPrinterIsRefused) {
    World world("[printer p]\n");
    auto outcome = Send(*world.simulator, "nobody", PowerCleaning());
    EXPECT_FALSE(outcome.accepted);
    EXPECT_EQ(outcome.error, "no printer 'nobody' in this simulator");
    EXPECT_TRUE(world.simulator->journal().Entries().empty());
}

TEST(Control, ShowsAndChangesAPrinter) {
    World world("[printer a]\ndescription = ARVEN WL-4000\n[printer b]\nfirmware = BA0001\n");
    auto& simulator = *world.simulator;
    EXPECT_EQ(simulator.Control("list"),
              "OK\na  \"ARVEN WL-4000\"  status 04  firmware BN0102\n"
              "b  \"ARVEN WL-4000\"  status 04  firmware BA0001\n");

    EXPECT_EQ(simulator.Control("set a status 02"), "OK\n");
    EXPECT_EQ(simulator.Control("set a ink B101,3202,4304,5408,6210,7320"), "OK\n");
    EXPECT_EQ(simulator.Control("set a paper-width 14400"), "OK\n");
    EXPECT_EQ(simulator.Control("set a firmware BN0200"), "OK\n");
    EXPECT_EQ(simulator.Control("set a readiness 02, 04"), "OK\n");
    EXPECT_EQ(simulator.Control("set a description ARVEN Wideline 300-D"), "OK\n");
    std::string shown = simulator.Control("show a");
    for (const char* line :
         {"status = 02\n", "ink = B101,3202,4304,5408,6210,7320\n", "paper-width = 14400,14400\n",
          "firmware = BN0200\n", "readiness = 02,04\n", "description = ARVEN Wideline 300-D\n",
          "next-status = 02\n", "busy = no\n"}) {
        EXPECT_NE(shown.find(line), std::string::npos) << line << " in " << shown;
    }
    auto* printer = simulator.Find("a");
    EXPECT_EQ(printer->ReadStatus().substr(0, 6), "ST:02;");
    EXPECT_EQ(printer->ReadStatus().substr(0, 6), "ST:04;");
    EXPECT_EQ(printer->ReadStatus().substr(0, 6), "ST:02;");

    EXPECT_EQ(simulator.Control("set a status 4").rfind("ERROR status must be", 0), 0u);
    EXPECT_EQ(simulator.Control("show c"), "ERROR no printer 'c'\n");
    EXPECT_EQ(simulator.Control("frobnicate"), "ERROR unknown command 'frobnicate'; try help\n");
    EXPECT_EQ(simulator.Control("help").rfind("OK\ncommands:", 0), 0u);
}

TEST(Control, ShowsHeadGapsAndTheJournal) {
    World world("[printer a]\n[printer b]\n");
    auto& simulator = *world.simulator;
    EXPECT_EQ(simulator.Control("gaps a"), "OK\nstores = 0\nplaten-gap = none\n");
    Send(simulator, "a", HeadGapStore253({8, 9, 10, 11, 12}));
    Send(simulator, "b", PowerCleaning());
    EXPECT_EQ(simulator.Control("gaps a"),
              "OK\nstores = 1\nplaten-gap = 03\nm=10 c=12 v=8\nm=10 c=13 v=9\nm=10 c=14 v=10\n"
              "m=10 c=15 v=11\nm=10 c=16 v=12\n");

    std::string all = simulator.Control("journal list");
    EXPECT_NE(all.find("000001 2024-01-01T00:00:00.000Z a queue=Q-a \"ARSU Command\" 76 bytes: "
                       "head-gap store -> stored head-gap values: platen gap 03; m=10 c=12 v=8; "
                       "m=10 c=13 v=9; m=10 c=14 v=10; m=10 c=15 v=11; m=10 c=16 v=12\n"),
              std::string::npos);
    EXPECT_NE(all.find("000002"), std::string::npos);
    EXPECT_EQ(simulator.Control("journal list b").find("000001"), std::string::npos);
    EXPECT_EQ(simulator.Control("journal show 2"), "OK\n" + world.Journal("000002-b.txt"));
    EXPECT_EQ(simulator.Control("journal show 9"), "ERROR no entry 9\n");
    EXPECT_EQ(simulator.Control("journal show x").rfind("ERROR", 0), 0u);
}

}  // namespace
