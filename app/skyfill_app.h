#pragma once

#include <QApplication>

// The application object: runs the main window and ends when it ends.
class CSkyfillApp : public QApplication {
    Q_OBJECT
public:
    CSkyfillApp(int& argc, char** argv);
    // Returns the process's exit status. `headless`: no display, so messages go to
    // standard error and the window is never put on a screen.
    int InitInstance(bool headless);
};
