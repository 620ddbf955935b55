#pragma once

#include <optional>
#include <string>

// The one secret every API call and the event socket must show: 128 random bits or more
// from the system, kept in a file only its user can read.
namespace access_token {

// $XDG_CONFIG_HOME/skyfill/control-token (or ~/.config/...), beside the preset folder.
std::string DefaultPath();

// The token in `path`, made there first (mode 0600, its folder 0700) when there is
// none. Nothing when it cannot be read or made; `why` then says so.
std::optional<std::string> LoadOrMake(const std::string& path, std::string& why);
// A new token replacing the old one in one step; nothing (and `why`) on failure.
std::optional<std::string> Replace(const std::string& path, std::string& why);

// Compares without an early exit, so the time taken tells nothing of how much matched.
bool Matches(const std::string& expected, const std::string& given);

} // namespace access_token
