#pragma once

#include <QString>

// Counting text as a reader sees it: in user-perceived characters (extended
// grapheme clusters), so an emoji, a flag or a letter with combining marks
// counts once, whatever its UTF-16 length.
class UserCharacters {
public:
    // How much of a stored text a label, caption, tooltip or status line lays
    // out: far more than any of them can show.
    static constexpr qsizetype displayLimit = 500;

    static qsizetype count(const QString& text);
    // The first `count` user-perceived characters (all of them when fewer).
    // Only the start of the text is read, so a text of megabytes costs no more
    // than a short one; a single character longer than a few dozen code units
    // (hostile stacks of combining marks) may be cut inside.
    static QString leading(const QString& text, qsizetype count);
    // The text as a view shows it: at most `limit` user-perceived characters,
    // followed by "…" when it was cut. A text from the store can be of any
    // length, and laying out megabytes freezes the window; the stored value
    // stays whole.
    static QString shortened(const QString& text, qsizetype limit = displayLimit);
};
