// JPEG pixels straight from libjpeg-turbo, the same library FreeImage's reader calls, set up the
// way that reader sets it up with its default flags, so the pixels are the ones FreeImage gives:
// the fast integer DCT, plain (not smoothed) chroma upsampling, 1/2, 1/4 or 1/8 by its rule for
// a size hint, grey as 8 bits with a grey palette, CMYK brought to RGB by its formula. What it
// costs FreeImage beyond the decode (rows filled one at a time, then every pixel's red and blue
// swapped in a second pass) is left out: the decoder writes blue-green-red rows directly, into a
// bitmap or into memory the caller gives (the decode worker's shared memory).

#include <FreeImage.h>
#include <setjmp.h>
#include <stdio.h>
// jpeglib.h needs FILE and size_t declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <vector>

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

    JpegFile() = default;
    JpegFile(const JpegFile&) = delete;
    JpegFile& operator=(const JpegFile&) = delete;
    ~JpegFile() {
        jpeg_destroy_decompress(&cinfo);  // nothing to free when never created
        if (file != nullptr) {
            fclose(file);
        }
    }
};

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
    jpeg_read_header(&j.cinfo, TRUE);
    // The size checked before is FreeImage's reading of the file, from another open of it: the
    // memory is sized from this one, so the limit holds here too.
    if (TooManyPixels(j.cinfo.image_width, j.cinfo.image_height)) {
        return false;
    }
    j.output = OutputOf(j.cinfo);
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

// A bitmap of width x height in the decoder's output, with the header's resolution.
BitmapPtr NewBitmap(const JpegFile& j, int height, FIBITMAP* header) {
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
    FreeImage_SetDotsPerMeterX(bitmap.get(), FreeImage_GetDotsPerMeterX(header));
    FreeImage_SetDotsPerMeterY(bitmap.get(), FreeImage_GetDotsPerMeterY(header));
    return bitmap;
}

}  // namespace

FIBITMAP* LoadJpeg(const QString& fileName, FIBITMAP* iHeader, int iMaxSide) {
    const QByteArray name = QFile::encodeName(fileName);
    JpegFile j;
    if (!Start(j, name, iMaxSide)) {
        RaiseInvalidPicture();
    }
    if (j.output == Output::Other) {
        const int hint = iMaxSide > 0 ? std::min(iMaxSide, 0xFFFF) << 16 : 0;
        return FreeImage_Load(FIF_JPEG, name.constData(), JPEG_DEFAULT | hint);
    }
    BitmapPtr bitmap = NewBitmap(j, static_cast<int>(j.cinfo.output_height), iHeader);
    if (!bitmap) {
        RaiseInvalidPicture();
    }
    // The header's metadata, the EXIF orientation among it.
    FreeImage_CloneMetadata(bitmap.get(), iHeader);
    const qsizetype pitch = FreeImage_GetPitch(bitmap.get());
    uchar* top = FreeImage_GetScanLine(bitmap.get(), FreeImage_GetHeight(bitmap.get()) - 1);
    std::vector<JSAMPLE> cmyk = CmykBuffer(j);
    if (!ReadRows(j, top, -pitch, cmyk.data())) {
        RaiseInvalidPicture();
    }
    return bitmap.release();
}

}  // namespace Detail

using namespace Detail;

bool LoadJpegInto(const QString& iFileName, bool iUpright, QSize* oOwnSize, PictureLayout* oLayout,
                  const std::function<uchar*(const PictureLayout&)>& iTarget) {
    if (FormatOfName(iFileName) != FIF_JPEG || !QFileInfo(iFileName).isFile()) {
        return false;
    }
    const QByteArray name = QFile::encodeName(iFileName);
    // Anything unusual (a header the library cannot read, too many pixels, a turn to make) takes
    // the ordinary road, which knows how to refuse or turn it.
    BitmapPtr header(FreeImage_Load(FIF_JPEG, name.constData(), FIF_LOAD_NOPIXELS));
    if (!header || TooManyPixels(header.get()) ||
        (iUpright && ExifOrientation(header.get()) != 1)) {
        return false;
    }
    JpegFile j;
    if (!Start(j, name, 0) || j.output == Output::Other) {
        return false;
    }
    // The layout of one row of the same kind of bitmap, then the real height: the one rule for
    // formats, row lengths, palettes and resolutions stays LayoutOfBitmap's.
    BitmapPtr row = NewBitmap(j, 1, header.get());
    PictureLayout layout = LayoutOfBitmap(row.get());
    if (layout.format == QImage::Format_Invalid) {
        return false;
    }
    layout.height = static_cast<int>(j.cinfo.output_height);
    uchar* rows = iTarget(layout);
    if (rows == nullptr) {
        RaiseInvalidPicture();
    }
    std::vector<JSAMPLE> cmyk = CmykBuffer(j);
    if (!ReadRows(j, rows, layout.bytesPerLine, cmyk.data())) {
        RaiseInvalidPicture();
    }
    if (oOwnSize != nullptr) {
        *oOwnSize = BitmapSize(header.get());
    }
    *oLayout = layout;
    return true;
}

}  // namespace MFreeImage
