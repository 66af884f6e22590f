#pragma once

#include <QtGlobal>

// The decode worker: the process (lumora-decode, beside the lumora executable) in which FreeImage
// decodes picture files, so that a hostile file can only take the worker down. cDecodePool starts
// it and speaks to it over one SOCK_SEQPACKET socket, one request and one reply at a time:
//
//   request  Request, then the file name (QFile::encodeName bytes), in one message; maxSide > 0
//            asks for a picture no larger than that on its longer side (see
//            MFreeImage::LoadReducedImageFile); kUpright in flags asks for a JPEG turned upright
//            by its EXIF orientation, its own size then the upright one
//   reply    Reply in one message; for a picture it carries one file descriptor (SCM_RIGHTS): a
//            sealed memfd holding the rows, top row first, Reply::bytesPerLine bytes each, as a
//            QImage of Reply::format keeps them. A JPEG that needs no turn and no scaling is
//            decoded straight into the mapped memfd (MFreeImage::LoadJpegInto): no copy at all.
//            Any other picture is decoded into a bitmap whose rows the worker copies into a
//            buffer of a few megabytes, still in the cache, and writes into the memfd: two
//            copies, measured cheaper than one copy into mapped memfd pages, whose page faults
//            cost more. The parent maps the memfd and builds its QImage on the mapping: no copy
//            on its side.
//            A palette picture's table is full length for its depth as the file had it: 2 colours
//            (Mono), 16 (a 4-bit file) or 256 (Indexed8); the parent pads 16 to 256.
namespace mdlDecodeWorker {

inline constexpr quint32 kRequestMagic = 0x4C4D5251;  // "LMRQ"
inline constexpr quint32 kReplyMagic = 0x4C4D5250;    // "LMRP"
inline constexpr int kMaxNameBytes = 4096;

// The worker's own limits: address space (the decoder's memory; pictures up to the pixel limit
// still fit), a wall-clock alarm per request and a limit of CPU time, which end a worker whose
// decoder spins when nobody else does (the parent kills it much sooner). The CPU limit counts the
// worker's whole life: a worker that has used kRetireCpuSeconds says so in its reply and ends, so
// that every request starts with the rest of the limit before it.
inline constexpr quint64 kAddressSpaceLimit = quint64(2) << 30;  // bytes
inline constexpr unsigned kSelfAlarmSeconds = 60;
inline constexpr unsigned kCpuLimitSeconds = 30;
inline constexpr unsigned kRetireCpuSeconds = 15;

// The environment variable in which the parent names itself (its process id), so that a worker
// started just as its parent died ends at once.
inline constexpr char kParentVariable[] = "LUMORA_DECODE_PARENT";

// The file descriptor on which a started worker finds its socket.
inline constexpr int kSocketFd = 3;

// Request::flags
inline constexpr quint32 kUpright = 1;

struct Request {
    quint32 magic = kRequestMagic;
    quint32 nameBytes = 0;
    qint32 maxSide = 0;  // pixels; 0 for the full picture
    quint32 flags = 0;   // kUpright; other bits are refused
};

enum class Status : quint32 {
    Picture = 1,  // a picture follows in the passed memfd
    Refused = 2,  // the file is not a picture this program can read (error 481)
};

// Reply::flags
inline constexpr quint32 kLastReply = 1;  // the worker ends after this reply (see the CPU limit)

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
    quint32 colors[256] = {};  // QRgb, colorCount of them
};

// Sets the worker's resource limits (address space, CPU time, no core files). Called once at
// start.
void LimitResources();

// Makes the worker end (SIGKILL) when the thread of its parent that started it ends, which
// happens at the latest when the parent's process ends. False when the parent named in
// kParentVariable is already gone: the worker must end at once.
bool TieToParent();

// Answers requests on iSocket until the parent closes it. Returns the process exit code.
int Serve(int iSocket);

}  // namespace mdlDecodeWorker
