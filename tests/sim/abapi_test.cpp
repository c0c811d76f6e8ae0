// ABAPI.so as the program loads it: dlopen of the built file, the twelve entry points by name,
// against an in-process simulator reached through PLENWISE_ABAPI_ADDRESS.
#include "sim/abapi/abapi.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <future>

#include "tests/sim/blocks.h"
#include "tests/sim/world.h"

namespace {

using namespace simtest;

struct Abapi {
    void* module = nullptr;
    decltype(&ABInitialize) initialize = nullptr;
    decltype(&ABRelease) release = nullptr;
    decltype(&ABGetDeviceID) getDeviceId = nullptr;
    decltype(&ABGetAvailableChannel) getAvailableChannel = nullptr;
    decltype(&ABOpenChannel) openChannel = nullptr;
    decltype(&ABCloseChannel) closeChannel = nullptr;
    decltype(&ABSetOption) setOption = nullptr;
    decltype(&ABGetOption) getOption = nullptr;
    decltype(&ABReceiveCancel) receiveCancel = nullptr;
    decltype(&ABGetStatus) getStatus = nullptr;
    decltype(&ABSend) send = nullptr;
    decltype(&ABReceive) receive = nullptr;
};

template <typename F>
void Resolve(void* module, const char* name, F& slot) {
    slot = reinterpret_cast<F>(dlsym(module, name));
    EXPECT_NE(slot, nullptr) << name;
}

const Abapi& Library() {
    static const Abapi library = [] {
        Abapi loaded;
        const char* out = getenv("PLENWISE_OUT");
        std::string path = std::string(out ? out : ".") + "/ABAPI.so";
        loaded.module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(loaded.module, nullptr) << dlerror();
        if (loaded.module) {
            Resolve(loaded.module, "ABInitialize", loaded.initialize);
            Resolve(loaded.module, "ABRelease", loaded.release);
            Resolve(loaded.module, "ABGetDeviceID", loaded.getDeviceId);
            Resolve(loaded.module, "ABGetAvailableChannel", loaded.getAvailableChannel);
            Resolve(loaded.module, "ABOpenChannel", loaded.openChannel);
            Resolve(loaded.module, "ABCloseChannel", loaded.closeChannel);
            Resolve(loaded.module, "ABSetOption", loaded.setOption);
            Resolve(loaded.module, "ABGetOption", loaded.getOption);
            Resolve(loaded.module, "ABReceiveCancel", loaded.receiveCancel);
            Resolve(loaded.module, "ABGetStatus", loaded.getStatus);
            Resolve(loaded.module, "ABSend", loaded.send);
            Resolve(loaded.module, "ABReceive", loaded.receive);
        }
        return loaded;
    }();
    return library;
}

const char* kPrinters =
    "[printer ready]\n"
    "description = ARVEN WL-4000\n"
    "firmware = BN0102\n"
    "readiness = 02,04\n"
    "paper-width = 15840, none\n"
    "channels = 0x10010003:1, 4:1, 0x10000005:0\n"
    "[printer broken]\n"
    "description = ARVEN WL-4000\n"
    "faults = device-id-no-semicolon, status-no-st, status-no-ink, paper-width-silent, "
    "snmp-short\n"
    "[printer nochannels]\n"
    "channels =\n";

class AbapiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(ab.module, nullptr);
        ASSERT_TRUE(world.server);
        setenv("PLENWISE_ABAPI_ADDRESS", world.Address().c_str(), 1);
        ASSERT_EQ(ab.initialize(), 0);
    }
    void TearDown() override {
        EXPECT_EQ(ab.release(), 0);
        unsetenv("PLENWISE_ABAPI_ADDRESS");
    }

    std::string DeviceId(const char* printer) {
        char buffer[256] = {};
        int32_t size = 256;
        int32_t result = ab.getDeviceId(1, printer, buffer, &size);
        return result < 0 ? "<" + std::to_string(result) + ">" : buffer;
    }
    std::string Status(int32_t handle) {
        char buffer[256] = {};
        int32_t size = 256;
        int32_t result = ab.getStatus(handle, buffer, &size);
        return result < 0 ? "<" + std::to_string(result) + ">" : buffer;
    }
    // Sends a request on an open channel and takes one reply of up to 256 bytes.
    Bytes Exchange(int32_t handle, const Bytes& request, int32_t timeoutMs = 3000) {
        EXPECT_EQ(ab.send(handle, request.data(), static_cast<int32_t>(request.size())),
                  static_cast<int32_t>(request.size()));
        uint8_t buffer[256] = {};
        int32_t size = 256;
        int32_t n = ab.receive(handle, buffer, &size, timeoutMs);
        EXPECT_GE(n, 0);
        EXPECT_EQ(n, size);
        return Bytes(buffer, buffer + std::max(n, 0));
    }

    const Abapi& ab = Library();
    World world{kPrinters, true};
};

