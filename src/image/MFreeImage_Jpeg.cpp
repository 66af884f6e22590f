// JPEG pixels straight from libjpeg-turbo, the same library FreeImage's reader calls, set up the
// way that reader sets it up with its default flags, so the pixels are the ones FreeImage gives:
// the fast integer DCT, plain (not smoothed) chroma upsampling, 1/2, 1/4 or 1/8 by its rule for
// a size hint, grey as 8 bits with a grey palette, CMYK brought to RGB by its formula. What it
// costs FreeImage beyond the decode (rows filled one at a time, then every pixel's red and blue
// swapped in a second pass) is left out: the decoder writes blue-green-red rows directly, into a
// bitmap or into memory the caller gives (the decode worker's shared memory).
//
// The header is read once, by libjpeg-turbo, for everything a load needs from it: the size, the
// resolution (as FreeImage's reader takes it from the JFIF density), the EXIF orientation and the
// embedded ICC profile.

#include <FreeImage.h>
#include <setjmp.h>
#include <stdio.h>
// jpeglib.h needs FILE and size_t declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/ColourDescription.h"
#include "image/MFreeImage.h"
#include "image/MFreeImage_Private.h"

namespace MFreeImage {

namespace Detail {

namespace {

// Rows asked of the decoder at a time: enough for any sampling factor's row group.
constexpr int kRowBatch = 16;

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void OnError(j_common_ptr cinfo) {
    auto* error = reinterpret_cast<ErrorManager*>(cinfo->err);
    // A marker the library does not know is no reason to give up the picture: FreeImage's reader
    // carries on past it too.
    if (error->pub.msg_code == JERR_UNKNOWN_MARKER) {
        return;
    }
    longjmp(error->jump, 1);
}

void Silent(j_common_ptr) {}

// What the decoder writes per pixel.
enum class Output {
    Grey,   // 1 byte
    Bgr,    // 3 bytes, blue first (FreeImage's and Qt's BGR888 order)
    Cmyk,   // 4 bytes, brought to 3 (Bgr) here
    Other,  // a colour space left to FreeImage
};

// One file being decoded. Plain data only: libjpeg leaves its calls by longjmp.
struct JpegFile {
    jpeg_decompress_struct cinfo{};
    ErrorManager error{};
    FILE* file = nullptr;
    Output output = Output::Other;
    int orientation = 1;    // the EXIF orientation, 1 to 8
    JOCTET* icc = nullptr;  // the APP2 profile's chunks joined (malloc'd by libjpeg)
    unsigned iccLength = 0;

