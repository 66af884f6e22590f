#include "window/cPictureModel.h"

#include "base/Rounding.h"
#include "image/ColourProfile.h"
#include "image/ScreenColour.h"
#include "image/mdlPhotoShop.h"
#include "marks/MarkGeometry.h"
#include "marks/MarkPainter.h"
#include "window/UndoBudget.h"

using Rounding::Round32;

namespace {
// Runs a pixel operation; no picture when it fails in any way (bad rectangle, no memory).
QImage Attempt(const std::function<QImage()>& operation) {
    try {
        return operation();
    } catch (...) {
        return QImage();  // silent: no picture is how every caller is told the edit failed
    }
}
}  // namespace

cPictureModel::cPictureModel() {
    UndoBudget::Register(&mHistory);
}

cPictureModel::~cPictureModel() {
    UndoBudget::Unregister(&mHistory);
    mHistory.clear();  // its steps refer to this document
}

QImage cPictureModel::Placeholder() {
    QImage img(QStringLiteral(":/placeholder.png"));
    if (img.isNull()) {
        img = QImage(60, 60, QImage::Format_BGR888);
        img.fill(QColor(200, 214, 230));
    }
    return img;
}

void cPictureModel::Clear() {
    ClearHistory();
    mMarks.clear();
    mPicture = Placeholder();
    mColour = SrgbColour(mPicture);
}

PictureColour cPictureModel::SrgbColour(const QImage& iPicture) {
    PictureColour colour;
    const QByteArray screen = ScreenColour::Profile();
    if (screen.isEmpty() || iPicture.isNull()) {
        return colour;
    }
    colour.screen = Attempt([&] { return ScreenColour::FromSrgb(iPicture); });
    colour.greyRamp = cColourTransform::Between(QByteArray(), screen)->GreyRamp();
    if (colour.screen.isNull() || colour.greyRamp.isEmpty()) {
        return PictureColour();  // shown as it is rather than not at all
    }
    return colour;
}

PictureState cPictureModel::With(const QImage& iPicture, const QImage& iScreen) const {
    PictureState state;
    state.picture = iPicture;
    state.colour = mColour;
    state.colour.screen = iScreen;
    state.file = mPicFile;
    state.fileExt = mPicFileExt;
    state.marks = mMarks;
    return state;
}

std::optional<PictureState> cPictureModel::Changed(
    const std::function<QImage(const QImage&)>& iOperation,
    const std::function<QImage(const QImage&)>& iOnScreen) const {
    const QImage result = Attempt([&] { return iOperation(mPicture); });
    if (result.isNull()) {
        return std::nullopt;
    }
    QImage screen;
    if (!mColour.screen.isNull()) {
        screen =
            Attempt([&] { return iOnScreen ? iOnScreen(result) : iOperation(mColour.screen); });
        if (screen.isNull()) {
            return std::nullopt;
        }
    }
    return With(result, screen);
}

void cPictureModel::ExchangeState(PictureState& io) {
    std::swap(mPicture, io.picture);
    std::swap(mColour, io.colour);
    std::swap(mPicFile, io.file);
    std::swap(mPicFileExt, io.fileExt);
    std::swap(mMarks, io.marks);
}

int cPictureModel::UndoSteps() const {
    return UndoBudget::Undoable(mHistory);
}

bool cPictureModel::CanUndo() const {
    return UndoBudget::CanUndo(mHistory);
}

bool cPictureModel::CanRedo() const {
    return UndoBudget::CanRedo(mHistory);
}

void cPictureModel::ClearHistory() {
    mHistory.clear();
}

cPictureModel::Edit cPictureModel::Push(cPictureCommand* step, QSize iShown) {
    mShownNow = iShown;
    mHistory.push(step);  // does it
    const Edit edit = step->Outcome();
    UndoBudget::Trim(&mHistory);
    return edit;
}

