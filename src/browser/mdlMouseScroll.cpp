#include "browser/mdlMouseScroll.h"

#include "base/GuardedWork.h"
#include "base/cWheelSteps.h"
#include "browser/frmBrowse.h"

#include <QPointer>
#include <QWheelEvent>
#include <QWidget>

namespace mdlMouseScroll {
namespace {
class WheelFilter : public QObject {
public:
    QPointer<frmBrowse> form;
    cWheelSteps steps;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Wheel) {
            return QObject::eventFilter(watched, event);
        }
        // A failing scroll leaves the form as it is.
        GuardedWork::Run("scrolling the thumbnails", [&] {
            const auto* wheel = static_cast<QWheelEvent*>(event);
            const bool blocked = (wheel->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier |
                                                        Qt::AltModifier)) != 0 ||
                                 wheel->buttons() != Qt::NoButton;
            // One scroll step down per notch towards the user.
            int n = -steps.Add(wheel->angleDelta().y(), blocked);
            // One call per notch; the form may be closed (and unhooked) by one of them.
            const QPointer<frmBrowse> target = form;
            for (; n != 0 && target; n += n > 0 ? -1 : 1) {
                target->EventMouseScroll(n > 0 ? 1 : -1);
            }
        });
        return true;  // taken: nothing inside the form scrolls by itself
    }
};

WheelFilter& Filter() {
    static WheelFilter filter;
    return filter;
}

void Attach(QWidget* form, bool on) {
    QList<QWidget*> widgets = form->findChildren<QWidget*>();
    widgets.prepend(form);
    for (QWidget* w : widgets) {
        if (on) {
            w->installEventFilter(&Filter());
        } else {
            w->removeEventFilter(&Filter());
        }
    }
}
}  // namespace

void HookMouseScroll(frmBrowse* form) {
    if (!form) {
        return;
    }
    UnhookMouseScroll();
    Filter().form = form;
    Filter().steps.Reset();
    Attach(form, true);
}

void UnhookMouseScroll() {
    WheelFilter& filter = Filter();
    if (filter.form) {
        Attach(filter.form, false);
    }
    filter.form = nullptr;
    filter.steps.Reset();
}

frmBrowse* HookedForm() {
    return Filter().form;
}

}  // namespace mdlMouseScroll
