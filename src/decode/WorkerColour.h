#pragma once

#include <QByteArray>

#include "decode/DecodeProtocol.h"
#include "image/ColourDescription.h"

// The decode worker's side of colour: the file's description opened as a profile (only ever in
// the worker, where a hostile profile can do no harm to the program) and the picture converted to
// the screen's profile, in the worker, before the reply goes.
namespace WorkerColour {

// The screen's profile as the program handed it over (DecodeProtocol::kScreenProfileVariable);
// empty for sRGB.
QByteArray ScreenProfile();

// File descriptors to send after the picture's rows; -1 for none. The caller closes them.
struct Extra {
    int screenRows = -1;
    int profile = -1;
};

// Completes a picture reply with its colours: the profile the values are in (kProfile), and when
// the screen shows them differently, the rows converted into a new sealed memfd (kScreenRows; read
// from iRowsMemfd a chunk at a time, two threads) or a converted colour table (kScreenColors), and
// the grey ramp. A profile that cannot be used, or is larger than DecodeProtocol::kMaxProfileBytes,
// sets kProfileRefused and no screen copy. Returns false only when memory for the screen copy
// could not be had (the caller answers as for a file it cannot read).
bool Complete(const ColourDescription& iDescription, int iRowsMemfd, DecodeProtocol::Reply& ioReply,
              Extra& oExtra);

}  // namespace WorkerColour
