#pragma once

#include "control/http_server.h"

#include <boost/asio/ip/tcp.hpp>
#include <memory>

// Serves one accepted connection until it closes. Each kind is compiled in a file of its
// own: Beast's templates for a stream take long to build, and so the two build side by side.
void ServePlainConnection(boost::asio::ip::tcp::socket socket,
                          std::shared_ptr<HttpServer::Shared> shared);
// Over TLS with the server's context.
void ServeTlsConnection(boost::asio::ip::tcp::socket socket,
                        std::shared_ptr<HttpServer::Shared> shared);
