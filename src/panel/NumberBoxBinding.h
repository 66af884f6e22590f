#pragma once

#include <QObject>
#include <memory>

#include "panel/ITextBox.h"

class QLineEdit;
class cTextboxAutoCount;

// Attaches a number-box controller to a line edit: typed characters other than digits are
// dropped, the up and down arrows step the value, and a vertical drag with the left button held
// steps it too. Detaching (or destroying the binding) leaves the line edit an ordinary one.
class NumberBoxBinding : public QObject, private ITextBox {
public:
    // Steps stay within iMin..iMax (the controller's bounds, set in that order).
    NumberBoxBinding(QLineEdit* iBox, qint32 iMin, qint32 iMax);
    ~NumberBoxBinding() override;

    QLineEdit* Box() const { return mBox; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Hands a key or mouse event of the box to the counter; true when the box must not see it.
    bool Step(QEvent* event);
    QString Text() const override;
    void SetText(const QString& text) override;

    QLineEdit* mBox;
    std::unique_ptr<cTextboxAutoCount> mCounter;
};
