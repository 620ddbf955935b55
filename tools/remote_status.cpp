#include "tools/remote_status.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>

namespace {

QString YesNo(const QVariant& value) {
    return value.toBool() ? QStringLiteral("yes") : QStringLiteral("no");
}

// 30000/1001 as 29.97, 30000/1000 as 30.
QString Rate(const QVariantMap& status) {
    const double denominator = status.value(QStringLiteral("rate-denominator")).toDouble();
    if (denominator <= 0) {
        return QStringLiteral("?");
    }
    return QString::number(status.value(QStringLiteral("rate-numerator")).toDouble() / denominator,
                           'g', 4);
}

QStringList Row(const QVariantMap& s) {
    auto text = [&s](const char* key) { return s.value(QString::fromLatin1(key)).toString(); };
    const QString rotation =
        text("rotation") == QStringLiteral("static")
            ? text("rotation")
            : QStringLiteral("%1 %2ms").arg(text("rotation"), text("rotation-period-ms"));
    const QString clouds =
        s.value(QStringLiteral("clouds")).toBool()
            ? QStringLiteral("set %1 speed %2").arg(text("cloud-set"), text("cloud-speed"))
            : QStringLiteral("off");
    const QString maskPath = text("mask-path");
    return {text("number"),
            text("source-name"),
            YesNo(s.value(QStringLiteral("sending"))),
            QStringLiteral("%1x%2 %3").arg(text("width"), text("height"), Rate(s)),
            text("frames-sent"),
            text("fill-pattern"),
            rotation,
            clouds,
            text("slot"),
            YesNo(s.value(QStringLiteral("mask"))),
            maskPath.isEmpty() ? QStringLiteral("-") : maskPath};
}

} // namespace

QByteArray StatusTable(const QList<QVariantMap>& copies) {
    QList<QStringList> rows = {
        {QStringLiteral("No"), QStringLiteral("Source"), QStringLiteral("Sending"),
         QStringLiteral("Format"), QStringLiteral("Frames"), QStringLiteral("Pattern"),
         QStringLiteral("Rotation"), QStringLiteral("Clouds"), QStringLiteral("Slot"),
         QStringLiteral("Mask"), QStringLiteral("Mask file")}};
    for (const QVariantMap& copy : copies) {
        rows << Row(copy);
    }
    QList<qsizetype> widths(rows.front().size(), 0);
    for (const QStringList& row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
    }
    QByteArray out;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i) {
            line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        }
        out += line.toUtf8() + '\n';
    }
    return out;
}

QByteArray StatusJson(const QList<QVariantMap>& copies) {
    QJsonArray array;
    for (const QVariantMap& copy : copies) {
        array.append(QJsonObject::fromVariantMap(copy));
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}
