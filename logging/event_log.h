#pragma once

#include <string>
#include <string_view>

// A level is its syslog priority, which the journal reads from a "<N>" prefix.
enum class LogLevel { Error = 3, Warning = 4, Notice = 5, Info = 6, Debug = 7 };

// --quiet writes errors only; --verbose adds a line per command.
enum class LogDetail { Quiet, Normal, Verbose };

// Whether `fd` is the stream the service manager named in JOURNAL_STREAM
// ("DEVICE:INODE"), so the journal, not a terminal, reads it.
bool IsJournalStream(int fd, const char* journalStream);

// One event as one line, ending in a newline. Control characters in the text are
// written as \xNN, so no text can break the line or drive a terminal.
std::string EventLogLine(LogLevel level, std::string_view text, bool journal);

// The name a terminal's lines start with; "skyfill" unless a tool sets its own first.
void SetLogProgram(const char* program);

// Set once at start-up, before any thread logs; until then lines at Info and above go
// to standard error without the journal's prefix.
void ConfigureEventLog(LogDetail detail, int fd, bool journal);
// As the process's standard error and environment say.
void ConfigureEventLog(LogDetail detail);
bool LogWanted(LogLevel level);
// Safe from any thread: each line is a single write.
void Log(LogLevel level, std::string_view text);
