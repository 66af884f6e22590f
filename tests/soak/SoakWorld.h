#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <random>

#include "dialogs/ModalSeam.h"

// The random stream every choice of the soak is drawn from: one seed gives one action list.
class SoakRandom {
public:
    explicit SoakRandom(quint64 seed) : mEngine(seed) {}
    // 0 .. n-1; 0 when n <= 0.
    int Below(int n);
    // lo .. hi, both included.
    int Between(int lo, int hi);
    bool Chance(int percent) { return Below(100) < percent; }
    QString Pick(const QStringList& from) {
        return from.value(Below(static_cast<int>(from.size())));
    }

private:
    std::mt19937_64 mEngine;
};

// The soak's temporary tree: the home and desktop folders, the option file, copies of the sample
// pictures, damaged and hostile files made on the fly, folders to browse and places to save to.
// Everything the program writes lands in here.
class SoakWorld {
public:
    // Makes the tree and points HOME, the XDG folders and the desktop into it. Call before the
    // application object exists. False (with the reason) when the tree cannot be made.
    bool Prepare(const QString& sampleFolder, QString* error);

    QString Root() const;
    QString Home, Desktop, Samples, Hostile, Browse, Saves, OptionFile;

    // A path a person might open: a sample, a hostile file made now, a missing path or a folder.
    QString AnyOpenPath(SoakRandom& rng);
    // A path a person might save to: new or existing names of many types, a missing folder, a
    // folder, a link.
    QString AnySavePath(SoakRandom& rng);
    // A folder a person might pick: one of the tree's, a missing one, or a file.
    QString AnyFolder(SoakRandom& rng);
    // Paths for the browser: folders, many files, or a mix with bad ones.
    QStringList AnyBrowseList(SoakRandom& rng);
    // Bytes of a damaged picture (a sample cut short or with bytes changed).
    QByteArray DamagedBytes(SoakRandom& rng);
    // Keeps the folders the program fills from growing without bound.
    void Tidy();

private:
    QString MakeHostile(SoakRandom& rng);
    QStringList mSampleFiles;
    std::unique_ptr<QTemporaryDir> mDir;
    int mMade = 0;
};

// Answers every modal interaction at once from the same random stream, so a seed replays them.
class SoakSeam : public ModalSeam::Handler {
public:
    SoakSeam(SoakRandom& rng, SoakWorld& world);
    ~SoakSeam() override;

    int Message(QObject*, const QString& text, int style, const QString& title) override;
    bool OpenExternal(const QString& pathOrUrl) override;
    void StartProgram(const QString& program, const QStringList& arguments,
                      std::function<void(ModalSeam::ProgramEnd)> whenEnded) override;
    ModalSeam::FileDialogAnswer OpenFile(QObject*, const ModalSeam::FileDialogRequest&) override;
    ModalSeam::FileDialogAnswer SaveFile(QObject*, const ModalSeam::FileDialogRequest&) override;
    QString Folder(QObject*, const QString& prompt) override;
    bool Question(QObject*, const QString& text, const QString& title) override;

    int messages = 0;
    QString lastMessage;
    QString nextSavePath;  // when set, the next save dialog chooses it

private:
    SoakRandom& mRng;
    SoakWorld& mWorld;
};