TEST_F(AbapiTest, ChannelSizeQueryAndList) {
    int32_t size = 0;
    EXPECT_EQ(ab.getAvailableChannel(1, "ready", nullptr, &size), -4);
    EXPECT_EQ(size, 24);

    uint8_t entries[25] = {};
    entries[24] = 0xEE;
    EXPECT_EQ(ab.getAvailableChannel(1, "ready", entries, &size), 3);
    EXPECT_EQ(size, 24);
    auto u32 = [&](size_t at) {
        uint32_t value = 0;
        std::memcpy(&value, entries + at, 4);
        return value;
    };
    EXPECT_EQ(u32(0), 0x10010003u);
    EXPECT_EQ(u32(4), 1u);
    EXPECT_EQ(u32(8), 4u);
    EXPECT_EQ(u32(12), 1u);
    EXPECT_EQ(u32(16), 0x10000005u);
    EXPECT_EQ(u32(20), 0u);
    EXPECT_EQ(entries[24], 0xEE);

    // A buffer too small for the list is a size query again.
    size = 8;
    EXPECT_EQ(ab.getAvailableChannel(1, "ready", entries, &size), -4);
    EXPECT_EQ(size, 24);

    // No channels: the size query does not answer -4.
    size = 0;
    EXPECT_EQ(ab.getAvailableChannel(1, "nochannels", nullptr, &size), 0);
    EXPECT_LT(ab.getAvailableChannel(1, "nobody", nullptr, &size), 0);
    EXPECT_LT(ab.getAvailableChannel(2, "ready", nullptr, &size), 0);
}

TEST_F(AbapiTest, OpensOnlyUsableListedChannels) {
    int32_t control = ab.openChannel(1, "ready", 0x10010003u);
    int32_t snmp = ab.openChannel(1, "ready", 4);
    EXPECT_GT(control, 0);
    EXPECT_GT(snmp, 0);
    EXPECT_NE(control, snmp);
    EXPECT_LE(ab.openChannel(1, "ready", 0x10000005u), 0);  // listed, flag bit 0 clear
    EXPECT_LE(ab.openChannel(1, "ready", 0x02000001u), 0);  // not listed
    EXPECT_LE(ab.openChannel(1, "nobody", 4), 0);
    EXPECT_LE(ab.openChannel(1, "nochannels", 4), 0);
    EXPECT_LE(ab.openChannel(1, nullptr, 4), 0);
    EXPECT_EQ(ab.closeChannel(control), 0);
    EXPECT_EQ(ab.closeChannel(snmp), 0);
    EXPECT_LT(ab.closeChannel(snmp), 0);
    uint8_t byte = 0;
    EXPECT_LT(ab.send(snmp, &byte, 1), 0);
}

TEST_F(AbapiTest, DeviceIdAndStatus) {
    EXPECT_NE(DeviceId("ready").find("DES:ARVEN WL-4000;"), std::string::npos);
    std::string broken = DeviceId("broken");
    ASSERT_NE(broken.find("DES:"), std::string::npos);
    EXPECT_EQ(broken.substr(broken.find("DES:")), "DES:ARVEN WL-4000");
    EXPECT_LT(ab.getDeviceId(1, "nobody", nullptr, nullptr), 0);
    EXPECT_EQ(DeviceId("nobody"), "<-6>");

    int32_t handle = ab.openChannel(1, "ready", 0x10010003u);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(Status(handle), "ST:02;INK:1101,3202,4304,5408,6210,7320;");
    EXPECT_EQ(Status(handle), "ST:04;INK:1101,3202,4304,5408,6210,7320;");
    ab.closeChannel(handle);

    handle = ab.openChannel(1, "broken", 4);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(Status(handle), "");
    ab.closeChannel(handle);
    EXPECT_EQ(Status(handle), "<-2>");
}

TEST_F(AbapiTest, TextIsCutToTheCallersBuffer) {
    std::string longId(400, 'x');
    ASSERT_EQ(world.simulator->Find("ready")->Set("device-id", longId), "");
    char buffer[300];
    std::memset(buffer, 0x7F, sizeof buffer);
    int32_t size = 256;
    EXPECT_EQ(ab.getDeviceId(1, "ready", buffer, &size), 0);
    EXPECT_EQ(size, 255);
    EXPECT_EQ(std::string(buffer), std::string(255, 'x'));
    EXPECT_TRUE(std::all_of(buffer + 256, buffer + 300, [](char c) { return c == 0x7F; }));

    size = 1;
    EXPECT_EQ(ab.getDeviceId(1, "ready", buffer, &size), 0);
    EXPECT_EQ(buffer[0], '\0');
    size = 0;
    EXPECT_LT(ab.getDeviceId(1, "ready", buffer, &size), 0);
}

