// The service log: its lines, its file shared by processes that write at once, and its times.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "common/service_log.h"
#include "tests/support/faulty_file_calls.h"
#include "tests/support/scratch.h"

namespace {

using testsupport::ScopedEnvironment;
using testsupport::ScratchDir;

ServiceRecord Record(const std::string& queue, const std::string& result) {
    return {"2024-05-02T14:03:11+02:00", queue, "ARVEN WL-4000", kActionPowerCleaning, {}, result};
}

TEST(ServiceLogLineTest, ARecordComesBackFromItsLineWhateverItsTextsHold) {
    const ServiceRecord record{"2024-05-02T14:03:11+02:00",
                               "Queue \"A\"\\B",
                               "tab\there, line\nfeed, bell\x07, delete\x7F",
                               kActionSettingExport,
                               {{"name", "Glanz \xC3\xA9t\xC3\xA9"}, {"file", "/tmp/a b/\x01.ASU"}},
                               kResultDone};
    const std::string line = ServiceRecordLine(record);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line.find('\x07'), std::string::npos);
    EXPECT_EQ(line.find('\x7F'), std::string::npos);
    EXPECT_NE(line.find(R"("queue":"Queue \"A\"\\B")"), std::string::npos) << line;
    EXPECT_NE(line.find(R"(bell\u0007, delete\u007f")"), std::string::npos) << line;
    const std::optional<ServiceRecord> back = ParseServiceRecord(line);
    ASSERT_TRUE(back.has_value()) << line;
    EXPECT_EQ(*back, record);
}

TEST(ServiceLogLineTest, BytesThatAreNotUtf8StandEscapedInTheLineAndComeBack) {
    // A lone continuation byte, a cut sequence, an overlong form, a surrogate, a code point past
    // U+10FFFF; beside them a literal "\x41" and backslashes that must not read as escapes.
    const std::string queue = "Q\x80\xff-\xe2\x82-\xc0\xaf-\xed\xa0\x80-\xf4\x90\x80\x80";
    const ServiceRecord record{"t",
                               queue,
                               "lit \\x41 \\\\ end\\",
                               kActionPowerCleaning,
                               {{"file", "/tmp/\xe9t\xe9.upg"}},
                               kResultSent};
    const std::string line = ServiceRecordLine(record);
    EXPECT_NE(line.find(R"("queue":"Q\\x80\\xff-\\xe2\\x82-\\xc0\\xaf-\\xed\\xa0\\x80-)"),
              std::string::npos)
        << line;
    EXPECT_NE(line.find(R"("driver":"lit \\\\x41 \\\\\\ end\\")"), std::string::npos) << line;
    EXPECT_NE(line.find(R"("file":"/tmp/\\xe9t\\xe9.upg")"), std::string::npos) << line;
    for (char c : line) {
        EXPECT_LT(static_cast<unsigned char>(c), 0x80) << line;
    }
    EXPECT_EQ(ParseServiceRecord(line), record);
    // Valid UTF-8 stays as it is, and a backslash before anything else stays single.
    EXPECT_NE(ServiceRecordLine({"t", "\xc3\xa9\\B", "d", "a", {}, "r"}).find("\"\xc3\xa9\\\\B\""),
              std::string::npos);
}

TEST(ServiceLogLineTest, OnlyWholeRecordsOfStringsParse) {
    const std::string good =
        R"({"time":"t","queue":"q","driver":"d","action":"a","details":{"k":"v"},"result":"r"})";
    ASSERT_TRUE(ParseServiceRecord(good).has_value());
    // The print server is kept when named and may be missing (records of before it was kept),
    // but must be a string.
    EXPECT_EQ(ParseServiceRecord(good)->server, "");
    ServiceRecord named = *ParseServiceRecord(good);
    named.server = "printhost:631";
    const std::string namedLine = ServiceRecordLine(named);
    EXPECT_TRUE(namedLine.ends_with(R"("result":"r","server":"printhost:631"})")) << namedLine;
    EXPECT_EQ(ParseServiceRecord(namedLine), named);
    for (
        const std::string& bad : {
            std::string(R"({"time":"t","queue":"q","driver":"d","action":"a","details":{}})"),
            std::string(R"({"time":"t","queue":"q","driver":"d","action":"a","result":"r"})"),
            std::string(
                R"({"time":1,"queue":"q","driver":"d","action":"a","details":{},"result":"r"})"),
            std::string(
                R"({"time":"t","queue":"q","driver":"d","action":"a","details":{"k":2},"result":"r"})"),
            std::string(
                R"({"time":"t","queue":"q","driver":"d","action":"a","details":"x","result":"r"})"),
            good.substr(0, good.size() - 1) + R"(,"server":631})",
            good + "x",
            good.substr(0, good.size() - 1),
            good.substr(0, 40),
            std::string(
                R"({"time":"\q","queue":"q","driver":"d","action":"a","details":{},"result":"r"})"),
            std::string(
                R"({"time":"\ud800","queue":"q","driver":"d","action":"a","details":{},"result":"r"})"),
            std::string("{\"time\":\"a\tb\",\"queue\":\"q\",\"driver\":\"d\",\"action\":\"a\","
                        "\"details\":{},\"result\":\"r\"}"),
        }) {
        EXPECT_FALSE(ParseServiceRecord(bad).has_value()) << bad;
    }
    // Escapes another writer may use, and keys of a later version, are read.
    const std::optional<ServiceRecord> other = ParseServiceRecord(
        R"( { "time" : "t" , "queue":"\u00e9\ud83d\ude00\/", "driver":"d", "operator":"x",)"
        R"( "action":"a", "details":{ }, "result":"r" } )");
    ASSERT_TRUE(other.has_value());
    EXPECT_EQ(other->queue, "\xC3\xA9\xF0\x9F\x98\x80/");
}

class ServiceLogFileTest : public ::testing::Test {
  protected:
    ScratchDir scratch_;
    std::string path_ = scratch_ / "state/plenwise/service.log";
};

TEST_F(ServiceLogFileTest, ATornLastLineIsSkippedAndTheNextRecordStartsALineOfItsOwn) {
    ASSERT_TRUE(AppendServiceRecord(Record("A", kResultSent), path_));
    // A writer that crashed in the middle of its line.
    std::string torn = ServiceRecordLine(Record("B", kResultSent));
    scratch_.Write("state/plenwise/service.log",
                   ScratchDir::Read(path_) + torn.substr(0, torn.size() / 2));
    size_t skipped = 0;
    std::vector<ServiceRecord> records = ReadServiceLog(path_, &skipped);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].queue, "A");
    EXPECT_EQ(skipped, 1u);

