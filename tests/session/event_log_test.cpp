// The log's lines as a terminal and as the journal read them.

#include "logging/event_log.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

TEST(EventLog, LinesCarryTheirLevelAndNoTextBreaksThem) {
    EXPECT_EQ(EventLogLine(LogLevel::Warning, "no runtime", false),
              "skyfill: warning: no runtime\n");
    EXPECT_EQ(EventLogLine(LogLevel::Error, "lost", true), "<3>lost\n");
    EXPECT_EQ(EventLogLine(LogLevel::Debug, "x", true), "<7>x\n");
    // A path may hold any byte but the slash and NUL: none may end the line or reach a
    // terminal as a control; other bytes pass as they are.
    EXPECT_EQ(EventLogLine(LogLevel::Info, std::string("a\nb\x1b[2J\r\x7f\xff", 10), true),
              "<6>a\\x0ab\\x1b[2J\\x0d\\x7f\xff\n");
}

TEST(EventLog, JournalStreamMustNameThisVeryStream) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    struct stat info {};
    ASSERT_EQ(::fstat(fds[1], &info), 0);
    const std::string device = std::to_string(info.st_dev);
    const std::string inode = std::to_string(info.st_ino);
    EXPECT_TRUE(IsJournalStream(fds[1], (device + ":" + inode).c_str()));
    for (const std::string& other :
         {device + ":" + std::to_string(info.st_ino + 1), device + ":", ":" + inode,
          device + ":" + inode + "x", device + " " + inode, std::string()}) {
        EXPECT_FALSE(IsJournalStream(fds[1], other.c_str())) << other;
    }
    EXPECT_FALSE(IsJournalStream(fds[1], nullptr));
    ::close(fds[0]);
    ::close(fds[1]);
}
