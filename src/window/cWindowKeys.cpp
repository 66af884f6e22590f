#include "window/cWindowKeys.h"

void cWindowKeys::Pressed(int key, Qt::KeyboardModifiers keys, bool autoRepeat) {
    if (autoRepeat) {
        return;
    }
    mPressed = key;
    mPlain = !(keys & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    mShift = keys & Qt::ShiftModifier;
}

cWindowKeys::Action cWindowKeys::Released(int key, Qt::KeyboardModifiers keys, bool autoRepeat) {
    if (autoRepeat) {
        return Action::None;
    }
    const bool seen = mPressed == key;
    if (!seen && (key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
                  key == Qt::Key_Meta)) {
        return Action::PassOn;  // a chord's modifier let go first: the key it held still counts
    }
    const bool plain = seen && mPlain;
    const bool shift = mShift;
    mPressed = 0;
    if (!seen) {
        return Action::PassOn;
    }
    const auto letter = [plain](Action a) { return plain ? a : Action::None; };
    const Qt::KeyboardModifiers all = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    switch (key) {
        case Qt::Key_Escape:
        case Qt::Key_Delete:
            return Action::Close;
        case Qt::Key_Menu:
            return Action::CommandPanel;
        case Qt::Key_N:
            return Action::NewWindow;
        case Qt::Key_O:
            return letter(Action::Open);
        case Qt::Key_S:
            return letter(Action::QuickSave);
        case Qt::Key_A:
            return letter(Action::SaveAs);
        case Qt::Key_C:
            return letter(shift ? Action::Select : Action::Capture);
        case Qt::Key_T:
            return letter(Action::Pin);
        case Qt::Key_D:
            return letter(Action::Annotate);
        case Qt::Key_F12:
            return (keys & all) == all ? Action::VersionInfo : Action::None;
        default:
            return Action::PassOn;
    }
}

const std::vector<std::pair<QKeySequence, cWindowKeys::Action>>& cWindowKeys::Shortcuts() {
    static const std::vector<std::pair<QKeySequence, Action>> shortcuts = {
        {QKeySequence(Qt::CTRL | Qt::Key_C), Action::Copy},
        {QKeySequence(Qt::CTRL | Qt::Key_V), Action::Paste},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), Action::Undo},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), Action::Redo},
        {QKeySequence(Qt::CTRL | Qt::Key_Y), Action::Redo},
        {QKeySequence(Qt::CTRL | Qt::Key_S), Action::QuickSave},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), Action::SaveAs},
        {QKeySequence(Qt::CTRL | Qt::Key_O), Action::Open},
        {QKeySequence(Qt::CTRL | Qt::Key_W), Action::Close},
        {QKeySequence(Qt::Key_F1), Action::Help},
    };
    return shortcuts;
}

std::optional<WindowArithmetic::Arrow> cWindowKeys::ArrowOf(int key) {
    switch (key) {
        case Qt::Key_Left:
            return WindowArithmetic::Arrow::Left;
        case Qt::Key_Up:
            return WindowArithmetic::Arrow::Up;
        case Qt::Key_Right:
            return WindowArithmetic::Arrow::Right;
        case Qt::Key_Down:
            return WindowArithmetic::Arrow::Down;
        default:
            return std::nullopt;
    }
}

int cWindowKeys::ArrowStep(Qt::KeyboardModifiers keys) {
    return (keys & ~Qt::KeypadModifier) == Qt::ControlModifier ? 10 : 1;
}
