#pragma once

#include <QByteArray>
#include <QImage>
#include <QMimeData>
#include <future>

// A copied picture as the clipboard offers it to other programs: image/png only, encoded on
// another thread from the moment of the copy, so the interface never stops for it (Qt's own
// image offer encodes every type it lists, on the interface thread, when a program asks). A
// program that pastes before the encode has ended waits for it. Lumora's own paste takes the
// picture itself.
class cPngClipboardData : public QMimeData {
    Q_OBJECT
public:
    explicit cPngClipboardData(const QImage& picture);
    ~cPngClipboardData() override;

    const QImage& Picture() const { return mPicture; }

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

    // The one PNG encoder of the clipboard: the picture as the bytes of a PNG file (empty when it
    // cannot be encoded). Safe on any thread.
    static QByteArray EncodePng(const QImage& picture);

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    QImage mPicture;
    std::shared_future<QByteArray> mPng;
};
