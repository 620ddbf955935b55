#pragma once

// skyfill-monitor's side for the built-in stand-in runtime's shared-memory sources.

#include "ndi_standin/segment_reader.h"

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// Prints one line per live source (see skyfill_monitor.cpp for the fields).
void ListStandInSources(bool allUsers);

// Whether `user` has a stand-in segment that claims `name` (live or damaged).
bool StandInSourceExists(const std::string& name, uid_t user);

// Reads the named source; prints a one-line error and returns nothing when it is not
// live or cannot be trusted.
std::optional<standin::SourceInfo> ReadStandInSource(const std::string& name, uid_t user,
                                                     std::vector<uint8_t>* frame);

// Watches the source for `seconds` and prints the frame timing; the exit status.
int WatchStandInSource(const std::string& name, uid_t user, double seconds);
