#include "FixtureImages.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>

QImage FixtureImages::appIcon(int side, const QColor& from, const QColor& to, const QString& glyph) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, side, side);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    painter.fillRect(image.rect(), gradient);
    // A soft highlight and a ring give the tile some depth.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 40));
    painter.drawEllipse(QRectF(-side * 0.2, -side * 0.55, side * 1.4, side));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, 90), side * 0.04));
    painter.drawEllipse(QRectF(side * 0.18, side * 0.18, side * 0.64, side * 0.64));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(side * 0.38));
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(image.rect(), Qt::AlignCenter, glyph);
    return image;
}

QImage FixtureImages::screenshot(const QSize& size, const QColor& accent, const QString& title, int variant) {
    QImage image(size, QImage::Format_RGB32);
    const qreal w = size.width();
    const qreal h = size.height();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, 0, h);
    background.setColorAt(0, accent.lighter(170));
    background.setColorAt(1, QColor(248, 248, 250));
    painter.fillRect(image.rect(), background);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(w * 0.035));
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(30, 30, 30));
    painter.drawText(QRectF(w * 0.06, h * 0.012, w * 0.3, h * 0.03), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("9:41"));
    painter.fillRect(QRectF(w * 0.82, h * 0.02, w * 0.1, h * 0.014), QColor(30, 30, 30));

    font.setPixelSize(int(w * 0.08));
    painter.setFont(font);
    painter.drawText(QRectF(w * 0.06, h * 0.06, w * 0.88, h * 0.07), Qt::AlignLeft | Qt::AlignVCenter, title);

    // Cards: a hero card, then rows that differ with the variant.
    painter.setPen(Qt::NoPen);
    QLinearGradient hero(0, h * 0.15, w, h * 0.4);
    hero.setColorAt(0, accent);
    hero.setColorAt(1, accent.darker(140));
    painter.setBrush(hero);
    painter.drawRoundedRect(QRectF(w * 0.06, h * 0.15, w * 0.88, h * 0.26), w * 0.05, w * 0.05);
    painter.setBrush(QColor(255, 255, 255, 70));
    painter.drawEllipse(QRectF(w * (0.55 + 0.05 * (variant % 3)), h * 0.19, w * 0.3, w * 0.3));
    font.setPixelSize(int(w * 0.06));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(w * 0.11, h * 0.32, w * 0.6, h * 0.06), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Screen %1").arg(variant + 1));
    painter.setPen(Qt::NoPen);
    for (int row = 0; row < 5; ++row) {
        const qreal top = h * (0.45 + row * 0.095);
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(QRectF(w * 0.06, top, w * 0.88, h * 0.08), w * 0.03, w * 0.03);
        painter.setBrush(row % 2 == variant % 2 ? accent : accent.lighter(140));
        painter.drawRoundedRect(QRectF(w * 0.09, top + h * 0.013, h * 0.054, h * 0.054), w * 0.025,
                                w * 0.025);
        painter.setBrush(QColor(60, 60, 67, 200));
        painter.drawRoundedRect(
            QRectF(w * 0.3, top + h * 0.02, w * (0.35 + 0.05 * ((row + variant) % 4)), h * 0.014), 4, 4);
        painter.setBrush(QColor(60, 60, 67, 90));
        painter.drawRoundedRect(QRectF(w * 0.3, top + h * 0.045, w * 0.45, h * 0.011), 4, 4);
    }
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawRect(QRectF(0, h * 0.92, w, h * 0.08));
    for (int tab = 0; tab < 4; ++tab) {
        painter.setBrush(tab == variant % 4 ? accent : QColor(150, 150, 155));
        painter.drawEllipse(QRectF(w * (0.12 + tab * 0.22), h * 0.94, w * 0.06, w * 0.06));
    }
    return image;
}

QImage FixtureImages::solid(const QSize& size, const QColor& color) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

QByteArray FixtureImages::png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

bool FixtureImages::writeImage(const QString& fixturesDirectory, const QString& fileName,
                               const QImage& image) {
    const QString folder = fixturesDirectory + QStringLiteral("/images");
    if (!QDir().mkpath(folder))
        return false;
    QFile file(folder + QLatin1Char('/') + fileName);
    return file.open(QIODevice::WriteOnly) && file.write(png(image)) > 0;
}

QByteArray FixtureImages::hugeBmpHeader(int width, int height) {
    QByteArray header(54, '\0');
    auto put32 = [&header](int offset, quint32 value) { qToLittleEndian(value, header.data() + offset); };
    auto put16 = [&header](int offset, quint16 value) { qToLittleEndian(value, header.data() + offset); };
    header[0] = 'B';
    header[1] = 'M';
    put32(2, 54 + 16);
    put32(10, 54);
    put32(14, 40);
    put32(18, quint32(width));
    put32(22, quint32(height));
    put16(26, 1);
    put16(28, 24);
    header.append(QByteArray(16, '\x7f'));
    return header;
}
