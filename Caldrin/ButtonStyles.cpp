#include "ButtonStyles.h"

#include "SymbolTable.h"
#include "SystemColors.h"

#include <QPushButton>
#include <QToolButton>

void ButtonStyles::makeProminent(QPushButton* button, const QColor& tint) {
    QColor disabled = tint;
    disabled.setAlphaF(0.35);
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: white; border: none;"
                                         " border-radius: 6px; padding: 6px 14px; font-weight: 600; }"
                                         "QPushButton:hover { background-color: %2; }"
                                         "QPushButton:pressed { background-color: %3; }"
                                         "QPushButton:disabled { background-color: %4; color: %5; }"
                                         "QPushButton:focus { outline: none; }")
                              .arg(SystemColors::css(tint), SystemColors::css(tint.lighter(110)),
                                   SystemColors::css(tint.darker(115)), SystemColors::css(disabled),
                                   SystemColors::css(QColor(255, 255, 255, 210))));
    disableAutoDefault(button);
}

void ButtonStyles::makeProminent(QPushButton* button) {
    makeProminent(button, SystemColors::blue());
}

void ButtonStyles::makeBordered(QPushButton* button, const QColor& tint) {
    if (tint.isValid()) {
        QPalette palette = button->palette();
        palette.setColor(QPalette::Active, QPalette::ButtonText, tint);
        palette.setColor(QPalette::Inactive, QPalette::ButtonText, tint);
        button->setPalette(palette);
    }
    disableAutoDefault(button);
}

void ButtonStyles::makeBorderedOnDark(QPushButton* button) {
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: rgba(255, 255, 255, 30); color: white;"
                       " border: 1px solid rgba(255, 255, 255, 80); border-radius: 6px;"
                       " padding: 5px 14px; }"
                       "QPushButton:hover { background-color: rgba(255, 255, 255, 50); }"
                       "QPushButton:pressed { background-color: rgba(255, 255, 255, 20); }"));
    disableAutoDefault(button);
}

void ButtonStyles::makeBorderless(QToolButton* button, const QString& symbol, const QColor& color,
                                  int iconSize) {
    button->setAutoRaise(true);
    button->setIcon(SymbolTable::tintedIcon(symbol, color, iconSize));
    button->setIconSize(QSize(iconSize, iconSize));
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setCursor(Qt::PointingHandCursor);
}

void ButtonStyles::disableAutoDefault(QAbstractButton* button) {
    if (auto* push = qobject_cast<QPushButton*>(button)) {
        push->setAutoDefault(false);
        push->setDefault(false);
    }
}