cPictureModel::Edit cPictureModel::Undo(QSize iShown) {
    if (!CanUndo()) {
        return Edit();
    }
    const auto* step = static_cast<const cPictureCommand*>(mHistory.command(mHistory.index() - 1));
    mShownNow = iShown;
    mHistory.undo();
    return step->Outcome();
}

cPictureModel::Edit cPictureModel::Redo(QSize iShown) {
    if (!CanRedo()) {
        return Edit();
    }
    const auto* step = static_cast<const cPictureCommand*>(mHistory.command(mHistory.index()));
    mShownNow = iShown;
    mHistory.redo();
    return step->Outcome();
}

bool cPictureModel::AdoptCopyOf(const cPictureModel& source) {
    const QImage copy = Attempt([&] { return mdlPhotoShop::CopyPicture24(source.Picture()); });
    if (copy.isNull()) {
        return false;
    }
    PictureColour colour = source.mColour;
    if (!colour.screen.isNull()) {
        colour.screen = Attempt([&] { return mdlPhotoShop::CopyPicture24(colour.screen); });
        if (colour.screen.isNull()) {
            return false;
        }
    }
    mPicture = copy;
    mColour = colour;
    mMarks = source.mMarks;
    mPicFile = source.mPicFile;
    mPicFileExt = source.mPicFileExt;
    return true;
}

bool cPictureModel::KeepRegion(const QRect& r) {
    auto kept = Changed([&](const QImage& p) {
        return mdlPhotoShop::CopyRegion(p, r.x(), r.y(), r.width(), r.height());
    });
    if (!kept) {
        return false;
    }
    const QSizeF own(mPicture.size());
    MarkGeometry::FollowCrop(kept->marks, QRectF(r), own, own);
    ExchangeState(*kept);
    return true;
}

bool cPictureModel::BlackenRegion(const QRect& r) {
    // Black shows as black on every screen (black-point compensation).
    auto black = Changed([&](const QImage& p) {
        return mdlPhotoShop::FillBlack(p, r.x(), r.y(), r.width(), r.height());
    });
    if (!black) {
        return false;
    }
    ExchangeState(*black);
    return true;
}

void cPictureModel::SetPicture(const QImage& iPicture) {
    mPicFile.clear();
    mMarks.clear();
    mPicture = iPicture;
    mColour = SrgbColour(iPicture);
}

void cPictureModel::ReplacePicture(const QImage& iPicture) {
    mMarks.clear();
    mPicture = iPicture;
    mColour = SrgbColour(iPicture);
}

bool cPictureModel::Loaded(const QString& iFileName, const QImage& iPicture,
                           const PictureColour& iColour) {
    if (iPicture.isNull() ||
        (!iColour.screen.isNull() && iColour.screen.size() != iPicture.size())) {
        return false;
    }
    ClearHistory();
    mMarks.clear();
    mPicture = iPicture;
    mColour = iColour;
    if (iColour.refused) {
        qWarning("Lumora: the colour profile of %s cannot be used; shown as sRGB",
                 qUtf8Printable(iFileName));
    }
    mPicFile = iFileName;
    return true;
}

namespace {
// A picture as shown: 24 bits, iShown's pixels.
QImage View(const QImage& picture, QSize iShown) {
    if (picture.isNull()) {
        return QImage();
    }
    if (picture.format() == QImage::Format_BGR888) {
        // Already 24 bits: shown at its own size it is its own view (shared, and copied only
        // when someone writes to it); otherwise one stretch makes the new picture.
        if (iShown == picture.size()) {
            return picture;
        }
        return Attempt(
            [&] { return mdlPhotoShop::ScalePicture(picture, iShown.width(), iShown.height()); });
    }
    return Attempt([&] {
        const QImage copy = mdlPhotoShop::CopyPicture24(picture);
        return mdlPhotoShop::ScalePicture(copy, iShown.width(), iShown.height());
    });
}
}  // namespace

QImage cPictureModel::ViewPicture(QSize iShown) const {
    return View(mPicture, iShown);
}

QImage cPictureModel::ScreenView(QSize iShown) const {
    return View(ScreenPicture(), iShown);
}

