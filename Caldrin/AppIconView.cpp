#include "AppIconView.h"

#include "ImageLoader.h"
#include "SymbolTable.h"
#include "SystemColors.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>

AppIconView::AppIconView(int side, qreal cornerRadius, QWidget* parent, ImageLoader* loader)
    : QWidget(parent)
    , m_side(side)
    , m_cornerRadius(cornerRadius)
    , m_loader(loader ? loader : ImageLoader::shared()) {
    setFixedSize(side, side);
    connect(m_loader, &ImageLoader::finished, this, [this](const QString& address) {
        if (address == m_address)
            update();
    });
}

void AppIconView::setAddress(const std::optional<QString>& address) {
    const QString value = address.value_or(QString());
    if (value == m_address)
        return;
    m_address = value;
    if (isVisible())
        requestImage();
    update();
}

bool AppIconView::isShowingImage() const {
    return m_loader && m_loader->state(m_address) == ImageLoader::State::Loaded;
}

void AppIconView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    requestImage();
}

void AppIconView::requestImage() {
    if (m_loader)
        m_loader->request(m_address, this);
}

void AppIconView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QImage image = isShowingImage() ? m_loader->image(m_address) : QImage();
    paintIcon(painter, rect(), m_cornerRadius, m_address, image, SystemColors::secondary(palette()));
}

void AppIconView::paintIcon(QPainter& painter, const QRect& rect, qreal cornerRadius, const QString& address,
                            const QImage& image, const QColor& placeholderColor) {
    if (image.isNull()) {
        SymbolTable::paint(painter, rect, QStringLiteral("app.fill"), placeholderColor);
        return;
    }
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels = (QSizeF(rect.size()) * ratio).toSize();
    const QString key = QStringLiteral("caldrin-icon:%1:%2x%3:%4")
                            .arg(address)
                            .arg(pixels.width())
                            .arg(pixels.height())
                            .arg(image.cacheKey());
    QPixmap scaled;
    if (!QPixmapCache::find(key, &scaled)) {
        scaled = QPixmap::fromImage(image.scaled(pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        QPixmapCache::insert(key, scaled);
    }
    const QSizeF shown = QSizeF(scaled.size()) / ratio;
    const QRectF target(rect.x() + (rect.width() - shown.width()) / 2,
                        rect.y() + (rect.height() - shown.height()) / 2, shown.width(), shown.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect), cornerRadius, cornerRadius);
    painter.setClipPath(clip, Qt::IntersectClip);
    painter.drawPixmap(target, scaled, QRectF(scaled.rect()));
    painter.restore();
}
