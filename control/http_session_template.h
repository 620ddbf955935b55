#pragma once

#include "control/access_token.h"
#include "control/http_replies.h"
#include "control/http_shared.h"
#include "control/request_rules.h"
#include "logging/event_log.h"

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>
#include <boost/beast/websocket.hpp>
#include <deque>
#include <optional>
#include <string_view>

// One connection over a stream, plain or TLS: HTTP requests, then perhaps the event
// WebSocket. Included only by the two files that make each kind.
namespace http_session {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using http_replies::Build;
using http_replies::Error;
using http_replies::Request;
using http_replies::Response;
using http_replies::TokenOf;

inline constexpr std::string_view kEventsPath = "/api/v1/events";
inline constexpr std::string_view kEventsProtocol = "skyfill-events";

template <class Stream>
class EventSocket : public EventSink, public std::enable_shared_from_this<EventSocket<Stream>> {
public:
    EventSocket(Stream&& stream, std::unique_ptr<ConnectionTicket> ticket)
        : m_ws(std::move(stream)), m_ticket(std::move(ticket)) {}

    void Accept(Request request, bool answerProtocol) {
        beast::get_lowest_layer(m_ws).expires_never();
        m_ws.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
        m_ws.set_option(websocket::stream_base::decorator([answerProtocol](auto& response) {
            if (answerProtocol) {
                response.set(http::field::sec_websocket_protocol, kEventsProtocol);
            }
        }));
        // Nothing is read from the page but its closing.
        m_ws.read_message_max(1024);
        m_ws.async_accept(request, [self = this->shared_from_this()](beast::error_code error) {
            if (!error) {
                (*self->m_ticket)->sinks.push_back(self);
                self->Read();
            }
        });
    }

    void Send(std::shared_ptr<const std::string> text) override {
        // A reader that does not keep up is let go rather than queued for without end.
        if (m_queue.size() >= 256) {
            beast::get_lowest_layer(m_ws).close();
            return;
        }
        m_queue.push_back(std::move(text));
        if (m_queue.size() == 1) {
            Write();
        }
    }

private:
    void Read() {
        m_ws.async_read(m_incoming,
                        [self = this->shared_from_this()](beast::error_code error, std::size_t) {
                            if (!error) {
                                self->m_incoming.clear();
                                self->Read();
                            }
                        });
    }

    void Write() {
        m_ws.text(true);
        m_ws.async_write(net::buffer(*m_queue.front()),
                         [self = this->shared_from_this()](beast::error_code error, std::size_t) {
                             if (error) {
                                 self->m_queue.clear();
                                 return;
                             }
                             self->m_queue.pop_front();
                             if (!self->m_queue.empty()) {
                                 self->Write();
                             }
                         });
    }

    websocket::stream<Stream> m_ws;
    std::unique_ptr<ConnectionTicket> m_ticket;
    beast::flat_buffer m_incoming;
    std::deque<std::shared_ptr<const std::string>> m_queue;
};

template <class Stream>
class HttpSession : public std::enable_shared_from_this<HttpSession<Stream>> {
public:
    HttpSession(Stream&& stream, std::shared_ptr<HttpServer::Shared> shared, bool tls)
        : m_stream(std::move(stream)),
          m_ticket(std::make_unique<ConnectionTicket>(std::move(shared))), m_tls(tls) {}

    void Run() {
        beast::error_code error;
        const tcp::socket& socket = beast::get_lowest_layer(m_stream).socket();
        m_remote = socket.remote_endpoint(error).address().to_string();
        const tcp::endpoint local = socket.local_endpoint(error);
        m_localAddress = local.address().to_string();
        m_localPort = local.port();
        if constexpr (std::is_same_v<Stream, beast::ssl_stream<beast::tcp_stream>>) {
            beast::get_lowest_layer(m_stream).expires_after((*m_ticket)->limits.requestTime);
            m_stream.async_handshake(net::ssl::stream_base::server,
                                     [self = this->shared_from_this()](beast::error_code e) {
                                         if (!e) {
                                             self->Read();
                                         }
                                     });
        } else {
            Read();
        }
    }

private:
    HttpServer::Shared& Server() { return **m_ticket; }