namespace {
// The marks with their colours as `to` holds the eight mark colours (sRGB, MarkColours); the
// marks as they are when it holds none.
std::vector<cMark> InColours(const std::vector<cMark>& marks, const QList<QRgb>& to) {
    std::vector<cMark> out = marks;
    if (to.size() != static_cast<qsizetype>(MarkColours().size())) {
        return out;
    }
    for (cMark& m : out) {
        for (size_t i = 0; i < MarkColours().size(); ++i) {
            if (m.colour.rgb() == MarkColours()[i].rgb()) {
                m.colour = QColor::fromRgb(to[static_cast<qsizetype>(i)]);
                break;
            }
        }
    }
    return out;
}
}  // namespace

std::vector<cMark> cPictureModel::MarksOnScreen() const {
    const QByteArray screen = ScreenColour::Profile();
    if (screen.isEmpty() || mMarks.empty()) {
        return mMarks;
    }
    QList<QRgb> colours;
    for (const QColor& c : MarkColours()) {
        colours << c.rgb();
    }
    return InColours(mMarks, cColourTransform::Between(QByteArray(), screen)->Colours(colours));
}

QImage cPictureModel::MarkedView(QSize iShown) const {
    QImage view = ViewPicture(iShown);
    if (!mMarks.empty() && !view.isNull()) {
        // Marks are chosen in sRGB: in the values they take the profile's numbers for them.
        MarkPainter::DrawMarks(view, InColours(mMarks, mColour.markColours),
                               QSizeF(mPicture.size()));
    }
    return view;
}

QImage cPictureModel::MarkedScreenView(QSize iShown) const {
    QImage view = ScreenView(iShown);
    if (!mMarks.empty() && !view.isNull()) {
        MarkPainter::DrawMarks(view, MarksOnScreen(), QSizeF(mPicture.size()));
    }
    return view;
}

cPictureModel::Edit cPictureModel::SetMarks(std::vector<cMark> iMarks, QSize iShown) {
    if (mPicture.isNull()) {
        return Edit();
    }
    return Push(new cMarksCommand(*this, std::move(iMarks), iShown), iShown);
}

cPictureModel::Edit cPictureModel::Crop(QSize iShown, QRect iRect, qint32 iBorder) {
    // The cut is made on the picture as shown, so what is kept is exactly what was on screen.
    const QRect keep = iRect.intersected(QRect(QPoint(0, 0), iShown));
    if (keep.isEmpty()) {
        return Edit();
    }
    const auto cut = [&](const QImage& p) {
        return Attempt([&] {
            return mdlPhotoShop::CopyRegion(p, keep.x(), keep.y(), keep.width(), keep.height());
        });
    };
    const QImage result = cut(ViewPicture(iShown));
    const QImage screen = mColour.screen.isNull() ? QImage() : cut(ScreenView(iShown));
    if (result.isNull() || (!mColour.screen.isNull() && screen.isNull())) {
        return Edit();
    }
    const QPoint shift(keep.x() - iBorder, keep.y() - iBorder);
    PictureState after = With(result, screen);
    // The marks are cut as the pixels are, at the scale the picture was shown.
    MarkGeometry::FollowCrop(after.marks, QRectF(keep), QSizeF(iShown), QSizeF(mPicture.size()));
    return Push(new cSnapshotCommand(*this, cPictureCommand::Kind::Crop, std::move(after),
                                     result.size(), true, shift),
                iShown);
}

