#pragma once

#include <QImage>
#include <QWidget>

// Shows an image as large as fits its own size, keeping its aspect ratio,
// centred. The screenshot viewer zooms by resizing it inside a scroll area.
class FittedImageView : public QWidget {
    Q_OBJECT
public:
    explicit FittedImageView(QWidget* parent = nullptr);

    void setImage(const QImage& image);
    const QImage& image() const { return m_image; }
    // Where the image is drawn, in this widget's coordinates.
    QRectF imageRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};
