#pragma once

#include <QByteArray>
#include <QList>
#include <QVariantMap>

// skyfill-remote's two ways of showing copies' Status answers, one map per copy.

// A table with a header line and a line per copy, columns padded to fit.
QByteArray StatusTable(const QList<QVariantMap>& copies);

// A JSON array with an object per copy, keyed as the Status call keys it.
QByteArray StatusJson(const QList<QVariantMap>& copies);