TEST_F(AbapiTest, ControlChannelQueries) {
    int32_t handle = ab.openChannel(1, "ready", 0x10010003u);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(Exchange(handle, {0x56, 0x49, 0x02, 0x00, 0x01, 0x00}), Text("VI:00BN0102;"));
    EXPECT_EQ(Exchange(handle, {0x50, 0x57, 0x03, 0x00, 0x01, 0x02, 0x00}), Text("PW:00003DE0;"));
    // The second width is never answered: the receive times out with nothing.
    EXPECT_EQ(Exchange(handle, {0x50, 0x57, 0x03, 0x00, 0x01, 0x03, 0x00}, 50), Bytes{});

    // A reply larger than the buffer comes in pieces.
    Bytes request = {0x56, 0x49, 0x02, 0x00, 0x01, 0x00};
    ASSERT_EQ(ab.send(handle, request.data(), 6), 6);
    uint8_t piece[8] = {};
    int32_t size = 5;
    EXPECT_EQ(ab.receive(handle, piece, &size, 3000), 5);
    EXPECT_EQ(std::string(piece, piece + 5), "VI:00");
    size = 8;
    EXPECT_EQ(ab.receive(handle, piece, &size, 0), 7);
    EXPECT_EQ(std::string(piece, piece + 7), "BN0102;");
    ab.closeChannel(handle);

    handle = ab.openChannel(1, "broken", 0x10010003u);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(Exchange(handle, {0x50, 0x57, 0x03, 0x00, 0x01, 0x02, 0x00}, 50), Bytes{});
    ab.closeChannel(handle);
}

TEST_F(AbapiTest, SnmpOnChannelFour) {
    int32_t handle = ab.openChannel(1, "ready", 4);
    ASSERT_GT(handle, 0);
    Bytes reply = Exchange(handle, SnmpFirmwareRequest());
    ASSERT_GT(reply.size(), 14u);
    Bytes oid = FirmwareOid();
    auto at = std::search(reply.begin(), reply.end(), oid.begin(), oid.end());
    ASSERT_NE(at, reply.end());
    ASSERT_GE(reply.end() - at, 24);
    EXPECT_EQ(std::string(at + 18, at + 24), "BN0102");
    ab.closeChannel(handle);

    handle = ab.openChannel(1, "broken", 4);
    ASSERT_GT(handle, 0);
    reply = Exchange(handle, SnmpFirmwareRequest());
    EXPECT_GT(reply.size(), 0u);
    EXPECT_LE(reply.size(), 14u);
    ab.closeChannel(handle);
}

TEST_F(AbapiTest, ReceiveCancelEndsAWaitingReceive) {
    int32_t handle = ab.openChannel(1, "ready", 0x10010003u);
    ASSERT_GT(handle, 0);
    auto waiting = std::async(std::launch::async, [&] {
        uint8_t buffer[16];
        int32_t size = 16;
        return ab.receive(handle, buffer, &size, 60000);
    });
    // Only a cancel that arrives during the wait counts, so keep cancelling until it ends.
    bool ended = testsupport::WaitUntil([&] {
        ab.receiveCancel(handle);
        return waiting.wait_for(std::chrono::milliseconds(1)) == std::future_status::ready;
    });
    ASSERT_TRUE(ended);
    EXPECT_EQ(waiting.get(), 0);
    EXPECT_LT(ab.receiveCancel(9999), 0);
    ab.closeChannel(handle);
}

TEST_F(AbapiTest, OptionsDoNothing) {
    int32_t value = 42;
    EXPECT_LT(ab.setOption(1, 1, 1), 0);
    EXPECT_LT(ab.getOption(1, 1, &value), 0);
    EXPECT_EQ(value, 42);
}

TEST_F(AbapiTest, ReleaseClosesChannelsAndCallsNeedInitialize) {
    int32_t handle = ab.openChannel(1, "ready", 4);
    ASSERT_GT(handle, 0);
    ASSERT_EQ(ab.release(), 0);
    EXPECT_EQ(Status(handle), "<-2>");
    char buffer[256];
    int32_t size = 256;
    EXPECT_EQ(ab.getDeviceId(1, "ready", buffer, &size), -3);
    EXPECT_LE(ab.openChannel(1, "ready", 4), 0);
    EXPECT_EQ(ab.release(), -3);
    ASSERT_EQ(ab.initialize(), 0);
    EXPECT_EQ(Status(handle), "<-2>");  // the old handle stays closed
}

TEST_F(AbapiTest, UnreachableSimulatorFails) {
    world.server->Stop();
    char buffer[256];
    int32_t size = 256;
    EXPECT_LT(ab.getDeviceId(1, "ready", buffer, &size), 0);
    EXPECT_LE(ab.openChannel(1, "ready", 4), 0);
}

}  // namespace
