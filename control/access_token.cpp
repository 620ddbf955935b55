#include "control/access_token.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace access_token {

namespace {

constexpr size_t kRandomBytes = 32; // 256 bits, written as 64 hex digits

std::string Hex(const unsigned char* bytes, size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

bool Fail(std::string& why, const std::string& what) {
    why = what + ": " + std::strerror(errno);
    return false;
}

// Each missing folder on the way is made private, as the preset folder's are.
void MakeFolders(const std::string& file) {
    for (size_t slash = file.find('/', 1); slash != std::string::npos;
         slash = file.find('/', slash + 1)) {
        ::mkdir(file.substr(0, slash).c_str(), 0700);
    }
}

std::optional<std::string> Read(const std::string& path, std::string& why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        if (errno != ENOENT) {
            Fail(why, path);
        }
        return std::nullopt;
    }
    struct stat info {};
    char text[256];
    ssize_t n = -1;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        n = ::read(fd, text, sizeof text);
    }
    ::close(fd);
    if (n <= 0) {
        why = path + ": not a token file";
        return std::nullopt;
    }
    // Anyone else able to read it could control every copy.
    if ((info.st_mode & 077) != 0 || info.st_uid != ::getuid()) {
        why = path + ": readable by others; replace it with --new-token";
        return std::nullopt;
    }
    std::string token(text, static_cast<size_t>(n));
    while (!token.empty() && (token.back() == '\n' || token.back() == '\r')) {
        token.pop_back();
    }
    if (token.size() < 32 || token.find_first_not_of("0123456789abcdef") != std::string::npos) {
        why = path + ": not a token file";
        return std::nullopt;
    }
    return token;
}

std::optional<std::string> Write(const std::string& path, std::string& why) {
    unsigned char bytes[kRandomBytes];
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        Fail(why, "the system's random source");
        return std::nullopt;
    }
    const std::string token = Hex(bytes, sizeof bytes);
    MakeFolders(path);
    const std::string temporary = path + ".new";
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        Fail(why, temporary);
        return std::nullopt;
    }
    const std::string line = token + "\n";
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    const bool closed = ::fsync(fd) == 0 && ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), path.c_str()) != 0) {
        Fail(why, path);
        ::unlink(temporary.c_str());
        return std::nullopt;
    }
    return token;
}

} // namespace

std::string DefaultPath() {
    std::string base;
    if (const char* config = std::getenv("XDG_CONFIG_HOME");
        config != nullptr && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') {
            const passwd* user = ::getpwuid(::getuid());
            home = user != nullptr ? user->pw_dir : "/";
        }
        base = std::string(home) + "/.config";
    }
    return base + "/skyfill/control-token";
}

std::optional<std::string> LoadOrMake(const std::string& path, std::string& why) {
    why.clear();
    if (std::optional<std::string> token = Read(path, why)) {
        return token;
    }
    if (!why.empty()) {
        return std::nullopt;
    }
    return Write(path, why);
}

std::optional<std::string> Replace(const std::string& path, std::string& why) {
    return Write(path, why);
}

bool Matches(const std::string& expected, const std::string& given) {
    unsigned char differ = expected.size() != given.size() ? 1 : 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        differ |= static_cast<unsigned char>(expected[i] ^ (i < given.size() ? given[i] : 0));
    }
    return differ == 0;
}

} // namespace access_token
