#include "dialogs/ModalSeam.h"

namespace ModalSeam {
namespace {
class SilentHandler final : public Handler {
public:
    int Message(QObject*, const QString&, int, const QString&) override { return 1; }
    bool OpenExternal(const QString&) override { return false; }
    void StartProgram(const QString&, const QStringList&,
                      std::function<void(ProgramEnd)>) override {}
    FileDialogAnswer OpenFile(QObject*, const FileDialogRequest&) override { return {}; }
    FileDialogAnswer SaveFile(QObject*, const FileDialogRequest&) override { return {}; }
    QString Folder(QObject*, const QString&) override { return {}; }
    bool Question(QObject*, const QString&, const QString&) override { return false; }
};

SilentHandler gSilent;
Handler* gHandler = nullptr;
}  // namespace

Handler& Current() {
    return gHandler ? *gHandler : gSilent;
}

void Install(Handler* handler) {
    gHandler = handler;
}

}  // namespace ModalSeam
