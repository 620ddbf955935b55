// Copies coordinating over a real session bus (the test command runs the suite under
// dbus-run-session). Each copy has a connection of its own, as separate processes would.

#include "tests/bus/bus_support.h"
#include "vocabulary/bus_names.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusSignature>
#include <QDBusVariant>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

// The coordination message, the way dbus-send would post it.
QDBusMessage PostSignal(const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createSignal(
        bus_names::kPath, bus_names::kCoordinationInterface, bus_names::kPostMember);
    message.setArguments(arguments);
    return message;
}

QDBusMessage PostSignal(int command, qlonglong argument) {
    return PostSignal({command, argument});
}

class BusCoordinationTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HasSessionBus()) {
            GTEST_SKIP() << "no session bus; the test command provides one";
        }
    }
    void TearDown() override {
        copies.clear();
        for (const QString& name : connections) {
            QDBusConnection::disconnectFromBus(name);
        }
    }

    QDBusConnection Connect(const QString& name) {
        connections << name;
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    }

    CopySession& Launch(uint32_t pid) {
        copies.push_back(
            std::make_unique<BusCopy>(QStringLiteral("copy%1").arg(pid), AloneSession(pid), face));
        EXPECT_TRUE(copies.back()->Start());
        return *copies.back()->session;
    }

    static bool Settled(const CopySession& copy) { return !copy.SettleTimer().isActive(); }

    void PostFromOutside(const QDBusMessage& message) {
        QDBusConnection outside = Connect(QStringLiteral("outside"));
        ASSERT_TRUE(outside.send(message));
    }

    ScriptedFace face;
    std::vector<std::unique_ptr<BusCopy>> copies;
    QStringList connections;
};

TEST_F(BusCoordinationTest, CopiesTakeConsecutiveNumbersAndObeyRemoteStartStop) {
    CopySession& first = Launch(1001);
    ASSERT_TRUE(WaitFor([&] { return Settled(first); }));
    EXPECT_EQ(first.CopyNumber(), 1);

    CopySession& second = Launch(1002);
    ASSERT_TRUE(WaitFor([&] { return Settled(second); }));
    EXPECT_EQ(second.CopyNumber(), 2);
    EXPECT_EQ(second.Numbering().m_instanceNumber, 1);
    EXPECT_TRUE(second.Output()->HasSender());

    PostFromOutside(PostSignal(1, 1));
    ASSERT_TRUE(WaitFor([&] { return first.Sending() && second.Sending(); }));
    EXPECT_FALSE(first.Controls().start);

    PostFromOutside(PostSignal(1, 0));
    ASSERT_TRUE(WaitFor([&] { return !first.Sending() && !second.Sending(); }));
    EXPECT_TRUE(second.Controls().start);
}

// Every shape but (int32, int64) on the coordination path and interface: basic types,
// containers, variants, missing and extra arguments.
QList<QVariantList> OtherShapes() {
    QDBusArgument structure;
    structure.beginStructure();
    structure << 1 << qlonglong{1};
    structure.endStructure();
    const QVariantList basics = {QVariant::fromValue(uchar{1}),
                                 true,
                                 QVariant::fromValue(short{1}),
                                 QVariant::fromValue(ushort{1}),
                                 1,
                                 1u,
                                 qlonglong{1},
                                 qulonglong{1},
                                 1.0,
                                 QStringLiteral("1"),
                                 QVariant::fromValue(QDBusObjectPath(QStringLiteral("/a"))),
                                 QVariant::fromValue(QDBusSignature(QStringLiteral("i")))};
    const QVariantList containers = {QVariant::fromValue(QList<int>{1}),
                                     QStringList{"1"},
                                     QByteArray("\1"),
                                     QVariantMap{{"a", 1}},
                                     QVariant::fromValue(QDBusVariant(1)),
                                     QVariant::fromValue(QDBusVariant(qlonglong{1})),
                                     QVariant::fromValue(structure)};
    QList<QVariantList> shapes = {{}, {1, qlonglong{1}, 1}, {qlonglong{1}, 1}};
    for (const QVariant& value : basics + containers) {
        shapes << QVariantList{value} << QVariantList{value, qlonglong{1}}
               << QVariantList{1, value};
    }
    // Not the one valid shape, which the loop above also builds.
    shapes.removeIf([](const QVariantList& arguments) {
        return arguments.size() == 2 && arguments[0].metaType() == QMetaType::fromType<int>() &&
               arguments[1].metaType() == QMetaType::fromType<qlonglong>();
    });
    return shapes;
}

TEST_F(BusCoordinationTest, MessagesOfAnyOtherShapeAndFloodedAnswersDoNoHarm) {
    CopySession& first = Launch(3001);
    ASSERT_TRUE(WaitFor([&] { return Settled(first); }));
    CopySession& second = Launch(3002);
    ASSERT_TRUE(WaitFor([&] { return Settled(second); }));

    QDBusConnection outside = Connect(QStringLiteral("hostile"));
    for (const QVariantList& arguments : OtherShapes()) {
        const QDBusMessage message = PostSignal(arguments);
        EXPECT_TRUE(outside.send(message)) << message.signature().toStdString();
    }
    // Well-formed commands out of range, and answers claiming every number, while a
    // newcomer settles: answers cannot hand out numbers or send anyone away.
    outside.send(PostSignal(1, 7));
    CopySession& third = Launch(3003);
    for (int round = 0; round < 50; ++round) {
        for (int n = -1; n < 9; ++n) {
            outside.send(PostSignal(3, n));
        }
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(WaitFor([&] { return Settled(third); }));
    EXPECT_TRUE(face.asked.isEmpty()) << face.asked.join(',').toStdString();
    EXPECT_EQ(first.Numbering().m_instanceNumber, 0);
    EXPECT_EQ(second.Numbering().m_instanceNumber, 1);
    EXPECT_EQ(third.Numbering().m_instanceNumber, 2);
    EXPECT_EQ(third.CopyNumber(), 3);
    EXPECT_FALSE(first.Sending() || second.Sending() || third.Sending());

    PostFromOutside(PostSignal(1, 1));
    EXPECT_TRUE(WaitFor([&] { return first.Sending() && second.Sending() && third.Sending(); }));
}

TEST_F(BusCoordinationTest, NinthCopyAsksToExitAndStaysWithoutASenderWhenDeclined) {
    // Eight copies hold the eight numbers.
    for (int number = 1; number <= bus_names::kMaxCopies; ++number) {
        QDBusConnection holder = Connect(QStringLiteral("holder%1").arg(number));
        ASSERT_TRUE(holder.registerService(QString::fromStdString(bus_names::CopyName(number))));
    }
    CopySession& ninth = Launch(2009);
    face.answers = {false};
    ASSERT_TRUE(WaitFor([&] { return Settled(ninth); }));
    ASSERT_EQ(face.asked.size(), 1);
    EXPECT_EQ(face.asked[0], QStringLiteral("Quit Skyfill|OK to exit?"));
    EXPECT_FALSE(ninth.HasEnded());
    EXPECT_FALSE(ninth.EndedWithoutNumber());
    EXPECT_FALSE(ninth.Output()->HasSender());
    EXPECT_EQ(ninth.CopyNumber(), 0);
}

} // namespace
