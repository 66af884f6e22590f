#pragma once

#include <QWidget>

#include "window/cAnnotation.h"

class QButtonGroup;

// The annotation mode's tool bar: a small frameless tool window of the ten tools (each with its
// key), the eight colours and the three widths. It only shows and reports a choice; the window it
// belongs to places it (cAnnotation::BarPlace) and keeps the mode.
class frmAnnotateBar : public QWidget {
    Q_OBJECT
public:
    explicit frmAnnotateBar(QWidget* owner);
    // Checks the buttons of a choice, without reporting it.
    void Show(const cAnnotation::Choice& choice);

signals:
    void chosen(const cAnnotation::Choice& choice);

private:
    void Report();

    QButtonGroup* mTools;
    QButtonGroup* mColours;
    QButtonGroup* mWidths;
};