    ASSERT_TRUE(AppendServiceRecord(Record("C", kResultDone), path_));
    records = ReadServiceLog(path_, &skipped);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].queue, "C");
    EXPECT_EQ(records[1].result, kResultDone);
    EXPECT_EQ(skipped, 1u);
}

TEST_F(ServiceLogFileTest, TwoProcessesAppendingAtOnceLoseNoLine) {
    constexpr int kLines = 400;
    // Long lines, so that an interleaved write would cut through them.
    const std::string padding(3000, 'x');
    const char* const queues[] = {"first", "second"};
    EXPECT_TRUE(testsupport::WritersAtOnceAllSucceed(2, [&](int writer) {
        bool all = true;
        for (int i = 0; i < kLines; ++i) {
            ServiceRecord record = Record(queues[writer], kResultSent);
            record.details = {{"n", std::to_string(i)}, {"padding", padding}};
            all = AppendServiceRecord(record, path_) && all;
        }
        return all;
    }));
    size_t skipped = 0;
    const std::vector<ServiceRecord> records = ReadServiceLog(path_, &skipped);
    EXPECT_EQ(skipped, 0u);
    ASSERT_EQ(records.size(), 2u * kLines);
    // Each writer's lines are all there, in the order it wrote them.
    for (const std::string queue : {"first", "second"}) {
        int next = 0;
        for (const ServiceRecord& record : records) {
            if (record.queue == queue) {
                ASSERT_EQ(record.details.size(), 2u);
                EXPECT_EQ(record.details[0].second, std::to_string(next++));
                EXPECT_EQ(record.details[1].second, padding);
            }
        }
        EXPECT_EQ(next, kLines) << queue;
    }
}

