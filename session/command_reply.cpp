#include "session/command_reply.h"

namespace {

constexpr qsizetype kQuotedEnd = 32;

void AppendEscaped(QString& out, QStringView part) {
    for (const QChar c : part) {
        const char16_t unit = c.unicode();
        if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F)) {
            out += QString::asprintf("\\x%02X", static_cast<unsigned>(unit));
        } else {
            out += c;
        }
    }
}

} // namespace

QString QuotedArgument(const QString& text) {
    QString out;
    if (text.size() <= 2 * kQuotedEnd) {
        AppendEscaped(out, text);
        return out;
    }
    // Never half a surrogate pair.
    qsizetype head = kQuotedEnd;
    if (text[head - 1].isHighSurrogate()) {
        --head;
    }
    qsizetype tail = text.size() - kQuotedEnd;
    if (text[tail].isLowSurrogate()) {
        ++tail;
    }
    AppendEscaped(out, QStringView(text).left(head));
    out += QLatin1String("...");
    AppendEscaped(out, QStringView(text).mid(tail));
    return out;
}