    JpegFile() = default;
    JpegFile(const JpegFile&) = delete;
    JpegFile& operator=(const JpegFile&) = delete;
    ~JpegFile() {
        jpeg_destroy_decompress(&cinfo);  // nothing to free when never created
        if (file != nullptr) {
            fclose(file);
        }
        free(icc);
    }
};

// The orientation of the first EXIF block among the markers the header kept.
int OrientationOf(const jpeg_decompress_struct& cinfo) {
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m != nullptr; m = m->next) {
        if (m->marker == JPEG_APP0 + 1) {
            if (const int orientation = ExifOrientation(m->data, m->data_length)) {
                return orientation;
            }
        }
    }
    return 1;
}

Output OutputOf(const jpeg_decompress_struct& cinfo) {
    switch (cinfo.jpeg_color_space) {
        case JCS_GRAYSCALE:
            return cinfo.num_components == 1 ? Output::Grey : Output::Other;
        case JCS_YCbCr:
        case JCS_RGB:
            return cinfo.num_components == 3 ? Output::Bgr : Output::Other;
        case JCS_CMYK:
        case JCS_YCCK:
            return cinfo.num_components == 4 ? Output::Cmyk : Output::Other;
        default:
            return Output::Other;
    }
}

// FreeImage's rule for a size hint: the largest of 8, 4, 2 that the picture's longer side still
// covers the hint by.
unsigned ScaleDenominator(const jpeg_decompress_struct& cinfo, int maxSide) {
    if (maxSide <= 0) {
        return 1;
    }
    const double scale =
        std::max(static_cast<double>(cinfo.image_width), static_cast<double>(cinfo.image_height)) /
        static_cast<double>(std::min(maxSide, 0xFFFF));
    return scale >= 8 ? 8 : scale >= 4 ? 4 : scale >= 2 ? 2 : 1;
}

// Opens the file, reads its header and, for a colour space decoded here, starts the decoder.
// False when the file cannot be read or holds more pixels than a picture may; output Other (not
// started) for FreeImage to decode.
bool Start(JpegFile& j, const QByteArray& name, int maxSide) {
    j.file = fopen(name.constData(), "rbe");
    if (j.file == nullptr) {
        return false;
    }
    j.cinfo.err = jpeg_std_error(&j.error.pub);
    j.error.pub.error_exit = OnError;
    j.error.pub.output_message = Silent;
    if (setjmp(j.error.jump) != 0) {
        return false;
    }
    jpeg_create_decompress(&j.cinfo);
    jpeg_stdio_src(&j.cinfo, j.file);
    // EXIF (APP1) and the ICC profile (APP2) are kept whole; the rest is skipped.
    jpeg_save_markers(&j.cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&j.cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&j.cinfo, TRUE);
    // Refused before any pixel memory is taken.
    if (TooManyPixels(j.cinfo.image_width, j.cinfo.image_height)) {
        return false;
    }
    j.orientation = OrientationOf(j.cinfo);
    j.output = OutputOf(j.cinfo);
    // A CMYK profile no longer describes the RGB that the formula below makes of the inks.
    if (j.output == Output::Grey || j.output == Output::Bgr) {
        jpeg_read_icc_profile(&j.cinfo, &j.icc, &j.iccLength);
    }
    if (j.output == Output::Other) {
        return true;
    }
    j.cinfo.scale_num = 1;
    j.cinfo.scale_denom = ScaleDenominator(j.cinfo, maxSide);
    j.cinfo.dct_method = JDCT_IFAST;
    j.cinfo.do_fancy_upsampling = FALSE;
    if (j.output == Output::Bgr) {
        j.cinfo.out_color_space = JCS_EXT_BGR;
    }
    jpeg_start_decompress(&j.cinfo);
    static constexpr int kComponents[] = {1, 3, 4};
    return j.cinfo.output_components == kComponents[static_cast<int>(j.output)] &&
           j.cinfo.output_width > 0 && j.cinfo.output_height > 0;
}

// FreeImage's CMYK to RGB: each ink scaled by the black, which Adobe's files store inverted.
void CmykRowToBgr(const JSAMPLE* src, uchar* dst, JDIMENSION width) {
    for (JDIMENSION x = 0; x < width; ++x, src += 4, dst += 3) {
        const unsigned k = src[3];
        dst[0] = static_cast<uchar>(k * src[2] / 255);
        dst[1] = static_cast<uchar>(k * src[1] / 255);
        dst[2] = static_cast<uchar>(k * src[0] / 255);
    }
}

// Decodes every row, row y going to first + y * step (step < 0 for bottom-up rows). False when
// the decoder gives up; a damaged stream it can carry on through is decoded as it allows.
bool ReadRows(JpegFile& j, uchar* first, qsizetype step, JSAMPLE* cmyk) {
    if (setjmp(j.error.jump) != 0) {
        return false;
    }
    const JDIMENSION width = j.cinfo.output_width;
    const JDIMENSION height = j.cinfo.output_height;
    JSAMPROW rows[kRowBatch];
    while (j.cinfo.output_scanline < height) {
        const JDIMENSION y = j.cinfo.output_scanline;
        const JDIMENSION count = std::min<JDIMENSION>(kRowBatch, height - y);
        for (JDIMENSION i = 0; i < count; ++i) {
            rows[i] = j.output == Output::Cmyk ? cmyk + static_cast<size_t>(i) * width * 4
                                               : first + step * static_cast<qsizetype>(y + i);
        }
        const JDIMENSION read = jpeg_read_scanlines(&j.cinfo, rows, count);
        if (read == 0) {
            return false;
        }
        if (j.output == Output::Cmyk) {
            for (JDIMENSION i = 0; i < read; ++i) {
                CmykRowToBgr(rows[i], first + step * static_cast<qsizetype>(y + i), width);
            }
        }
    }
    jpeg_finish_decompress(&j.cinfo);
    return true;
}

// Room for a batch of CMYK rows before they become BGR; empty for other outputs.
std::vector<JSAMPLE> CmykBuffer(const JpegFile& j) {
    return j.output == Output::Cmyk
               ? std::vector<JSAMPLE>(static_cast<size_t>(j.cinfo.output_width) * 4 * kRowBatch)
               : std::vector<JSAMPLE>();
}

// The header's resolution as FreeImage's reader sets it: from the JFIF density in dots per inch
// or per centimetre; a bitmap's default where the unit is none.
void SetResolution(const jpeg_decompress_struct& cinfo, FIBITMAP* b) {
    if (cinfo.density_unit == 1) {
        FreeImage_SetDotsPerMeterX(b, static_cast<unsigned>(cinfo.X_density / 0.0254 + 0.5));
        FreeImage_SetDotsPerMeterY(b, static_cast<unsigned>(cinfo.Y_density / 0.0254 + 0.5));
    } else if (cinfo.density_unit == 2) {
        FreeImage_SetDotsPerMeterX(b, static_cast<unsigned>(cinfo.X_density) * 100);
        FreeImage_SetDotsPerMeterY(b, static_cast<unsigned>(cinfo.Y_density) * 100);
    }
}

// A bitmap of width x height in the decoder's output, with the header's resolution.
BitmapPtr NewBitmap(const JpegFile& j, int height) {
    const int width = static_cast<int>(j.cinfo.output_width);
    BitmapPtr bitmap(FreeImage_Allocate(width, height, j.output == Output::Grey ? 8 : 24,
                                        FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
    if (!bitmap) {
        return bitmap;
    }
    if (j.output == Output::Grey) {
        RGBQUAD* palette = FreeImage_GetPalette(bitmap.get());
        for (int i = 0; i < 256; ++i) {
            palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(i);
        }
    }
    SetResolution(j.cinfo, bitmap.get());
    return bitmap;
}

// Decodes every row of a started decoder into a new bitmap; null when the decoder gives up or
// memory is short.
BitmapPtr DecodeBitmap(JpegFile& j) {
    BitmapPtr bitmap = NewBitmap(j, static_cast<int>(j.cinfo.output_height));
    if (!bitmap) {
        return bitmap;
    }
    const qsizetype pitch = FreeImage_GetPitch(bitmap.get());
    uchar* top = FreeImage_GetScanLine(bitmap.get(), FreeImage_GetHeight(bitmap.get()) - 1);
    std::vector<JSAMPLE> cmyk = CmykBuffer(j);
    if (!ReadRows(j, top, -pitch, cmyk.data())) {
        bitmap.reset();
    }
    return bitmap;
}

void Describe(const JpegFile& j, ColourDescription* oColour) {
    if (oColour != nullptr) {
        *oColour = ColourDescription();
        if (j.icc != nullptr && j.iccLength > 0) {
            oColour->icc = QByteArray(reinterpret_cast<const char*>(j.icc),
                                      static_cast<qsizetype>(j.iccLength));
        }
    }
}

}  // namespace

FIBITMAP* LoadJpeg(const QString& fileName, int iMaxSide, int* oOrientation, QSize* oOwnSize,
                   ColourDescription* oColour) {
    const QByteArray name = QFile::encodeName(fileName);
    JpegFile j;
    if (!Start(j, name, iMaxSide)) {
        RaiseInvalidPicture();
    }
    *oOrientation = j.orientation;
    *oOwnSize =
        QSize(static_cast<int>(j.cinfo.image_width), static_cast<int>(j.cinfo.image_height));
    Describe(j, oColour);
    if (j.output == Output::Other) {
        const int hint = iMaxSide > 0 ? std::min(iMaxSide, 0xFFFF) << 16 : 0;
        return FreeImage_Load(FIF_JPEG, name.constData(), JPEG_DEFAULT | hint);
    }
    BitmapPtr bitmap = DecodeBitmap(j);
    if (!bitmap) {
        RaiseInvalidPicture();
    }
    return bitmap.release();
}

}  // namespace Detail

using namespace Detail;

bool LoadJpegInto(const QString& iFileName, bool iUpright, QSize* oOwnSize, PictureLayout* oLayout,
                  const std::function<uchar*(const PictureLayout&)>& iTarget,
                  ColourDescription* oColour) {
    if (FormatOfName(iFileName) != FIF_JPEG || !QFileInfo(iFileName).isFile()) {
        return false;
    }
    // A header the library cannot read, too many pixels or a colour space FreeImage decodes
    // itself: the ordinary road, which knows how to refuse or read it.
    JpegFile j;
    if (!Start(j, QFile::encodeName(iFileName), 0) || j.output == Output::Other) {
        return false;
    }
    Describe(j, oColour);
    QSize own(static_cast<int>(j.cinfo.image_width), static_cast<int>(j.cinfo.image_height));
    const int orientation = iUpright ? j.orientation : 1;
    PictureLayout layout;
    uchar* rows = nullptr;
    if (orientation == 1) {
        // The layout of one row of the same kind of bitmap, then the real height: the one rule
        // for formats, row lengths, palettes and resolutions stays LayoutOfBitmap's.
        layout = LayoutOfBitmap(NewBitmap(j, 1).get());
        layout.height = static_cast<int>(j.cinfo.output_height);
        if (layout.format == QImage::Format_Invalid || (rows = iTarget(layout)) == nullptr) {
            RaiseInvalidPicture();
        }
        std::vector<JSAMPLE> cmyk = CmykBuffer(j);
        if (!ReadRows(j, rows, layout.bytesPerLine, cmyk.data())) {
            RaiseInvalidPicture();
        }
    } else {
        // A photo to be turned goes through a bitmap, as LoadImageFile turns it (and leaves it as
        // stored when memory is short for the turn).
        BitmapPtr bitmap = DecodeBitmap(j);
        if (!bitmap) {
            RaiseInvalidPicture();
        }
        if (TurnUpright(bitmap, orientation)) {
            own = UprightSize(own, orientation);
        }
        layout = LayoutOfBitmap(bitmap.get());
        if (layout.format == QImage::Format_Invalid || (rows = iTarget(layout)) == nullptr) {
            RaiseInvalidPicture();
        }
        CopyPictureRows(bitmap.get(), layout, 0, layout.height, rows, layout.bytesPerLine);
    }
    if (oOwnSize != nullptr) {
        *oOwnSize = own;
    }
    *oLayout = layout;
    return true;
}

}  // namespace MFreeImage
