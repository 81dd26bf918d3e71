#pragma once

#include <QProxyStyle>

class QAction;
class QMenu;

// Draws the menu items that destroy something (delete, remove) in red, the way
// desktop menus set them apart. Installed per menu; the items are marked.
class DestructiveMenuStyle : public QProxyStyle {
    Q_OBJECT
public:
    static void markDestructive(QAction* action);
    static bool isDestructive(const QAction* action);
    // Gives the menu this style (its submenus keep their own).
    static void install(QMenu* menu);

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;

private:
    DestructiveMenuStyle();
};
