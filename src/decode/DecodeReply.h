#pragma once

#include <QImage>
#include <QSize>

#include "decode/DecodeProtocol.h"
#include "image/PictureColour.h"

// What came of one request to decode a file. A reply read from a worker says Loaded, Refused,
// Crashed or Garbled; the exchange with the worker adds TimedOut and Cancelled.
enum class DecodeOutcome {
    Loaded,     // a picture
    Refused,    // the worker says the file is not a picture it can read
    Crashed,    // the worker died (or could not be started)
    TimedOut,   // the worker ran past the time limit and was killed
    Garbled,    // the worker answered nonsense and was killed
    Cancelled,  // the request was cancelled before it ended (its completion is not called)
};

// The program's check of what a worker sends (DecodeProtocol.h): a reply read from its socket,
// and the picture built on the pages of the memfd that comes with it. Nothing a worker sends is
// trusted: a reply that is not exactly what a worker sends is Garbled, never a picture.
namespace DecodeReply {

// Reads one reply from a worker's socket (without waiting: call it when the socket is readable)
// and checks it. Loaded with oPicture set; Refused; Crashed when the socket is closed; Garbled for
// anything a worker does not send. oOwnSize, when given, receives the own size a picture reply
// names; oLast, when given, whether a well-formed reply says the worker ends after it. Closes
// every file descriptor received that does not end up holding the picture's pages. oColour, when
// given, receives what the reply says about the picture's colours: the profile the values are
// in, the picture in the screen's colours (a memfd of its own, or the colour table of a palette
// picture), how neutral values show; a reply whose colour part is not what a worker sends is
// Garbled.
DecodeOutcome ReadReply(int iSocket, QImage& oPicture, QSize* oOwnSize = nullptr,
                        bool* oLast = nullptr, PictureColour* oColour = nullptr);

// The picture a worker's reply describes, built on the pages of iMemfd (which it takes over and
// closes); a null picture unless the reply and the memfd are exactly what a worker sends: a known
// format, a size within the pixel limit, an own size no smaller, Qt's row length, a full colour
// table for a palette picture (2 colours for Mono; 16 from a 4-bit file or 256 for Indexed8,
// padded to 256 with black so that every index names a colour), and a memfd sealed against
// writing and shrinking that holds every row. Its pixels live in the memfd, mapped privately:
// writing to the picture copies only the pages written.
QImage PictureFromReply(const DecodeProtocol::Reply& iReply, int iMemfd);

}  // namespace DecodeReply
