#include "app/application.h"
#include "app/command_line.h"

#include <cstdlib>

int main(int argc, char** argv) {
    if (const std::optional<int> status = RunCommandLine(argc, argv)) {
        return *status;
    }
    // Without a display the program still publishes its source, on the offscreen
    // platform; messages then go to standard error.
    const bool headless = std::getenv("DISPLAY") == nullptr &&
                          std::getenv("WAYLAND_DISPLAY") == nullptr &&
                          std::getenv("QT_QPA_PLATFORM") == nullptr;
    if (headless) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    Application app(argc, argv);
    return app.Run(headless);
}
