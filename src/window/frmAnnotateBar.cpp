#include "window/frmAnnotateBar.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPainter>
#include <QToolButton>

#include "marks/cMark.h"

namespace {

QToolButton* NewButton(QWidget* parent, const QString& text, const QString& tip) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setToolTip(tip);
    b->setCheckable(true);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);  // the keys stay with the picture window
    return b;
}

// A square of the colour, framed so that white shows on white.
QIcon Swatch(const QColor& colour) {
    QPixmap swatch(16, 16);
    swatch.fill(colour);
    QPainter p(&swatch);
    p.setPen(QColor(128, 128, 128));
    p.drawRect(0, 0, 15, 15);
    return QIcon(swatch);
}

// A line of the width, for the width buttons.
QIcon Stroke(double width) {
    QPixmap stroke(24, 16);
    stroke.fill(Qt::transparent);
    QPainter p(&stroke);
    p.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(4, 8, 20, 8);
    return QIcon(stroke);
}

}  // namespace

frmAnnotateBar::frmAnnotateBar(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus),
      mTools(new QButtonGroup(this)),
      mColours(new QButtonGroup(this)),
      mWidths(new QButtonGroup(this)) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(1);
    for (int i = 0; i < cAnnotation::kTools; ++i) {
        const auto tool = static_cast<cAnnotation::Tool>(i);
        const QString key = QString::number((i + 1) % 10);
        QToolButton* b = NewButton(
            this, cAnnotation::Caption(tool),
            cAnnotation::Caption(tool) + QStringLiteral("（") + key + QStringLiteral("）"));
        mTools->addButton(b, i);
        row->addWidget(b);
    }
    row->addSpacing(8);
    for (int i = 0; i < static_cast<int>(MarkColours().size()); ++i) {
        QToolButton* b = NewButton(this, QString(), MarkColours()[static_cast<size_t>(i)].name());
        b->setIcon(Swatch(MarkColours()[static_cast<size_t>(i)]));
        mColours->addButton(b, i);
        row->addWidget(b);
    }
    row->addSpacing(8);
    for (int i = 0; i < static_cast<int>(MarkWidths().size()); ++i) {
        const double w = MarkWidths()[static_cast<size_t>(i)];
        QToolButton* b = NewButton(this, QString(), QString::number(w));
        b->setIcon(Stroke(w));
        mWidths->addButton(b, i);
        row->addWidget(b);
    }
    for (QButtonGroup* g : {mTools, mColours, mWidths}) {
        g->setExclusive(true);
        connect(g, &QButtonGroup::idClicked, this, &frmAnnotateBar::Report);
    }
    Show(cAnnotation::Kept());
    adjustSize();
}

void frmAnnotateBar::Show(const cAnnotation::Choice& choice) {
    for (auto [group, id] :
         {std::pair{mTools, static_cast<int>(choice.tool)}, std::pair{mColours, choice.colour},
          std::pair{mWidths, choice.width}}) {
        if (QAbstractButton* b = group->button(id)) {
            b->setChecked(true);
        }
    }
}

void frmAnnotateBar::Report() {
    cAnnotation::Choice choice;
    choice.tool = static_cast<cAnnotation::Tool>(std::max(0, mTools->checkedId()));
    choice.colour = std::max(0, mColours->checkedId());
    choice.width = std::max(0, mWidths->checkedId());
    emit chosen(choice);
}
