#include "sim/printer/server.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tests/sim/blocks.h"
#include "tests/sim/world.h"

namespace {

using namespace simtest;

int Connect(const World& world, std::string_view greeting) {
    int fd = simwire::ConnectLoopback(world.server->address(), 2000);
    EXPECT_GE(fd, 0);
    std::string line = std::string(greeting) + "\n";
    simwire::WriteAll(fd, line.data(), line.size());
    return fd;
}

std::string ReadLine(int fd) {
    std::string line;
    return simwire::ReadLine(fd, line, 1000, 5000) == simwire::IoResult::kOk ? line : "<none>";
}

// Sends a job as the CUPS backend does; returns the connection for reading the answers.
int SendJob(const World& world, const std::string& headers, const Bytes& job,
            bool withLength = true) {
    int fd = Connect(world, simwire::kJobGreeting);
    std::string head =
        headers + (withLength ? "length: " + std::to_string(job.size()) + "\n" : "") + "\n";
    simwire::WriteAll(fd, head.data(), head.size());
    simwire::WriteAll(fd, job.data(), job.size());
    if (!withLength) {
        shutdown(fd, SHUT_WR);
    }
    return fd;
}

// An address reads back as it is written: IPv6 hosts only in brackets, no bracket inside them.
TEST(Wire, EndpointsReadAsTheyAreWritten) {
    const auto v6 = simwire::ParseEndpoint("[::1]:4711");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host, "::1");
    EXPECT_EQ(simwire::FormatEndpoint(*v6), "[::1]:4711");
    EXPECT_EQ(simwire::ParseEndpoint("localhost:0")->host, "localhost");
    for (const char* bad : {"::1:4711", "127:0.0.1:471[::1]:1", "[]:4711", "[a[b]:1"}) {
        EXPECT_FALSE(simwire::ParseEndpoint(bad)) << bad;
    }
    EXPECT_FALSE(simwire::ParseDeviceUri("plenwise://127:0.0.1:471[::1]:1/W"));
}

TEST(Intake, AJobIsReceivedFiledAndPrinted) {
    World world("[printer wl4000]\n", true);
    Bytes job = HeadGapStore253({1, 2, 3, 4, 5});
    int fd = SendJob(
        world, "printer: wl4000\nqueue: WL4000\ntitle: ARSU Command\nuser: bob\njob-id: 3\n", job);
    EXPECT_EQ(ReadLine(fd), "RECEIVED 000001");
    EXPECT_EQ(ReadLine(fd), "DONE 000001");
    close(fd);
    std::string record = world.Journal("000001-wl4000.txt");
    for (const char* line : {"queue: WL4000\n", "title: ARSU Command\n", "user: bob\n",
                             "cups-job: 3\n", "  DA m=10 c=12 v=1\n", "state: done\n"}) {
        EXPECT_NE(record.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(world.Journal("000001-wl4000.bin"), AsString(job));
    EXPECT_EQ((world.simulator->Find("wl4000")->HeadGaps().values[{0x10, 0x12}]), 1);
}

TEST(Intake, WithoutALengthTheJobEndsAtTheSendersShutdown) {
    World world("[printer p]\n", true);
    int fd = SendJob(world, "printer: p\ntitle: a\001b\n", PowerCleaning(), false);
    EXPECT_EQ(ReadLine(fd), "RECEIVED 000001");
    EXPECT_EQ(ReadLine(fd), "DONE 000001");
    close(fd);
    EXPECT_NE(world.Journal("000001-p.txt").find("title: a b\nuser: \n"), std::string::npos);
    EXPECT_NE(world.Journal("000001-p.txt").find("bytes: 25\n"), std::string::npos);
}

TEST(Intake, TheAnswerWaitsForThePrintTime) {
    World world("[printer p]\nprint-ms = 3000\n", true);
    int fd = SendJob(world, "printer: p\n", PowerCleaning());
    EXPECT_EQ(ReadLine(fd), "RECEIVED 000001");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return world.clock.Waiters() == 1; }));
    EXPECT_EQ(simwire::WaitReadable(fd, 0), simwire::IoResult::kTimeout);
    world.clock.Advance(3000);
    EXPECT_EQ(ReadLine(fd), "DONE 000001");
    close(fd);
}

