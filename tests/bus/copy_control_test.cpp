// One copy's own interface on the session bus (the test command runs the suite under
// dbus-run-session): a session in this process on a connection of its own, called from
// another, and the real program driven with skyfill-remote.

#include "bus/copy_status.h"
#include "presets/preset_file.h"
#include "tests/bus/bus_support.h"
#include "vocabulary/bus_names.h"
#include "vocabulary/output_formats.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kCopy1 = QStringLiteral("uk.KovaCo.Skyfill.Copy1");

// Collects the StatusChanged signals one connection hears.
class StatusListener : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> heard;
public slots:
    void OnStatusChanged(const QDBusMessage& message) {
        heard << qdbus_cast<QVariantMap>(message.arguments().value(0).value<QDBusArgument>());
    }
};

// As compact JSON, so a failure shows what differs.
std::string StatusWithoutFrameCount(QVariantMap status) {
    status.remove(QStringLiteral("frames-sent"));
    return QJsonDocument(QJsonObject::fromVariantMap(status))
        .toJson(QJsonDocument::Compact)
        .toStdString();
}

class CopyControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HasSessionBus()) {
            GTEST_SKIP() << "no session bus; the test command provides one";
        }
        copy = std::make_unique<BusCopy>(QStringLiteral("copy"), AloneSession(5150), face);
        ASSERT_TRUE(copy->Start());
        ASSERT_TRUE(WaitFor([&] { return copy->Settled(); }));
        ASSERT_EQ(session().CopyNumber(), 1);
        caller =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("caller"));
        ASSERT_TRUE(caller.connect(kCopy1, bus_names::kPath, bus_names::kCopyInterface,
                                   QStringLiteral("StatusChanged"), &listener,
                                   SLOT(OnStatusChanged(QDBusMessage))));
    }
    void TearDown() override {
        copy.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("caller"));
    }

    CopySession& session() { return *copy->session; }

    // The session answers on this thread, so the call must not block it.
    QDBusPendingCall Send(const QString& method, const QVariantList& arguments = {},
                          const QString& service = kCopy1) {
        QDBusMessage call = QDBusMessage::createMethodCall(service, bus_names::kPath,
                                                           bus_names::kCopyInterface, method);
        call.setArguments(arguments);
        return caller.asyncCall(call);
    }
    QDBusMessage Call(const QString& method, const QVariantList& arguments = {},
                      const QString& service = kCopy1) {
        QDBusPendingCall pending = Send(method, arguments, service);
        EXPECT_TRUE(WaitFor([&] { return pending.isFinished(); })) << method.toStdString();
        return pending.reply();
    }

    QVariantMap Status() {
        const QDBusMessage reply = Call(QStringLiteral("Status"));
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return qdbus_cast<QVariantMap>(reply.arguments().value(0).value<QDBusArgument>());
    }

    // Done within the deadline, as the status and the last StatusChanged both say.
    bool Shows(const char* key, const QVariant& value) {
        const QString name = QString::fromLatin1(key);
        return WaitFor([&] {
            return Status().value(name) == value && !listener.heard.isEmpty() &&
                   listener.heard.back().value(name) == value;
        });
    }

    QString SavedPresets(const QString& name) {
        QString path = files.filePath(name);
        EXPECT_TRUE(session().SavePresets(path));
        return path;
    }

    ScriptedFace face;
    std::unique_ptr<BusCopy> copy;
    QDBusConnection caller{QString()};
    StatusListener listener;
    QTemporaryDir files;
};

