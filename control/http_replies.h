#pragma once

#include "control/http_server.h"

#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>
#include <string>

// The answers every connection builds, plain or over TLS, compiled once.
namespace http_replies {

using Request = boost::beast::http::request<boost::beast::http::string_body>;
using Response = boost::beast::http::response<boost::beast::http::string_body>;

// A JSON error body: {"error":"message"}.
HttpResponse Error(unsigned status, const std::string& message);
// The response as sent, with the headers that keep the page to itself.
Response Build(const HttpResponse& answer, unsigned version, bool keepAlive);
// The token from "Authorization: Bearer TOKEN", or from the WebSocket subprotocols.
std::string TokenOf(const Request& request, bool upgrade);

} // namespace http_replies
