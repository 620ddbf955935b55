#include "control/http_session.h"
#include "control/http_session_template.h"

void ServePlainConnection(boost::asio::ip::tcp::socket socket,
                          std::shared_ptr<HttpServer::Shared> shared) {
    using http_session::beast::tcp_stream;
    std::make_shared<http_session::HttpSession<tcp_stream>>(tcp_stream(std::move(socket)),
                                                            std::move(shared), false)
        ->Run();
}
