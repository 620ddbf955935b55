#include "tools/escaped_text.h"

#include <QJsonDocument>
#include <cstdint>
#include <cstdio>

namespace {

void AppendEscape(std::string& out, unsigned char byte) {
    char code[5];
    std::snprintf(code, sizeof code, "\\x%02X", byte);
    out += code;
}

// The length of the well-formed, printable UTF-8 sequence at `at`, or 0.
std::size_t PrintableSequence(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead >= 0x20 && lead < 0x7F) {
        return lead == '\\' ? 0 : 1;
    }
    std::size_t length = 0;
    uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3Fu);
    }
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool c1 = code >= 0x80 && code <= 0x9F;
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (code < kSmallest[length] || code > 0x10FFFF || c1 || surrogate) {
        return 0;
    }
    return length;
}

} // namespace

std::string Escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = PrintableSequence(text, at);
        if (length == 0) {
            AppendEscape(out, static_cast<unsigned char>(text[at]));
            ++at;
        } else {
            out.append(text.substr(at, length));
            at += length;
        }
    }
    return out;
}

QByteArray TerminalSafeJson(const QJsonDocument& document) {
    const QByteArray json = document.toJson(QJsonDocument::Indented);
    QByteArray out;
    out.reserve(json.size());
    for (qsizetype at = 0; at < json.size(); ++at) {
        const auto byte = static_cast<unsigned char>(json[at]);
        // The output is UTF-8, so C2 here always leads a two-byte character.
        const bool c1 = byte == 0xC2 && at + 1 < json.size() &&
                        static_cast<unsigned char>(json[at + 1]) <= 0x9F;
        if (byte == 0x7F || c1) {
            const unsigned code = c1 ? static_cast<unsigned char>(json[++at]) : byte;
            out += "\\u00" + QByteArray::number(code, 16).rightJustified(2, '0');
        } else {
            out += json[at];
        }
    }
    return out;
}
