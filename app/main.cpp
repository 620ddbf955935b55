#include "app/skyfill_app.h"

int main(int argc, char** argv) {
    CSkyfillApp app(argc, argv);
    return app.InitInstance();
}
