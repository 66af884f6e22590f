#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRgb>
#include <memory>

#include "image/ColourDescription.h"

// Colour profiles and the conversions between them, through Little CMS 2. A profile is ICC bytes;
// empty bytes mean sRGB everywhere. Opening a profile parses it: the program opens only sRGB and
// the screen's profile; a picture file's own profile is opened in the decode worker alone.
namespace ColourProfile {

// sRGB as lcms2 builds it (what a picture with no profile is written with where one is needed).
QByteArray Srgb();

// The profile a file's description names, for the worker to open: the embedded profile as it
// stands; else one made from HEIF/AVIF nclx code points (BT.709/sRGB, BT.601, Display P3, DCI-P3
// and BT.2020 primaries; sRGB, BT.709, gamma, linear, PQ and HLG transfers, the last two
// tone-mapped simply to SDR with reference white at 203 cd/m2) or from PNG's gAMA and cHRM. Empty
// when the description says sRGB, says nothing, or says something that is sRGB to within rounding.
QByteArray FromDescription(const ColourDescription& iDescription);

// A grey 24-bit picture (every pixel neutral) with each value v replaced by iRamp[v]: how a grey
// edit of a picture's own values shows on the screen. 24 bits; null when memory fails or iRamp
// does not hold 256 colours.
QImage ThroughGreyRamp(const QImage& iGrey, const QList<QRgb>& iRamp);

}  // namespace ColourProfile

// One conversion from a profile to another (relative colorimetric, black-point compensation),
// built once per pair and kept (a few of the most recent pairs). Pixels are 8-bit blue-green-red
// (3 bytes) or blue-green-red-alpha (4 bytes, alpha copied), as Qt's BGR888, RGB32 and ARGB32 keep
// them in memory. Safe to use from any number of threads at once.
class cColourTransform {
public:
    enum class Kind {
        Identity,  // the two profiles give the same values to within one step: nothing to do
        Converts,
        Refused,  // a profile lcms2 will not open or cannot use: treated as Identity
    };

    // The conversion from iFrom to iTo (ICC bytes; empty = sRGB). Never null.
    static std::shared_ptr<const cColourTransform> Between(const QByteArray& iFrom,
                                                           const QByteArray& iTo);
    ~cColourTransform();
    cColourTransform(const cColourTransform&) = delete;
    cColourTransform& operator=(const cColourTransform&) = delete;

    Kind kind() const { return mKind; }
    bool Converts() const { return mKind == Kind::Converts; }

    // Converts iHeight rows of iWidth pixels of iBytesPerPixel (3 or 4) bytes each. Rows may be
    // converted in place (iSource == oTarget with equal strides). Nothing when it does not convert.
    void Rows(const uchar* iSource, qsizetype iSourceStride, uchar* oTarget,
              qsizetype iTargetStride, int iWidth, int iHeight, int iBytesPerPixel) const;

    // The picture converted: a palette picture gets a converted colour table, a 24 or 32-bit one
    // converted rows (on two threads when large); any other format is first made 24 or 32 bits.
    // iPicture itself when nothing is to convert; null when memory fails.
    QImage Picture(const QImage& iPicture) const;

    // Colours converted one by one (a colour table); alpha kept.
    QList<QRgb> Colours(const QList<QRgb>& iColours) const;

    // Neutral values 0..255 converted: empty when the transform does not convert.
    QList<QRgb> GreyRamp() const;

private:
    cColourTransform() = default;
    static std::shared_ptr<const cColourTransform> Build(const QByteArray& iFrom,
                                                         const QByteArray& iTo);

    Kind mKind = Kind::Identity;
    bool mGreyInput = false;      // the source profile is a grey one: rows give their green byte
    void* mTransform3 = nullptr;  // cmsHTRANSFORM: 3 bytes in (1 for grey), 3 out
    void* mTransform4 = nullptr;  // cmsHTRANSFORM: 4 bytes in (1 for grey), 4 out
};
