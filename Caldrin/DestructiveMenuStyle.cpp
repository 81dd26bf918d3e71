#include "DestructiveMenuStyle.h"

#include "SystemColors.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QStyleOptionMenuItem>

namespace {
const char* const kDestructive = "caldrinDestructive";
}

DestructiveMenuStyle::DestructiveMenuStyle()
    : QProxyStyle(QApplication::style()->name()) {}

void DestructiveMenuStyle::markDestructive(QAction* action) {
    action->setProperty(kDestructive, true);
}

bool DestructiveMenuStyle::isDestructive(const QAction* action) {
    return action && action->property(kDestructive).toBool();
}

void DestructiveMenuStyle::install(QMenu* menu) {
    auto* style = new DestructiveMenuStyle;
    style->setParent(menu);
    menu->setStyle(style);
}

void DestructiveMenuStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                       const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    const auto* menu = qobject_cast<const QMenu*>(widget);
    if (element == CE_MenuItem && item && menu && !(item->state & State_Selected) &&
        (item->state & State_Enabled) && isDestructive(menu->actionAt(item->rect.center()))) {
        QStyleOptionMenuItem red(*item);
        for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
            red.palette.setColor(role, SystemColors::red());
        QProxyStyle::drawControl(element, &red, painter, widget);
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}
