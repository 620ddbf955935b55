// skyfill-control: a web page and an HTTP API for every copy of Skyfill this user runs.

#include "control/access_token.h"
#include "control/control_api.h"
#include "control/copy_bus.h"
#include "control/http_server.h"
#include "logging/event_log.h"
#include "tools/tool_command_line.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QStringList>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/ip/address.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/ssl/context.hpp>
#include <cstdio>
#include <optional>
#include <systemd/sd-daemon.h>
#include <thread>

namespace {

constexpr const char* kProgram = "skyfill-control";
constexpr unsigned short kPort = 8470;

namespace net = boost::asio;
using tcp = net::ip::tcp;

// "127.0.0.1:8470", "[::1]:8470", "0.0.0.0:8470", "[::]:8470".
std::optional<tcp::endpoint> ParseListen(const QString& text) {
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0) {
        return std::nullopt;
    }
    QString host = text.left(colon);
    bool whole = false;
    const uint port = text.mid(colon + 1).toUInt(&whole);
    if (!whole || port == 0 || port > 65535) {
        return std::nullopt;
    }
    if (host.startsWith(u'[') && host.endsWith(u']')) {
        host = host.mid(1, host.size() - 2);
    } else if (host.contains(u':')) {
        return std::nullopt; // an IPv6 address needs its brackets
    }
    boost::system::error_code error;
    const net::ip::address address = net::ip::make_address(host.toStdString(), error);
    if (error) {
        return std::nullopt;
    }
    return tcp::endpoint(address, static_cast<unsigned short>(port));
}