TEST_F(ServiceLogFileTest, TheLogLiesInTheStateFolderAndOnlyItsOwnerReadsIt) {
    {
        ScopedEnvironment state("XDG_STATE_HOME", scratch_ / "state");
        EXPECT_EQ(ServiceLogPath(), path_);
        ASSERT_TRUE(
            LogServiceAction("WL4000", "ARVEN WL-4000", kActionPowerCleaning, {}, kResultSent));
    }
    struct stat info {};
    ASSERT_EQ(stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const std::vector<ServiceRecord> records = ReadServiceLog(path_);
    ASSERT_EQ(records.size(), 1u);
    // The record's time is now, in local time with its offset.
    const std::optional<int64_t> time = ServiceTimeSeconds(records[0].time);
    ASSERT_TRUE(time.has_value()) << records[0].time;
    EXPECT_LE(std::abs(*time - static_cast<int64_t>(std::time(nullptr))), 5);

    // A relative XDG_STATE_HOME is ignored, as the base directory rules say.
    ScopedEnvironment home("HOME", scratch_ / "home");
    ScopedEnvironment relative("XDG_STATE_HOME", "relative");
    EXPECT_EQ(ServiceLogPath(), scratch_ / "home/.local/state/plenwise/service.log");
    EXPECT_TRUE(ReadServiceLog(ServiceLogPath()).empty());  // no log yet
}

TEST_F(ServiceLogFileTest, ALogThatCannotBeWrittenIsReportedAndNothingWaitsOnIt) {
    // A file where the state folder should be.
    ScopedEnvironment blocked("XDG_STATE_HOME", scratch_.Write("state", "not a folder"));
    std::string error;
    EXPECT_FALSE(AppendServiceRecord(Record("A", kResultSent), ServiceLogPath(), &error));
    EXPECT_NE(error.find(scratch_ / "state"), std::string::npos) << error;
    EXPECT_FALSE(LogServiceAction("A", "D", kActionPowerCleaning, {}, kResultSent));
    // A FIFO in the log's place neither blocks the writer nor the reader.
    const std::string fifo = scratch_ / "fifo.log";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(AppendServiceRecord(Record("A", kResultSent), fifo, &error));
    EXPECT_TRUE(ReadServiceLog(fifo).empty());
}

TEST_F(ServiceLogFileTest, OnlyAMissingLogHasNoRecordsWithoutAReason) {
    std::string error = "unset";
    EXPECT_TRUE(ReadServiceLog(scratch_ / "missing.log", nullptr, &error).empty());
    EXPECT_EQ(error, "");
    const std::string fifo = scratch_ / "fifo.log";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string file = scratch_.Write("file", "x");
    const std::pair<std::string, std::string> unreadable[] = {
        {scratch_.Path().string(), "not a regular file"},
        {fifo, "not a regular file"},
        {file + "/service.log", "Not a directory"},
    };
    for (const auto& [path, reason] : unreadable) {
        error.clear();
        EXPECT_TRUE(ReadServiceLog(path, nullptr, &error).empty()) << path;
        EXPECT_EQ(error, reason) << path;
    }
    ASSERT_TRUE(AppendServiceRecord(Record("A", kResultSent), path_));
    EXPECT_EQ(ReadServiceLog(path_, nullptr, &error).size(), 1u);
    EXPECT_EQ(error, "");
}

TEST_F(ServiceLogFileTest, ALineOfTheLongestLengthIsReadAndOneByteMoreIsSkipped) {
    // Records padded to a given line length (without its line feed) by their file detail.
    auto lineOf = [](std::size_t length, const std::string& queue) {
        ServiceRecord record = Record(queue, kResultDone);
        record.details = {{"file", ""}};
        const std::size_t bare = ServiceRecordLine(record).size();
        record.details[0].second.assign(length - bare, 'f');
        return ServiceRecordLine(record);
    };
    const std::string atLimit = lineOf(kLongestServiceLine, "AtLimit");
    const std::string over = lineOf(kLongestServiceLine + 1, "Over");
    ASSERT_EQ(atLimit.size(), kLongestServiceLine);
    ASSERT_EQ(over.size(), kLongestServiceLine + 1);
    scratch_.Write("state/plenwise/service.log",
                   over + "\n" + atLimit + "\n" + over + "\n" + lineOf(300, "After") + "\n" + over);
    std::size_t skipped = 0;
    const std::vector<ServiceRecord> records = ReadServiceLog(path_, &skipped);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].queue, "AtLimit");
    EXPECT_EQ(ServiceRecordLine(records[0]), atLimit);  // whole, not cut
    EXPECT_EQ(records[1].queue, "After");
    EXPECT_EQ(skipped, 3u);

    // The writer keeps to the same bound: a record the reader would skip is refused, not logged.
    std::filesystem::remove(path_);
    auto recordOf = [&](const std::string& line) { return *ParseServiceRecord(line); };
    ASSERT_TRUE(AppendServiceRecord(recordOf(atLimit), path_));
    std::string error;
    EXPECT_FALSE(AppendServiceRecord(recordOf(over), path_, &error));
    EXPECT_NE(error, "");
    EXPECT_EQ(ScratchDir::Read(path_), atLimit + "\n");
}

