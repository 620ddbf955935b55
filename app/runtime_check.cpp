#include "app/runtime_check.h"

#include "ndi/runtime_probe.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// NDI discovery on Linux goes through avahi-daemon.
std::string MdnsResponder() {
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        return "not reachable (no system bus)";
    }
    const QString avahi = QStringLiteral("org.freedesktop.Avahi");
    const QDBusConnectionInterface* names = bus.interface();
    if (names->isServiceRegistered(avahi).value()) {
        return "reachable (org.freedesktop.Avahi is on the system bus)";
    }
    if (names->activatableServiceNames().value().contains(avahi)) {
        return "reachable (the system bus starts org.freedesktop.Avahi when asked)";
    }
    return "not reachable (org.freedesktop.Avahi is not on the system bus)";
}

// Where the vendor runtime reads its settings from.
std::string NdiConfigFile() {
    std::string path;
    const char* configDir = std::getenv("NDI_CONFIG_DIR");
    const char* home = std::getenv("HOME");
    if (configDir != nullptr && configDir[0] != '\0') {
        path = configDir;
        path += path.back() == '/' ? "" : "/";
        path += "ndi-config.v1.json";
    } else if (home != nullptr && home[0] != '\0') {
        path = home;
        path += path.back() == '/' ? "" : "/";
        path += ".ndi/ndi-config.v1.json";
    } else {
        return "none looked for ($NDI_CONFIG_DIR and $HOME are not set)";
    }
    const QFileInfo file(QString::fromLocal8Bit(path.c_str()));
    return path + (file.isFile() ? ": present" : file.exists() ? ": not a file" : ": not there");
}

} // namespace

int RunRuntimeCheck() {
    const std::vector<NdiPlaceProbe> probes = ProbeNdiRuntime(
        NdiRuntimePlaces(std::getenv("NDI_RUNTIME_DIR_V6"), std::getenv("NDI_RUNTIME_DIR_V5")));
    std::printf("NDI runtime search:\n");
    for (const NdiPlaceProbe& probe : probes) {
        std::printf("  %s\n", DescribeNdiPlaceProbe(probe).c_str());
    }
    const NdiPlaceProbe* chosen = ChosenNdiRuntime(probes);
    if (chosen != nullptr) {
        std::printf("Skyfill will use: the NDI runtime %s\n", chosen->location.c_str());
    } else {
        std::printf("Skyfill will use: the built-in stand-in (no NDI network output; "
                    "skyfill-monitor reads its sources)\n");
    }
    std::printf("mDNS responder (avahi-daemon): %s\n", MdnsResponder().c_str());
    std::printf("NDI configuration file: %s\n", NdiConfigFile().c_str());
    std::fflush(stdout);
    return chosen != nullptr ? 0 : 1;
}
