#pragma once

#include <QByteArray>
#include <string>
#include <string_view>

class QJsonDocument;

// Text from shared memory, made safe for a terminal: control characters (C0, DEL and the
// C1 range), bytes that are not UTF-8 and the backslash are written as \xNN, so a source
// name or metadata cannot send escape sequences. Printable UTF-8 passes unchanged.
std::string Escaped(std::string_view text);

// The document as indented JSON, with DEL and the C1 controls, which QJsonDocument
// leaves raw, written as \u escapes as well: printed on a terminal, it cannot drive it.
QByteArray TerminalSafeJson(const QJsonDocument& document);
