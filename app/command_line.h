#pragma once

#include "logging/event_log.h"
#include "session/start_options.h"

#include <optional>

// What the command line asks of a copy's run.
struct CommandLineChoices {
    StartOptions start;
    // No window even where a display exists.
    bool headless = false;
    LogDetail logDetail = LogDetail::Normal;
};

// Carries out whatever the command line asks for other than the window (help, version,
// the runtime self-check) and reports mistakes in it; returns the exit status then, or
// nothing when the window is to run, with `choices` filled in. None of these creates a
// window.
std::optional<int> RunCommandLine(int& argc, char** argv, CommandLineChoices& choices);
