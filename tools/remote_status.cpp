#include "tools/remote_status.h"

#include "tools/escaped_text.h"
#include "vocabulary/settings_vocabulary.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>

namespace {

QString Key(std::string_view key) {
    return QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
}

QString YesNo(const QVariant& value) {
    return value.toBool() ? QStringLiteral("yes") : QStringLiteral("no");
}

// 30000/1001 as 29.97, 30000/1000 as 30.
QString Rate(const QVariantMap& status) {
    const double denominator = status.value(Key(status_key::kRateDenominator)).toDouble();
    if (denominator <= 0) {
        return QStringLiteral("?");
    }
    return QString::number(status.value(Key(status_key::kRateNumerator)).toDouble() / denominator,
                           'g', 4);
}

// A copy answers with whatever its paths hold; the table is for a terminal.
QString Shown(const QString& text) {
    return QString::fromStdString(Escaped(text.toStdString()));
}

QStringList Row(const QVariantMap& s) {
    auto text = [&s](std::string_view key) { return s.value(Key(key)).toString(); };
    const QString rotation = text(kRotationSetting.key) == Key(kRotationNames[0].name)
                                 ? text(kRotationSetting.key)
                                 : QStringLiteral("%1 %2ms").arg(text(kRotationSetting.key),
                                                                 text(kRotationSliderSetting.key));
    const QString clouds = s.value(Key(status_key::kClouds)).toBool()
                               ? QStringLiteral("set %1 speed %2")
                                     .arg(text(kCloudSetSetting.key), text(kCloudSpeedSetting.key))
                               : QStringLiteral("off");
    const QString maskPath = text(status_key::kMaskPath);
    return {text(status_key::kNumber),
            text(status_key::kSourceName),
            YesNo(s.value(Key(status_key::kSending))),
            QStringLiteral("%1x%2 %3")
                .arg(text(status_key::kWidth), text(status_key::kHeight), Rate(s)),
            text(status_key::kFramesSent),
            text(kFillPatternSetting.key),
            rotation,
            clouds,
            text(kPresetSlotSetting.key),
            YesNo(s.value(Key(status_key::kMask))),
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
        QStringList row = Row(copy);
        for (QString& cell : row) {
            cell = Shown(cell);
        }
        rows << row;
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
    return TerminalSafeJson(QJsonDocument(array));
}
