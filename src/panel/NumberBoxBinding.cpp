#include "panel/NumberBoxBinding.h"

#include "base/GuardedWork.h"
#include "base/InputMasks.h"
#include "base/ScreenUnits.h"
#include "panel/cTextboxAutoCount.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

NumberBoxBinding::NumberBoxBinding(QLineEdit* iBox, qint32 iMin, qint32 iMax)
    : QObject(iBox), mBox(iBox), mCounter(std::make_unique<cTextboxAutoCount>()) {
    mCounter->setObjectTextBox(this);
    mCounter->setMinValue(iMin);
    mCounter->setMaxValue(iMax);
    mBox->installEventFilter(this);
}

NumberBoxBinding::~NumberBoxBinding() {
    mBox->removeEventFilter(this);
}

QString NumberBoxBinding::Text() const {
    return mBox->text();
}

void NumberBoxBinding::SetText(const QString& text) {
    mBox->setText(text);  // raises textChanged, as a typed change would
}

bool NumberBoxBinding::eventFilter(QObject* watched, QEvent* event) {
    if (watched != mBox) {
        return false;
    }
    // A step that fails leaves the text as it was, and the event goes on to the box.
    bool filtered = false;
    GuardedWork::Run("a number box step", [&] { filtered = Step(event); });
    return filtered;
}

bool NumberBoxBinding::Step(QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            auto* k = static_cast<QKeyEvent*>(event);
            if (k->key() == Qt::Key_Up || k->key() == Qt::Key_Down) {
                mCounter->KeyDown(k->key() == Qt::Key_Up ? 38 : 40,
                                  InputMasks::ShiftMask(k->modifiers()));
                return false;  // the box still sees the arrow
            }
            // Only a typed character is filtered; shortcuts (paste, select all) and editing
            // keys that type nothing pass.
            const QString typed = k->text();
            const bool chord =
                k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
            if (typed.size() == 1 && !chord &&
                (typed.at(0).isPrint() || typed.at(0) == QLatin1Char('\b'))) {
                qint32 code = typed.at(0).unicode();
                mCounter->KeyPress(code);
                return code == 0;
            }
            return false;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove: {
            auto* m = static_cast<QMouseEvent*>(event);
            // The controller takes positions in twips, relative to the box: logical pixels
            // times the scale are device pixels of the box's screen, then its twips.
            const QScreen* screen = mBox->screen();
            const double k = ScreenUnits::Scale(screen);
            const auto x =
                static_cast<float>(m->position().x() * k * ScreenUnits::TwipsPerPixelX(screen));
            const auto y =
                static_cast<float>(m->position().y() * k * ScreenUnits::TwipsPerPixelY(screen));
            const qint16 shift = InputMasks::ShiftMask(m->modifiers());
            if (event->type() == QEvent::MouseButtonPress) {
                mCounter->MouseDown(InputMasks::ButtonMask(m->button()), shift, x, y);
            } else {
                mCounter->MouseMove(InputMasks::ButtonMask(m->buttons()), shift, x, y);
            }
            return false;
        }
        default:
            return false;
    }
}
