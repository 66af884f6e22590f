#pragma once

#include <QtGlobal>

// The decode worker: the process (lumora-decode, beside the lumora executable) in which FreeImage
// decodes picture files, so that a hostile file can only take the worker down. cDecodePool starts
// it and speaks to it over one SOCK_SEQPACKET socket, one request and one reply at a time:
//
//   request  Request, then the file name (QFile::encodeName bytes), in one message
//   reply    Reply in one message; for a picture it carries one file descriptor (SCM_RIGHTS): a
//            sealed memfd holding the rows, top row first, Reply::bytesPerLine bytes each, as a
//            QImage of Reply::format keeps them. The worker copies the rows out of the decoded
//            bitmap into a buffer of a few megabytes, still in the cache, and writes that into
//            the memfd: two copies, measured cheaper than one copy into mapped memfd pages, whose
//            page faults cost more. The parent maps the memfd and builds its QImage on the
//            mapping: no copy on its side.
//            A palette picture's table is full length for its depth as the file had it: 2 colours
//            (Mono), 16 (a 4-bit file) or 256 (Indexed8); the parent pads 16 to 256.
namespace mdlDecodeWorker {

inline constexpr quint32 kRequestMagic = 0x4C4D5251;  // "LMRQ"
inline constexpr quint32 kReplyMagic = 0x4C4D5250;    // "LMRP"
inline constexpr int kMaxNameBytes = 4096;

// The worker's own limits: address space (the decoder's memory; pictures up to the pixel limit
// still fit), and a wall-clock alarm per request that ends a worker whose parent is gone while a
// decoder spins (the parent kills it much sooner).
inline constexpr quint64 kAddressSpaceLimit = quint64(2) << 30;  // bytes
inline constexpr unsigned kSelfAlarmSeconds = 60;

// The file descriptor on which a started worker finds its socket.
inline constexpr int kSocketFd = 3;

struct Request {
    quint32 magic = kRequestMagic;
    quint32 nameBytes = 0;
};

enum class Status : quint32 {
    Picture = 1,  // a picture follows in the passed memfd
    Refused = 2,  // the file is not a picture this program can read (error 481)
};

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
    quint32 colors[256] = {};  // QRgb, colorCount of them
};

// Sets the worker's resource limits (address space, no core files). Called once at start.
void LimitResources();

// Answers requests on iSocket until the parent closes it. Returns the process exit code.
int Serve(int iSocket);

}  // namespace mdlDecodeWorker
