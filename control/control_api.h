#pragma once

#include "control/copy_bus.h"
#include "control/http_server.h"

#include <boost/asio/io_context.hpp>
#include <cstdint>
#include <map>
#include <string>

// The API under /api/v1/: each request becomes calls to the copies on the session bus.
// Requests arrive on the server's thread; the bus is used on the Qt thread; answers go
// back to the server's thread. Only a number crosses between them, never a session.
class ControlApi {
public:
    // `uploadFolder` is where a preset file sent in a request is put for its copy to
    // read, and removed again: the preset folder.
    ControlApi(boost::asio::io_context& io, CopyBus& bus, std::string uploadFolder);

    // Server thread.
    void Handle(const HttpRequest& request, Respond respond);
    // Qt thread: an event for the event sockets, as JSON.
    static std::string EventJson(const CopyBus::Event& event);

private:
    // Qt thread: `work` gets the bus and a function to answer with.
    using Answer = std::function<void(HttpResponse)>;
    void OnBus(uint64_t id, std::function<void(CopyBus&, Answer)> work);
    void Finish(uint64_t id, HttpResponse response);

    void Copies(uint64_t id);
    void EveryCopy(uint64_t id, const QString& method);
    void OneCopy(uint64_t id, int number, const QString& method, const QVariantList& arguments);
    void Snapshot(uint64_t id, int number, int width);
    void Presets(uint64_t id, int number, const std::string& bytes);

    boost::asio::io_context& m_io;
    CopyBus& m_bus;
    std::string m_uploadFolder;
    // Server thread only.
    uint64_t m_nextId = 1;
    std::map<uint64_t, Respond> m_pending;
};
