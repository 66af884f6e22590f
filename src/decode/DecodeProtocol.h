#pragma once

#include <QtGlobal>

// What the program and its decode worker (lumora-decode, see mdlDecodeWorker.h) say to each other.
// cWorkerProcess starts the worker and speaks to it over one SOCK_SEQPACKET socket, one request and
// one reply at a time:
//
//   request  Request, then the file name (QFile::encodeName bytes), in one message; maxSide > 0
//            asks for a picture no larger than that on its longer side (see
//            MFreeImage::LoadReducedImageFile); kUpright in flags asks for a JPEG turned upright
//            by its EXIF orientation, its own size then the upright one
//   reply    Reply in one message; for a picture it carries one file descriptor (SCM_RIGHTS): a
//            sealed memfd holding the rows, top row first, Reply::bytesPerLine bytes each, as a
//            QImage of Reply::format keeps them. A full-size JPEG that needs no turn is
//            decoded straight into the mapped memfd (MFreeImage::LoadJpegInto): no copy at all.
//            Any other picture is decoded into a bitmap whose rows the worker copies into a
//            buffer of a few megabytes, still in the cache, and writes into the memfd: two
//            copies, measured cheaper than one copy into mapped memfd pages, whose page faults
//            cost more. The parent maps the memfd and builds its QImage on the mapping: no copy
//            on its side (DecodeReply::PictureFromReply).
//            A palette picture's table is full length for its depth as the file had it: 2 colours
//            (Mono), 16 (a 4-bit file) or 256 (Indexed8); the parent pads 16 to 256.
//            Colour: the worker opens the file's profile (ColourProfile) and converts the picture
//            to the screen's (named by kScreenProfileVariable; sRGB without it). After the rows'
//            memfd come, in this order and only when the flags say so: a sealed memfd with the
//            rows in the screen's colours (kScreenRows: same layout as the picture), and a sealed
//            memfd of profileBytes bytes holding the profile the values are in (kProfile). A
//            palette picture's screen colours come in screenColors instead (kScreenColors), and
//            greyRamp says how each neutral value shows (kGreyRamp, with either of those), and
//            markColours the eight colours marks are drawn in, as the values' profile has them
//            (kMarkColours, with kProfile).
//
// Both sides are built from this one header, so the two can never disagree on a layout.
namespace DecodeProtocol {

inline constexpr quint32 kRequestMagic = 0x4C4D5251;  // "LMRQ"
inline constexpr quint32 kReplyMagic = 0x4C4D5250;    // "LMRP"
inline constexpr int kMaxNameBytes = 4096;

// The environment variable in which the parent names itself (its process id), so that a worker
// started just as its parent died ends at once.
inline constexpr char kParentVariable[] = "LUMORA_DECODE_PARENT";

// The environment variable that hands the screen's colour profile to a worker (base64 ICC
// bytes); sRGB without it.
inline constexpr char kScreenProfileVariable[] = "LUMORA_SCREEN_PROFILE";

// The largest profile a reply carries; a file's larger one is treated as unusable.
inline constexpr qint64 kMaxProfileBytes = qint64(4) << 20;

// The file descriptor on which a started worker finds its socket.
inline constexpr int kSocketFd = 3;

// Request::flags
inline constexpr quint32 kUpright = 1;
// With maxSide: reduced only as far as the decoder reduces cheaply (a JPEG's DCT scale, a HEIF
// file's thumbnail, a JPEG XL early pass), never scaled down further: a quick first look.
inline constexpr quint32 kRoughly = 2;

struct Request {
    quint32 magic = kRequestMagic;
    quint32 nameBytes = 0;
    qint32 maxSide = 0;  // pixels; 0 for the full picture
    quint32 flags = 0;   // kUpright, kRoughly; other bits are refused
};

enum class Status : quint32 {
    Picture = 1,  // a picture follows in the passed memfd
    Refused = 2,  // the file is not a picture this program can read (error 481)
};

// Reply::flags
inline constexpr quint32 kLastReply = 1;     // the worker ends after this reply (its CPU limit)
inline constexpr quint32 kScreenRows = 2;    // a memfd of the rows in the screen's colours follows
inline constexpr quint32 kProfile = 4;       // a memfd of the values' profile follows
inline constexpr quint32 kScreenColors = 8;  // screenColors holds the screen's colour table
inline constexpr quint32 kGreyRamp = 16;     // greyRamp holds how neutral values show
inline constexpr quint32 kProfileRefused = 32;  // the file's profile could not be used
inline constexpr quint32 kMarkColours = 64;  // markColours holds the marks' colours in the profile

struct Reply {
    quint32 magic = kReplyMagic;
    Status status = Status::Refused;
    qint32 format = 0;  // QImage::Format
    qint32 width = 0;   // pixels
    qint32 height = 0;  // pixels
    qint32 colorCount = 0;
    qint64 bytesPerLine = 0;
    qint32 dotsPerMeterX = 0;
    qint32 dotsPerMeterY = 0;
    qint32 ownWidth = 0;   // pixels: the file's own size (the full picture), not below width
    qint32 ownHeight = 0;  // pixels, not below height
    quint32 flags = 0;
    quint32 colors[256] = {};        // QRgb, colorCount of them
    qint64 profileBytes = 0;         // with kProfile
    quint32 screenColors[256] = {};  // QRgb, colorCount of them, with kScreenColors
    quint32 greyRamp[256] = {};      // QRgb for the neutral values 0..255, with kGreyRamp
    quint32 markColours[8] = {};     // QRgb: the eight mark colours (sRGB) in the values' profile
};

}  // namespace DecodeProtocol
