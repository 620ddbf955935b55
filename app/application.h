#pragma once

#include "app/start_options.h"

#include <QApplication>

// The application object: runs the main window and ends when it ends.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    // Returns the process's exit status. `headless`: no display, so messages go to
    // standard error and the window is never shown. `start`: the command line's choices.
    int Run(bool headless, StartOptions start = {});
};