    void Read() {
        m_parser.emplace();
        m_parser->header_limit(static_cast<std::uint32_t>(Server().limits.headerBytes));
        m_parser->body_limit(Server().limits.bodyBytes);
        // The whole request, headers and body, within the time: a slow client is dropped.
        beast::get_lowest_layer(m_stream).expires_after(Server().limits.requestTime);
        http::async_read(m_stream, m_buffer, *m_parser,
                         [self = this->shared_from_this()](beast::error_code error, std::size_t) {
                             self->OnRead(error);
                         });
    }

    void OnRead(beast::error_code error) {
        if (error == http::error::body_limit) {
            Send(Error(413, "the request body is too large"), 11, false);
            return;
        }
        if (error == http::error::header_limit) {
            Send(Error(431, "the request headers are too large"), 11, false);
            return;
        }
        if (error) {
            return; // closed, timed out or not HTTP: nothing to answer
        }
        Request request = m_parser->release();
        const unsigned version = request.version();
        const bool keepAlive = request.keep_alive();
        const std::string_view host = request[http::field::host];
        if (!request_rules::HostAllowed(host, m_localAddress, m_localPort)) {
            Send(Error(400, "the Host header does not name this server"), version, false);
            return;
        }
        const std::string target(request.target());
        const std::string path = target.substr(0, target.find('?'));
        if (path.rfind("/api/", 0) != 0) {
            SendPageFile(request, path, version, keepAlive);
            return;
        }
        const auto now = LoginGuard::Clock::now();
        if (Server().guard.LockedOut(m_remote, now)) {
            Send(Error(429, "too many failed logins from this address; wait a minute"), version,
                 false);
            return;
        }
        const bool upgrade = websocket::is_upgrade(request);
        if (!access_token::Matches(Server().token, TokenOf(request, upgrade))) {
            Server().guard.Failed(m_remote, now);
            Log(LogLevel::Warning, "refused a request without the right token from " + m_remote);
            Send(Error(401, "the access token is missing or wrong"), version, keepAlive);
            return;
        }
        if (path == kEventsPath) {
            const std::string_view origin = request[http::field::origin];
            if (!upgrade ||
                (!origin.empty() && !request_rules::OriginAllowed(origin, host, m_tls))) {
                Send(Error(upgrade ? 403 : 400, upgrade ? "the page's origin is not this server's"
                                                        : "the event socket is a WebSocket"),
                     version, false);
                return;
            }
            const bool answerProtocol =
                std::string_view(request[http::field::sec_websocket_protocol])
                    .find(kEventsProtocol) != std::string_view::npos;
            std::make_shared<EventSocket<Stream>>(std::move(m_stream), std::move(m_ticket))
                ->Accept(std::move(request), answerProtocol);
            return;
        }
        HttpRequest call{std::string(request.method_string()), target, std::move(request.body()),
                         std::string(request[http::field::content_type])};
        // The API may answer later, from a copy's reply; the session waits for it.
        beast::get_lowest_layer(m_stream).expires_never();
        Server().api(call,
                     [self = this->shared_from_this(), version, keepAlive](HttpResponse answer) {
                         self->Send(std::move(answer), version, keepAlive);
                     });
    }

    void SendPageFile(const Request& request, const std::string& path, unsigned version,
                      bool keepAlive) {
        const auto file = Server().page.find(path);
        if (file == Server().page.end()) {
            Send(Error(404, "no such page"), version, keepAlive);
        } else if (request.method() != http::verb::get && request.method() != http::verb::head) {
            Send(Error(405, "the page is only read"), version, keepAlive);
        } else {
            Send({200, file->second.contentType, file->second.bytes}, version, keepAlive);
        }
    }

    void Send(const HttpResponse& answer, unsigned version, bool keepAlive) {
        auto response = std::make_shared<Response>(Build(answer, version, keepAlive));
        beast::get_lowest_layer(m_stream).expires_after(Server().limits.requestTime);
        http::async_write(m_stream, *response,
                          [self = this->shared_from_this(), response,
                           keepAlive](beast::error_code error, std::size_t) {
                              if (error || !keepAlive) {
                                  beast::error_code ignored;
                                  beast::get_lowest_layer(self->m_stream)
                                      .socket()
                                      .shutdown(tcp::socket::shutdown_both, ignored);
                                  return;
                              }
                              self->Read();
                          });
    }

    Stream m_stream;
    std::unique_ptr<ConnectionTicket> m_ticket;
    bool m_tls;
    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::string_body>> m_parser;
    std::string m_remote;
    std::string m_localAddress;
    unsigned short m_localPort = 0;
};

} // namespace http_session
