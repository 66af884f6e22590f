// The program's check of what a worker sends: a reply that is not exactly what a worker sends is
// refused and its descriptor closed; a good one becomes a picture on the memfd's pages.

#include "decode/DecodeReply.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <algorithm>
#include <functional>

#include "decode/mdlDecodeWorker.h"
#include "decode/mdlPictureFile.h"
#include "image/MFreeImage.h"
#include "support/TestSupport.h"

using DecodeProtocol::Reply;
using Outcome = DecodeOutcome;
using TestSupport::DataFile;

namespace {

// What travels in place of a worker's memfd.
enum class Carrier {
    Sealed,          // as a worker sends it: sealed against growing, shrinking and writing
    NoSeals,         // a memfd that allows seals but has none
    NoSealing,       // a memfd made without MFD_ALLOW_SEALING
    WriteSealOnly,   // F_SEAL_WRITE alone: it could still shrink under the mapping
    ShrinkSealOnly,  // F_SEAL_SHRINK alone: its rows could still change
    ShortSealed,     // sealed, one byte shorter than its rows
    Pipe,            // the read end of a pipe holding the bytes
};

// A 5 x 3 Indexed8 picture whose rows use every index up to 255, with a full grey table.
Reply GoodReply() {
    Reply reply;
    reply.status = DecodeProtocol::Status::Picture;
    reply.format = QImage::Format_Indexed8;
    reply.width = 5;
    reply.height = 3;
    reply.bytesPerLine = 8;
    reply.colorCount = 256;
    for (int i = 0; i < 256; ++i) {
        reply.colors[i] = qRgb(i, i, i);
    }
    reply.dotsPerMeterX = 3780;
    reply.dotsPerMeterY = 3780;
    reply.ownWidth = 5;
    reply.ownHeight = 3;
    return reply;
}

// The rows a test reply carries: size bytes (at most a megabyte), every third one 255.
QByteArray RowsFor(qint64 size) {
    QByteArray rows(static_cast<qsizetype>(std::clamp<qint64>(size, 0, 1 << 20)), '\0');
    for (qsizetype i = 0; i < rows.size(); ++i) {
        rows[i] = static_cast<char>(i % 3 == 0 ? 255 : i * 37);
    }
    return rows;
}

// A descriptor carrying the reply's rows (bytesPerLine x height bytes, as far as they make sense).
int MakeCarrier(Carrier carrier, const Reply& reply) {
    qint64 size = qMax<qint64>(reply.bytesPerLine, 1) * qMax(reply.height, 1);
    if (carrier == Carrier::ShortSealed) {
        --size;
    }
    const QByteArray rows = RowsFor(size);
    if (carrier == Carrier::Pipe) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            return -1;
        }
        const ssize_t written =
            ::write(ends[1], rows.constData(), static_cast<size_t>(rows.size()));
        ::close(ends[1]);
        if (written != rows.size()) {
            ::close(ends[0]);
            return -1;
        }
        return ends[0];
    }
    const unsigned flags =
        carrier == Carrier::NoSealing ? MFD_CLOEXEC : MFD_CLOEXEC | MFD_ALLOW_SEALING;
    const int fd = ::memfd_create("test-reply", flags);
    if (fd < 0 || ::write(fd, rows.constData(), static_cast<size_t>(rows.size())) != rows.size()) {
        ::close(fd);
        return -1;
    }
    int seals = 0;
    switch (carrier) {
        case Carrier::Sealed:
        case Carrier::ShortSealed:
            seals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL;
            break;
        case Carrier::WriteSealOnly:
            seals = F_SEAL_WRITE;
            break;
        case Carrier::ShrinkSealOnly:
            seals = F_SEAL_SHRINK;
            break;
        default:
            break;
    }
    if (seals != 0 && ::fcntl(fd, F_ADD_SEALS, seals) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int OpenDescriptors() {
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

// Sends a reply as a worker does, with the descriptor fd, and reads it back through the program's
// own reading. Loaded when the test could not set that up (no descriptor, no socket).
Outcome SendAndRead(const Reply& reply, int fd, QImage& oPicture) {
    int pair[2];
    if (fd < 0 || ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        return Outcome::Loaded;
    }
    const bool sent = mdlDecodeWorker::SendReply(pair[1], reply, fd);
    ::close(fd);
    const Outcome outcome = sent ? DecodeReply::ReadReply(pair[0], oPicture) : Outcome::Loaded;
    ::close(pair[0]);
    ::close(pair[1]);
    return outcome;
}

struct BadReply {
    const char* what;
    Carrier carrier;
    std::function<void(Reply&)> spoil;
};

void PrintTo(const BadReply& r, std::ostream* os) {
    *os << r.what;
}

class BadReplies : public testing::TestWithParam<BadReply> {};

TEST_P(BadReplies, AreRefusedWithoutLeakingTheirDescriptor) {
    Reply reply = GoodReply();
    GetParam().spoil(reply);
    const int descriptorsBefore = OpenDescriptors();

    const int fd = MakeCarrier(GetParam().carrier, reply);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(DecodeReply::PictureFromReply(reply, fd).isNull());
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);  // taken over and closed

    QImage picture;
    EXPECT_EQ(SendAndRead(reply, MakeCarrier(GetParam().carrier, reply), picture),
              Outcome::Garbled);
    EXPECT_TRUE(picture.isNull());
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, BadReplies,
    testing::Values(
        BadReply{"a memfd without seals", Carrier::NoSeals, [](Reply&) {}},
        BadReply{"a memfd made without sealing", Carrier::NoSealing, [](Reply&) {}},
        BadReply{"F_SEAL_WRITE only", Carrier::WriteSealOnly, [](Reply&) {}},
        BadReply{"F_SEAL_SHRINK only", Carrier::ShrinkSealOnly, [](Reply&) {}},
        BadReply{"a memfd shorter than its rows", Carrier::ShortSealed, [](Reply&) {}},
        BadReply{"a pipe instead of a memfd", Carrier::Pipe, [](Reply&) {}},
        BadReply{"rows one byte short of Qt's", Carrier::Sealed,
                 [](Reply& r) { r.bytesPerLine = 7; }},
        BadReply{"rows longer than Qt's", Carrier::Sealed, [](Reply& r) { r.bytesPerLine = 12; }},
        BadReply{"rows of no length", Carrier::Sealed, [](Reply& r) { r.bytesPerLine = 0; }},
        BadReply{"rows of negative length", Carrier::Sealed, [](Reply& r) { r.bytesPerLine = -8; }},
        BadReply{"Indexed8 with no colours", Carrier::Sealed, [](Reply& r) { r.colorCount = 0; }},
        BadReply{"Indexed8 with 300 colours", Carrier::Sealed,
                 [](Reply& r) { r.colorCount = 300; }},
        BadReply{"Indexed8 with a table shorter than its indices", Carrier::Sealed,
                 [](Reply& r) { r.colorCount = 1; }},
        BadReply{"Indexed8 with 255 colours", Carrier::Sealed,
                 [](Reply& r) { r.colorCount = 255; }},
        BadReply{"Indexed8 with a negative colour count", Carrier::Sealed,
                 [](Reply& r) { r.colorCount = -1; }},
        BadReply{"Mono with one colour", Carrier::Sealed,
                 [](Reply& r) {
                     r.format = QImage::Format_Mono;
                     r.bytesPerLine = 4;
                     r.colorCount = 1;
                 }},
        BadReply{"BGR888 with a colour table", Carrier::Sealed,
                 [](Reply& r) {
                     r.format = QImage::Format_BGR888;
                     r.bytesPerLine = 16;
                     r.colorCount = 2;
                 }},
        BadReply{"more pixels than the limit", Carrier::Sealed,
                 [](Reply& r) {
                     r.format = QImage::Format_RGB32;
                     r.colorCount = 0;
                     r.width = 16385;
                     r.height = 16384;
                     r.bytesPerLine = qint64(16385) * 4;
                 }},
        BadReply{"a size whose pixel count overflows 32 bits", Carrier::Sealed,
                 [](Reply& r) {
                     r.width = 0x7FFFFFFF;
                     r.height = 0x7FFFFFFF;
                     r.bytesPerLine = 0x80000000LL;
                 }},
        BadReply{"no width", Carrier::Sealed, [](Reply& r) { r.width = 0; }},
        BadReply{"an own size narrower than the picture", Carrier::Sealed,
                 [](Reply& r) { r.ownWidth = 4; }},
        BadReply{"an own size lower than the picture", Carrier::Sealed,
                 [](Reply& r) { r.ownHeight = 0; }},
        BadReply{"a negative height", Carrier::Sealed, [](Reply& r) { r.height = -3; }},
        BadReply{"format -1", Carrier::Sealed, [](Reply& r) { r.format = -1; }},
        BadReply{"Format_Invalid", Carrier::Sealed,
                 [](Reply& r) { r.format = QImage::Format_Invalid; }},
        BadReply{"a format past the last", Carrier::Sealed,
                 [](Reply& r) { r.format = QImage::NImageFormats; }},
        BadReply{"format 0x7FFFFFFF", Carrier::Sealed, [](Reply& r) { r.format = 0x7FFFFFFF; }},
        BadReply{"a format no worker sends", Carrier::Sealed, [](Reply& r) {
                     r.format = QImage::Format_Grayscale8;
                     r.colorCount = 0;
                 }}));

TEST(ReplyCheck, WorkersPictureIsTakenWithItsTablePaddedToFullLength) {
    // A 4-bit file: 16 colours, padded with black so that an index past them still names one.
    Reply reply = GoodReply();
    reply.colorCount = 16;
    const int fd = MakeCarrier(Carrier::Sealed, reply);
    ASSERT_GE(fd, 0);
    QImage picture;
    ASSERT_EQ(SendAndRead(reply, fd, picture), Outcome::Loaded);
    ASSERT_EQ(picture.format(), QImage::Format_Indexed8);
    EXPECT_EQ(picture.size(), QSize(5, 3));
    ASSERT_EQ(picture.colorCount(), 256);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(picture.color(i), i < 16 ? qRgb(i, i, i) : qRgb(0, 0, 0)) << i;
    }
    EXPECT_EQ(picture.pixelIndex(0, 0), 255);
    EXPECT_EQ(picture.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(picture.dotsPerMeterX(), 3780);
    const QByteArray rows = RowsFor(8 * 3);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(picture.constScanLine(y)), 8),
                  rows.mid(8 * y, 8));
    }

    // A full table and a Mono pair are kept as sent.
    reply = GoodReply();
    picture = DecodeReply::PictureFromReply(reply, MakeCarrier(Carrier::Sealed, reply));
    ASSERT_EQ(picture.colorCount(), 256);
    EXPECT_EQ(picture.color(200), qRgb(200, 200, 200));
    reply.format = QImage::Format_Mono;
    reply.bytesPerLine = 4;
    reply.colorCount = 2;
    reply.colors[0] = qRgb(10, 20, 30);
    reply.colors[1] = qRgb(40, 50, 60);
    picture = DecodeReply::PictureFromReply(reply, MakeCarrier(Carrier::Sealed, reply));
    EXPECT_EQ(picture.colorTable(), (QList<QRgb>{qRgb(10, 20, 30), qRgb(40, 50, 60)}));
}

TEST(ReplyCheck, FourBitFilesComeOutAsIndexed8WithAFullTable) {
    for (const char* file : {"bmp_4.bmp", "ico_16c.ico"}) {
        const QImage picture = mdlPictureFile::LoadPictureFile(DataFile(file));
        EXPECT_EQ(picture.format(), QImage::Format_Indexed8) << file;
        EXPECT_EQ(picture.colorCount(), 256) << file;
        // The pixels convert (every index names a colour) and keep their colours.
        const QImage local =
            MFreeImage::ImageToPicture(MFreeImage::LoadImageFile(DataFile(file)), true);
        EXPECT_EQ(picture.convertToFormat(QImage::Format_RGB32),
                  local.convertToFormat(QImage::Format_RGB32))
            << file;
    }
}

}  // namespace
