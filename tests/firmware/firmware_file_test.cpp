// Firmware versions, files and the transfer job, against the in-memory spooler.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "common/raw_job.h"
#include "fwload/firmware_file.h"
#include "tests/support/memory_spooler.h"
#include "tests/support/scratch.h"

namespace {

using Step = spooler::MemorySpooler::Step;
using testsupport::ScratchDir;

FirmwareVersion Version(const std::string& text) {
    FirmwareVersion version{};
    std::memcpy(version.data(), text.data(), std::min(text.size(), version.size()));
    return version;
}

// A firmware file: 16 bytes of header, the version, then `rest` bytes of body.
std::string FirmwareFile(const std::string& version, size_t rest) {
    std::string bytes(16, '\x7F');
    bytes += version;
    for (size_t i = 0; i < rest; ++i) {
        bytes += static_cast<char>(i * 7);
    }
    return bytes;
}

TEST(FirmwareVersionTest, ModelClassComesFromTheLetterAfterB) {
    EXPECT_EQ(FirmwareModelClass(Version("BN0105")), 1);
    EXPECT_EQ(FirmwareModelClass(Version("bv0105")), 1);
    EXPECT_EQ(FirmwareModelClass(Version("BA0210")), 2);
    EXPECT_EQ(FirmwareModelClass(Version("Be0210")), 2);
    EXPECT_EQ(FirmwareModelClass(Version("BW0110")), 2);
    EXPECT_EQ(FirmwareModelClass(Version("BZ0110")), 2);
    for (const char* none : {"BF0101", "BM0101", "XN0105", "N01050", "", "B"}) {
        EXPECT_EQ(FirmwareModelClass(Version(none)), 0) << none;
    }
}

TEST(FirmwareVersionTest, NumberReadsTheHighByteFirst) {
    EXPECT_EQ(FirmwareNumber(Version("BN0102")), 0x0201u);
    EXPECT_EQ(FirmwareNumber(Version("BN0002")), 0x0200u);
    EXPECT_EQ(FirmwareNumber(Version("BNfF1a")), 0x1AFFu);
    // Reading stops at the first character that is no hexadecimal digit.
    EXPECT_EQ(FirmwareNumber(Version("BN01G2")), 0u);
    EXPECT_EQ(FirmwareNumber(Version("BN0g12")), 0x120u);
    EXPECT_EQ(FirmwareNumber(Version("BN01")), 0u);
}

TEST(FirmwareVersionTest, FitNeedsTheSameClassAndNoOlderNumber) {
    EXPECT_EQ(CheckFirmwareFit(Version("BN0102"), Version("BN0002"), 0), FirmwareFit::Older);
    EXPECT_EQ(CheckFirmwareFit(Version("BN0102"), Version("BN0102"), 0), FirmwareFit::Fits);
    EXPECT_EQ(CheckFirmwareFit(Version("BN0102"), Version("BP0202"), 0), FirmwareFit::Fits);
    EXPECT_EQ(CheckFirmwareFit(Version("BN0102"), Version("BA0302"), 0), FirmwareFit::OtherModel);
    // The class is checked before the number.
    EXPECT_EQ(CheckFirmwareFit(Version("BN0502"), Version("BA0102"), 0), FirmwareFit::OtherModel);
    // Letters of no class pass the check as two zeros; so does a printer that gave no version
    // with a file that has none.
    EXPECT_EQ(CheckFirmwareFit(Version("BF0101"), Version("BF0101"), 0), FirmwareFit::Fits);
    EXPECT_EQ(CheckFirmwareFit(Version(""), Version(""), 0), FirmwareFit::Fits);
    EXPECT_EQ(CheckFirmwareFit(Version(""), Version("BN0105"), 0), FirmwareFit::OtherModel);
    // The size is checked first, up to the last byte the transfer takes.
    EXPECT_EQ(CheckFirmwareFit(Version("BN0102"), Version("BN0102"), kLargestFirmwareFile),
              FirmwareFit::Fits);
    EXPECT_EQ(CheckFirmwareFit(Version("BN0102"), Version("BA0102"), kLargestFirmwareFile + 1),
              FirmwareFit::TooLarge);
}

TEST(FirmwareFileTest, VersionIsReadAtOffsetSixteen) {
    ScratchDir dir;
    FirmwareVersion version = Version("BN0101");
    ASSERT_TRUE(ReadFileVersion(dir.Write("new.upg", FirmwareFile("BN0106", 500)), version));
    EXPECT_EQ(FirmwareVersionText(version), "BN0106");
    // Exactly 22 bytes hold a version; 21 do not, and clear the field.
    ASSERT_TRUE(ReadFileVersion(dir.Write("22.upg", FirmwareFile("BA0201", 0)), version));
    EXPECT_EQ(FirmwareVersionText(version), "BA0201");
    ASSERT_TRUE(ReadFileVersion(dir.Write("21.upg", FirmwareFile("BA020", 0)), version));
    EXPECT_EQ(version, FirmwareVersion{});
    EXPECT_EQ(FirmwareModelClass(version), 0);
}

TEST(FirmwareFileTest, FilesThatCannotBeReadLeaveTheVersionAlone) {
    ScratchDir dir;
    const FirmwareVersion before = Version("BN0101");
    FirmwareVersion version = before;
    EXPECT_FALSE(ReadFileVersion("", version));
    EXPECT_FALSE(ReadFileVersion(dir / "missing.upg", version));
    EXPECT_FALSE(ReadFileVersion(dir.Path().string(), version));
    // A FIFO named as the file must not hold the page up.
    const std::string fifo = dir / "fifo.upg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadFileVersion(fifo, version));
    EXPECT_EQ(version, before);
}

TEST(FirmwareFileTest, ModelHeaderFollowsThePrintersLetter) {
    const auto class1 = FirmwareModelHeader(Version("Bn0105"));
    ASSERT_TRUE(class1);
    EXPECT_EQ((*class1)[5], 0x23);
    const auto class2 = FirmwareModelHeader(Version("BY0105"));
    ASSERT_TRUE(class2);
    EXPECT_EQ((*class2)[5], 0x39);
    EXPECT_FALSE(FirmwareModelHeader(Version("BK0105")));
    // Only the letter counts, as the transfer looks at nothing else.
    EXPECT_TRUE(FirmwareModelHeader(Version("XN0105")));
}

class FirmwareJobTest : public ::testing::Test {
  protected:
    FirmwareJobTest() {
        auto owned = std::make_unique<spooler::MemorySpooler>();
        spooler_ = owned.get();
        spooler::Install(std::move(owned));
        spooler_->AddQueue("WL4000", "ARVEN WL-4000", "");
    }
    ~FirmwareJobTest() override { spooler::Install(nullptr); }

