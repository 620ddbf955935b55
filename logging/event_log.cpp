#include "logging/event_log.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<int> g_fd{STDERR_FILENO};
std::atomic<int> g_threshold{static_cast<int>(LogLevel::Info)};
std::atomic<bool> g_journal{false};
std::atomic<const char*> g_program{"skyfill"};

const char* LevelWord(LogLevel level) {
    switch (level) {
    case LogLevel::Error:
        return "error";
    case LogLevel::Warning:
        return "warning";
    case LogLevel::Notice:
        return "notice";
    case LogLevel::Info:
        return "info";
    case LogLevel::Debug:
        break;
    }
    return "debug";
}

bool ParseWhole(std::string_view text, unsigned long long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

} // namespace

bool IsJournalStream(int fd, const char* journalStream) {
    if (journalStream == nullptr) {
        return false;
    }
    const std::string_view value(journalStream);
    const size_t colon = value.find(':');
    unsigned long long device = 0;
    unsigned long long inode = 0;
    if (colon == std::string_view::npos || !ParseWhole(value.substr(0, colon), device) ||
        !ParseWhole(value.substr(colon + 1), inode)) {
        return false;
    }
    struct stat info {};
    return ::fstat(fd, &info) == 0 && info.st_dev == device && info.st_ino == inode;
}

std::string EventLogLine(LogLevel level, std::string_view text, bool journal) {
    std::string line;
    line.reserve(text.size() + 24);
    if (journal) {
        // The journal names the program itself; the level is the prefix.
        line += '<';
        line += static_cast<char>('0' + static_cast<int>(level));
        line += '>';
    } else {
        line += g_program.load();
        line += ": ";
        line += LevelWord(level);
        line += ": ";
    }
    static constexpr char kHex[] = "0123456789abcdef";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            line += "\\x";
            line += kHex[byte >> 4];
            line += kHex[byte & 0xf];
        } else {
            line += c;
        }
    }
    line += '\n';
    return line;
}

void SetLogProgram(const char* program) {
    g_program = program;
}

void ConfigureEventLog(LogDetail detail, int fd, bool journal) {
    LogLevel threshold = LogLevel::Info;
    if (detail == LogDetail::Quiet) {
        threshold = LogLevel::Error;
    } else if (detail == LogDetail::Verbose) {
        threshold = LogLevel::Debug;
    }
    g_fd = fd;
    g_journal = journal;
    g_threshold = static_cast<int>(threshold);
}

void ConfigureEventLog(LogDetail detail) {
    ConfigureEventLog(detail, STDERR_FILENO,
                      IsJournalStream(STDERR_FILENO, std::getenv("JOURNAL_STREAM")));
}

bool LogWanted(LogLevel level) {
    return static_cast<int>(level) <= g_threshold;
}

void Log(LogLevel level, std::string_view text) {
    if (!LogWanted(level)) {
        return;
    }
    const std::string line = EventLogLine(level, text, g_journal);
    const int fd = g_fd;
    size_t written = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(fd, line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return; // nowhere to tell it; the copy runs on
        }
        written += static_cast<size_t>(n);
    }
}
