#pragma once

#include "control/login_guard.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// What the HTTP layer hands to the API and gets back. The API runs on the server's
// thread and answers there, at once or later.
struct HttpRequest {
    std::string method;
    std::string target; // path and query, as sent
    std::string body;
    std::string contentType;
};

struct HttpResponse {
    unsigned status = 200;
    std::string contentType = "application/json";
    std::string body;
};

using Respond = std::function<void(HttpResponse)>;
using RequestHandler = std::function<void(const HttpRequest&, Respond)>;

// Bounds that keep a slow or greedy client from holding the program.
struct ServerLimits {
    std::size_t headerBytes = 8 * 1024;
    std::size_t bodyBytes = 4 * 1024;
    std::chrono::seconds requestTime{10};
    int connections = 64;
};

class EventSink;

// The HTTP and WebSocket server (Boost.Beast): the page's files, the API under /api/v1/
// behind the access token, the event socket at /api/v1/events. One thread: the
// io_context's.
class HttpServer {
public:
    HttpServer(boost::asio::io_context& io, std::string token, RequestHandler api,
               ServerLimits limits, boost::asio::ssl::context* tls);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // False, with `why`, when the address cannot be listened on.
    bool Listen(const boost::asio::ip::tcp::endpoint& endpoint, std::string& why);
    // To every open event socket; server thread.
    void Broadcast(const std::string& text);
    // The files of the page, by path ("/", "/page.js"): content type and bytes.
    void AddPageFile(std::string path, std::string contentType, std::string bytes);

    // For the sessions.
    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
};
