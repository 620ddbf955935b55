#pragma once

#include "session/command_reply.h"
#include "session/session_face.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

class BusLink;
class CopySession;
struct OutputSnapshot;

// The object exported at /KovaCo/UK/Skyfill. The bus gives the calling message to the
// adaptor's parent, not to the adaptor, so the error replies go through here.
class CopyControlObject : public QObject, public QDBusContext {
    Q_OBJECT
public:
    using QObject::QObject;
};

// One copy's own status and controls on the bus, beside the broadcast Post signal at
// /KovaCo/UK/Skyfill: a face of the copy's session. Calls run on the session's thread.
class CopyControl : public QDBusAbstractAdaptor, public SessionFace {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "uk.KovaCo.Skyfill.Copy")
    // Reaches gdbus introspect and d-feet verbatim, so the docs live here.
    Q_CLASSINFO("D-Bus Introspection",
                "  <interface name=\"uk.KovaCo.Skyfill.Copy\">\n"
                "    <annotation name=\"org.gtk.GDBus.DocString\" value=\"One running copy of "
                "Skyfill, on its bus name uk.KovaCo.Skyfill.CopyN (N = 1..8). Refusals are "
                "D-Bus errors: org.freedesktop.DBus.Error.InvalidArgs, "
                "uk.KovaCo.Skyfill.Error.NotReady (no number yet, or ending), "
                "uk.KovaCo.Skyfill.Error.Sending (stop sending first), "
                "uk.KovaCo.Skyfill.Error.File (preset file), "
                "uk.KovaCo.Skyfill.Error.Failed (the NDI source did not follow, or no snapshot "
                "could be made); a refused call changes nothing.\"/>\n"
                "    <method name=\"Status\">\n"
                "      <annotation name=\"org.gtk.GDBus.DocString\" value=\"Keys: number "
                "(i, 1..8, 0 before it is settled), source-name (s), sending (b), width (i), "
                "height (i), rate-numerator (i), rate-denominator (i), frames-sent (t, frames "
                "the copy has sent since it started), fill-pattern (s: full, h-split, v-split, "
                "quad), rotation (s: static, cw, ccw), rotation-period-ms (i), clouds (b), "
                "cloud-set (i, 1..2), cloud-speed (i), slot (i, 1..5), mask (b, the mask is in "
                "use), mask-path (s, empty when no mask file is set), pixel-format (s: bgrx, uyvy; "
                "the pixels chosen for output without the mask), fourcc (s: BGRX, BGRA while "
                "the mask is in use, UYVY; what is sent).\"/>\n"
                "      <arg name=\"status\" type=\"a{sv}\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"Start\">\n"
                "      <annotation name=\"org.gtk.GDBus.DocString\" value=\"Starts sending in "
                "this copy alone, as its Start button does. Sending already: nothing "
                "changes.\"/>\n"
                "    </method>\n"
                "    <method name=\"Stop\">\n"
                "      <annotation name=\"org.gtk.GDBus.DocString\" value=\"Stops sending in "
                "this copy alone, as its Stop button does.\"/>\n"
                "    </method>\n"
                "    <method name=\"SelectSlot\">\n"
                "      <annotation name=\"org.gtk.GDBus.DocString\" value=\"Makes preset slot "
                "1..5 the active one, as a click on its button does.\"/>\n"
                "      <arg name=\"slot\" type=\"i\" direction=\"in\"/>\n"
                "    </method>\n"
                "    <method name=\"LoadPresets\">\n"
                "      <annotation name=\"org.gtk.GDBus.DocString\" value=\"Loads a preset "
                "file (.skf) by its absolute path, as Load Presets from file does. warnings: "
                "what the window would have shown after a load that still took place, such as "
                "a damaged mask section (the presets are loaded, the mask is not); empty when "
                "all of the file was taken.\"/>\n"
                "      <arg name=\"path\" type=\"s\" direction=\"in\"/>\n"
                "      <arg name=\"warnings\" type=\"as\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"SetOutput\">\n"
                "      <annotation name=\"org.gtk.GDBus.DocString\" value=\"Sets the output "
                "size and frame rate to values the menus offer: 1920x1080, 1280x720, 960x540, "
                "720x576, 720x480 or 640x360; rate 25, 29.97 or 30. Refused while "
                "sending.\"/>\n"
                "      <arg name=\"width\" type=\"i\" direction=\"in\"/>\n"
                "      <arg name=\"height\" type=\"i\" direction=\"in\"/>\n"
                "      <arg name=\"rate\" type=\"s\" direction=\"in\"/>\n"
                "    </method>\n"
                "    <method name=\"SetPixelFormat\">\n"
                "      <annotation name=\"org.gtk.GDBus.DocString\" value=\"bgrx (the "
                "default) or uyvy (4:2:2, cheaper for the NDI runtime to send): the pixels "
                "sent while the mask is not in use; with the mask the output is BGRA. Takes "
                "effect with the next frame, sending or not. Not kept in preset files.\"/>\n"
                "      <arg name=\"format\" type=\"s\" direction=\"in\"/>\n"
                "    </method>\n"
                "    <method name=\"Snapshot\">\n"
                "      <annotation name=\"org.gtk.GDBus.DocString\" value=\"The output picture "
                "as a JPEG file (jpeg), width pixels wide and height high: maxWidth (16..4096) or "
                "the output's own width if that is less, and the output's shape. While sending, "
                "the next frame drawn, taken without holding sending up; while not, the picture "
                "the copy holds. Calls are answered in turn.\"/>\n"
                "      <arg name=\"maxWidth\" type=\"i\" direction=\"in\"/>\n"
                "      <arg name=\"width\" type=\"i\" direction=\"out\"/>\n"
                "      <arg name=\"height\" type=\"i\" direction=\"out\"/>\n"
                "      <arg name=\"jpeg\" type=\"ay\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <signal name=\"StatusChanged\">\n"
                "      <annotation name=\"org.gtk.GDBus.DocString\" value=\"The new status, "
                "as Status gives it, after any change but the frame count.\"/>\n"
                "      <arg name=\"status\" type=\"a{sv}\"/>\n"
                "    </signal>\n"
                "  </interface>\n")
