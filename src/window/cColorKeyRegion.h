#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QVector>
#include <QtGlobal>

// Which pixels of an image window a colour key keeps (see IColorKeySurface): everything of the
// window that is not of the key colour. Colours are 0x00BBGGRR; places are device pixels of the
// window.
//
// The shown picture's part is the costly one: it is made once per picture and key and kept, so a
// key refreshed after the window moved or a control appeared costs no look at the pixels.
class cColorKeyRegion {
public:
    // What the window shows besides its picture.
    struct Surface {
        QSize window;          // the whole window
        QRect picture;         // where the shown picture lies
        qint32 band = 0;       // the colour of the band around the picture
        QVector<QRect> whole;  // controls over the picture that show all their pixels (the tip)
        QVector<QRect> rings;  // controls that show only a ring round their edge (outlines, ...)
        int ring = 1;          // the rings' width
    };

    // The kept pixels: the band unless it is of the key colour, the shown picture's pixels that
    // are not, and the controls over it.
    QRegion Kept(qint32 key, const QImage& shown, const Surface& surface);

    // The colour of the window's pixel p (0x00BBGGRR): the shown picture's where it lies, the
    // band's elsewhere; -1 for a point outside the window.
    static qint32 ColourAt(const Surface& surface, const QImage& shown, QPoint p);

    // The pixels of picture that are not of the key colour (its own pixels). A 32-bit picture's
    // pixels are compared whole, alpha included, as Qt's colour masks compare them.
    static QRegion NotOfColour(const QImage& picture, qint32 key);

private:
    QRegion mPicture;          // NotOfColour of the picture and key below
    qint64 mPictureImage = 0;  // the picture's cache key
    qint32 mPictureKey = -2;   // no key yet
};
