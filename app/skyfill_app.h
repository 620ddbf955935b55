#pragma once

#include <QApplication>

// The application object: runs the main window and ends when it ends.
class CSkyfillApp : public QApplication {
    Q_OBJECT
public:
    CSkyfillApp(int& argc, char** argv);
    // Returns the process's exit status.
    int InitInstance();
};
