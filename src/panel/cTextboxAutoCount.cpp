#include "panel/cTextboxAutoCount.h"

#include <QRegularExpression>
#include <limits>
#include <optional>

#include "base/InputMasks.h"
#include "base/Rounding.h"

namespace {

// The text's value as a signed 16-bit number, rounded half to even, or nothing when the text is
// not a plain decimal number (surrounding blanks, a sign, a fraction and an exponent are
// allowed) or lies outside the 16-bit range.
std::optional<qint32> Value16(const QString& text) {
    static const QRegularExpression kNumber(
        QStringLiteral("^\\s*[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?\\s*$"));
    if (!kNumber.match(text).hasMatch()) {
        return std::nullopt;
    }
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok) {
        return std::nullopt;
    }
    const double r = Rounding::RoundHalfEven(v);
    if (!(r >= std::numeric_limits<qint16>::min() && r <= std::numeric_limits<qint16>::max())) {
        return std::nullopt;
    }
    return static_cast<qint32>(r);
}

bool InRange16(qint32 v) {
    return v >= std::numeric_limits<qint16>::min() && v <= std::numeric_limits<qint16>::max();
}

// Clears the busy flag however the write ends, so a failing change handler cannot leave the
// box unable to step.
class BusyScope {
public:
    explicit BusyScope(bool& flag) : mFlag(flag) { mFlag = true; }
    ~BusyScope() { mFlag = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& mFlag;
};

}  // namespace

void cTextboxAutoCount::setObjectTextBox(ITextBox* box) {
    if (box) {
        mObjTextBox = box;
    }
}

void cTextboxAutoCount::KeyPress(qint32& keyAscii) const {
    if (keyAscii < '0' || keyAscii > '9') {
        keyAscii = 0;
    }
}

void cTextboxAutoCount::KeyDown(qint16 keyCode, qint16 /*shift*/) {
    if (!mObjTextBox) {
        return;
    }
    qint32 step = 0;
    if (keyCode == kKeyCodeUp) {
        step = 1;
    } else if (keyCode == kKeyCodeDown) {
        step = -1;
    } else {
        return;
    }
    if (mBusy) {
        return;
    }
    const std::optional<qint32> value = Value16(mObjTextBox->Text());
    if (!value) {
        return;
    }
    BusyScope busy(mBusy);
    qint32 v = *value + step;
    if (v > mMaxValue) {
        v = mMaxValue;
    } else if (v < mMinValue) {
        v = mMinValue;
    }
    if (!InRange16(v)) {
        return;
    }
    mObjTextBox->SetText(QString::number(v));
}

void cTextboxAutoCount::MouseDown(qint16 /*button*/, qint16 /*shift*/, float /*x*/, float y) {
    mLastY = Rounding::Round32(y);
}

void cTextboxAutoCount::MouseMove(qint16 button, qint16 shift, float /*x*/, float y) {
    if (button != InputMasks::kLeftButton) {
        return;
    }
    KeyDown(static_cast<double>(y) >= mLastY ? kKeyCodeDown : kKeyCodeUp, shift);
    mLastY = Rounding::Round32(y);
}
