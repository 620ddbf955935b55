#include "control/http_replies.h"

#include <boost/beast/core/string.hpp>
#include <boost/beast/http/field.hpp>
#include <string_view>

namespace http_replies {

namespace {

namespace http = boost::beast::http;

constexpr std::string_view kBearer = "Bearer ";
// Browsers cannot set headers on a WebSocket, so the page offers its token as a
// subprotocol, next to the one the server answers with.
constexpr std::string_view kTokenProtocol = "bearer.";

} // namespace

HttpResponse Error(unsigned status, const std::string& message) {
    std::string escaped;
    for (const char c : message) {
        if (c == '"' || c == '\\') {
            escaped += '\\';
        }
        escaped += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    return {status, "application/json", "{\"error\":\"" + escaped + "\"}"};
}

Response Build(const HttpResponse& answer, unsigned version, bool keepAlive) {
    Response response{static_cast<http::status>(answer.status), version};
    response.set(http::field::content_type, answer.contentType);
    // The page loads nothing from elsewhere, is framed nowhere, and nothing it gets is
    // sniffed into another type. No CORS header: other sites' pages may not read any of it.
    response.set("Content-Security-Policy",
                 "default-src 'self'; img-src 'self' blob:; frame-ancestors 'none'");
    response.set("X-Content-Type-Options", "nosniff");
    response.set(http::field::cache_control, "no-store");
    response.set("Referrer-Policy", "no-referrer");
    response.keep_alive(keepAlive);
    response.body() = answer.body;
    response.prepare_payload();
    return response;
}

std::string TokenOf(const Request& request, bool upgrade) {
    const std::string_view authorization = request[http::field::authorization];
    // The scheme's case is the client's to choose.
    if (authorization.size() >= kBearer.size() &&
        boost::beast::iequals(authorization.substr(0, kBearer.size()), kBearer)) {
        return std::string(authorization.substr(kBearer.size()));
    }
    if (upgrade) {
        const std::string_view offered = request[http::field::sec_websocket_protocol];
        for (size_t start = 0; start < offered.size();) {
            size_t end = offered.find(',', start);
            end = end == std::string_view::npos ? offered.size() : end;
            std::string_view item = offered.substr(start, end - start);
            while (!item.empty() && item.front() == ' ') {
                item.remove_prefix(1);
            }
            if (item.substr(0, kTokenProtocol.size()) == kTokenProtocol) {
                return std::string(item.substr(kTokenProtocol.size()));
            }
            start = end + 1;
        }
    }
    return {};
}

} // namespace http_replies
