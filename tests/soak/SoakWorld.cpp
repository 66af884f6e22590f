#include "soak/SoakWorld.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTimer>
#include <utility>

int SoakRandom::Below(int n) {
    if (n <= 0) {
        return 0;
    }
    // Drawn by hand, not by a distribution: the sequence is then the same with every library.
    return static_cast<int>(mEngine() % static_cast<quint64>(n));
}

int SoakRandom::Between(int lo, int hi) {
    return hi <= lo ? lo : lo + Below(hi - lo + 1);
}

namespace {
bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A BMP header that declares w x h pixels of 24 bits and carries almost none of them.
QByteArray BmpHeader(qint32 w, qint32 h) {
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.writeRawData("BM", 2);
    s << quint32(54 + 64) << quint32(0) << quint32(54) << quint32(40) << w << h << quint16(1)
      << quint16(24) << quint32(0) << quint32(0) << quint32(2835) << quint32(2835) << quint32(0)
      << quint32(0);
    out.append(64, '\x7f');
    return out;
}
}  // namespace

bool SoakWorld::Prepare(const QString& sampleFolder, QString* error) {
    mDir = std::make_unique<QTemporaryDir>();
    if (!mDir->isValid()) {
        *error = QStringLiteral("no temporary folder");
        return false;
    }
    const QString root = mDir->path();
    Home = root + "/home";
    Desktop = Home + "/Desktop";
    Samples = root + "/samples";
    Hostile = root + "/hostile";
    Browse = root + "/browse";
    Saves = root + "/saves";
    OptionFile = root + "/config/Option.ini";
    for (const QString& d : {Desktop, Samples, Hostile, Browse + "/many", Browse + "/empty",
                             Browse + "/mixed", Saves, root + "/config", root + "/xdg/config",
                             root + "/xdg/data", root + "/xdg/cache", root + "/xdg/runtime"}) {
        if (!QDir().mkpath(d)) {
            *error = QStringLiteral("cannot make ") + d;
            return false;
        }
    }
    ::chmod(QFile::encodeName(root + "/xdg/runtime").constData(), 0700);
    qputenv("HOME", QFile::encodeName(Home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + "/xdg/config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root + "/xdg/data"));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root + "/xdg/cache"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root + "/xdg/runtime"));
    WriteFile(root + "/xdg/config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n");

    // Copies of the samples: quick saves of a picture opened from them write beside them.
    const QDir samples(sampleFolder);
    for (const QString& name : samples.entryList(QDir::Files, QDir::Name)) {
        if (!QFile::copy(samples.filePath(name), Samples + "/" + name)) {
            *error = QStringLiteral("cannot copy ") + name;
            return false;
        }
        mSampleFiles << Samples + "/" + name;
    }
    // One large picture, so that saves and opens take long enough for other actions to overlap.
    QImage large(1600, 1200, QImage::Format_RGB32);
    for (int y = 0; y < large.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(large.scanLine(y));
        for (int x = 0; x < large.width(); ++x) {
            row[x] = qRgb(x * 7 + y, x ^ y, y * 3 - x);
        }
    }
    if (!large.save(Samples + "/large.jpg", "JPG", 95)) {
        *error = QStringLiteral("cannot write the large picture");
        return false;
    }
    mSampleFiles << Samples + "/large.jpg";
    if (mSampleFiles.isEmpty()) {
        *error = QStringLiteral("no samples in ") + sampleFolder;
        return false;
    }
    for (int i = 0; i < 30; ++i) {
        QFile::copy(mSampleFiles.at(i % mSampleFiles.size()),
                    Browse + QStringLiteral("/many/%1_").arg(i) +
                        QFileInfo(mSampleFiles.at(i % mSampleFiles.size())).fileName());
    }
    for (int i = 0; i < 4; ++i) {
        const QString sample = mSampleFiles.at(i * 7 % mSampleFiles.size());
        QFile::copy(sample, Browse + "/mixed/" + QFileInfo(sample).fileName());
    }
    WriteFile(Browse + "/mixed/notes.txt", "not a picture");
    WriteFile(Browse + "/mixed/cut.png", ReadFile(mSampleFiles.first()).left(40));
    WriteFile(Browse + "/mixed/huge.bmp", BmpHeader(60000, 60000));
    QDir().mkpath(Browse + "/mixed/folder.jpg");
    return true;
}

QString SoakWorld::Root() const {
    return mDir ? mDir->path() : QString();
}

QByteArray SoakWorld::DamagedBytes(SoakRandom& rng) {
    QByteArray bytes = ReadFile(rng.Pick(mSampleFiles));
    if (bytes.isEmpty()) {
        return bytes;
    }
    if (rng.Chance(50)) {
        return bytes.left(rng.Below(static_cast<int>(bytes.size())));
    }
    const int changes = rng.Between(1, 64);
    for (int i = 0; i < changes; ++i) {
        bytes[rng.Below(static_cast<int>(bytes.size()))] = static_cast<char>(rng.Below(256));
    }
    return bytes;
}

QString SoakWorld::MakeHostile(SoakRandom& rng) {
    // A small set of names, reused, so the folder stays small.
    const QStringList types = {"png", "jpg", "bmp", "gif", "tif", "psd", "tga", "pcx", "ico"};
    const QString path = Hostile + QStringLiteral("/h%1.%2").arg(mMade++ % 24).arg(rng.Pick(types));
    QFile::remove(path);
    QDir(path).removeRecursively();
    switch (rng.Below(8)) {
        case 0:
        case 1:
            WriteFile(path, DamagedBytes(rng));
            break;
        case 2:
            WriteFile(path, QByteArray());
            break;
        case 3:
            WriteFile(path, "plain text that only has a picture's name\n");
            break;
        case 4:
            WriteFile(path, BmpHeader(rng.Chance(50) ? 60000 : -60000, rng.Between(1, 70000)));
            break;
        case 5:
            QDir().mkpath(path);  // a folder with a picture's name
            break;
        case 6:
            // A link to a sample, to nothing, or to itself.
            if (rng.Chance(50)) {
                QFile::link(rng.Pick(mSampleFiles), path);
            } else {
                QFile::link(rng.Chance(50) ? path : Hostile + "/gone.png", path);
            }
            break;
        default:
            ::mkfifo(QFile::encodeName(path).constData(), 0600);  // would block a reader
            break;
    }
    return path;
}

QString SoakWorld::AnyOpenPath(SoakRandom& rng) {
    switch (rng.Below(10)) {
        case 0:
        case 1:
        case 2:
        case 3:
            return rng.Pick(mSampleFiles);
        case 4:
        case 5:
            return MakeHostile(rng);
        case 6:
            return Samples + "/missing.png";
        case 7:
            return rng.Chance(50) ? Browse + "/many" : QString();
        case 8: {
            const QStringList saved = QDir(Saves).entryList(QDir::Files);
            return saved.isEmpty() ? rng.Pick(mSampleFiles) : Saves + "/" + rng.Pick(saved);
        }
        default:
            return rng.Chance(50) ? QStringLiteral("relative/name.png") : Hostile + "/";
    }
}

QString SoakWorld::AnySavePath(SoakRandom& rng) {
    const QStringList types = {"png", "jpg",  "bmp", "tif", "gif", "tga",  "JPG", "xyz",
                               "",    "jpeg", "ppm", "psd", "ico", "webp", "pcx"};
    const QString ext = rng.Pick(types);
    const QString name =
        QStringLiteral("s%1").arg(rng.Below(12)) + (ext.isEmpty() ? "" : "." + ext);
    switch (rng.Below(8)) {
        case 0:
            return Saves + "/gone/" + name;  // a folder that does not exist
        case 1: {
            QDir().mkpath(Saves + "/taken.png");
            return Saves + "/taken.png";  // a folder
        }
        case 2: {
            // A link whose file is replaced; the link stays.
            const QString target = Saves + "/linked.png";
            if (!QFileInfo::exists(target)) {
                QFile::copy(rng.Pick(mSampleFiles), target);
            }
            QFile::link(target, Saves + "/link.png");
            return Saves + "/link.png";
        }
        case 3:
            return Desktop + "/" + name;
        default:
            return Saves + "/" + name;
    }
}

QString SoakWorld::AnyFolder(SoakRandom& rng) {
    switch (rng.Below(6)) {
        case 0:
            return Saves;
        case 1:
            return Desktop;
        case 2:
            return Saves + "/gone";
        case 3:
            return rng.Pick(mSampleFiles);
        case 4:
            return Browse + "/many";
        default:
            return QString();
    }
}

QStringList SoakWorld::AnyBrowseList(SoakRandom& rng) {
    switch (rng.Below(6)) {
        case 0:
            return {Browse + "/many"};
        case 1:
            return {Browse + "/mixed", Browse + "/empty"};
        case 2:
            return {Samples};
        case 3: {
            QStringList files;
            const int n = rng.Between(2, 12);
            for (int i = 0; i < n; ++i) {
                files << AnyOpenPath(rng);
            }
            return files;
        }
        case 4:
            return {Browse + "/empty"};
        default:
            return {Browse + "/many", Hostile, Samples + "/missing.png"};
    }
}

void SoakWorld::Tidy() {
    // A person clears out the saves now and then; the samples are put back as they were.
    for (const QString& folder : {Saves, Desktop}) {
        QDir dir(folder);
        if (dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size() > 150) {
            dir.removeRecursively();
            QDir().mkpath(folder);
        }
    }
}

// ---- the modal seam ----

SoakSeam::SoakSeam(SoakRandom& rng, SoakWorld& world) : mRng(rng), mWorld(world) {
    ModalSeam::Install(this);
}

SoakSeam::~SoakSeam() {
    ModalSeam::Install(nullptr);
}

int SoakSeam::Message(QObject*, const QString& text, int, const QString&) {
    ++messages;
    lastMessage = text;
    return 1;
}

bool SoakSeam::OpenExternal(const QString&) {
    return mRng.Chance(50);
}

void SoakSeam::StartProgram(const QString&, const QStringList&,
                            std::function<void(ModalSeam::ProgramEnd)> whenEnded) {
    // The ending is drawn now, so a seed replays it; it arrives later, as a real one does.
    static constexpr ModalSeam::ProgramEnd kEnds[] = {ModalSeam::ProgramEnd::Succeeded,
                                                      ModalSeam::ProgramEnd::NotStarted,
                                                      ModalSeam::ProgramEnd::Failed};
    const ModalSeam::ProgramEnd end = kEnds[mRng.Below(3)];
    QTimer::singleShot(0, QCoreApplication::instance(),
                       [whenEnded = std::move(whenEnded), end] { whenEnded(end); });
}

ModalSeam::FileDialogAnswer SoakSeam::OpenFile(QObject*, const ModalSeam::FileDialogRequest&) {
    if (mRng.Chance(20)) {
        return {};
    }
    return {true, mWorld.AnyOpenPath(mRng), mRng.Below(4)};
}

ModalSeam::FileDialogAnswer SoakSeam::SaveFile(QObject*, const ModalSeam::FileDialogRequest&) {
    if (!nextSavePath.isEmpty()) {
        return {true, std::exchange(nextSavePath, QString()), 0};
    }
    if (mRng.Chance(20)) {
        return {};
    }
    return {true, mWorld.AnySavePath(mRng), mRng.Below(8)};
}

QString SoakSeam::Folder(QObject*, const QString&) {
    return mWorld.AnyFolder(mRng);
}

bool SoakSeam::Question(QObject*, const QString&, const QString&) {
    return mRng.Chance(50);
}