public:
    // Exports the interface through `link` for `session`, which outlives `parent`;
    // null when the bus does not take it.
    static CopyControl* Export(BusLink& link, CopySession& session, QObject* parent);
    ~CopyControl() override;

    // SessionFace: the bus hears of a change once, after the command in progress, if
    // the status it tells changed.
    void StatusChanged() override;

public slots:
    QVariantMap Status();
    void Start();
    void Stop();
    void SelectSlot(int slot);
    QStringList LoadPresets(const QString& path);
    void SetOutput(int width, int height, const QString& rate);
    void SetPixelFormat(const QString& format);
    // Answered later, once the picture is there: the call is queued behind any before it.
    void Snapshot(int maxWidth);

signals:
    void StatusChanged(const QVariantMap& status);

private:
    CopyControl(CopyControlObject* holder, CopySession& session);
    // The reply, and with --verbose a line saying who asked for what and how it went.
    void Answer(const char* method, const CommandReply& reply);
    void AnnounceStatus();
    // Serves the queued snapshot calls in turn, and polls for the one asked for.
    void ServeSnapshots();
    void AnswerSnapshot(const OutputSnapshot& snapshot);

    // A snapshot call waiting for its answer.
    struct SnapshotCall {
        QDBusConnection connection;
        QDBusMessage message;
        int maxWidth = 0;
    };

    CopyControlObject* m_holder;
    CopySession& m_session;
    QTimer m_statusTimer;
    // As StatusChanged last told it, without the frame count.
    QVariantMap m_announcedStatus;
    QList<SnapshotCall> m_snapshotCalls;
    // Whether the session was asked for the first call's picture, and since when.
    bool m_snapshotAsked = false;
    QElapsedTimer m_snapshotWait;
    QTimer m_snapshotTimer;
};