    spooler::MemorySpooler* spooler_ = nullptr;
    ScratchDir dir_;
};

// Reads the file into a job and sends it to the printer of that version.
std::optional<bool> SendFile(const std::string& path, const FirmwareVersion& printerVersion) {
    FirmwareJob job;
    job.ReadFile(path);
    return job.Send("WL4000", printerVersion);
}

TEST_F(FirmwareJobTest, AOneMegabyteFileGoesWholeBehindTheLeadInAndHeader) {
    const std::string file = FirmwareFile("BN0106", 1024 * 1024 - 22);
    FirmwareJob firmware;
    ASSERT_EQ(firmware.ReadFile(dir_.Write("big.upg", file)), FirmwareJob::Read::Whole);
    EXPECT_EQ(FirmwareVersionText(firmware.Version()), "BN0106");
    EXPECT_EQ(firmware.FileSize(), file.size());
    // The bytes went into the job when read: a file replaced since changes nothing.
    dir_.Write("big.upg", FirmwareFile("BA0300", 10));
    ASSERT_EQ(firmware.Send("WL4000", Version("BN0105")), true);

    ASSERT_EQ(spooler_->Documents().size(), 1u);
    const auto& job = spooler_->Documents()[0];
    EXPECT_EQ(job.name, kRawJobDocument);
    EXPECT_TRUE(job.ended);
    ASSERT_EQ(job.bytes.size(), 1024u * 1024 + 16394);
    EXPECT_EQ(job.bytes.find_first_not_of('\x11'), 16384u);
    EXPECT_EQ(job.bytes.substr(16384, 10),
              std::string("\x1B\x7D\x01\x05\x00\x23\x03\x70\x8F\x38", 10));
    EXPECT_EQ(job.bytes.substr(16394), file);
    // One write carries the whole job.
    EXPECT_EQ(std::count(spooler_->Calls().begin(), spooler_->Calls().end(), "WritePrinter WL4000"),
              1);
}

TEST_F(FirmwareJobTest, APrinterOfTheSecondClassGetsItsHeader) {
    ASSERT_EQ(SendFile(dir_.Write("f.upg", FirmwareFile("BA0202", 3)), Version("ba0201")), true);
    ASSERT_EQ(spooler_->Documents().size(), 1u);
    EXPECT_EQ(spooler_->Documents()[0].bytes.substr(16384, 10),
              std::string("\x1B\x7D\x01\x05\x00\x39\x03\x70\x8F\x38", 10));
}

TEST_F(FirmwareJobTest, FilesNotReadWholeAreTold) {
    FirmwareJob job;
    EXPECT_EQ(job.ReadFile((dir_ / "missing.upg")), FirmwareJob::Read::Unreadable);
    EXPECT_EQ(job.ReadFile(dir_.Path().string()), FirmwareJob::Read::Unreadable);
    // Too large: not read, but its version and size are known for the message.
    const std::string large = dir_.Write("large.upg", FirmwareFile("BN0107", 10));
    std::filesystem::resize_file(large, kLargestFirmwareFile + 1);
    EXPECT_EQ(job.ReadFile(large), FirmwareJob::Read::TooLarge);
    EXPECT_EQ(FirmwareVersionText(job.Version()), "BN0107");
    EXPECT_EQ(job.FileSize(), kLargestFirmwareFile + 1);
    // Nothing reaches the printer of a job not read whole.
    EXPECT_EQ(job.Send("WL4000", Version("BN0105")), false);
    EXPECT_EQ(spooler_->Documents().at(0).bytes, "");
}

TEST_F(FirmwareJobTest, WithoutHeaderOrFileTheJobIsEndedEmpty) {
    const std::string file = dir_.Write("f.upg", FirmwareFile("BF0102", 10));
    EXPECT_EQ(SendFile(file, Version("BF0101")), false);
    EXPECT_EQ(SendFile(dir_ / "missing.upg", Version("BN0101")), false);
    ASSERT_EQ(spooler_->Documents().size(), 2u);
    for (const auto& job : spooler_->Documents()) {
        EXPECT_TRUE(job.ended);
        EXPECT_EQ(job.bytes, "");
    }
    EXPECT_EQ(spooler_->OpenHandles(), 0u);
}

TEST_F(FirmwareJobTest, AFailedWriteStartOrEndIsAFailure) {
    const std::string file = dir_.Write("f.upg", FirmwareFile("BN0106", 10));
    spooler_->Fail(Step::kWrite, 0, 1);
    EXPECT_EQ(SendFile(file, Version("BN0105")), false);
    // The queue took every byte but the job was never committed: it never reached the queue.
    spooler_->Fail(Step::kEndDoc, 0, 1);
    EXPECT_EQ(SendFile(file, Version("BN0105")), std::nullopt);
    EXPECT_TRUE(spooler_->Documents().back().cancelled);
    spooler_->Fail(Step::kStartDoc, 0, 1);
    EXPECT_EQ(SendFile(file, Version("BN0105")), std::nullopt);
    EXPECT_EQ(SendFile(file, Version("BN0105")), true);
    EXPECT_EQ(spooler_->OpenHandles(), 0u);
}

}  // namespace
