#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "dialogs/ModalSeam.h"

// Answers every modal interaction at once and records what was asked, for widget tests.
// Dialogs and questions take their answers from the queues in order; an empty queue answers like
// a person pressing Cancel (or No).
class ScriptedSeam : public ModalSeam::Handler {
public:
    struct Shown {
        QString text;
        int style;
        QString title;
    };
    struct Asked {
        QString text;
        QString title;
    };
    // A program started through the seam; a test ends it by calling whenEnded.
    struct Started {
        QString program;
        QStringList arguments;
        std::function<void(ModalSeam::ProgramEnd)> whenEnded;
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
    void StartProgram(const QString& program, const QStringList& arguments,
                      std::function<void(ModalSeam::ProgramEnd)> whenEnded) override {
        started.push_back({program, arguments, std::move(whenEnded)});
    }
    ModalSeam::FileDialogAnswer OpenFile(QObject*,
                                         const ModalSeam::FileDialogRequest& request) override {
        openRequests.push_back(request);
        return Next(openAnswers, ModalSeam::FileDialogAnswer{});
    }
    ModalSeam::FileDialogAnswer SaveFile(QObject*,
                                         const ModalSeam::FileDialogRequest& request) override {
        saveRequests.push_back(request);
        return Next(saveAnswers, ModalSeam::FileDialogAnswer{});
    }
    QString Folder(QObject*, const QString& prompt) override {
        folderPrompts << prompt;
        return Next(folderAnswers, QString());
    }
    bool Question(QObject*, const QString& text, const QString& title) override {
        questions.push_back({text, title});
        return Next(questionAnswers, false);
    }

    // A chosen file, for the answer queues.
    static ModalSeam::FileDialogAnswer Chosen(const QString& path, int filterIndex = 0) {
        return {true, path, filterIndex};
    }

    std::vector<Shown> messages;
    QStringList opened;
    std::vector<Started> started;  // never ended unless a test ends them

    std::deque<ModalSeam::FileDialogAnswer> openAnswers;
    std::deque<ModalSeam::FileDialogAnswer> saveAnswers;
    std::deque<QString> folderAnswers;
    std::deque<bool> questionAnswers;

    std::vector<ModalSeam::FileDialogRequest> openRequests;
    std::vector<ModalSeam::FileDialogRequest> saveRequests;
    QStringList folderPrompts;
    std::vector<Asked> questions;

private:
    template <typename T>
    static T Next(std::deque<T>& queue, T whenEmpty) {
        if (queue.empty()) {
            return whenEmpty;
        }
        T answer = queue.front();
        queue.pop_front();
        return answer;
    }
};
