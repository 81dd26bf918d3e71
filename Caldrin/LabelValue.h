#pragma once

#include "JsonDecoder.h"

#include <QString>

// A feed value that is a text under "label".
struct LabelValue {
    QString label;

    static LabelValue decode(const JsonDecoder& decoder) { return {decoder.decode<QString>("label")}; }
};
