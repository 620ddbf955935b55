// skyfill-remote's status table, whose cells come from whatever a copy answers.

#include "tools/remote_status.h"

#include <QList>
#include <QVariantMap>
#include <gtest/gtest.h>

namespace {

QVariantMap Copy(const QString& maskPath) {
    return {{QStringLiteral("number"), 1},
            {QStringLiteral("source-name"), QStringLiteral("Kova Gradient 1")},
            {QStringLiteral("sending"), true},
            {QStringLiteral("width"), 1280},
            {QStringLiteral("height"), 720},
            {QStringLiteral("rate-numerator"), 30000},
            {QStringLiteral("rate-denominator"), 1001},
            {QStringLiteral("frames-sent"), 42},
            {QStringLiteral("fill-pattern"), QStringLiteral("quad")},
            {QStringLiteral("rotation"), QStringLiteral("static")},
            {QStringLiteral("clouds"), false},
            {QStringLiteral("slot"), 1},
            {QStringLiteral("mask"), true},
            {QStringLiteral("mask-path"), maskPath}};
}

// A mask path may hold anything a file name can: the table shows control characters as
// \xNN, so they can neither drive the terminal nor break the table's lines and columns.
TEST(RemoteStatus, TheTableEscapesControlCharactersAndKeepsItsColumns) {
    const QString path = QStringLiteral("/m/\x1b[2J\a\r\n\u0085\x7f\\é.png");
    const QByteArray table = StatusTable({Copy(path)});
    const QList<QByteArray> lines = table.split('\n');
    ASSERT_EQ(lines.size(), 3) << table.constData(); // header, copy, and the end
    EXPECT_TRUE(lines[2].isEmpty());
    for (const char byte : table) {
        const auto unit = static_cast<unsigned char>(byte);
        EXPECT_TRUE(byte == '\n' || (unit >= 0x20 && unit != 0x7F)) << int{unit};
    }
    EXPECT_FALSE(table.contains("\xC2\x85")); // the C1 control NEL
    EXPECT_TRUE(lines[1].endsWith("/m/\\x1B[2J\\x07\\x0D\\x0A\\xC2\\x85\\x7F\\x5C\xC3\xA9.png"))
        << lines[1].constData();
    EXPECT_EQ(lines[0].indexOf("Mask file"), lines[1].indexOf("/m/"));
}

} // namespace
