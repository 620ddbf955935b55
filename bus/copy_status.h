#pragma once

#include <QVariantMap>

class CopySession;

// The copy's Status as the bus tells it, keyed as the vocabulary names each setting.
QVariantMap CopyStatus(const CopySession& session);
