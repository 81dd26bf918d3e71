#pragma once

#include <QString>

// Tells a desktop user, who never sees standard error when Caldrin was started
// from a menu, what went wrong with the store at start-up. Shown only when a
// display is available: under the offscreen or minimal platform, and in
// programs without widgets, the console lines stand alone.
class StartupAlert {
public:
    static bool isDisplayAvailable();

    // Caldrin stops at start-up; `message` is the fatal line it printed.
    static void showFatal(const QString& message);
    // The store could not be opened and Caldrin stops; `cause` says why.
    static void showStoreFatal(const QString& cause, const QString& storePath, bool storeWasReplaced);
    // A damaged store was replaced by an empty one; the old one is at copyPath.
    static void showReset(const QString& cause, const QString& copyPath);
};
