#include "control/http_server.h"

#include "control/http_session.h"
#include "control/http_shared.h"

#include <boost/asio/ip/v6_only.hpp>

namespace net = boost::asio;
using tcp = net::ip::tcp;
using Shared = HttpServer::Shared;

namespace {

class Listener : public std::enable_shared_from_this<Listener> {
public:
    Listener(std::shared_ptr<Shared> shared, tcp::acceptor acceptor)
        : m_shared(std::move(shared)), m_acceptor(std::move(acceptor)) {}

    void Accept() {
        m_acceptor.async_accept(
            [self = shared_from_this()](boost::system::error_code error, tcp::socket socket) {
                if (error == net::error::operation_aborted) {
                    return;
                }
                if (!error) {
                    self->Start(std::move(socket));
                }
                self->Accept();
            });
    }

private:
    void Start(tcp::socket socket) {
        // Beyond the limit a connection is closed at once, so the ones being served keep
        // their share.
        if (m_shared->connections >= m_shared->limits.connections) {
            return;
        }
        if (m_shared->tls != nullptr) {
            ServeTlsConnection(std::move(socket), m_shared);
        } else {
            ServePlainConnection(std::move(socket), m_shared);
        }
    }

    std::shared_ptr<Shared> m_shared;
    tcp::acceptor m_acceptor;
};

} // namespace

HttpServer::HttpServer(net::io_context& io, std::string token, RequestHandler api,
                       ServerLimits limits, net::ssl::context* tls)
    : m_shared(std::make_shared<Shared>(
          Shared{io, std::move(token), std::move(api), limits, tls, {}, 0, {}, {}})) {}

HttpServer::~HttpServer() = default;

bool HttpServer::Listen(const tcp::endpoint& endpoint, std::string& why) {
    tcp::acceptor acceptor(m_shared->io);
    boost::system::error_code error;
    acceptor.open(endpoint.protocol(), error);
    if (!error && endpoint.address().is_v6()) {
        // "::" means IPv6 alone; IPv4 is listened on by its own address.
        acceptor.set_option(net::ip::v6_only(true), error);
    }
    if (!error) {
        acceptor.set_option(net::socket_base::reuse_address(true), error);
    }
    if (!error) {
        acceptor.bind(endpoint, error);
    }
    if (!error) {
        acceptor.listen(net::socket_base::max_listen_connections, error);
    }
    if (error) {
        why = error.message();
        return false;
    }
    std::make_shared<Listener>(m_shared, std::move(acceptor))->Accept();
    return true;
}

void HttpServer::Broadcast(const std::string& text) {
    const auto shared = std::make_shared<const std::string>(text);
    std::vector<std::weak_ptr<EventSink>>& sinks = m_shared->sinks;
    for (auto it = sinks.begin(); it != sinks.end();) {
        if (const std::shared_ptr<EventSink> sink = it->lock()) {
            sink->Send(shared);
            ++it;
        } else {
            it = sinks.erase(it);
        }
    }
}

void HttpServer::AddPageFile(std::string path, std::string contentType, std::string bytes) {
    m_shared->page[std::move(path)] = {std::move(contentType), std::move(bytes)};
}
