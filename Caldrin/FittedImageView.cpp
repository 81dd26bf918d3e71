#include "FittedImageView.h"

#include <QPainter>

FittedImageView::FittedImageView(QWidget* parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void FittedImageView::setImage(const QImage& image) {
    m_image = image;
    update();
}

QRectF FittedImageView::imageRect() const {
    if (m_image.isNull() || width() <= 0 || height() <= 0)
        return {};
    const QSizeF shown = QSizeF(m_image.size()).scaled(QSizeF(size()), Qt::KeepAspectRatio);
    return QRectF((width() - shown.width()) / 2, (height() - shown.height()) / 2, shown.width(),
                  shown.height());
}

void FittedImageView::paintEvent(QPaintEvent*) {
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(imageRect(), m_image);
}
