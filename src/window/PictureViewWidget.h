#pragma once

#include <QImage>
#include <QStringList>
#include <QWidget>

// The picture control of an image window: holds its picture stretched over its whole area in
// device pixels, nearest neighbour, and accepts dropped files. Once a window has laid it out
// (setDeviceSize), the window paints the stretched picture itself, 1:1 in device pixels, and this
// control only receives the mouse over it; on its own it paints the picture itself. The stretched
// picture is kept per size, so a repaint at an unchanged size never rescales the full picture
// again, and there is only the one copy at device size.
//
// While a file opens, a reduced picture of it may be painted in the picture's stead (setPreview):
// only painted, never read back, so what is saved, copied or keyed is still the picture's.
class PictureViewWidget : public QWidget {
    Q_OBJECT
public:
    explicit PictureViewWidget(QWidget* parent = nullptr);

    const QImage& picture() const { return mPicture; }
    void setPicture(const QImage& picture);

    // The size the picture is shown at, device pixels (the window lays it out).
    QSize deviceSize() const { return mDeviceSize; }
    void setDeviceSize(const QSize& size);

    // The picture as it is shown at the device size, made on first use after a change of picture
    // or size. Null when there is no picture or the control has no area.
    const QImage& shownPicture();

    // A reduced picture painted over the whole area instead of the picture until the next
    // setPicture; a null one takes it away.
    void setPreview(const QImage& reduced);
    bool hasPreview() const { return !mPreview.isNull(); }
    // What is painted: the preview stretched to the device size while there is one (made on
    // first use, like shownPicture), else shownPicture.
    const QImage& paintedPicture();

signals:
    void filesDropped(const QStringList& paths);

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The picture in a format the stretch reads directly (24 or 32 bits): the picture itself, or
    // for any other format a 24-bit copy made once per picture, not once per size.
    const QImage& stretchSource();
    QSize targetSize() const;
    static QImage Stretched32(const QImage& source, QSize target);

    QImage mPicture;
    QImage mSource;  // see stretchSource(); null until first needed
    QImage mShown;   // mPicture stretched to mShownSize, 32 bits: what a paint copies
    QSize mShownSize;
    QSize mDeviceSize;
    QImage mPreview;
    QImage mPreviewShown;  // mPreview stretched to mPreviewSize, 32 bits
    QSize mPreviewSize;
};