TEST_F(CopyControlTest, StatusFollowsChangesFromTheSessionAndTheBus) {
    const QVariantMap first = Status();
    EXPECT_EQ(first.value("number").toInt(), 1);
    EXPECT_EQ(first.value("source-name").toString().toStdString(), "Kova Gradient 1");
    EXPECT_EQ(first.value("width").toInt(), session().Format().width);
    EXPECT_EQ(first.value("rate-denominator").toInt(), session().Format().frameRateD);
    EXPECT_EQ(first.value("slot").toInt(), session().Presets().m_presetSlot + 1);
    EXPECT_EQ(first.value("cloud-speed").toInt(), session().Settings().cloudSpeed);
    EXPECT_EQ(first.value("rotation-period-ms").toInt(), session().Settings().rotationPeriodMs);

    // The commands the window's controls send.
    session().SetFillPattern(FillPattern::Quad);
    EXPECT_TRUE(Shows("fill-pattern", QStringLiteral("quad")));
    session().SetRotation(Rotation::Anticlockwise);
    EXPECT_TRUE(Shows("rotation", QStringLiteral("ccw")));
    session().SetCloudSet(1);
    EXPECT_TRUE(Shows("cloud-set", 2));
    session().SetClouds(!session().Settings().cloudsOn);
    EXPECT_TRUE(Shows("clouds", session().Settings().cloudsOn));
    session().SetCloudSpeed(3);
    EXPECT_TRUE(Shows("cloud-speed", 3));
    const GeneratorSettings settings = session().Settings();
    session().SetMaskSwitches(!settings.useMask, settings.invertTransparency,
                              settings.useMaskAlpha);
    EXPECT_TRUE(Shows("mask", session().Settings().useMask));

    // The bus: each call does what the control would, and says so.
    EXPECT_EQ(Call("SelectSlot", {4}).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(session().Presets().m_presetSlot, 3);
    EXPECT_TRUE(Shows("slot", 4));
    EXPECT_EQ(Call("SetOutput", {640, 360, QStringLiteral("29.97")}).type(),
              QDBusMessage::ReplyMessage);
    EXPECT_EQ(session().Format().width, 640);
    EXPECT_EQ(session().Format().frameRateD, 1001);
    EXPECT_EQ(session().OutputLine().toStdString(), "640 x 360 - 29.97 fps");
    EXPECT_TRUE(Shows("height", 360));
    EXPECT_TRUE(session().Output()->HasSender());

    session().SetFillPattern(FillPattern::HorizontalSplit);
    const QString saved = SavedPresets(QStringLiteral("four.skf"));
    ASSERT_EQ(Call("SelectSlot", {1}).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(Shows("slot", 1));
    EXPECT_EQ(Call("LoadPresets", {saved}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(Shows("slot", 4));
    EXPECT_TRUE(Shows("fill-pattern", QStringLiteral("h-split")));
    EXPECT_EQ(session().LastAppliedSlot(), 3);
    // A damaged mask section: the presets are taken, and the caller hears what was not.
    QFile damaged(saved);
    ASSERT_TRUE(damaged.open(QIODevice::Append));
    damaged.write("KOVSKCF2x");
    damaged.close();
    ASSERT_EQ(Call("SelectSlot", {1}).type(), QDBusMessage::ReplyMessage);
    const QDBusMessage partly = Call("LoadPresets", {saved});
    ASSERT_EQ(partly.type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(partly.arguments().value(0).toStringList(),
              QStringList{saved + ": Something went wrong getting Alpha Mask name"});
    EXPECT_TRUE(Shows("slot", 4));
    EXPECT_EQ(Call("LoadPresets", {SavedPresets(QStringLiteral("whole.skf"))})
                  .arguments()
                  .value(0)
                  .toStringList(),
              QStringList{});

    // UYVY is sent only while the mask is not in use.
    EXPECT_EQ(Call("SetPixelFormat", {QStringLiteral("uyvy")}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(Shows("pixel-format", QStringLiteral("uyvy")));
    const GeneratorSettings now = session().Settings();
    session().SetMaskSwitches(true, now.invertTransparency, now.useMaskAlpha);
    EXPECT_TRUE(Shows("fourcc", QStringLiteral("BGRA")));
    session().SetMaskSwitches(false, now.invertTransparency, now.useMaskAlpha);
    EXPECT_TRUE(Shows("fourcc", QStringLiteral("UYVY")));

    const QVariantMap before = Status();
    EXPECT_EQ(Call("Start").type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(session().Sending());
    EXPECT_FALSE(session().Controls().start);
    EXPECT_TRUE(Shows("sending", true));
    EXPECT_TRUE(WaitFor([&] {
        return Status().value("frames-sent").toULongLong() >
               before.value("frames-sent").toULongLong() + 2;
    }));
    session().StopSending();
    EXPECT_TRUE(Shows("sending", false));
    EXPECT_EQ(StatusWithoutFrameCount(Status()), StatusWithoutFrameCount(listener.heard.back()));
    EXPECT_TRUE(face.told.isEmpty()) << face.told.join(',').toStdString();
}

// A snapshot answered `width` wide, in the output's shape, that decodes to its size and
// shows `colour` away from the start-up logo.
void ExpectSnapshot(const QDBusMessage& reply, int width, const OutputFormat& format,
                    const QColor& colour, const char* what) {
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage)
        << what << ": " << reply.errorMessage().toStdString();
    const QVariantList answer = reply.arguments();
    ASSERT_EQ(answer.size(), 3) << what;
    EXPECT_EQ(answer[0].toInt(), width) << what;
    EXPECT_NEAR(answer[1].toInt(), static_cast<double>(format.height) * width / format.width, 1)
        << what;
    const QImage image = QImage::fromData(answer[2].toByteArray(), "JPEG");
    ASSERT_EQ(image.size(), QSize(answer[0].toInt(), answer[1].toInt())) << what;
    const QColor seen = image.pixelColor(image.width() / 4, image.height() / 4);
    EXPECT_NEAR(seen.red(), colour.red(), 12) << what;
    EXPECT_NEAR(seen.green(), colour.green(), 12) << what;
    EXPECT_NEAR(seen.blue(), colour.blue(), 12) << what;
}

// Of a one-colour look, while stopped and while sending BGRX and UYVY: the sending
// thread samples its frames while calls come in, several at a time.
TEST_F(CopyControlTest, SnapshotIsTheOutputPictureSendingOrNot) {
    const QColor colour(200, 40, 90);
    for (int corner = 0; corner < 4; ++corner) {
        session().SetColour(corner, static_cast<uint32_t>(colour.red()) |
                                        static_cast<uint32_t>(colour.green()) << 8 |
                                        static_cast<uint32_t>(colour.blue()) << 16);
    }
    session().SetClouds(false);
    const OutputFormat format = session().Format();
    ExpectSnapshot(Call("Snapshot", {160}), 160, format, colour, "stopped");
    ExpectSnapshot(Call("Snapshot", {4096}), format.width, format, colour, "wider than the output");

    ASSERT_EQ(Call("Start").type(), QDBusMessage::ReplyMessage);
    for (const char* pixels : {"bgrx", "uyvy"}) {
        ASSERT_EQ(Call("SetPixelFormat", {QString::fromLatin1(pixels)}).type(),
                  QDBusMessage::ReplyMessage);
        const int widths[] = {96, 200, 320};
        QList<QDBusPendingCall> calls;
        for (const int width : widths) {
            calls << Send("Snapshot", {width});
        }
        for (qsizetype i = 0; i < calls.size(); ++i) {
            ASSERT_TRUE(WaitFor([&] { return calls[i].isFinished(); }));
            ExpectSnapshot(calls[i].reply(), widths[i], format, colour, pixels);
        }
    }
    EXPECT_TRUE(session().Sending());

    // Sending stopped while the sending thread was asked: the picture the copy holds.
    ASSERT_FALSE(session().RequestSnapshot(128).Refused());
    EXPECT_FALSE(session().TakeSnapshot());
    session().StopSending();
    const std::optional<OutputSnapshot> stopped = session().TakeSnapshot();
    ASSERT_TRUE(stopped);
    EXPECT_FALSE(stopped->reply.Refused()) << stopped->reply.message.toStdString();
    EXPECT_EQ(QImage::fromData(stopped->jpeg, "JPEG").width(), 128);
}

struct Refused {
    const char* what;
    const char* method;
    QVariantList arguments;
    const char* error; // empty: any error
};

TEST_F(CopyControlTest, WrongArgumentsAndBadFilesAreRefusedAndChangeNothing) {
    const QString folder = files.path();
    auto write = [&](const char* name, const QByteArray& bytes) {
        QFile file(files.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    const QString wrongMagic = write("magic.skf", QByteArray("KOVSKCF9") + QByteArray(168, '\0'));
    const QString truncated = write("short.skf", QByteArray("KOVSKCF1") + QByteArray(40, '\1'));
    const QString empty = write("empty.skf", {});
    const QString huge = write("huge.skf", QByteArray("KOVSKCF1"));
    ASSERT_TRUE(QFile::resize(huge, qint64{1} << 30)); // sparse
    const QString fifo = files.filePath(QStringLiteral("fifo.skf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString unreadable = SavedPresets(QStringLiteral("unreadable.skf"));
    ASSERT_TRUE(QFile::setPermissions(unreadable, {}));

    const char* invalid = bus_names::kErrorInvalidArgs;
    const char* file = bus_names::kErrorFile;
    std::vector<Refused> cases = {
        {"slot 0", "SelectSlot", {0}, invalid},
        {"slot 6", "SelectSlot", {6}, invalid},
        {"slot as text", "SelectSlot", {QStringLiteral("3")}, ""},
        {"empty path", "LoadPresets", {QString()}, invalid},
        {"relative path", "LoadPresets", {QStringLiteral("four.skf")}, invalid},
        {"missing file", "LoadPresets", {folder + "/none.skf"}, file},
        {"folder", "LoadPresets", {folder}, file},
        {"fifo", "LoadPresets", {fifo}, file},
        {"device", "LoadPresets", {QStringLiteral("/dev/zero")}, file},
        {"wrong magic", "LoadPresets", {wrongMagic}, file},
        {"truncated", "LoadPresets", {truncated}, file},
        {"empty file", "LoadPresets", {empty}, file},
        {"huge file", "LoadPresets", {huge}, file},
        {"size not taken", "SetOutput", {4096, 2160, QStringLiteral("25")}, invalid},
        {"size not offered", "SetOutput", {1234, 720, QStringLiteral("25")}, invalid},
        {"negative size", "SetOutput", {-1280, -720, QStringLiteral("25")}, invalid},
        {"rate not offered", "SetOutput", {1280, 720, QStringLiteral("24")}, invalid},
        {"rate as fraction", "SetOutput", {1280, 720, QStringLiteral("30000/1001")}, invalid},
        {"rate empty", "SetOutput", {1280, 720, QString()}, invalid},
        {"pixel format unknown", "SetPixelFormat", {QStringLiteral("rgba")}, invalid},
        {"snapshot too narrow", "Snapshot", {15}, invalid},
        {"snapshot wider than any frame", "Snapshot", {1 << 20}, invalid},
        {"snapshot width as text", "Snapshot", {QStringLiteral("640")}, ""},
        {"no such method", "Reset", {}, ""},
    };
    // Root reads any file.
    if (::geteuid() != 0) {
        cases.push_back({"unreadable", "LoadPresets", {unreadable}, file});
    }
    session().SetFillPattern(FillPattern::Quad);
    const QVariantMap before = Status();
    for (const Refused& c : cases) {
        const QDBusMessage reply = Call(QString::fromLatin1(c.method), c.arguments);
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage) << c.what;
        if (*c.error != '\0') {
            EXPECT_EQ(reply.errorName().toStdString(), c.error) << c.what;
        }
        EXPECT_FALSE(reply.errorMessage().isEmpty()) << c.what;
        EXPECT_EQ(StatusWithoutFrameCount(Status()), StatusWithoutFrameCount(before)) << c.what;
    }
    EXPECT_TRUE(face.told.isEmpty()) << face.told.join(',').toStdString();
    EXPECT_FALSE(session().HasEnded());

    // The NDI side refusing the new format: the caller hears it, the faces are not told,
    // and the user still hears of the next failure of their own.
    CountingRuntime::failCreate = EEXIST;
    const QVariantList sameFormat = {before.value("width"), before.value("height"),
                                     QStringLiteral("25")};
    EXPECT_EQ(Call("SetOutput", sameFormat).errorName().toStdString(), bus_names::kErrorFailed);
    EXPECT_TRUE(face.told.isEmpty()) << face.told.join(',').toStdString();
    session().ChooseRate(FrameRateItemNamed("30"));
    EXPECT_EQ(face.told.size(), 1);
    CountingRuntime::failCreate = 0;
    session().ChooseRate(FrameRateItemNamed("25"));
    ASSERT_TRUE(session().Output()->HasSender());

    // The menus are greyed while sending; so is the call.
    ASSERT_EQ(Call("Start").type(), QDBusMessage::ReplyMessage);
    const QDBusMessage whileSending = Call("SetOutput", {640, 360, QStringLiteral("30")});
    EXPECT_EQ(whileSending.errorName().toStdString(), bus_names::kErrorSending);
    EXPECT_EQ(session().Format().width, before.value("width").toInt());
    EXPECT_TRUE(session().Sending());
}

TEST_F(CopyControlTest, ChangesWaitForTheNumberAndStopWhenTheCopyEnds) {
    {
        // A second copy, not yet settled: it holds no name, and a sender made now would
        // publish under a number it may not get.
        SessionFixture early(AloneSession(5151));
        ASSERT_TRUE(early.session.Start());
        CopySession& unsettled = early.session;
        for (const CommandReply& reply :
             {unsettled.StartSending(Caller::Program), unsettled.SelectSlot(1, Caller::Program),
              unsettled.SetOutput(640, 360, QStringLiteral("30"), Caller::Program),
              unsettled.LoadPresets(SavedPresets(QStringLiteral("p.skf")), Caller::Program),
              unsettled.RequestSnapshot(640)}) {
            EXPECT_EQ(reply.refusal, CommandReply::Refusal::NotReady)
                << reply.message.toStdString();
        }
        EXPECT_FALSE(unsettled.Output()->HasSender());
        EXPECT_EQ(CopyStatus(unsettled).value("number").toInt(), 0);
    }

    face.answers = {true};
    session().Exit();
    ASSERT_TRUE(session().HasEnded());
    // The name went with the copy; its own connection still answers.
    for (const auto& [method, arguments] :
         {std::pair{"Start", QVariantList{}}, std::pair{"Snapshot", QVariantList{640}}}) {
        const QDBusMessage reply =
            Call(QString::fromLatin1(method), arguments, copy->link->Connection().baseService());
        EXPECT_EQ(reply.errorName().toStdString(), bus_names::kErrorNotReady) << method;
    }
    EXPECT_FALSE(session().Sending());
}

// The real program and skyfill-remote, each a process of its own.
class RemoteToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HasSessionBus()) {
            GTEST_SKIP() << "no session bus; the test command provides one";
        }
    }
    void TearDown() override {
        for (Copy& copy : copies) {
            copy.process->terminate();
        }
        for (Copy& copy : copies) {
            copy.process->waitForFinished(60000);
        }
    }

    int StartCopy() {
        Copy copy;
        copy.process->setProcessEnvironment(HeadlessEnvironment());
        copy.process->setWorkingDirectory(copy.dir->path());
        copy.process->start(QStringLiteral(SKYFILL_BINARY),
                            {QStringLiteral("--presets-dir"), copy.dir->path()});
        EXPECT_TRUE(copy.process->waitForStarted(60000));
        copies.push_back(std::move(copy));
        return SettledNumber(copies.back(), 120000);
    }

    // `deadlineMs` only guards against a hang.
    Ran Remote(const QStringList& arguments, int deadlineMs = 120000) {
        QProcess remote;
        remote.setWorkingDirectory(here.path());
        remote.start(QStringLiteral(SKYFILL_REMOTE), arguments);
        Ran ran;
        if (!remote.waitForFinished(deadlineMs)) {
            ADD_FAILURE() << arguments.join(u' ').toStdString() << " did not end in time";
            remote.kill();
            remote.waitForFinished();
        }
        ran.code = remote.exitStatus() == QProcess::NormalExit ? remote.exitCode() : -1;
        ran.out = remote.readAllStandardOutput();
        ran.err = remote.readAllStandardError();
        return ran;
    }

    QJsonObject Status(const QStringList& more = {}) {
        const Ran ran =
            Remote(QStringList{QStringLiteral("status"), QStringLiteral("--json")} + more);
        EXPECT_EQ(ran.code, 0) << ran.err.constData();
        QJsonParseError error{};
        const QJsonDocument json = QJsonDocument::fromJson(ran.out, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << ran.out.constData();
        EXPECT_TRUE(json.isArray());
        return json.array().first().toObject();
    }

    std::vector<Copy> copies;
    QTemporaryDir here;
};

TEST_F(RemoteToolTest, DrivesOneCopyAndReportsRefusals) {
    const Ran none = Remote({QStringLiteral("start")});
    EXPECT_EQ(none.code, 1);
    EXPECT_EQ(none.err, "skyfill-remote: no copy is running\n");
    ASSERT_EQ(StartCopy(), 1);
    const QJsonObject first = Status();
    for (const char* key :
         {"number", "source-name", "sending", "width", "height", "rate-numerator",
          "rate-denominator", "frames-sent", "fill-pattern", "rotation", "rotation-period-ms",
          "clouds", "cloud-set", "cloud-speed", "slot", "mask", "mask-path"}) {
        EXPECT_TRUE(first.contains(QString::fromLatin1(key))) << key;
    }
    EXPECT_EQ(first.value("source-name").toString().toStdString(), "Kova Gradient 1");
    const Ran table = Remote({QStringLiteral("status")});
    EXPECT_EQ(table.code, 0);
    EXPECT_TRUE(table.out.contains("Kova Gradient 1")) << table.out.constData();

    // With one copy running, --copy may be left out; a relative file is the tool's.
    PresetBlock block = DefaultPresetBlock();
    block.m_presetSlot = 4;
    ASSERT_TRUE(
        SavePresetBytes(QFile::encodeName(here.filePath("five.skf")).toStdString(), block, u"")
            .saved);
    EXPECT_EQ(Remote({QStringLiteral("load"), QStringLiteral("five.skf")}).code, 0);
    EXPECT_EQ(Status().value("slot").toInt(), 5);
    // A damaged mask section: loaded, and the copy's warning reaches the user.
    QFile five(here.filePath("five.skf"));
    ASSERT_TRUE(five.open(QIODevice::Append) && five.write("KOVSKCF2x") == 9);
    five.close();
    const Ran partly = Remote({QStringLiteral("load"), QStringLiteral("five.skf")});
    EXPECT_EQ(partly.code, 0);
    EXPECT_TRUE(partly.err.contains("copy 1: ")) << partly.err.constData();
    EXPECT_TRUE(partly.err.contains("getting Alpha Mask name")) << partly.err.constData();
    EXPECT_EQ(Remote({QStringLiteral("slot"), QStringLiteral("2")}).code, 0);
    EXPECT_EQ(Status().value("slot").toInt(), 2);
    EXPECT_EQ(Remote({"output", "960x540", "30", "--copy", "1"}).code, 0);
    EXPECT_EQ(Status({"--copy", "1"}).value("width").toInt(), 960);

    EXPECT_EQ(Remote({"start", "--copy", "1"}).code, 0);
    EXPECT_TRUE(Status().value("sending").toBool());
    EXPECT_TRUE(WaitFor([&] { return Status().value("frames-sent").toInteger() > 2; }));

    // Written whole, then replaced whole: nothing else is left in the folder.
    const QString shot = here.filePath(QStringLiteral("shot.jpg"));
    EXPECT_EQ(Remote({QStringLiteral("snapshot"), QStringLiteral("shot.jpg")}).code, 0);
    EXPECT_EQ(QImage(shot, "JPEG").size(), QSize(640, 360));
    const Ran narrow = Remote({"snapshot", "shot.jpg", "--width", "320", "--copy", "1"});
    EXPECT_EQ(narrow.code, 0) << narrow.err.constData();
    EXPECT_EQ(QImage(shot, "JPEG").size(), QSize(320, 180));
    EXPECT_EQ(QDir(here.path()).entryList({QStringLiteral("shot*")}, QDir::AllEntries),
              QStringList{QStringLiteral("shot.jpg")});

    struct Expected {
        QStringList arguments;
        int code;
        const char* says;
    };
    const Expected refusals[] = {
        {{"output", "1280x720", "25"}, 1, "stop first"},
        {{"slot", "9"}, 1, "No preset slot 9"},
        {{"load", "missing.skf"}, 1, "missing.skf: no such file"},
        {{"status", "--copy", "5"}, 1, "no copy 5 is running"},
        {{"slot", "2", "--copy", "5"}, 1, "no copy 5 is running"},
        {{"stop", "--copy", "7"}, 1, "no copy 7 is running"},
        {{"snapshot", "shot.jpg", "--width", "8"}, 1, "No snapshot 8 pixels wide"},
        {{"snapshot", "."}, 1, ".: a folder, not a file"},
        {{"snapshot", "/dev/null"}, 1, "/dev/null: not a regular file"},
        {{"snapshot", "none/shot.jpg"}, 1, "none: no such folder"},
        {{"snapshot", "shot.jpg", "--width", "wide"}, 2, "--width: 'wide' is not a number"},
        {{"slot", "2", "--width", "320"}, 2, "--width is for snapshot only"},
        {{"snapshot"}, 2, "snapshot takes 1 argument"},
        {{"slot", "two"}, 2, "slot takes a number"},
        {{"output", "1280", "25"}, 2, "output takes a size"},
        {{"slot"}, 2, "slot takes 1 argument"},
        {{"status", "--copy", "0"}, 2, "--copy: '0' is not a number from 1 to 8"},
        {{"status", "--copy"}, 2, "--copy: a value is needed"},
        {{"start", "--json"}, 2, "--json is for status only"},
        {{"restart"}, 2, "unknown command 'restart'"},
        {{}, 2, "a command is needed"},
        {{"--frobnicate"}, 2, "unknown option '--frobnicate'"},
        {{"--help-all"}, 2, "unknown option '--help-all'"},
    };
    for (const Expected& e : refusals) {
        const Ran ran = Remote(e.arguments);
        const QString what = e.arguments.join(u' ');
        EXPECT_EQ(ran.code, e.code) << what.toStdString();
        const QList<QByteArray> lines = ran.err.split('\n');
        ASSERT_EQ(lines.size(), e.code == 2 ? 3 : 2)
            << what.toStdString() << ": " << ran.err.constData();
        EXPECT_TRUE(lines[0].contains(e.says)) << what.toStdString() << ": " << ran.err.constData();
        if (e.code == 2) {
            EXPECT_EQ(lines[1], "Try 'skyfill-remote --help'.") << what.toStdString();
        }
    }
    const Ran help = Remote({QStringLiteral("-h")});
    EXPECT_EQ(help.code, 0);
    for (const char* heading : {"\n*Exit status*\n", "\nEnvironment:\n", "\n*See also*\n"}) {
        EXPECT_TRUE(help.out.contains(heading)) << heading;
    }
    EXPECT_FALSE(help.out.contains("--help-all"));
    EXPECT_EQ(Status().value("width").toInt(), 960);
    EXPECT_TRUE(Status().value("sending").toBool());

    EXPECT_EQ(Remote({"stop", "--copy", "1"}).code, 0);
    EXPECT_FALSE(Status().value("sending").toBool());

    // Every copy at once: the tool says which ones it moved.
    EXPECT_EQ(Remote({QStringLiteral("start")}).out, "copy 1 started\n");
    EXPECT_TRUE(Status().value("sending").toBool());
    EXPECT_EQ(Remote({QStringLiteral("start")}).out, "copy 1 was already sending\n");
    EXPECT_EQ(Remote({QStringLiteral("stop")}).out, "copy 1 stopped\n");
    EXPECT_FALSE(Status().value("sending").toBool());

    // Two copies: which one is meant must be said.
    ASSERT_EQ(StartCopy(), 2);
    const Ran ambiguous = Remote({QStringLiteral("slot"), QStringLiteral("3")});
    EXPECT_EQ(ambiguous.code, 2);
    EXPECT_TRUE(ambiguous.err.contains("--copy")) << ambiguous.err.constData();
    const QJsonDocument both =
        QJsonDocument::fromJson(Remote({QStringLiteral("status"), QStringLiteral("--json")}).out);
    EXPECT_EQ(both.array().size(), 2);
    const Ran started = Remote({QStringLiteral("start")});
    EXPECT_EQ(started.code, 0) << started.err.constData();
    EXPECT_EQ(started.out, "copies 1, 2 started\n");
}

// Owns a copy's bus name on a connection of its own, and takes the calls made to it into
// a thread that never looks at them, as a copy stuck in a long task would.
class SilentCopy {
public:
    explicit SilentCopy(int number)
        : m_thread(QThread::create([this, number] {
              QObject stuck;
              QDBusConnection bus =
                  QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnection);
              m_owns =
                  bus.registerObject(bus_names::kPath, &stuck, QDBusConnection::ExportAllSlots) &&
                  bus.registerService(QString::fromStdString(bus_names::CopyName(number)));
              m_ready.release();
              m_done.acquire();
          })) {
        m_thread->start();
        m_ready.acquire();
    }
    ~SilentCopy() {
        m_done.release();
        m_thread->wait();
        QDBusConnection::disconnectFromBus(kConnection);
    }
    SilentCopy(const SilentCopy&) = delete;
    SilentCopy& operator=(const SilentCopy&) = delete;

    bool Owns() const { return m_owns; }

private:
    static inline const QString kConnection = QStringLiteral("silent");
    std::unique_ptr<QThread> m_thread;
    QSemaphore m_ready;
    QSemaphore m_done;
    bool m_owns = false;
};

TEST_F(RemoteToolTest, ACopyThatNeverAnswersIsNamedAndTheOthersAreShown) {
    const SilentCopy silent(1);
    ASSERT_TRUE(silent.Owns());
    ASSERT_EQ(StartCopy(), 2);
    // Well short of the bus's own 25 seconds for a call.
    constexpr int kDeadlineMs = 15000;
    const Ran status = Remote({QStringLiteral("status")}, kDeadlineMs);
    EXPECT_EQ(status.code, 1);
    EXPECT_EQ(status.err, "skyfill-remote: copy 1 did not answer\n");
    EXPECT_TRUE(status.out.contains("Kova Gradient 2")) << status.out.constData();
    const Ran json = Remote({QStringLiteral("status"), QStringLiteral("--json")}, kDeadlineMs);
    EXPECT_EQ(json.code, 1);
    EXPECT_EQ(QJsonDocument::fromJson(json.out).array().size(), 1) << json.out.constData();

    const Ran start = Remote({QStringLiteral("start")}, kDeadlineMs);
    EXPECT_EQ(start.code, 1);
    EXPECT_EQ(start.out, "copy 2 started\n");
    EXPECT_EQ(start.err, "skyfill-remote: copy 1 did not answer\n");
}

} // namespace

#include "copy_control_test.moc"
