#include "UserCharacters.h"

#include <QTextBoundaryFinder>

namespace {

// The code units read per character wanted: room for the longest ordinary
// clusters (family emoji, flags with tags).
constexpr qsizetype kUnitsPerCharacter = 32;

} // namespace

qsizetype UserCharacters::count(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

QString UserCharacters::leading(const QString& text, qsizetype count) {
    if (count <= 0)
        return {};
    // No cluster is shorter than one code unit.
    if (text.size() <= count)
        return text;
    const qsizetype window =
        count > text.size() / kUnitsPerCharacter ? text.size() : count * kUnitsPerCharacter;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, QStringView(text).left(window));
    qsizetype end = 0;
    for (qsizetype taken = 0; taken < count; ++taken) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            break;
        end = next;
    }
    // The window's end is no boundary of the text: never split a surrogate pair there.
    if (end < text.size() && end > 0 && text.at(end - 1).isHighSurrogate() && text.at(end).isLowSurrogate())
        --end;
    return text.left(end);
}

QString UserCharacters::shortened(const QString& text, qsizetype limit) {
    if (text.size() <= limit)
        return text;
    const QString head = leading(text, limit);
    return head.size() == text.size() ? text : head + QStringLiteral("…");
}
