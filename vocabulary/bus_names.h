#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Where copies meet on the session bus, for the program and the tools alike.
namespace bus_names {

// Every copy's object, and the broadcast signal Post(int32 command, int64 argument).
inline constexpr const char* kPath = "/KovaCo/UK/Skyfill";
inline constexpr const char* kCoordinationInterface = "uk.KovaCo.Skyfill";
inline constexpr const char* kPostMember = "Post";
inline constexpr const char* kPostSignature = "ix";
// One copy's own interface, on its own name.
inline constexpr const char* kCopyInterface = "uk.KovaCo.Skyfill.Copy";
inline constexpr std::string_view kCopyNamePrefix = "uk.KovaCo.Skyfill.Copy";
// At most this many copies get a number (1 to 8) and publish a source.
inline constexpr int32_t kMaxCopies = 8;

// The bus name of copy `number` (1-based).
inline std::string CopyName(int32_t number) {
    return std::string(kCopyNamePrefix) + std::to_string(number);
}

// Refusals of the copy's interface.
inline constexpr const char* kErrorInvalidArgs = "org.freedesktop.DBus.Error.InvalidArgs";
inline constexpr const char* kErrorNotReady = "uk.KovaCo.Skyfill.Error.NotReady";
inline constexpr const char* kErrorSending = "uk.KovaCo.Skyfill.Error.Sending";
inline constexpr const char* kErrorFile = "uk.KovaCo.Skyfill.Error.File";
inline constexpr const char* kErrorFailed = "uk.KovaCo.Skyfill.Error.Failed";

} // namespace bus_names