TEST(ServiceTimeTest, TimesWithAndWithoutAnOffsetMeetOnOneScale) {
    ScopedEnvironment zone("TZ", "UTC");
    tzset();
    EXPECT_EQ(ServiceTimeSeconds("2024-05-02T14:03:11+02:00"),
              ServiceTimeSeconds("2024-05-02T12:03:11Z"));
    EXPECT_EQ(ServiceTimeSeconds("2024-05-02T14:03:11-01:30"),
              ServiceTimeSeconds("2024-05-02 15:33:11"));
    EXPECT_EQ(*ServiceTimeSeconds("2024-05-02T00:00:01Z") - *ServiceTimeSeconds("2024-05-02"), 1);
    EXPECT_EQ(*ServiceTimeSeconds("2024-05-02 00:01") - *ServiceTimeSeconds("2024-05-02"), 60);
    // The last days of the months, leap days included.
    EXPECT_EQ(*ServiceTimeSeconds("2024-03-01") - *ServiceTimeSeconds("2024-02-29"), 86400);
    EXPECT_EQ(*ServiceTimeSeconds("2000-03-01") - *ServiceTimeSeconds("2000-02-29"), 86400);
    EXPECT_TRUE(ServiceTimeSeconds("2024-12-31").has_value());
    for (const char* bad :
         {"", "2024-5-02", "2024-13-01", "2024-05-32", "2024-02-30", "2023-02-29", "1900-02-29",
          "2024-04-31", "2024-05-02T24:00", "2024-05-02T14:60", "2024-05-02T14",
          "2024-05-02T14:03+2", "2024-05-02 14:03:11 x", "yesterday"}) {
        EXPECT_FALSE(ServiceTimeSeconds(bad).has_value()) << bad;
    }
}

TEST(ServiceTimeTest, ARecordsTimeCarriesItsZonesOffsetAndParsesBackToItsInstant) {
    const struct {
        const char* zone;  // POSIX form: the offset is the one to add to reach UTC
        const char* suffix;
        const char* localNoon;  // 12:00 UTC on 2024-01-15, in the zone
    } cases[] = {
        {"UTC0", "+00:00", "2024-01-15 12:00"},      {"IST-05:30", "+05:30", "2024-01-15 17:30"},
        {"NPT-05:45", "+05:45", "2024-01-15 17:45"}, {"NST+03:30", "-03:30", "2024-01-15 08:30"},
        {"HST+10", "-10:00", "2024-01-15 02:00"},    {"LINT-14", "+14:00", "2024-01-16 02:00"},
    };
    for (const auto& [zone, suffix, localNoon] : cases) {
        ScopedEnvironment tz("TZ", zone);
        tzset();
        const std::time_t before = std::time(nullptr);
        const ServiceRecord record = MakeServiceRecord("Q", "D", kActionPowerCleaning, {}, "sent");
        const std::time_t after = std::time(nullptr);
        ASSERT_EQ(record.time.size(), 25u) << zone << " " << record.time;
        EXPECT_EQ(record.time.substr(19), suffix) << zone;
        const std::optional<int64_t> seconds = ServiceTimeSeconds(record.time);
        ASSERT_TRUE(seconds.has_value()) << record.time;
        EXPECT_GE(*seconds, before) << zone << " " << record.time;
        EXPECT_LE(*seconds, after) << zone << " " << record.time;
        // A time the user gives without an offset is the zone's local time.
        EXPECT_EQ(ServiceTimeSeconds(localNoon), ServiceTimeSeconds("2024-01-15T12:00:00Z"))
            << zone;
    }
    tzset();
}

}  // namespace

namespace {

TEST_F(ServiceLogFileTest, EveryFaultOfAnAppendLeavesTheOldOrTheNewLog) {
    const std::string before = ServiceRecordLine(Record("A", kResultSent)) + "\n";
    testsupport::SweepWriter(
        path_, [&] { scratch_.Write("state/plenwise/service.log", before); },
        [&] { return AppendServiceRecord(Record("B", kResultDone), path_); }, true);
}

}  // namespace