TEST(Intake, BadRequestsAreAnsweredWithErrors) {
    World world("[printer p]\n", true);
    int fd = SendJob(world, "printer: nobody\n", PowerCleaning());
    EXPECT_EQ(ReadLine(fd), "ERROR no printer 'nobody' in this simulator");
    close(fd);

    fd = SendJob(world, "printer: p\nlength: 12x\n", {});
    EXPECT_EQ(ReadLine(fd), "ERROR length must be a number of bytes");
    close(fd);

    // Fewer bytes than announced, then the sender hangs up.
    fd = Connect(world, simwire::kJobGreeting);
    std::string head = "printer: p\nlength: 100\n\nabc";
    simwire::WriteAll(fd, head.data(), head.size());
    shutdown(fd, SHUT_WR);
    EXPECT_EQ(ReadLine(fd), "ERROR job shorter than its length");
    close(fd);

    fd = Connect(world, "HELLO");
    EXPECT_EQ(ReadLine(fd).rfind("ERROR unknown greeting", 0), 0u);
    close(fd);
    EXPECT_TRUE(world.simulator->journal().Entries().empty());
}

TEST(Intake, StopEndsAJobStillPrinting) {
    World world("[printer p]\nprint-ms = 100000\n", true);
    int fd = SendJob(world, "printer: p\n", PowerCleaning());
    EXPECT_EQ(ReadLine(fd), "RECEIVED 000001");
    world.server->Stop();
    // Whether the last words get out before the connection is cut is a race; DONE never comes.
    std::string last = ReadLine(fd);
    EXPECT_TRUE(last == "<none>" ||
                last == "ERROR the simulator stopped while the job was printing")
        << last;
    close(fd);
    EXPECT_NE(world.Journal("000001-p.txt").find("state: stopped\n"), std::string::npos);
}

TEST(ControlTool, TalksToARunningSimulator) {
    World world("[printer a]\n", true);
    const char* out = getenv("PLENWISE_OUT");
    ASSERT_NE(out, nullptr) << "PLENWISE_OUT names the build's output folder";
    auto run = [&](const std::string& command, int& status) {
        std::string line = std::string(out) + "/plenwise-printer-sim ctl --address " +
                           world.Address() + " " + command + " 2>&1";
        FILE* pipe = popen(line.c_str(), "r");
        std::string output;
        char chunk[256];
        while (pipe && fgets(chunk, sizeof chunk, pipe)) {
            output += chunk;
        }
        status = pipe ? pclose(pipe) : -1;
        return output;
    };
    int status = -1;
    EXPECT_EQ(run("set a firmware BN0300", status), "");
    EXPECT_EQ(status, 0);
    EXPECT_NE(run("show a", status).find("firmware = BN0300\n"), std::string::npos);
    EXPECT_EQ(run("list", status), "a  \"ARVEN WL-4000\"  status 04  firmware BN0300\n");
    EXPECT_EQ(run("set a status 9", status).rfind("ERROR status must be", 0), 0u);
    EXPECT_NE(status, 0);
}

TEST(SnmpAgent, AnswersNetSnmpsGetNext) {
    World world("[printer a]\nfirmware = BA0203\n[printer quiet]\nsnmp-port = off\n", true);
    ASSERT_EQ(access("/usr/bin/snmpgetnext", X_OK), 0)
        << "snmpgetnext (Debian package snmp) is needed for this test";
    auto port = world.server->SnmpPort("a");
    ASSERT_TRUE(port);
    EXPECT_FALSE(world.server->SnmpPort("quiet"));
    // net-snmp's own state and configuration stay in the test's folder.
    std::string command =
        "MIBS= SNMP_PERSISTENT_DIR=" + world.dir.path() + " SNMPCONFPATH=" + world.dir.path() +
        " /usr/bin/snmpgetnext -v1 -c vetrik -On -r 2 -t 2 127.0.0.1:" + std::to_string(*port) +
        " .1.3.6.1.4.1.1571.1.2.2.2.1.1.2 2>" + world.dir.path() + "/snmp-errors";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[256];
    while (fgets(chunk, sizeof chunk, pipe)) {
        output += chunk;
    }
    EXPECT_EQ(pclose(pipe), 0) << ReadFile(world.dir.path() + "/snmp-errors");
    EXPECT_EQ(output, ".1.3.6.1.4.1.1571.1.2.2.2.1.1.2.1.1 = STRING: \"BA0203\"\n");
    EXPECT_NE(world.Journal("queries.log").find(" a snmp (udp) "), std::string::npos);
}

}  // namespace
