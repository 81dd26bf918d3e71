#pragma once

#include "AppEntry.h"
#include "JsonDecoder.h"

#include <QList>
#include <QString>

// The list part of a ranking feed document; other feed metadata is ignored.
struct Feed {
    QList<AppEntry> entry;

    static Feed decode(const JsonDecoder& decoder) { return {decoder.decode<QList<AppEntry>>("entry")}; }
};