cPictureModel::Edit cPictureModel::Mask(QSize iShown, QRect iRect) {
    if (mPicture.isNull() || iShown.isEmpty()) {
        return Edit();
    }
    // Single precision, as the window's other size arithmetic.
    const float rx = static_cast<float>(mPicture.width()) / static_cast<float>(iShown.width());
    const float ry = static_cast<float>(mPicture.height()) / static_cast<float>(iShown.height());
    const QRect scaled(Round32(static_cast<float>(iRect.x()) * rx),
                       Round32(static_cast<float>(iRect.y()) * ry),
                       Round32(static_cast<float>(iRect.width()) * rx),
                       Round32(static_cast<float>(iRect.height()) * ry));
    const QRect black = scaled.intersected(mPicture.rect());
    if (black.isEmpty()) {
        return Edit();
    }
    // Black shows as black on every screen (black-point compensation).
    auto after = Changed([&](const QImage& p) {
        return mdlPhotoShop::FillBlack(p, black.x(), black.y(), black.width(), black.height());
    });
    if (!after) {
        return Edit();
    }
    return Push(
        new cSnapshotCommand(*this, cPictureCommand::Kind::Mask, std::move(*after), iShown, false),
        iShown);
}

cPictureModel::Edit cPictureModel::Gray(QSize iShown) {
    // The values turn grey; the screen shows each grey as the picture's profile says.
    const QList<QRgb> ramp = mColour.greyRamp;
    auto after =
        Changed([](const QImage& p) { return mdlPhotoShop::GrayPicture(p); },
                [&ramp](const QImage& grey) {
                    return ramp.isEmpty() ? grey : ColourProfile::ThroughGreyRamp(grey, ramp);
                });
    if (!after) {
        return Edit();
    }
    return Push(
        new cSnapshotCommand(*this, cPictureCommand::Kind::Grey, std::move(*after), iShown, false),
        iShown);
}

cPictureModel::Edit cPictureModel::Rotate(QSize iShown, const QString& iRotate, bool iKeepScale) {
    std::optional<PictureState> after;
    QSize shown = iShown;
    if (iRotate == QLatin1String("+90") || iRotate == QLatin1String("-90")) {
        const qint16 angle = iRotate.startsWith(QLatin1Char('+')) ? 90 : -90;
        after = Changed([angle](const QImage& p) { return mdlPhotoShop::RotatePicture(p, angle); });
        if (after) {
            MarkGeometry::FollowRotate(after->marks, angle, QSizeF(mPicture.size()));
        }
        shown.transpose();
    } else if (iRotate == QLatin1String("X") || iRotate == QLatin1String("Y")) {
        after = Changed([&](const QImage& p) { return mdlPhotoShop::FlipPicture(p, iRotate); });
        if (after) {
            MarkGeometry::FollowFlip(after->marks, iRotate, QSizeF(mPicture.size()));
        }
    }
    if (!after) {
        return Edit();
    }
    return Push(new cSnapshotCommand(*this, cPictureCommand::Kind::Rotate, std::move(*after), shown,
                                     iKeepScale),
                iShown);
}

cPictureModel::Edit cPictureModel::Resize(QSize iShown, QSize iNew) {
    if (iNew == iShown) {
        Edit edit;
        edit.done = true;
        edit.viewSize = iNew;
        edit.keepInside = true;
        return edit;
    }
    return Push(new cPictureCommand(*this, cPictureCommand::Kind::Size, iNew, true), iShown);
}

bool cPictureModel::Paste(const QImage& iPicture, QSize iShown) {
    if (iPicture.isNull()) {
        return false;
    }
    PictureState after;
    after.picture = iPicture;
    after.colour = SrgbColour(iPicture);
    after.fileExt = mPicFileExt;
    // The window sizes itself for a new picture; the step brings that size back on a redo.
    return Push(new cSnapshotCommand(*this, cPictureCommand::Kind::Paste, std::move(after), QSize(),
                                     true),
                iShown)
        .done;
}

bool cPictureModel::Capture(const QImage& iPicture, QSize iShown) {
    if (iPicture.isNull()) {
        return false;
    }
    PictureState after;
    after.picture = iPicture;
    // Captured pixels are the screen's own colours: shown as they are, saved with its profile.
    after.colour.profile = ScreenColour::Profile();
    after.file = mPicFile;
    after.fileExt = mPicFileExt;
    return Push(new cSnapshotCommand(*this, cPictureCommand::Kind::Capture, std::move(after),
                                     QSize(), true),
                iShown)
        .done;
}
