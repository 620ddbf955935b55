#include "app/skyfill_app.h"

#include "app/skyfill_dlg.h"

#include <unistd.h>

CSkyfillApp::CSkyfillApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Skyfill"));
    setApplicationVersion(QStringLiteral(SKYFILL_VERSION));
}

int CSkyfillApp::InitInstance() {
    SkyfillEnvironment environment;
    environment.runtime = LoadNdiRuntime();
    environment.processId = static_cast<uint32_t>(::getpid());
    CSkyfillDlg dialog(std::move(environment));
    if (!dialog.OnInitDialog()) {
        // The user has been told; nothing that needs the runtime was set up.
        return 1;
    }
    dialog.show();
    dialog.exec();
    return 0;
}
