#include "SymbolTable.h"

#include <QImage>
#include <QPainter>
#include <QPixmapCache>

#include <algorithm>
#include <array>

// The bundled drawings live in the core library's resource file; a static
// library's resources are linked in only when something refers to them.
static void registerBundledSymbols() {
    Q_INIT_RESOURCE(caldrin);
}

namespace {

void ensureBundledSymbols() {
    static const bool registered = (registerBundledSymbols(), true);
    Q_UNUSED(registered);
}

struct Symbol {
    const char* name;
    const char* themeIcon; // empty: only the bundled drawing fits
};

// Kept sorted by name. A theme icon is named only where its shape is the
// symbol's; elsewhere (filled circles, magnifiers with signs, badges) the
// theme's nearest icon would say something else, and our drawing stands in.
constexpr std::array symbols{
    Symbol{"app.badge", ""},
    Symbol{"app.dashed", ""},
    Symbol{"app.fill", ""},
    Symbol{"arrow.clockwise", "view-refresh-symbolic"},
    Symbol{"arrow.down.circle", ""},
    Symbol{"arrow.up.left.and.arrow.down.right", ""},
    Symbol{"checkmark", "object-select-symbolic"},
    Symbol{"checkmark.circle.fill", ""},
    Symbol{"chevron.left.circle.fill", ""},
    Symbol{"chevron.right.circle.fill", ""},
    Symbol{"clock.badge.exclamationmark", ""},
    Symbol{"creditcard.fill", ""},
    Symbol{"doc.on.doc", "edit-copy-symbolic"},
    Symbol{"doc.text", ""},
    Symbol{"dollarsign.circle.fill", ""},
    Symbol{"exclamationmark.triangle", "dialog-warning-symbolic"},
    Symbol{"folder.fill", ""},
    Symbol{"info.circle", ""},
    Symbol{"magnifyingglass", "edit-find-symbolic"},
    Symbol{"minus.magnifyingglass", ""},
    Symbol{"plus", "list-add-symbolic"},
    Symbol{"plus.circle", ""},
    Symbol{"plus.magnifyingglass", ""},
    Symbol{"star", ""},
    Symbol{"star.fill", "starred-symbolic"},
    Symbol{"translate", ""},
    Symbol{"xmark", ""},
};

const Symbol* find(const QString& name) {
    const QByteArray key = name.toUtf8();
    const auto it =
        std::lower_bound(symbols.begin(), symbols.end(), key,
                         [](const Symbol& s, const QByteArray& k) { return qstrcmp(s.name, k) < 0; });
    return it != symbols.end() && key == it->name ? &*it : nullptr;
}

// Turns a rendered icon into a one-colour mask: dark ink becomes the colour,
// light parts (the knock-outs of the bundled drawings) become transparent.
// Theme icons are dark ink on transparency, so only their alpha counts.
QImage tint(const QImage& source, const QColor& color) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const QRgb rgb = color.rgb();
    const qreal alpha = color.alphaF();
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            const qreal luminance = qGray(pixel) / 255.0;
            const qreal ink = std::clamp((1.0 - luminance) / 0.75, 0.0, 1.0);
            const int a = qRound(qAlpha(pixel) * ink * alpha);
            line[x] = qRgba(qRed(rgb), qGreen(rgb), qBlue(rgb), a);
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

QStringList SymbolTable::symbolNames() {
    QStringList names;
    for (const Symbol& symbol : symbols)
        names.append(QString::fromLatin1(symbol.name));
    return names;
}

bool SymbolTable::isKnown(const QString& symbol) {
    return find(symbol) != nullptr;
}

QString SymbolTable::themeIconName(const QString& symbol) {
    const Symbol* entry = find(symbol);
    return entry ? QString::fromLatin1(entry->themeIcon) : QString();
}

QString SymbolTable::fallbackPath(const QString& symbol) {
    ensureBundledSymbols();
    return QStringLiteral(":/caldrin/symbols/%1.svg").arg(symbol);
}

void SymbolTable::installIconTheme() {
    const QString system = QStringLiteral("/usr/share/icons");
    QStringList paths = QIcon::themeSearchPaths();
    if (!paths.contains(system)) {
        paths.append(system);
        QIcon::setThemeSearchPaths(paths);
    }
    const QString theme = QIcon::themeName();
    if (theme.isEmpty() || theme == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
}

bool SymbolTable::comesFromTheme(const QString& symbol) {
    const QString themeName = themeIconName(symbol);
    if (themeName.isEmpty())
        return false;
    installIconTheme();
    return QIcon::hasThemeIcon(themeName);
}

QIcon SymbolTable::icon(const QString& symbol) {
    if (!isKnown(symbol))
        return {};
    if (comesFromTheme(symbol))
        return QIcon::fromTheme(themeIconName(symbol));
    return QIcon(fallbackPath(symbol));
}

QPixmap SymbolTable::pixmap(const QString& symbol, int size, const QColor& color, qreal devicePixelRatio) {
    const int pixels = qMax(1, qRound(size * devicePixelRatio));
    const QString key =
        QStringLiteral("caldrin-symbol:%1:%2:%3").arg(symbol).arg(pixels).arg(color.rgba(), 8, 16);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached)) {
        cached.setDevicePixelRatio(devicePixelRatio);
        return cached;
    }
    QImage rendered(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    rendered.fill(Qt::transparent);
    const QIcon source = icon(symbol);
    if (!source.isNull()) {
        // Render at the exact size so theme icons with several fixed sizes
        // are scaled from the nearest, never blown up from a tiny one.
        const QPixmap raw = source.pixmap(QSize(pixels, pixels));
        QPainter painter(&rendered);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(QRect(0, 0, pixels, pixels), raw);
        painter.end();
        rendered = tint(rendered, color);
    }
    QPixmap result = QPixmap::fromImage(rendered);
    QPixmapCache::insert(key, result);
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

QIcon SymbolTable::tintedIcon(const QString& symbol, const QColor& color, int size) {
    QIcon result;
    QColor disabled = color;
    disabled.setAlphaF(color.alphaF() * 0.3);
    for (const qreal ratio : {1.0, 2.0}) {
        result.addPixmap(pixmap(symbol, size, color, ratio), QIcon::Normal);
        result.addPixmap(pixmap(symbol, size, color, ratio), QIcon::Active);
        result.addPixmap(pixmap(symbol, size, disabled, ratio), QIcon::Disabled);
    }
    return result;
}

void SymbolTable::paint(QPainter& painter, const QRectF& rect, const QString& symbol, const QColor& color) {
    const qreal side = qMin(rect.width(), rect.height());
    if (side <= 0)
        return;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap image = pixmap(symbol, qCeil(side), color, ratio);
    const QRectF target(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, image, QRectF(image.rect()));
    painter.restore();
}
