#include "control/request_rules.h"

namespace request_rules {

bool HostAllowed(std::string_view host, const std::string& localAddress, unsigned short port) {
    const std::string suffix = ":" + std::to_string(port);
    if (host.size() <= suffix.size() || host.substr(host.size() - suffix.size()) != suffix) {
        return false;
    }
    const std::string_view name = host.substr(0, host.size() - suffix.size());
    if (name == "localhost") {
        return true;
    }
    // An IPv6 address is written in brackets.
    if (localAddress.find(':') != std::string::npos) {
        return name == "[" + localAddress + "]";
    }
    return name == localAddress;
}

bool OriginAllowed(std::string_view origin, std::string_view host, bool tls) {
    return origin == (tls ? "https://" : "http://") + std::string(host);
}

} // namespace request_rules
