#pragma once

#include <QString>
#include <QStringList>

#include "dialogs/ModalSeam.h"

// Answers every modal interaction at once and records what was asked, for widget tests.
class ScriptedSeam : public ModalSeam::Handler {
public:
    struct Shown {
        QString text;
        int style;
        QString title;
    };
    ScriptedSeam() { ModalSeam::Install(this); }
    ~ScriptedSeam() override { ModalSeam::Install(nullptr); }

    int Message(QObject*, const QString& text, int style, const QString& title) override {
        messages.push_back({text, style, title});
        return 1;
    }
    bool OpenExternal(const QString& pathOrUrl) override {
        opened << pathOrUrl;
        return true;
    }

    std::vector<Shown> messages;
    QStringList opened;
};
