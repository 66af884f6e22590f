// A picture's colours on their way from the worker: the worker converts to the screen's profile
// and sends the values, the screen copy and the profile; the program takes only what a worker
// sends.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <functional>

#include "decode/DecodeReply.h"
#include "decode/WorkerColour.h"
#include "decode/mdlDecodeWorker.h"
#include "image/ColourProfile.h"
#include "support/ColourSupport.h"

using DecodeProtocol::Reply;

namespace {

int SealedMemfd(const QByteArray& bytes, bool seal = true) {
    const int fd = ::memfd_create("test-colour", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0 ||
        ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) != bytes.size()) {
        return -1;
    }
    if (seal) {
        ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
    }
    return fd;
}

int OpenDescriptors() {
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

// A 3 x 2 picture of (120, 180, 60) as a worker describes it: 24 bits, or 8 with a table.
struct Sent {
    Reply reply;
    int rows = -1;
};

Sent Picture(bool palette) {
    Sent s;
    s.reply.status = DecodeProtocol::Status::Picture;
    s.reply.width = 3;
    s.reply.height = 2;
    s.reply.ownWidth = 3;
    s.reply.ownHeight = 2;
    QByteArray rows;
    if (palette) {
        s.reply.format = QImage::Format_Indexed8;
        s.reply.bytesPerLine = 4;
        s.reply.colorCount = 256;
        for (int i = 0; i < 256; ++i) {
            s.reply.colors[i] = qRgb(120, 180, 60);
        }
        rows = QByteArray(8, '\x07');
    } else {
        s.reply.format = QImage::Format_BGR888;
        s.reply.bytesPerLine = 12;
        for (int y = 0; y < 2; ++y) {
            rows += QByteArray("\x3c\xb4\x78\x3c\xb4\x78\x3c\xb4\x78\0\0\0", 12);
        }
    }
    s.rows = SealedMemfd(rows);
    return s;
}

DecodeOutcome SendAndRead(const Reply& reply, const std::vector<int>& fds, QImage& oPicture,
                          PictureColour& oColour) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        return DecodeOutcome::Crashed;
    }
    const bool sent = mdlDecodeWorker::SendReply(pair[1], reply, fds);
    for (const int fd : fds) {
        ::close(fd);
    }
    const DecodeOutcome outcome =
        sent ? DecodeReply::ReadReply(pair[0], oPicture, nullptr, nullptr, &oColour)
             : DecodeOutcome::Crashed;
    ::close(pair[0]);
    ::close(pair[1]);
    return outcome;
}

bool Near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 1 && std::abs(qGreen(a) - qGreen(b)) <= 1 &&
           std::abs(qBlue(a) - qBlue(b)) <= 1;
}

// Whatever the worker makes of a description, the program reads back as it was meant.
TEST(ColourReply, TheWorkersConversionArrivesWithTheValuesAndTheProfile) {
    ColourDescription adobe;
    adobe.icc = ColourSupport::AdobeRgb();
    ColourDescription refused;
    refused.icc = QByteArray("no profile");
    struct Case {
        const char* what;
        bool palette;
        ColourDescription description;
        QRgb shown;
    };
    for (const Case& c : {Case{"24 bits, Adobe RGB", false, adobe, qRgb(81, 181, 42)},
                          Case{"a palette, Adobe RGB", true, adobe, qRgb(81, 181, 42)},
                          Case{"a profile lcms2 refuses", false, refused, qRgb(120, 180, 60)},
                          Case{"no profile", false, ColourDescription(), qRgb(120, 180, 60)}}) {
        SCOPED_TRACE(c.what);
        const int before = OpenDescriptors();
        Sent s = Picture(c.palette);
        ASSERT_GE(s.rows, 0);
        WorkerColour::Extra extra;
        ASSERT_TRUE(WorkerColour::Complete(c.description, s.rows, s.reply, extra));
        std::vector<int> fds{s.rows};
        for (const int fd : {extra.screenRows, extra.profile}) {
            if (fd >= 0) {
                fds.push_back(fd);
            }
        }
        QImage picture;
        PictureColour colour;
        ASSERT_EQ(SendAndRead(s.reply, fds, picture, colour), DecodeOutcome::Loaded);
        EXPECT_EQ(picture.pixel(2, 1), qRgb(120, 180, 60)) << "the values stay the file's";
        const QImage& shown = colour.Converts() ? colour.screen : picture;
        EXPECT_TRUE(Near(shown.pixel(2, 1), c.shown)) << std::hex << shown.pixel(2, 1);
        EXPECT_EQ(colour.profile, c.description.icc);
        EXPECT_EQ(colour.refused, c.description.icc == refused.icc);
        EXPECT_EQ(colour.greyRamp.size(), colour.Converts() ? 256 : 0);
        // Marks drawn into Adobe RGB values take its numbers for sRGB red.
        if (c.description.icc == adobe.icc) {
            ASSERT_EQ(colour.markColours.size(), 8);
            EXPECT_EQ(
                colour.markColours[0],
                cColourTransform::Between(QByteArray(), adobe.icc)->Colours({qRgb(255, 0, 0)})[0]);
        } else {
            EXPECT_TRUE(colour.markColours.isEmpty());
        }
        picture = QImage();
        colour = PictureColour();
        EXPECT_EQ(OpenDescriptors(), before);
    }
}

