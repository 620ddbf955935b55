#include "control/http_session.h"
#include "control/http_session_template.h"

void ServeTlsConnection(boost::asio::ip::tcp::socket socket,
                        std::shared_ptr<HttpServer::Shared> shared) {
    using http_session::beast::ssl_stream;
    using http_session::beast::tcp_stream;
    boost::asio::ssl::context& tls = *shared->tls;
    std::make_shared<http_session::HttpSession<ssl_stream<tcp_stream>>>(
        ssl_stream<tcp_stream>(tcp_stream(std::move(socket)), tls), std::move(shared), true)
        ->Run();
}
