#include "control/control_api.h"

#include "presets/preset_file.h"
#include "vocabulary/bus_names.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaObject>
#include <QUrlQuery>
#include <boost/asio/post.hpp>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <unistd.h>

namespace {

HttpResponse Json(unsigned status, const QJsonObject& object) {
    return {status, "application/json",
            QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString()};
}

HttpResponse Error(unsigned status, const QString& message) {
    return Json(status, {{QStringLiteral("error"), message}});
}

QJsonObject StatusObject(const QVariantMap& status) {
    return QJsonObject::fromVariantMap(status);
}

// A copy's refusal as the status code a generic HTTP client can act on. `present`: the
// copy still owns its name after the call, so it did not end while it was asked.
HttpResponse Refusal(int number, const CopyBus::Reply& reply, bool present) {
    const std::string name = reply.errorName.toStdString();
    if (name == bus_names::kErrorInvalidArgs || name == bus_names::kErrorFile) {
        return Error(400, reply.message);
    }
    if (name == bus_names::kErrorSending || name == bus_names::kErrorNotReady) {
        return Error(409, reply.message);
    }
    if (!present) {
        return Error(404, QStringLiteral("no copy %1 runs").arg(number));
    }
    if (name == "org.freedesktop.DBus.Error.NoReply" ||
        name == "org.freedesktop.DBus.Error.Timeout") {
        return Error(504, QStringLiteral("copy %1 did not answer").arg(number));
    }
    // Failed, or a copy too old to know the call.
    return Error(502, QStringLiteral("copy %1: %2").arg(number).arg(reply.message));
}

std::optional<QJsonObject> JsonBody(const HttpRequest& request) {
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(request.body), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    return document.object();
}

// "3" as 3; anything else as 0.
int CopyNumber(const std::string& text) {
    if (text.size() != 1 || text[0] < '1' || text[0] > '0' + bus_names::kMaxCopies) {
        return 0;
    }
    return text[0] - '0';
}

std::vector<std::string> Segments(const std::string& path) {
    std::vector<std::string> segments;
    for (size_t start = 1; start <= path.size();) {
        size_t end = path.find('/', start);
        end = end == std::string::npos ? path.size() : end;
        segments.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return segments;
}

} // namespace

ControlApi::ControlApi(boost::asio::io_context& io, CopyBus& bus, std::string uploadFolder)
    : m_io(io), m_bus(bus), m_uploadFolder(std::move(uploadFolder)) {}

void ControlApi::Handle(const HttpRequest& request, Respond respond) {
    const uint64_t id = m_nextId++;
    m_pending.emplace(id, std::move(respond));
    const std::string path = request.target.substr(0, request.target.find('?'));
    const std::string query = request.target.find('?') == std::string::npos
                                  ? std::string()
                                  : request.target.substr(request.target.find('?') + 1);
    const std::vector<std::string> s = Segments(path);
    const bool get = request.method == "GET";
    const bool post = request.method == "POST";
    // /api/v1/copies[/N][/action]
    if (s.size() < 3 || s[0] != "api" || s[1] != "v1" || s[2] != "copies") {
        Finish(id, Error(404, QStringLiteral("no such resource")));
        return;
    }
    if (s.size() == 3) {
        get ? Copies(id) : Finish(id, Error(405, QStringLiteral("GET lists the copies")));
        return;
    }
    if (s.size() == 4 && (s[3] == "start" || s[3] == "stop")) {
        post ? EveryCopy(id, s[3] == "start" ? QStringLiteral("Start") : QStringLiteral("Stop"))
             : Finish(id, Error(405, QStringLiteral("POST starts or stops")));
        return;
    }
    const int number = CopyNumber(s[3]);
    if (number == 0 || s.size() > 5) {
        Finish(id, Error(404, QStringLiteral("no such copy")));
        return;
    }
    const std::string action = s.size() == 5 ? s[4] : std::string();
    if (action.empty()) {
        get ? OneCopy(id, number, QStringLiteral("Status"), {})
            : Finish(id, Error(405, QStringLiteral("GET gives the copy's status")));
    } else if (action == "snapshot") {
        const QString width =
            QUrlQuery(QString::fromStdString(query)).queryItemValue(QStringLiteral("width"));
        bool whole = true;
        const int w = width.isEmpty() ? 640 : width.toInt(&whole);
        if (!get || !whole) {
            Finish(id, Error(get ? 400 : 405, QStringLiteral("GET with ?width=PIXELS")));
        } else {
            Snapshot(id, number, w);
        }
    } else if (!post) {
        Finish(id, Error(405, QStringLiteral("POST changes a copy")));
    } else if (action == "start" || action == "stop") {
        OneCopy(id, number, action == "start" ? QStringLiteral("Start") : QStringLiteral("Stop"),
                {});
    } else if (action == "slot") {
        const std::optional<QJsonObject> body = JsonBody(request);
        const QJsonValue slot = body ? body->value(QStringLiteral("slot")) : QJsonValue();
        if (!slot.isDouble() || slot.toDouble() != slot.toInt()) {
            Finish(id, Error(400, QStringLiteral("expected {\"slot\": 1 to 5}")));
        } else {
            OneCopy(id, number, QStringLiteral("SelectSlot"), {slot.toInt()});
        }
    } else if (action == "output") {
        const std::optional<QJsonObject> body = JsonBody(request);
        const QJsonValue width = body ? body->value(QStringLiteral("width")) : QJsonValue();
        const QJsonValue height = body ? body->value(QStringLiteral("height")) : QJsonValue();
        const QJsonValue rate = body ? body->value(QStringLiteral("rate")) : QJsonValue();
        if (!width.isDouble() || !height.isDouble() || !(rate.isString() || rate.isDouble())) {
            Finish(id, Error(400, QStringLiteral("expected {\"width\": W, \"height\": H, "
                                                 "\"rate\": \"25\", \"29.97\" or \"30\"}")));
        } else {
            const QString rateText =
                rate.isString() ? rate.toString() : QString::number(rate.toDouble());
            OneCopy(id, number, QStringLiteral("SetOutput"),
                    {width.toInt(), height.toInt(), rateText});
        }
    } else if (action == "presets") {
        Presets(id, number, request.body);
    } else {
        Finish(id, Error(404, QStringLiteral("no such action")));
    }
}

void ControlApi::Finish(uint64_t id, HttpResponse response) {
    const auto it = m_pending.find(id);
    if (it != m_pending.end()) {
        Respond respond = std::move(it->second);
        m_pending.erase(it);
        respond(std::move(response));
    }
}

void ControlApi::OnBus(uint64_t id, std::function<void(CopyBus&, Answer)> work) {
    QMetaObject::invokeMethod(
        &m_bus,
        [this, id, work = std::move(work)] {
            work(m_bus, [this, id](HttpResponse response) {
                boost::asio::post(m_io, [this, id, response = std::move(response)]() mutable {
                    Finish(id, std::move(response));
                });
            });
        },
        Qt::QueuedConnection);
}

void ControlApi::Copies(uint64_t id) {
    OnBus(id, [](CopyBus& bus, Answer answer) {
        QList<int> numbers = bus.Numbers();
        std::sort(numbers.begin(), numbers.end());
        struct Gather {
            std::map<int, QJsonObject> found;
            int waiting = 0;
            Answer answer;
        };
        auto gather = std::make_shared<Gather>();
        gather->waiting = static_cast<int>(numbers.size());
        gather->answer = std::move(answer);
        const auto done = [gather] {
            QJsonArray copies;
            for (const auto& [number, status] : gather->found) {
                copies.append(status);
            }
            gather->answer(Json(200, {{QStringLiteral("copies"), copies}}));
        };
        if (numbers.isEmpty()) {
            done();
            return;
        }
        for (const int number : numbers) {
            bus.Call(number, QStringLiteral("Status"), {},
                     [gather, number, done](const CopyBus::Reply& reply) {
                         // A copy that left meanwhile is left out.
                         if (reply.ok && !reply.arguments.isEmpty()) {
                             gather->found[number] = StatusObject(
                                 qdbus_cast<QVariantMap>(reply.arguments.constFirst()));
                         }
                         if (--gather->waiting == 0) {
                             done();
                         }
                     });
        }
    });
}

void ControlApi::EveryCopy(uint64_t id, const QString& method) {
    OnBus(id, [method](CopyBus& bus, Answer answer) {
        struct Gather {
            // By number, whatever order the copies answer in.
            std::set<int> done;
            QJsonArray refused;
            int waiting = 0;
            Answer answer;
        };
        auto gather = std::make_shared<Gather>();
        QList<int> numbers = bus.Numbers();
        std::sort(numbers.begin(), numbers.end());
        gather->waiting = static_cast<int>(numbers.size());
        gather->answer = std::move(answer);
        const QString doneKey = method == QStringLiteral("Start") ? QStringLiteral("started")
                                                                  : QStringLiteral("stopped");
        const auto finish = [gather, doneKey] {
            QJsonArray done;
            for (const int number : gather->done) {
                done.append(number);
            }
            gather->answer(
                Json(200, {{doneKey, done}, {QStringLiteral("refused"), gather->refused}}));
        };
        if (numbers.isEmpty()) {
            finish();
            return;
        }
        for (const int number : numbers) {
            bus.Call(number, method, {}, [gather, number, finish](const CopyBus::Reply& reply) {
                if (reply.ok) {
                    gather->done.insert(number);
                } else {
                    gather->refused.append(QJsonObject{{QStringLiteral("copy"), number},
                                                       {QStringLiteral("error"), reply.message}});
                }
                if (--gather->waiting == 0) {
                    finish();
                }
            });
        }
    });
}

void ControlApi::OneCopy(uint64_t id, int number, const QString& method,
                         const QVariantList& arguments) {
    OnBus(id, [number, method, arguments](CopyBus& bus, Answer answer) {
        bus.Call(
            number, method, arguments,
            [&bus, number, method, answer = std::move(answer)](const CopyBus::Reply& reply) {
                if (!reply.ok) {
                    answer(Refusal(number, reply, bus.Numbers().contains(number)));
                } else if (method == QStringLiteral("Status") && !reply.arguments.isEmpty()) {
                    answer(Json(
                        200, StatusObject(qdbus_cast<QVariantMap>(reply.arguments.constFirst()))));
                } else {
                    QJsonObject done{{QStringLiteral("copy"), number}};
                    if (method == QStringLiteral("LoadPresets") && !reply.arguments.isEmpty()) {
                        done.insert(QStringLiteral("warnings"),
                                    QJsonArray::fromStringList(
                                        reply.arguments.constFirst().toStringList()));
                    }
                    answer(Json(200, done));
                }
            });
    });
}

void ControlApi::Snapshot(uint64_t id, int number, int width) {
    OnBus(id, [number, width](CopyBus& bus, Answer answer) {
        bus.Call(
            number, QStringLiteral("Snapshot"), {width},
            [&bus, number, answer = std::move(answer)](const CopyBus::Reply& reply) {
                if (!reply.ok) {
                    answer(Refusal(number, reply, bus.Numbers().contains(number)));
                } else if (reply.arguments.size() != 3) {
                    answer(Error(502, QStringLiteral("copy %1 sent no picture").arg(number)));
                } else {
                    answer({200, "image/jpeg", reply.arguments.at(2).toByteArray().toStdString()});
                }
            });
    });
}

// The bytes go to a file of the preset folder that only this user can read, are
// checked as any preset file is, are loaded by the copy from there, and the file goes.
void ControlApi::Presets(uint64_t id, int number, const std::string& bytes) {
    if (bytes.size() != kShortPresetFileBytes && bytes.size() != kLongPresetFileBytes) {
        Finish(id, Error(400, QStringLiteral("a preset file is 176 or 784 bytes")));
        return;
    }
    std::string name = m_uploadFolder + "/upload-XXXXXX.skf";
    const int fd = ::mkstemps(name.data(), 4);
    const bool written =
        fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    if (fd >= 0) {
        ::close(fd);
    }
    if (!written) {
        ::unlink(name.c_str());
        Finish(id, Error(500, QStringLiteral("the preset file could not be put in %1: %2")
                                  .arg(QString::fromStdString(m_uploadFolder),
                                       QString::fromLocal8Bit(std::strerror(errno)))));
        return;
    }
    const PresetLoadResult checked = ReadPresetFile(name);
    if (checked.outcome != PresetLoadResult::Outcome::Loaded) {
        ::unlink(name.c_str());
        Finish(id,
               Error(400,
                     QStringLiteral("not a preset file: %1")
                         .arg(QString::fromUtf8(PresetMessageText(checked.message)).simplified())));
        return;
    }
    OnBus(id, [number, name](CopyBus& bus, Answer answer) {
        bus.Call(number, QStringLiteral("LoadPresets"), {QString::fromStdString(name)},
                 [&bus, number, name, answer = std::move(answer)](const CopyBus::Reply& reply) {
                     ::unlink(name.c_str());
                     if (!reply.ok) {
                         answer(Refusal(number, reply, bus.Numbers().contains(number)));
                         return;
                     }
                     QJsonObject done{{QStringLiteral("copy"), number}};
                     if (!reply.arguments.isEmpty()) {
                         done.insert(QStringLiteral("warnings"),
                                     QJsonArray::fromStringList(
                                         reply.arguments.constFirst().toStringList()));
                     }
                     answer(Json(200, done));
                 });
    });
}

std::string ControlApi::EventJson(const CopyBus::Event& event) {
    QJsonObject object{{QStringLiteral("copy"), event.number}};
    switch (event.kind) {
    case CopyBus::Event::Kind::Appeared:
        object.insert(QStringLiteral("event"), QStringLiteral("appeared"));
        break;
    case CopyBus::Event::Kind::Left:
        object.insert(QStringLiteral("event"), QStringLiteral("left"));
        break;
    case CopyBus::Event::Kind::Status:
        object.insert(QStringLiteral("event"), QStringLiteral("status"));
        object.insert(QStringLiteral("status"), StatusObject(event.status));
        break;
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}
