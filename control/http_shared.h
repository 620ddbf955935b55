#pragma once

#include "control/http_server.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

// What the listener and every connection of one server share. Server thread only.

// An open event socket, as the server broadcasts to it.
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void Send(std::shared_ptr<const std::string> text) = 0;
};

struct HttpServer::Shared {
    boost::asio::io_context& io;
    std::string token;
    RequestHandler api;
    ServerLimits limits;
    boost::asio::ssl::context* tls; // null: plain HTTP
    LoginGuard guard;
    int connections = 0;
    std::vector<std::weak_ptr<EventSink>> sinks;
    struct PageFile {
        std::string contentType;
        std::string bytes;
    };
    std::map<std::string, PageFile> page;
};

// A connection counted against the limit for as long as it lives, moved with it from
// HTTP to WebSocket.
class ConnectionTicket {
public:
    explicit ConnectionTicket(std::shared_ptr<HttpServer::Shared> shared)
        : m_shared(std::move(shared)) {
        ++m_shared->connections;
    }
    ~ConnectionTicket() { --m_shared->connections; }
    ConnectionTicket(const ConnectionTicket&) = delete;
    ConnectionTicket& operator=(const ConnectionTicket&) = delete;
    HttpServer::Shared& operator*() const { return *m_shared; }
    HttpServer::Shared* operator->() const { return m_shared.get(); }

private:
    std::shared_ptr<HttpServer::Shared> m_shared;
};
