// What every connection builds from a request it cannot trust: the token it offers and
// the error body and headers it gets back.

#include "control/http_replies.h"

#include <boost/beast/http/field.hpp>
#include <gtest/gtest.h>

namespace {

namespace http = boost::beast::http;

http_replies::Request RequestWith(http::field field, const char* value) {
    http_replies::Request request{http::verb::get, "/api/v1/copies", 11};
    request.set(field, value);
    return request;
}

TEST(HttpReplies, TheTokenComesFromTheBearerHeaderOrAWebSocketSubprotocol) {
    using http_replies::TokenOf;
    EXPECT_EQ(TokenOf(RequestWith(http::field::authorization, "Bearer abc"), false), "abc");
    EXPECT_EQ(TokenOf(RequestWith(http::field::authorization, "Basic abc"), false), "");
    // The scheme is case-insensitive (RFC 9110).
    EXPECT_EQ(TokenOf(RequestWith(http::field::authorization, "bEARER abc"), false), "abc");
    const auto offered = [](const char* protocols, bool upgrade) {
        return TokenOf(RequestWith(http::field::sec_websocket_protocol, protocols), upgrade);
    };
    EXPECT_EQ(offered("skyfill-events,  bearer.t0k", true), "t0k");
    EXPECT_EQ(offered("bearer.first, bearer.second", true), "first");
    // Only a WebSocket may offer it this way, and only as a whole item.
    EXPECT_EQ(offered("bearer.t0k", false), "");
    EXPECT_EQ(offered("x-bearer.t0k, skyfill-events", true), "");
    EXPECT_EQ(offered(",,, ", true), "");
}

TEST(HttpReplies, ErrorsAreJsonWhateverTheMessageHolds) {
    const HttpResponse error = http_replies::Error(404, "no \"copy\" \\ here\n\x01");
    EXPECT_EQ(error.status, 404U);
    EXPECT_EQ(error.contentType, "application/json");
    EXPECT_EQ(error.body, "{\"error\":\"no \\\"copy\\\" \\\\ here  \"}");

    const http_replies::Response sent = http_replies::Build(error, 11, false);
    EXPECT_EQ(sent.result_int(), 404U);
    EXPECT_EQ(sent[http::field::content_length], std::to_string(error.body.size()));
    EXPECT_EQ(sent[http::field::connection], "close");
    EXPECT_EQ(sent["X-Content-Type-Options"], "nosniff");
    EXPECT_NE(sent["Content-Security-Policy"].find("frame-ancestors 'none'"),
              std::string_view::npos);
    EXPECT_TRUE(sent[http::field::access_control_allow_origin].empty());
}

} // namespace