std::string Resource(const char* name) {
    QFile file(QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

QString HelpEnd() {
    return QStringLiteral(
        "\nAPI:\n"
        "  Every call under /api/v1/ needs \"Authorization: Bearer TOKEN\"; see\n"
        "  skyfill-control --show-token and the README for the calls.\n"
        "\nFiles:\n"
        "  $XDG_CONFIG_HOME/skyfill/control-token\n"
        "                           the access token, mode 0600 (~/.config/skyfill/\n"
        "                           when XDG_CONFIG_HOME is unset)\n"
        "  $XDG_CONFIG_HOME/skyfill/upload-*.skf\n"
        "                           a preset file sent to the API, while its copy loads it\n"
        "\nEnvironment:\n"
        "  XDG_CONFIG_HOME          where the token and uploads are kept\n"
        "  DBUS_SESSION_BUS_ADDRESS the session bus the copies are on\n"
        "  JOURNAL_STREAM           set by systemd when standard error is the journal\n"
        "  NOTIFY_SOCKET            set by systemd for readiness\n"
        "\n*Exit status*\n"
        "  0  ended normally (SIGTERM, SIGINT)\n"
        "  1  no session bus, no token, or nowhere to listen\n"
        "  2  a mistake on the command line\n"
        "\n*See also*\n"
        "  skyfill(1), skyfill-remote(1)\n");
}

} // namespace

namespace {

int Run(int argc, char** argv) {
    SetLogProgram(kProgram);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(kProgram));
    QCoreApplication::setApplicationVersion(QStringLiteral(SKYFILL_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Serves a control page and an HTTP API for every copy of Skyfill this user runs on\n"
            "this machine: their status, start and stop, slots, output format, preset files and\n"
            "a snapshot of each, with live updates over a WebSocket. Listens on 127.0.0.1 and\n"
            "::1, port %1, unless told otherwise.")
            .arg(kPort));
    const tool_command_line::StandardOptions standard =
        tool_command_line::AddStandardOptions(parser);
    const QCommandLineOption listen(
        QStringLiteral("listen"),
        QStringLiteral("Listen on ADDRESS:PORT instead (repeatable); [::]:PORT and "
                       "0.0.0.0:PORT open it to networks."),
        QStringLiteral("ADDRESS:PORT"));
    const QCommandLineOption cert(QStringLiteral("tls-cert"),
                                  QStringLiteral("Serve HTTPS with this certificate (PEM)."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption key(QStringLiteral("tls-key"),
                                 QStringLiteral("The certificate's private key (PEM)."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption showToken(QStringLiteral("show-token"),
                                       QStringLiteral("Print the access token, then exit."));
    const QCommandLineOption newToken(
        QStringLiteral("new-token"),
        QStringLiteral("Replace the access token with a new one, print it, then exit."));
    const QList<QCommandLineOption> options{listen, cert, key, showToken, newToken};
    parser.addOptions(options);
    const QStringList arguments = QCoreApplication::arguments();
    if (!parser.parse(arguments)) {
        return tool_command_line::Mistake(
            kProgram, tool_command_line::ParseMistake(parser, arguments, options));
    }
    if (parser.isSet(standard.help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        std::fputs(qPrintable(HelpEnd()), stdout);
        return 0;
    }
    if (parser.isSet(standard.version)) {
        tool_command_line::PrintVersion(kProgram);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return tool_command_line::Mistake(
            kProgram,
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    }
    if (parser.isSet(cert) != parser.isSet(key)) {
        return tool_command_line::Mistake(kProgram,
                                          QStringLiteral("--tls-cert and --tls-key go together"));
    }
    std::vector<tcp::endpoint> endpoints;
    for (const QString& value : parser.values(listen)) {
        const std::optional<tcp::endpoint> endpoint = ParseListen(value);
        if (!endpoint) {
            return tool_command_line::Mistake(
                kProgram, QStringLiteral("--listen: '%1' is not ADDRESS:PORT").arg(value));
        }
        endpoints.push_back(*endpoint);
    }
    ConfigureEventLog(LogDetail::Normal);

    const std::string tokenPath = access_token::DefaultPath();
    std::string why;
    const std::optional<std::string> token = parser.isSet(newToken)
                                                 ? access_token::Replace(tokenPath, why)
                                                 : access_token::LoadOrMake(tokenPath, why);
    if (!token) {
        Log(LogLevel::Error, "no access token: " + why);
        return 1;
    }
    if (parser.isSet(showToken) || parser.isSet(newToken)) {
        std::printf("%s\n", token->c_str());
        return 0;
    }

    std::optional<net::ssl::context> tls;
    if (parser.isSet(cert)) {
        tls.emplace(net::ssl::context::tls_server);
        tls->set_options(net::ssl::context::default_workarounds | net::ssl::context::no_sslv2 |
                         net::ssl::context::no_sslv3 | net::ssl::context::no_tlsv1 |
                         net::ssl::context::no_tlsv1_1);
        boost::system::error_code error;
        tls->use_certificate_chain_file(parser.value(cert).toStdString(), error);
        if (!error) {
            tls->use_private_key_file(parser.value(key).toStdString(), net::ssl::context::pem,
                                      error);
        }
        if (error) {
            Log(LogLevel::Error, "the TLS certificate or key cannot be used: " + error.message());
            return 1;
        }
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Log(LogLevel::Error, "no session bus: the copies are found there");
        return 1;
    }
    CopyBus copies(bus);
    net::io_context io;
    const std::string uploads = tokenPath.substr(0, tokenPath.rfind('/'));
    ControlApi api(io, copies, uploads);
    HttpServer server(
        io, *token,
        [&api](const HttpRequest& request, Respond respond) {
            api.Handle(request, std::move(respond));
        },
        ServerLimits{}, tls ? &*tls : nullptr);
    server.AddPageFile("/", "text/html; charset=utf-8", Resource(":/control/index.html"));
    server.AddPageFile("/page.js", "text/javascript; charset=utf-8", Resource(":/control/page.js"));
    server.AddPageFile("/page.css", "text/css; charset=utf-8", Resource(":/control/page.css"));

    const bool defaults = endpoints.empty();
    if (defaults) {
        endpoints = {tcp::endpoint(net::ip::make_address("127.0.0.1"), kPort),
                     tcp::endpoint(net::ip::make_address("::1"), kPort)};
    }
    int listening = 0;
    bool beyondLoopback = false;
    for (const tcp::endpoint& endpoint : endpoints) {
        std::string address = endpoint.address().is_v6() ? "[" : "";
        address += endpoint.address().to_string();
        address += endpoint.address().is_v6() ? "]:" : ":";
        address += std::to_string(endpoint.port());
        if (server.Listen(endpoint, why)) {
            ++listening;
            beyondLoopback = beyondLoopback || !endpoint.address().is_loopback();
            Log(LogLevel::Notice, std::string(tls ? "https://" : "http://") + address + "/");
        } else {
            // A machine without IPv6 still serves on 127.0.0.1.
            std::string text = "cannot listen on ";
            text += address;
            text += ": ";
            text += why;
            Log(defaults ? LogLevel::Warning : LogLevel::Error, text);
            if (!defaults) {
                return 1;
            }
        }
    }
    if (listening == 0) {
        return 1;
    }
    if (beyondLoopback && !tls) {
        Log(LogLevel::Warning, "listening beyond this machine without TLS: the access token "
                               "travels in clear; give --tls-cert and --tls-key");
    }
    copies.Watch([&io, &server](const CopyBus::Event& event) {
        net::post(io, [&server, text = ControlApi::EventJson(event)] { server.Broadcast(text); });
    });

    // The server's own thread; the bus stays on this one.
    net::signal_set endings(io, SIGTERM, SIGINT, SIGHUP);
    endings.async_wait([](const boost::system::error_code& error, int) {
        if (!error) {
            QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                      Qt::QueuedConnection);
        }
    });
    auto work = net::make_work_guard(io);
    std::thread serving([&io] { io.run(); });
    sd_notify(0, "READY=1");
    const int status = QCoreApplication::exec();
    sd_notify(0, "STOPPING=1");
    work.reset();
    io.stop();
    serving.join();
    Log(LogLevel::Notice, "exiting");
    return status;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        // Out of memory or a system resource refused: said once, not an abort.
        Log(LogLevel::Error, error.what());
        return 1;
    }
}
