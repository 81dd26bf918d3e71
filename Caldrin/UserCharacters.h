#pragma once

#include <QString>

// Counting text as a reader sees it: in user-perceived characters (extended
// grapheme clusters), so an emoji, a flag or a letter with combining marks
// counts once, whatever its UTF-16 length.
class UserCharacters {
public:
    static qsizetype count(const QString& text);
    // The first `count` user-perceived characters (all of them when fewer).
    static QString leading(const QString& text, qsizetype count);
};
