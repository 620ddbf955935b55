#pragma once

#include <optional>

// Carries out whatever the command line asks for other than the window (help, version,
// the runtime self-check) and reports mistakes in it; returns the exit status then, or
// nothing when the window is to run. None of these creates a window.
std::optional<int> RunCommandLine(int& argc, char** argv);
