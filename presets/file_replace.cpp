#include "presets/file_replace.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// As many links as the kernel itself follows before it gives up.
constexpr int kMaxLinkHops = 40;

std::string FolderOf(const std::string& fileName) {
    const auto slash = fileName.rfind('/');
    return slash == std::string::npos ? std::string("./") : fileName.substr(0, slash + 1);
}

// The file a chain of symbolic links ends at, existing or not; empty for a loop or an
// unreadable link. A relative link is relative to the folder the link is in.
std::string FinalTarget(std::string path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return path;
        }
        char link[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), link, sizeof link);
        if (length <= 0 || static_cast<std::size_t>(length) >= sizeof link) {
            return {};
        }
        std::string next = link[0] == '/' ? std::string() : FolderOf(path);
        next.append(link, static_cast<std::size_t>(length));
        path = std::move(next);
    }
    return {};
}

int OpenInPlace(const std::string& fileName) {
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

FileReplaceHooks SystemFileReplaceHooks() {
    FileReplaceHooks hooks;
    hooks.makeTemporary = [](std::string& nameTemplate) {
        return ::mkostemp(nameTemplate.data(), O_CLOEXEC);
    };
    hooks.syncFolder = [](const std::string& folder) {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd); // some file systems cannot sync a folder; the file itself is on disk
            ::close(fd);
        }
    };
    return hooks;
}

FileReplacement::FileReplacement(const std::string& fileName, FileReplaceHooks hooks)
    : m_hooks(std::move(hooks)), m_target(FinalTarget(fileName)) {
    if (m_target.empty()) {
        return;
    }
    struct stat existing {};
    if (::stat(m_target.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            m_target.clear(); // a folder, pipe or device is never replaced
            return;
        }
        // A file its owner made read-only stays as it is, as opening it would fail.
        if (::faccessat(AT_FDCWD, m_target.c_str(), W_OK, AT_EACCESS) != 0) {
            m_target.clear();
            return;
        }
        m_keepAttributes = true;
        m_mode = existing.st_mode & 07777;
        m_owner = existing.st_uid;
        m_group = existing.st_gid;
        // A rename would leave the file's other names with the old contents.
        if (existing.st_nlink > 1) {
            m_fd = OpenInPlace(m_target);
            return;
        }
    }
    m_temporary = FolderOf(m_target) + ".skyfill-save-XXXXXX";
    m_fd = m_hooks.makeTemporary(m_temporary);
    if (m_fd < 0) {
        m_temporary.clear();
        if (m_keepAttributes) {
            m_fd = OpenInPlace(m_target);
        }
    }
}

FileReplacement::~FileReplacement() {
    Abandon();
}

bool FileReplacement::Write(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0 && m_fd >= 0) {
        const ssize_t written = ::write(m_fd, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return size == 0;
}

bool FileReplacement::Finish() {
    if (m_fd < 0) {
        return false;
    }
    if (!m_temporary.empty()) {
        if (m_keepAttributes) {
            // Only root can hand the file back to another owner; for others this may fail.
            (void)::fchown(m_fd, m_owner, m_group);
            ::fchmod(m_fd, m_mode);
        } else {
            // A new preset file is a user's file: readable by others as a fresh file would be.
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(m_fd, 0666 & ~mask);
        }
    }
    const bool onDisk = ::fsync(m_fd) == 0;
    const bool closed = ::close(std::exchange(m_fd, -1)) == 0;
    if (!onDisk || !closed) {
        Abandon();
        return false;
    }
    if (m_temporary.empty()) {
        return true; // written in place
    }
    if (std::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        Abandon();
        return false;
    }
    m_temporary.clear();
    m_hooks.syncFolder(FolderOf(m_target));
    return true;
}

void FileReplacement::Abandon() {
    if (m_fd >= 0) {
        ::close(std::exchange(m_fd, -1));
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}
