#include "app/command_line.h"
#include "app/copy_run.h"
#include "app/huge_page_malloc.h"

#include <cstdlib>
#include <string_view>
#include <utility>

int main(int argc, char** argv) {
    RestartWithHugePageMalloc(argv);
    CommandLineChoices choices;
    if (const std::optional<int> status = RunCommandLine(argc, argv, choices)) {
        return *status;
    }
    ConfigureEventLog(choices.logDetail);
    LogQtMessages();
    // Without a display, or on Qt's offscreen platform where nobody sees a window, the
    // copy runs headless and still publishes its source; --headless asks for the same
    // where a display exists, as a service has no one to show a window to.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool headless = choices.headless ||
                          (platform != nullptr && std::string_view(platform) == "offscreen") ||
                          (std::getenv("DISPLAY") == nullptr &&
                           std::getenv("WAYLAND_DISPLAY") == nullptr && platform == nullptr);
    if (headless) {
        return RunHeadless(argc, argv, std::move(choices.start));
    }
    return RunWithWindow(argc, argv, std::move(choices.start));
}
