#include "TextStyles.h"

#include <QGuiApplication>

namespace {

struct Metrics {
    qreal scale;
    QFont::Weight weight;
};

// Sizes relative to body, weights as the platform's dynamic type has them. The
// small styles are a little larger than there: on Linux fonts the smallest
// sizes would otherwise be hard to read.
Metrics metricsFor(TextStyles::Style style) {
    switch (style) {
    case TextStyles::Style::Body:
        return {1.0, QFont::Normal};
    case TextStyles::Style::Headline:
        return {1.0, QFont::DemiBold};
    case TextStyles::Style::Subheadline:
        return {11.5 / 13.0, QFont::Normal};
    case TextStyles::Style::Caption:
        return {11.0 / 13.0, QFont::Normal};
    case TextStyles::Style::Caption2:
        return {10.5 / 13.0, QFont::Normal};
    case TextStyles::Style::Title:
        return {22.0 / 13.0, QFont::Normal};
    case TextStyles::Style::Title2:
        return {17.0 / 13.0, QFont::Normal};
    case TextStyles::Style::Title3:
        return {15.0 / 13.0, QFont::Normal};
    }
    return {1.0, QFont::Normal};
}

} // namespace

QFont TextStyles::font(Style style, const QFont& base) {
    const Metrics metrics = metricsFor(style);
    return font(style, metrics.weight, base);
}

QFont TextStyles::font(Style style) {
    return font(style, QGuiApplication::font());
}

QFont TextStyles::font(Style style, QFont::Weight weight, const QFont& base) {
    QFont result(base);
    const qreal scale = metricsFor(style).scale;
    // Never below 7 points: caption text must stay legible on small base fonts.
    if (base.pointSizeF() > 0)
        result.setPointSizeF(qMax(7.0, base.pointSizeF() * scale));
    else
        result.setPixelSize(qMax(9, qRound(base.pixelSize() * scale)));
    result.setWeight(weight);
    return result;
}

QFont TextStyles::font(Style style, QFont::Weight weight) {
    return font(style, weight, QGuiApplication::font());
}

QFont TextStyles::sized(qreal pixelSize, QFont::Weight weight, const QFont& base) {
    QFont result(base);
    result.setPixelSize(qMax(1, qRound(pixelSize)));
    result.setWeight(weight);
    return result;
}
