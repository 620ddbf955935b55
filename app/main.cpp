#include "app/application.h"
#include "app/command_line.h"

#include <cstdlib>
#include <utility>

int main(int argc, char** argv) {
    CommandLineChoices choices;
    if (const std::optional<int> status = RunCommandLine(argc, argv, choices)) {
        return *status;
    }
    // Without a display the program still publishes its source, on the offscreen
    // platform; messages then go to standard error. --headless asks for the same where
    // a display exists, as a service has no one to show a window to.
    const bool headless = choices.headless || (std::getenv("DISPLAY") == nullptr &&
                                               std::getenv("WAYLAND_DISPLAY") == nullptr &&
                                               std::getenv("QT_QPA_PLATFORM") == nullptr);
    if (headless) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    Application app(argc, argv);
    return app.Run(headless, std::move(choices.start));
}
