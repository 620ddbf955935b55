#pragma once

#include <QApplication>

// The application object: runs the main window and ends when it ends.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    // Returns the process's exit status. `headless`: no display, so messages go to
    // standard error and the window is never shown.
    int Run(bool headless);
};
