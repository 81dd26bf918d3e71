#pragma once

#include <QFont>

// The text styles the views are described in, as fonts relative to a base font
// (normally the application's): body is the base itself, the others scale and
// weigh it the way the platform's dynamic type does at its default size.
class TextStyles {
public:
    enum class Style { Body, Headline, Subheadline, Caption, Caption2, Title, Title2, Title3 };

    static QFont font(Style style, const QFont& base);
    // The same, relative to the application's font.
    static QFont font(Style style);
    // The style with another weight, for "headline, bold" and the like.
    static QFont font(Style style, QFont::Weight weight, const QFont& base);
    static QFont font(Style style, QFont::Weight weight);
    // A font of the given size in points-as-pixels, for symbols "at 60 points".
    static QFont sized(qreal pixelSize, QFont::Weight weight, const QFont& base);
};
