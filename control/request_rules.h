#pragma once

#include <string>
#include <string_view>

// What a request must look like before anything reads its token: a page on another site
// that a browser was tricked into loading may reach this program by name (DNS rebinding)
// or from its own origin, and neither must pass.
namespace request_rules {

// The Host header names where the request came in: the connection's local address
// ("127.0.0.1:8470", "[::1]:8470") or localhost, with the port.
bool HostAllowed(std::string_view host, const std::string& localAddress, unsigned short port);

// A browser's Origin, when one is sent, is the page's own: http://HOST or https://HOST.
bool OriginAllowed(std::string_view origin, std::string_view host, bool tls);

} // namespace request_rules
