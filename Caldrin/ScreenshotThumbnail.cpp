#include "ScreenshotThumbnail.h"

#include "BusyIndicator.h"
#include "ImageLoader.h"
#include "SystemColors.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

ScreenshotThumbnail::ScreenshotThumbnail(const QString& address, QWidget* parent, ImageLoader* loader)
    : QWidget(parent)
    , m_address(address)
    , m_loader(loader ? loader : ImageLoader::shared())
    , m_busy(new BusyIndicator(24, this)) {
    setToolTip(QStringLiteral("Click to enlarge"));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_loader, &ImageLoader::finished, this, &ScreenshotThumbnail::imageArrived);
    setFixedSize(sizeHint());
    m_busy->setVisible(!isShowingImage());
    m_busy->move(pictureRect().center() - m_busy->rect().center());
}

bool ScreenshotThumbnail::isShowingImage() const {
    return m_loader && m_loader->state(m_address) == ImageLoader::State::Loaded &&
           !m_loader->image(m_address).isNull();
}

QSize ScreenshotThumbnail::pictureSize() const {
    if (!isShowingImage())
        return QSize(placeholderWidth, maximumHeight);
    const QSize natural = m_loader->image(m_address).size();
    // Larger pictures shrink to the height limit; smaller ones keep their size.
    if (natural.height() <= maximumHeight)
        return natural;
    return QSize(qMax(1, qRound(qreal(natural.width()) * maximumHeight / natural.height())), maximumHeight);
}

QRect ScreenshotThumbnail::pictureRect() const {
    return QRect(QPoint(shadowMargin, shadowMargin), pictureSize());
}

QSize ScreenshotThumbnail::sizeHint() const {
    return pictureSize() + QSize(2 * shadowMargin, 2 * shadowMargin);
}

void ScreenshotThumbnail::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_loader)
        m_loader->request(m_address, this);
    imageArrived(m_address);
}

void ScreenshotThumbnail::imageArrived(const QString& address) {
    if (address != m_address)
        return;
    m_scaled = QPixmap();
    m_busy->setVisible(!isShowingImage());
    setFixedSize(sizeHint());
    updateGeometry();
    update();
}

void ScreenshotThumbnail::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF picture = pictureRect();
    if (!isShowingImage()) {
        QColor frame = SystemColors::separator(palette());
        frame.setAlphaF(frame.alphaF() * 0.5);
        QPainterPath path;
        path.addRoundedRect(picture, cornerRadius, cornerRadius);
        painter.fillPath(path, frame);
        return;
    }
    // A soft shadow: a few widening, fading outlines behind the picture.
    for (int i = shadowMargin; i >= 1; --i) {
        QPainterPath shadow;
        shadow.addRoundedRect(picture.adjusted(-i, -i + 1, i, i + 1), cornerRadius + i, cornerRadius + i);
        painter.fillPath(shadow, QColor(0, 0, 0, 14));
    }
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (picture.size() * ratio).toSize();
    if (m_scaled.size() != pixels) {
        m_scaled = QPixmap::fromImage(
            m_loader->image(m_address).scaled(pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        m_scaled.setDevicePixelRatio(ratio);
    }
    QPainterPath clip;
    clip.addRoundedRect(picture, cornerRadius, cornerRadius);
    painter.setClipPath(clip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(picture, m_scaled, QRectF(m_scaled.rect()));
}

void ScreenshotThumbnail::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ScreenshotThumbnail::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        emit clicked(m_address);
}
