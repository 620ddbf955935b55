#include "app/huge_page_malloc.h"

#include <cstdlib>
#include <string_view>
#include <sys/auxv.h>
#include <unistd.h>

namespace {

constexpr const char* kTunable = "glibc.malloc.hugetlb";

bool AllocatorIsSanitizers() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return true;
#else
    return false;
#endif
}

} // namespace

std::optional<std::string> TunablesWithHugePages(const char* current) {
    const std::string setting = std::string(kTunable) + "=1";
    if (current == nullptr || *current == '\0') {
        return setting;
    }
    const std::string value = current;
    for (std::size_t start = 0; start <= value.size();) {
        std::size_t end = value.find(':', start);
        end = end == std::string::npos ? value.size() : end;
        const std::string item = value.substr(start, end - start);
        if (item.rfind(std::string(kTunable) + "=", 0) == 0) {
            return std::nullopt;
        }
        start = end + 1;
    }
    return value + ":" + setting;
}

void RestartWithHugePageMalloc(char** argv) {
    // A privileged start has its tunables erased by glibc: it would start again for ever.
    if (AllocatorIsSanitizers() || getauxval(AT_SECURE) != 0) {
        return;
    }
    const char* current = std::getenv("GLIBC_TUNABLES");
    const std::optional<std::string> before =
        current != nullptr ? std::optional<std::string>(current) : std::nullopt;
    const std::optional<std::string> tunables = TunablesWithHugePages(current);
    if (!tunables || setenv("GLIBC_TUNABLES", tunables->c_str(), 1) != 0) {
        return;
    }
    // This very binary, by its path, so that the process keeps its name. One replaced
    // since it started (" (deleted)") is not run again, nor one whose path cannot be read.
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length > 0) {
        path[length] = '\0';
        if (!std::string_view(path).ends_with(" (deleted)")) {
            execv(path, argv);
        }
    }
    // Not restarted: the tunable stays off, and children get what we got.
    if (before) {
        setenv("GLIBC_TUNABLES", before->c_str(), 1);
    } else {
        unsetenv("GLIBC_TUNABLES");
    }
}
