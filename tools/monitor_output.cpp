#include "tools/monitor_output.h"

#include "ndi/ndi_abi.h"
#include "tools/escaped_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <pwd.h>
#include <unistd.h>

namespace {

// Source text is bytes; anything not UTF-8 in it becomes U+FFFD in JSON.
QString Text(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

const char* FourCCText(uint32_t fourCC) {
    switch (fourCC) {
    case NDIlib_FourCC_video_type_BGRX:
        return "BGRX";
    case NDIlib_FourCC_video_type_BGRA:
        return "BGRA";
    case NDIlib_FourCC_video_type_UYVY:
        return "UYVY";
    default:
        return "-";
    }
}

// The user's name, or their number when they have none.
std::string UserName(uid_t uid) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
        return found->pw_name;
    }
    return std::to_string(uid);
}

std::string Line(const char* format, auto... values) {
    char line[512];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

QByteArray ListText(const std::vector<ListedStandIn>& standIns,
                    const std::vector<NdiSource>& ndiSources) {
    std::string out;
    for (const ListedStandIn& source : standIns) {
        out += Escaped(source.name);
        if (const std::optional<ListedStandIn::Figures>& f = source.figures) {
            out += Line("\t%dx%d\t%s\t%d/%d\t%llu\t%.2f", f->width, f->height,
                        FourCCText(f->fourCC), f->rateN, f->rateD,
                        static_cast<unsigned long long>(f->frames), f->framesPerSecond);
        } else {
            out += "\t-\t-\t-\t-\t-";
        }
        if (source.owner != geteuid()) {
            out += "\tuser " + Escaped(UserName(source.owner));
        }
        out += '\n';
    }
    for (const NdiSource& source : ndiSources) {
        out += Escaped(source.name) + "\tNDI\t" + Escaped(source.url) + '\n';
    }
    return QByteArray::fromStdString(out);
}

// Every stand-in has every key: what another user's unreadable source hides is null.
QJsonObject StandInJson(const ListedStandIn& source) {
    QJsonObject object{
        {"name", Text(source.name)}, {"type", "stand-in"}, {"user", Text(UserName(source.owner))}};
    if (!source.figures) {
        for (const char* key : {"width", "height", "fourcc", "rate-numerator", "rate-denominator",
                                "frames-sent", "frames-per-second"}) {
            object[QLatin1String(key)] = QJsonValue();
        }
        return object;
    }
    const ListedStandIn::Figures& f = *source.figures;
    object["width"] = f.width;
    object["height"] = f.height;
    object["fourcc"] = f.fourCC != 0 ? QJsonValue(FourCCText(f.fourCC)) : QJsonValue();
    object["rate-numerator"] = f.rateN;
    object["rate-denominator"] = f.rateD;
    object["frames-sent"] = static_cast<qint64>(f.frames);
    object["frames-per-second"] = f.framesPerSecond;
    return object;
}

} // namespace

QByteArray ListOutput(const std::vector<ListedStandIn>& standIns,
                      const std::vector<NdiSource>& ndiSources, bool json) {
    if (!json) {
        return ListText(standIns, ndiSources);
    }
    QJsonArray array;
    for (const ListedStandIn& source : standIns) {
        array.append(StandInJson(source));
    }
    for (const NdiSource& source : ndiSources) {
        array.append(QJsonObject{
            {"name", Text(source.name)}, {"type", "ndi"}, {"address", Text(source.url)}});
    }
    return TerminalSafeJson(QJsonDocument(array));
}

QByteArray MetadataOutput(const std::string& name, const std::string& metadata, bool json) {
    if (!json) {
        return QByteArray::fromStdString(Escaped(metadata) + '\n');
    }
    return TerminalSafeJson(
        QJsonDocument(QJsonObject{{"name", Text(name)}, {"metadata", Text(metadata)}}));
}

QByteArray WatchOutput(const std::string& name, const FrameTiming::Summary& s, bool json) {
    if (!json) {
        return QByteArray::fromStdString(FormatSummary(s));
    }
    // The keys are the text's labels.
    return TerminalSafeJson(QJsonDocument(QJsonObject{
        {"name", Text(name)},
        {"frames-received", static_cast<qint64>(s.frames)},
        {"frames-per-second", s.framesPerSecond},
        {"interval-median-ms", s.medianMs},
        {"interval-99th-percentile-ms", s.p99Ms},
        {"interval-maximum-ms", s.maxMs},
        {"frames-repeated", static_cast<qint64>(s.repeated)},
        {"frames-skipped", static_cast<qint64>(s.skipped)},
    }));
}