// A colour part that is not what a worker sends makes the whole reply garbled, and every
// descriptor that came with it is closed.
TEST(ColourReply, AnythingElseIsGarbled) {
    using namespace DecodeProtocol;
    struct Case {
        const char* what;
        bool palette;
        std::function<void(Reply&, std::vector<int>&)> spoil;
    };
    const QByteArray profile = ColourSupport::AdobeRgb();
    const auto withProfile = [profile](Reply& r, std::vector<int>& fds) {
        r.flags |= kProfile;
        r.profileBytes = profile.size();
        fds.push_back(SealedMemfd(profile));
    };
    const Case cases[] = {
        {"a profile flag with no descriptor", false,
         [&](Reply& r, std::vector<int>&) {
             r.flags |= kProfile;
             r.profileBytes = profile.size();
         }},
        {"a descriptor no flag names", false,
         [&](Reply&, std::vector<int>& fds) { fds.push_back(SealedMemfd(profile)); }},
        {"a profile longer than its memfd", false,
         [&](Reply& r, std::vector<int>& fds) {
             withProfile(r, fds);
             r.profileBytes += 1;
         }},
        {"a profile in a memfd not sealed", false,
         [&](Reply& r, std::vector<int>& fds) {
             r.flags |= kProfile;
             r.profileBytes = profile.size();
             fds.push_back(SealedMemfd(profile, false));
         }},
        {"a profile past the limit", false,
         [&](Reply& r, std::vector<int>& fds) {
             withProfile(r, fds);
             r.profileBytes = kMaxProfileBytes + 1;
         }},
        {"screen rows for a palette picture", true,
         [&](Reply& r, std::vector<int>& fds) {
             r.flags |= kScreenRows | kGreyRamp;
             fds.push_back(SealedMemfd(QByteArray(8, '\0')));
         }},
        {"screen colours for a 24-bit picture", false,
         [&](Reply& r, std::vector<int>&) { r.flags |= kScreenColors | kGreyRamp; }},
        {"a grey ramp with no screen copy", false,
         [&](Reply& r, std::vector<int>&) { r.flags |= kGreyRamp; }},
        {"screen rows shorter than the picture", false,
         [&](Reply& r, std::vector<int>& fds) {
             r.flags |= kScreenRows | kGreyRamp;
             fds.push_back(SealedMemfd(QByteArray(23, '\0')));
         }},
        {"a flag no worker sends", false,
         [&](Reply& r, std::vector<int>&) { r.flags |= 1u << 20; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int before = OpenDescriptors();
        Sent s = Picture(c.palette);
        std::vector<int> fds{s.rows};
        c.spoil(s.reply, fds);
        QImage picture;
        PictureColour colour;
        EXPECT_EQ(SendAndRead(s.reply, fds, picture, colour), DecodeOutcome::Garbled);
        EXPECT_TRUE(picture.isNull());
        EXPECT_EQ(OpenDescriptors(), before);
    }
}

}  // namespace
