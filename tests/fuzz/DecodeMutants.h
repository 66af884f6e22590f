// Deterministic damage for picture files, and a loader that runs a batch of damaged files through
// LoadPictureFile on as many threads as the decode pool has workers. Shared by the regression
// corpus (tests/image/DecodeCorpus_test.cpp) and the long sweep (tests/fuzz).
//
// A mutant is named by its format, its index and the test file it came from; the same three give
// the same bytes on every machine, so any failure can be replayed from what it prints.

#pragma once

#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "base/NumberedError.h"
#include "decode/cDecodePool.h"
#include "decode/mdlPictureFile.h"
#include "image/MFreeImage.h"
#include "support/TestSupport.h"

namespace DecodeMutants {

// splitmix64: the same sequence on every machine and every run.
class Random {
public:
    explicit Random(quint64 seed) : mState(seed) {}
    quint64 Next() {
        quint64 z = (mState += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return n <= 0 ? 0 : static_cast<int>(Next() % static_cast<quint64>(n)); }
    // An offset, half the time inside the first 256 bytes where the headers are.
    int Offset(int size) { return Below(Next() % 2 == 0 ? qMin(size, 256) : size); }
    template <typename T, size_t N>
    const T& Pick(const T (&values)[N]) {
        return values[Below(static_cast<int>(N))];
    }

private:
    quint64 mState;
};

inline quint64 Fnv1a(const QByteArray& text) {
    quint64 h = 0xCBF29CE484222325ull;
    for (const char c : text) {
        h = (h ^ static_cast<uchar>(c)) * 0x100000001B3ull;
    }
    return h;
}

// The seed of mutant index of the file called name.
inline quint64 Seed(const QString& name, int index) {
    return Fnv1a(name.toUtf8()) ^ (quint64(index) * 0xA24BAED4963EE407ull);
}

inline quint32 Crc32(const char* data, int size) {
    quint32 crc = 0xFFFFFFFFu;
    for (int i = 0; i < size; ++i) {
        crc ^= static_cast<uchar>(data[i]);
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

inline void Put16(QByteArray& b, int at, quint32 v, bool bigEndian) {
    if (at < 0 || at + 2 > b.size()) {
        return;
    }
    b[at + (bigEndian ? 0 : 1)] = static_cast<char>((v >> 8) & 0xFF);
    b[at + (bigEndian ? 1 : 0)] = static_cast<char>(v & 0xFF);
}

inline void Put32(QByteArray& b, int at, quint32 v, bool bigEndian) {
    if (at < 0 || at + 4 > b.size()) {
        return;
    }
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 24 - 8 * i : 8 * i;
        b[at + i] = static_cast<char>((v >> shift) & 0xFF);
    }
}

inline quint32 Get16(const QByteArray& b, int at, bool bigEndian) {
    if (at < 0 || at + 2 > b.size()) {
        return 0;
    }
    const auto hi = static_cast<uchar>(b[at + (bigEndian ? 0 : 1)]);
    const auto lo = static_cast<uchar>(b[at + (bigEndian ? 1 : 0)]);
    return (quint32(hi) << 8) | lo;
}

inline quint32 Get32(const QByteArray& b, int at, bool bigEndian) {
    return bigEndian ? (Get16(b, at, true) << 16) | Get16(b, at + 2, true)
                     : (Get16(b, at + 2, false) << 16) | Get16(b, at, false);
}

// Big-endian fields of 1 to 8 bytes, as the box formats and JPEG keep them.
inline quint64 GetBig(const QByteArray& b, int at, int bytes) {
    quint64 v = 0;
    for (int i = 0; i < bytes; ++i) {
        v = (v << 8) | (at + i < b.size() ? static_cast<uchar>(b[at + i]) : 0u);
    }
    return v;
}

inline void PutBig(QByteArray& b, int at, int bytes, quint64 v) {
    for (int i = bytes - 1; i >= 0; --i, v >>= 8) {
        if (at + i >= 0 && at + i < b.size()) {
            b[at + i] = static_cast<char>(v & 0xFF);
        }
    }
}

// Sizes a decoder should never be asked to allocate, and some it just might.
inline quint32 HugeValue(Random& r, quint32 max) {
    const quint32 values[] = {max, max - 1, 60000, 40000, 32768, 20000, 16385, 0x7FFFFFFF};
    return qMin(max, r.Pick(values));
}

// Writes huge width and height where the format keeps them; false when it knows no place.
inline bool DeclareHugeSize(QByteArray& b, const QString& extension, Random& r) {
    const quint32 w = HugeValue(r, 0xFFFFFFFFu);
    const quint32 h = HugeValue(r, 0xFFFFFFFFu);
    if (extension == "bmp") {
        Put32(b, 18, w, false);
        Put32(b, 22, r.Below(2) ? h : 0u - qMin(h, 0x7FFFFFFFu), false);
    } else if (extension == "png") {
        // Width and height in IHDR, with its checksum made right again so the reader believes it.
        Put32(b, 16, w, true);
        Put32(b, 20, h, true);
        if (b.size() >= 33) {
            Put32(b, 29, Crc32(b.constData() + 12, 17), true);
        }
    } else if (extension == "gif") {
        Put16(b, 6, qMin(w, 0xFFFFu), false);
        Put16(b, 8, qMin(h, 0xFFFFu), false);
        const int at = b.indexOf('\x2C', 13);
        Put16(b, at + 5, qMin(w, 0xFFFFu), false);
        Put16(b, at + 7, qMin(h, 0xFFFFu), false);
    } else if (extension == "tga") {
        Put16(b, 12, qMin(w, 0xFFFFu), false);
        Put16(b, 14, qMin(h, 0xFFFFu), false);
    } else if (extension == "pcx") {
        Put16(b, 8, qMin(w, 0xFFFFu), false);
        Put16(b, 10, qMin(h, 0xFFFFu), false);
        if (r.Below(2)) {
            Put16(b, 66, qMin(w, 0xFFFFu), false);
        }
    } else if (extension == "psd") {
        Put32(b, 14, h, true);
        Put32(b, 18, w, true);
    } else if (extension == "jpg") {
        for (int i = 2; i + 9 < b.size(); ++i) {
            const auto m = static_cast<uchar>(b[i + 1]);
            if (static_cast<uchar>(b[i]) == 0xFF && m >= 0xC0 && m <= 0xC2) {
                Put16(b, i + 5, qMin(h, 0xFFFFu), true);
                Put16(b, i + 7, qMin(w, 0xFFFFu), true);
                break;
            }
        }
    } else if (extension == "tif") {
        // ImageWidth (256) and ImageLength (257) in the first directory.
        const bool big = b.startsWith("MM");
        const int ifd = static_cast<int>(Get32(b, 4, big));
        const int entries = static_cast<int>(Get16(b, ifd, big));
        for (int e = 0; e < entries && e < 64; ++e) {
            const int at = ifd + 2 + 12 * e;
            const quint32 tag = Get16(b, at, big);
            if (tag == 256 || tag == 257) {
                const quint32 v = tag == 256 ? w : h;
                if (Get16(b, at + 2, big) == 3) {
                    Put16(b, at + 8, qMin(v, 0xFFFFu), big);
                } else {
                    Put32(b, at + 8, v, big);
                }
            }
        }
    } else if (extension == "ico") {
        // The first image's own header: a bitmap header (40) or a PNG.
        const int at = static_cast<int>(Get32(b, 6 + 12, false));
        if (Get32(b, at, false) == 40) {
            Put32(b, at + 4, w, false);
            Put32(b, at + 8, h, false);
        } else {
            Put32(b, at + 16, w, true);
            Put32(b, at + 20, h, true);
        }
    } else {
        return false;
    }
    return true;
}

// The three kinds of damage every format gets: 0 bit flips, 1 overwrites (random bytes, or the
// values that break length fields), 2 truncation anywhere from nothing to one byte short.
// Offsets are drawn from [from, from + span) when span > 0, else by Random::Offset.
inline void Damage(QByteArray& b, Random& r, int kind, int from = 0, int span = 0) {
    const int size = static_cast<int>(b.size());
    if (size == 0) {
        return;
    }
    const auto offset = [&] {
        return span > 0 ? qMin(size - 1, from + r.Below(span)) : r.Offset(size);
    };
    if (kind == 0) {
        const int flips = 1 + r.Below(8);
        for (int i = 0; i < flips; ++i) {
            const int at = offset();
            b[at] = static_cast<char>(b[at] ^ (1 << r.Below(8)));
        }
    } else if (kind == 1) {
        const int runs = 1 + r.Below(3);
        for (int i = 0; i < runs; ++i) {
            const int at = offset();
            const int length = 1 + r.Below(16);
            const char special[] = {'\x00', '\xFF', '\x7F', '\x80'};
            const int which = r.Below(5);
            for (int k = at; k < qMin(size, at + length); ++k) {
                b[k] = which < 4 ? special[which] : static_cast<char>(r.Next());
            }
        }
    } else {
        b.truncate(r.Below(size));
    }
}

// Any format: the three kinds of damage above, or a huge declared size where the format is known
// (else four words of 0xFFFFFFFF), half the time with the second half cut off.
inline QByteArray Mutate(const QByteArray& original, const QString& name, int index) {
    Random r(Seed(name, index));
    QByteArray b = original;
    const int size = static_cast<int>(b.size());
    if (index % 4 < 3) {
        Damage(b, r, index % 4);
        return b;
    }
    const QString extension = name.section('.', -1).toLower();
    if (!DeclareHugeSize(b, extension, r)) {
        for (int i = 0; i < 4; ++i) {
            const int at = r.Offset(size) & ~3;
            Put32(b, at, 0xFFFFFFFFu, false);
        }
    }
    if (r.Below(2) != 0) {
        b.truncate(qMax(64, size / 2));
    }
    return b;
}

// A field a structural mutation may damage: where it is, how wide, and what it holds.
enum class Role { Size, ItemId, ItemType, Count, Extent, Nibbles, Property, Dimension, Byte };
struct Field {
    int at;
    int bytes;
    Role role;
};

// Writes a value chosen to break field f: zero, one, the largest, one off the old value, the
// file's length, an item id that belongs to another item (ids), or a type that makes the item
// something else.
inline void Break(QByteArray& b, const Field& f, Random& r, const std::vector<quint64>& ids) {
    const quint64 max = f.bytes >= 8 ? ~0ull : (1ull << (8 * f.bytes)) - 1;
    const quint64 old = GetBig(b, f.at, f.bytes);
    if (f.role == Role::ItemType) {
        const char* const types[] = {"grid", "iovl", "iden", "hvc1", "av01",    "jpeg",
                                     "mime", "Exif", "unci", "tmap", "\0\0\0\0"};
        const char* type = r.Pick(types);
        for (int i = 0; i < 4 && f.at + i < b.size(); ++i) {
            b[f.at + i] = type[i];
        }
        return;
    }
    if (f.role == Role::ItemId && !ids.empty() && r.Below(2) == 0) {
        PutBig(b, f.at, f.bytes, ids[static_cast<size_t>(r.Below(static_cast<int>(ids.size())))]);
        return;
    }
    const quint64 values[] = {0,
                              1,
                              max,
                              max - 1,
                              max >> 1,
                              (max >> 1) + 1,
                              (old + 1) & max,
                              (old - 1) & max,
                              quint64(b.size()) & max,
                              quint64(b.size() + 1) & max,
                              r.Next() & max};
    quint64 v = r.Pick(values);
    if (f.role == Role::Property) {
        // Keeps the "essential" bit as it was half the time: the index alone goes wrong.
        const quint64 essential = 1ull << (8 * f.bytes - 1);
        v = r.Below(2) ? (v & ~essential) | (old & essential) : v;
    }
    PutBig(b, f.at, f.bytes, v);
}

// ISO base media file format boxes (HEIF, AVIF, the JPEG XL container): a 32-bit big-endian size
// (1: a 64-bit one follows the type; 0: to the end) and a four-character type.
struct Box {
    int at;
    int header;  // 8 or 16
    qint64 size;
    QByteArray type;
    QByteArray parent;
};

// Every box, depth first, through the containers the image formats use.
inline void Walk(const QByteArray& b, int from, int to, const QByteArray& parent,
                 std::vector<Box>& out, int depth = 0) {
    int p = from;
    while (p + 8 <= to) {
        qint64 size = Get32(b, p, true);
        int header = 8;
        if (size == 1) {
            if (p + 16 > to) {
                return;
            }
            size = static_cast<qint64>(GetBig(b, p + 8, 8));
            header = 16;
        } else if (size == 0) {
            size = to - p;
        }
        if (size < header || size > to - p) {
            return;
        }
        const QByteArray type = b.mid(p + 4, 4);
        out.push_back({p, header, size, type, parent});
        const int payload = p + header;
        // Children start after the full box's version and flags, and for some after a count.
        int skip = -1;
        if (type == "iprp" || type == "ipco" || type == "dinf" || type == "moov" ||
            type == "trak" || type == "mdia" || type == "minf" || type == "stbl" ||
            type == "grpl") {
            skip = 0;
        } else if (type == "meta" || type == "iref") {
            skip = 4;
        } else if (type == "iinf") {
            skip = b.size() > payload && b[payload] == 0 ? 6 : 8;
        } else if (type == "dref") {
            skip = 8;
        }
        if (skip >= 0 && depth < 8) {
            Walk(b, payload + skip, p + static_cast<int>(size), type, out, depth + 1);
        }
        p += static_cast<int>(size);
    }
}

inline std::vector<Box> Boxes(const QByteArray& b) {
    std::vector<Box> boxes;
    Walk(b, 0, static_cast<int>(b.size()), QByteArray(), boxes);
    return boxes;
}

// The fields of the item boxes (pitm, infe, iloc, ipma, iref's references, ispe), in order; the
// item ids found go to oIds.
inline std::vector<Field> ItemFields(const QByteArray& b, const std::vector<Box>& boxes,
                                     std::vector<quint64>& oIds) {
    std::vector<Field> fields;
    const auto add = [&](int at, int bytes, Role role) {
        if (bytes > 0 && at >= 0 && at + bytes <= b.size()) {
            fields.push_back({at, bytes, role});
            if (role == Role::ItemId) {
                oIds.push_back(GetBig(b, at, bytes));
            }
        }
    };
    for (const Box& box : boxes) {
        const int p = box.at + box.header;
        const int end = box.at + static_cast<int>(box.size);
        if (end - p < 6) {
            continue;  // too short for any field below
        }
        const int version = static_cast<uchar>(b[p]);
        if (box.type == "pitm") {
            add(p + 4, version == 0 ? 2 : 4, Role::ItemId);
        } else if (box.type == "infe" && version >= 2) {
            const int id = version == 2 ? 2 : 4;
            add(p + 4, id, Role::ItemId);
            add(p + 4 + id + 2, 4, Role::ItemType);
        } else if (box.type == "ispe") {
            add(p + 4, 4, Role::Dimension);
            add(p + 8, 4, Role::Dimension);
        } else if (box.parent == "iref") {
            // A reference (dimg, thmb, auxl, cdsc): from, count, to...; 16-bit ids unless the
            // iref box is version 1, which this reading does not tell apart.
            add(p, 2, Role::ItemId);
            add(p + 2, 2, Role::Count);
            const int count = static_cast<int>(Get16(b, p + 2, true));
            for (int i = 0; i < count && p + 4 + 2 * i + 2 <= end; ++i) {
                add(p + 4 + 2 * i, 2, Role::ItemId);
            }
        } else if (box.type == "iloc") {
            add(p + 4, 2, Role::Nibbles);
            const int offsetSize = static_cast<uchar>(b[p + 4]) >> 4;
            const int lengthSize = static_cast<uchar>(b[p + 4]) & 15;
            const int baseSize = static_cast<uchar>(b[p + 5]) >> 4;
            const int indexSize = version >= 1 ? static_cast<uchar>(b[p + 5]) & 15 : 0;
            const int idBytes = version < 2 ? 2 : 4;
            int q = p + 6;
            const int items = static_cast<int>(GetBig(b, q, idBytes));
            add(q, idBytes, Role::Count);
            q += idBytes;
            for (int i = 0; i < items && q < end; ++i) {
                add(q, idBytes, Role::ItemId);
                q += idBytes;
                if (version >= 1) {
                    add(q, 2, Role::Byte);  // construction method
                    q += 2;
                }
                q += 2;  // data reference index
                add(q, baseSize, Role::Extent);
                q += baseSize;
                const int extents = static_cast<int>(Get16(b, q, true));
                add(q, 2, Role::Count);
                q += 2;
                for (int e = 0; e < extents && q < end; ++e) {
                    q += indexSize;
                    add(q, offsetSize, Role::Extent);
                    q += offsetSize;
                    add(q, lengthSize, Role::Extent);
                    q += lengthSize;
                }
            }
        } else if (box.type == "ipma") {
            const bool wide = (static_cast<uchar>(b[p + 3]) & 1) != 0;
            const int idBytes = version < 1 ? 2 : 4;
            int q = p + 4;
            const int entries = static_cast<int>(Get32(b, q, true));
            add(q, 4, Role::Count);
            q += 4;
            for (int i = 0; i < entries && q < end; ++i) {
                add(q, idBytes, Role::ItemId);
                q += idBytes;
                const int associations = q < end ? static_cast<uchar>(b[q]) : 0;
                add(q, 1, Role::Count);
                q += 1;
                for (int a = 0; a < associations && q < end; ++a) {
                    add(q, wide ? 2 : 1, Role::Property);
                    q += wide ? 2 : 1;
                }
            }
        }
    }
    return fields;
}

// The declared sizes a box must never be believed about.
inline quint32 BadBoxSize(Random& r, const Box& box, int fileSize) {
    const quint32 own = static_cast<quint32>(box.size);
    const quint32 values[] = {
        0,           1,          7,       8,
        own - 1,     own + 1,    own * 2, static_cast<quint32>(fileSize - box.at + 1),
        0x7FFFFFFFu, 0xFFFFFFFFu};
    return r.Pick(values);
}

// Sizes for ispe: huge (65535 squared, past every limit), empty, or right at the pixel limit.
inline void DeclareHugeItems(QByteArray& b, const std::vector<Box>& boxes, Random& r) {
    const quint32 sizes[][2] = {
        {65535, 65535}, {0, 0},         {0, 64},         {64, 0},       {0xFFFFFFFF, 0xFFFFFFFF},
        {16385, 16385}, {16384, 16384}, {1, 0x7FFFFFFF}, {65536, 4097}, {20000, 16000}};
    const auto& size = r.Pick(sizes);
    const bool every = r.Below(2) == 0;  // a grid's tiles too, or one box only
    std::vector<const Box*> ispe;
    for (const Box& box : boxes) {
        if (box.type == "ispe") {
            ispe.push_back(&box);
        }
    }
    if (ispe.empty()) {
        return;
    }
    const int one = r.Below(static_cast<int>(ispe.size()));
    for (int i = 0; i < static_cast<int>(ispe.size()); ++i) {
        if (every || i == one) {
            const int p = ispe[static_cast<size_t>(i)]->at + ispe[static_cast<size_t>(i)]->header;
            Put32(b, p + 4, size[0], true);
            Put32(b, p + 8, size[1], true);
        }
    }
}

// Damage to one of fields whose role is among roles; false when there is none.
inline bool BreakOneOf(QByteArray& b, const std::vector<Field>& fields,
                       std::initializer_list<Role> roles, const std::vector<quint64>& ids,
                       Random& r) {
    std::vector<Field> chosen;
    for (const Field& f : fields) {
        if (std::find(roles.begin(), roles.end(), f.role) != roles.end()) {
            chosen.push_back(f);
        }
    }
    if (chosen.empty()) {
        return false;
    }
    const int times = 1 + (r.Below(4) == 0 ? 1 : 0);
    for (int i = 0; i < times; ++i) {
        Break(b, chosen[static_cast<size_t>(r.Below(static_cast<int>(chosen.size())))], r, ids);
    }
    return true;
}

// In the box's field set named by which: 0 iloc (items, extents, field widths), 1 ipma
// (associations), 2 pitm, infe and iref (ids and types).
inline bool BreakItems(QByteArray& b, const std::vector<Box>& boxes, int which, Random& r) {
    std::vector<Box> some;
    const char* const owners[][4] = {
        {"iloc", "", "", ""}, {"ipma", "", "", ""}, {"pitm", "infe", "iref", ""}};
    for (const Box& box : boxes) {
        for (const char* owner : owners[which]) {
            if (*owner != '\0' && (box.type == owner || box.parent == owner)) {
                some.push_back(box);
            }
        }
    }
    std::vector<quint64> ids;
    ItemFields(b, boxes, ids);  // every id in the file, for swaps
    std::vector<quint64> unused;
    const std::vector<Field> fields = ItemFields(b, some, unused);
    return BreakOneOf(b, fields,
                      {Role::ItemId, Role::ItemType, Role::Count, Role::Extent, Role::Nibbles,
                       Role::Property, Role::Byte},
                      ids, r);
}

// HEIF and AVIF: the three kinds of damage, a box's size made wrong (zero, huge, one off), the
// ispe sizes made huge or empty, or the item boxes damaged (iloc, ipma, pitm/infe/iref).
inline QByteArray MutateBoxes(const QByteArray& original, const QString& name, int index) {
    Random r(Seed(name, index));
    QByteArray b = original;
    const int kind = index % 8;
    if (kind < 3) {
        Damage(b, r, kind);
        return b;
    }
    const std::vector<Box> boxes = Boxes(b);
    bool done = false;
    if (kind == 3 && !boxes.empty()) {
        const Box& box = boxes[static_cast<size_t>(r.Below(static_cast<int>(boxes.size())))];
        Put32(b, box.at, BadBoxSize(r, box, static_cast<int>(b.size())), true);
        done = true;
    } else if (kind == 4) {
        DeclareHugeItems(b, boxes, r);
        done = true;
    } else if (kind >= 5) {
        done = BreakItems(b, boxes, kind - 5, r);
    }
    if (!done) {
        Damage(b, r, 0);
    }
    return b;
}

// JPEG XL's bit order: least significant bit of each byte first.
class BitReader {
public:
    explicit BitReader(const QByteArray& b, qint64 bit) : mBytes(b), mBit(bit) {}
    quint32 Read(int bits) {
        quint32 v = 0;
        for (int i = 0; i < bits; ++i, ++mBit) {
            const qint64 byte = mBit / 8;
            const int bit =
                byte < mBytes.size() ? (static_cast<uchar>(mBytes[byte]) >> (mBit % 8)) & 1 : 0;
            v |= quint32(bit) << i;
        }
        return v;
    }
    // A U32 field with the widths of the size header: 9, 13, 18 or 30 bits.
    quint32 ReadSize() {
        const int widths[] = {9, 13, 18, 30};
        return Read(widths[Read(2)]);
    }
    qint64 bit() const { return mBit; }

private:
    const QByteArray& mBytes;
    qint64 mBit;
};

class BitWriter {
public:
    void Write(quint32 v, int bits) {
        for (int i = 0; i < bits; ++i, ++mBit) {
            if (mBit % 8 == 0) {
                mBytes.append('\0');
            }
            if ((v >> i) & 1) {
                mBytes[mBytes.size() - 1] = static_cast<char>(mBytes.back() | (1 << (mBit % 8)));
            }
        }
    }
    const QByteArray& bytes() const { return mBytes; }

private:
    QByteArray mBytes;
    qint64 mBit = 0;
};

// The bit just past a bare codestream's size header (after the 0xFF0A signature).
inline qint64 JxlSizeHeaderEnd(const QByteArray& b) {
    BitReader bits(b, 16);
    const bool small = bits.Read(1) != 0;
    if (small) {
        bits.Read(5);
    } else {
        bits.ReadSize();
    }
    if (bits.Read(3) == 0) {
        if (small) {
            bits.Read(5);
        } else {
            bits.ReadSize();
        }
    }
    return bits.bit();
}

// The codestream with its size header written anew as width x height (each 1 to 2^30); every bit
// after it follows unchanged, so the image metadata reads as before. The frames, which start on a
// byte, move by the header's change in length: mostly not a whole number of bytes.
inline QByteArray WithJxlSize(const QByteArray& b, quint32 width, quint32 height) {
    const qint64 end = JxlSizeHeaderEnd(b);
    BitWriter out;
    out.Write(0xFF, 8);
    out.Write(0x0A, 8);
    out.Write(0, 1);  // not small
    out.Write(3, 2);  // 30 bits
    out.Write(height - 1, 30);
    out.Write(0, 3);  // no ratio: the width follows
    out.Write(3, 2);
    out.Write(width - 1, 30);
    BitReader rest(b, end);
    while (rest.bit() < qint64(b.size()) * 8) {
        const int n = static_cast<int>(qMin<qint64>(8, qint64(b.size()) * 8 - rest.bit()));
        out.Write(rest.Read(n), n);
    }
    return out.bytes();
}

inline QByteArray BoxOf(const char* type, const QByteArray& payload) {
    QByteArray box(8, '\0');
    Put32(box, 0, static_cast<quint32>(payload.size() + 8), true);
    box.replace(4, 4, QByteArray(type, 4));
    return box + payload;
}

// A bare codestream in the JPEG XL container: signature and ftyp boxes, then the codestream in one
// jxlc box, or split over several jxlp boxes (each led by its index, the last one's top bit set).
inline QByteArray JxlContainer(const QByteArray& codestream, int pieces) {
    QByteArray file = QByteArray::fromHex("0000000C4A584C200D0A870A");
    file += BoxOf("ftyp", QByteArray("jxl \0\0\0\0jxl ", 12));
    if (pieces <= 1) {
        return file + BoxOf("jxlc", codestream);
    }
    const int step = qMax(1, static_cast<int>(codestream.size()) / pieces);
    for (int i = 0, at = 0; i < pieces; ++i, at += step) {
        const bool last = i == pieces - 1;
        QByteArray payload(4, '\0');
        Put32(payload, 0, static_cast<quint32>(i) | (last ? 0x80000000u : 0u), true);
        payload += last ? codestream.mid(at) : codestream.mid(at, step);
        file += BoxOf("jxlp", payload);
    }
    return file;
}

// JPEG XL (bare codestreams): bit flips in the size header and in the bits right after it (image
// metadata), bit flips or overwrites anywhere, truncation, a huge declared size, or the codestream
// put in the container with its boxes damaged.
inline QByteArray MutateJxl(const QByteArray& original, const QString& name, int index) {
    Random r(Seed(name, index));
    QByteArray b = original;
    const int headerEnd = static_cast<int>((JxlSizeHeaderEnd(b) + 7) / 8);
    switch (index % 8) {
        case 0:  // the size header
            Damage(b, r, 0, 2, qMax(1, headerEnd - 2));
            break;
        case 1:  // the image metadata after it
            Damage(b, r, 0, headerEnd, 8);
            break;
        case 2:  // the codestream anywhere
            Damage(b, r, 0, 2, qMax(1, static_cast<int>(b.size()) - 2));
            break;
        case 3:
            Damage(b, r, 1 + r.Below(2));
            break;
        case 4: {
            const quint32 sizes[][2] = {{65535, 65535}, {1u << 30, 1u << 30}, {16385, 16385},
                                        {16384, 16384}, {1, 1u << 30},        {1u << 30, 1},
                                        {65536, 4097},  {600000, 512},        {64, 49}};
            const auto& size = r.Pick(sizes);
            b = WithJxlSize(b, size[0], size[1]);
            break;
        }
        default: {  // the container, its boxes damaged or cut
            b = JxlContainer(b, index % 8 == 5 ? 1 : 2 + r.Below(3));
            const std::vector<Box> boxes = Boxes(b);
            const Box& box = boxes[static_cast<size_t>(r.Below(static_cast<int>(boxes.size())))];
            const int what = r.Below(4);
            if (what == 0) {
                Put32(b, box.at, BadBoxSize(r, box, static_cast<int>(b.size())), true);
            } else if (what == 1 && box.type == "jxlp") {
                Break(b, {box.at + 8, 4, Role::Count}, r, {});  // its index
            } else if (what == 2) {
                b.truncate(box.at + r.Below(static_cast<int>(box.size)));
            } else {
                Damage(b, r, 0, box.at, 8 + r.Below(8));
            }
            break;
        }
    }
    return b;
}

// The segments of a JPEG before and including its scans: marker at at, length after it.
struct Segment {
    int at;
    int marker;
    int length;
};

inline std::vector<Segment> Segments(const QByteArray& b) {
    std::vector<Segment> segments;
    const int size = static_cast<int>(b.size());
    int p = 2;
    while (p + 4 <= size && static_cast<uchar>(b[p]) == 0xFF) {
        const int marker = static_cast<uchar>(b[p + 1]);
        if (marker == 0xFF) {
            ++p;
            continue;
        }
        if (marker == 0xD9) {
            break;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            p += 2;
            continue;
        }
        const int length = static_cast<int>(Get16(b, p + 2, true));
        segments.push_back({p, marker, length});
        p += 2 + length;
        if (marker == 0xDA) {  // entropy-coded data up to the next marker but a restart
            while (p + 1 < size && !(static_cast<uchar>(b[p]) == 0xFF && b[p + 1] != 0 &&
                                     (static_cast<uchar>(b[p + 1]) < 0xD0 ||
                                      static_cast<uchar>(b[p + 1]) > 0xD7))) {
                ++p;
            }
        }
    }
    return segments;
}

// The fields of a JPEG's frame header (precision, size, components, sampling, tables), scan
// headers (components, tables, coefficient range, approximation), table headers and restart
// interval, each one byte but the sizes and the interval.
inline std::vector<Field> JpegFields(const QByteArray& b, const std::vector<Segment>& segments) {
    std::vector<Field> fields;
    const auto add = [&](int at, int bytes, Role role) {
        if (at + bytes <= b.size()) {
            fields.push_back({at, bytes, role});
        }
    };
    for (const Segment& s : segments) {
        const int p = s.at + 4;
        const int end = s.at + 2 + s.length;
        const int m = s.marker;
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
            add(p, 1, Role::Byte);
            add(p + 1, 2, Role::Dimension);
            add(p + 3, 2, Role::Dimension);
            add(p + 5, 1, Role::Count);
            for (int c = p + 6; c + 3 <= end; c += 3) {
                add(c, 1, Role::ItemId);
                add(c + 1, 1, Role::Nibbles);
                add(c + 2, 1, Role::Byte);
            }
        } else if (m == 0xDA) {
            add(p, 1, Role::Count);
            for (int c = p + 1; c + 2 <= end - 3; c += 2) {
                add(c, 1, Role::ItemId);
                add(c + 1, 1, Role::Nibbles);
            }
            add(end - 3, 1, Role::Byte);
            add(end - 2, 1, Role::Byte);
            add(end - 1, 1, Role::Nibbles);
        } else if (m == 0xC4) {
            add(p, 1, Role::Nibbles);
            for (int i = 1; i <= 16; ++i) {
                add(p + i, 1, Role::Count);
            }
        } else if (m == 0xDB) {
            add(p, 1, Role::Nibbles);
        } else if (m == 0xDD) {
            add(p, 2, Role::Count);
        }
    }
    return fields;
}

// JPEG: the three kinds of damage, a huge declared size, or a segment's length, its frame header,
// its scan headers or its tables damaged. Sampling factors and such get the values a reader must
// refuse or survive: 0, 3 and 4, and mixes no encoder writes.
inline QByteArray MutateJpeg(const QByteArray& original, const QString& name, int index) {
    Random r(Seed(name, index));
    QByteArray b = original;
    const int kind = index % 8;
    if (kind < 3) {
        Damage(b, r, kind);
        return b;
    }
    if (kind == 3) {
        DeclareHugeSize(b, QStringLiteral("jpg"), r);
        return b;
    }
    const std::vector<Segment> segments = Segments(b);
    bool done = false;
    if (kind == 4 && !segments.empty()) {
        const Segment& s =
            segments[static_cast<size_t>(r.Below(static_cast<int>(segments.size())))];
        Break(b, {s.at + 2, 2, Role::Size}, r, {});
        done = true;
    } else if (kind >= 5) {
        const auto wanted = [kind](int m) {
            const bool frame = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
            const bool tables = m == 0xC4 || m == 0xDB || m == 0xDD;
            return kind == 5 ? frame : kind == 6 ? m == 0xDA : tables;
        };
        std::vector<Segment> some;
        for (const Segment& s : segments) {
            if (wanted(s.marker)) {
                some.push_back(s);
            }
        }
        const std::vector<Field> fields = JpegFields(b, some);
        if (!fields.empty()) {
            const int times = 1 + r.Below(2);
            for (int i = 0; i < times; ++i) {
                const Field& f =
                    fields[static_cast<size_t>(r.Below(static_cast<int>(fields.size())))];
                if (f.role == Role::Nibbles && r.Below(2) == 0) {
                    const quint8 pairs[] = {0x00, 0x10, 0x01, 0x11, 0x12, 0x21, 0x22, 0x41,
                                            0x14, 0x44, 0x33, 0x0F, 0xF0, 0xFF, 0x13, 0x31};
                    b[f.at] = static_cast<char>(r.Pick(pairs));
                } else {
                    Break(b, f, r, {1, 2, 3, 4, 0});
                }
            }
            done = true;
        }
    }
    if (!done) {
        Damage(b, r, 0);
    }
    return b;
}

struct Original;

// The formats the mutants are made for: their seeds are the test files with these extensions, or
// what seeds() makes when it is given.
struct Format {
    const char* name;
    QStringList extensions;
    QByteArray (*mutate)(const QByteArray&, const QString&, int);
    std::vector<Original> (*seeds)() = nullptr;
};

inline const std::vector<Format>& Formats() {
    static const std::vector<Format> formats = {
        {"heif", {"heic", "heif"}, &MutateBoxes},
        {"avif", {"avif"}, &MutateBoxes},
        {"jxl", {"jxl"}, &MutateJxl},
        {"jpeg", {"jpg", "jpeg"}, &MutateJpeg},
    };
    return formats;
}

struct Original {
    QString name;
    QByteArray bytes;
};

// The test files with one of the extensions, by name.
inline std::vector<Original> TestFiles(const QStringList& extensions) {
    const QDir data(TestSupport::DataFile(QString()));
    std::vector<Original> files;
    for (const QString& name : data.entryList(QDir::Files, QDir::Name)) {
        if (extensions.isEmpty() || extensions.contains(name.section('.', -1).toLower())) {
            QFile f(data.filePath(name));
            if (f.open(QIODevice::ReadOnly)) {
                files.push_back({name, f.readAll()});
            }
        }
    }
    return files;
}

struct Job {
    QString format;
    const Original* original;
    int index;
    QByteArray (*mutate)(const QByteArray&, const QString&, int);

    QString Label() const {
        return QStringLiteral("%1 #%2 (%3)").arg(format).arg(index).arg(original->name);
    }
};

struct Tally {
    int total = 0;
    std::map<QString, std::pair<int, int>> byFormat;  // pictures, refused
    QStringList failures;                             // neither a picture nor error 481
    QStringList suspects;  // loading while a worker crashed or timed out (any thread's)
    qint64 crashes = 0;
    qint64 timeouts = 0;
    qint64 garbled = 0;
    long peakMegabytes = 0;
    qint64 largestPicture = 0;  // bytes
    int threads = 0;

    // The peak without the pictures the threads may have held at once: the program fills a
    // received picture's page tables at once, so its pages count for as long as it is held.
    long PeakBesidesPictures() const {
        return peakMegabytes - static_cast<long>((largestPicture * threads) >> 20);
    }

    int pictures() const {
        int n = 0;
        for (const auto& [format, counts] : byFormat) {
            n += counts.first;
        }
        return n;
    }
    int refused() const { return total - pictures() - static_cast<int>(failures.size()); }
};

// Loads every job's mutant through LoadPictureFile, upright as the program opens pictures (so
// damaged orientation data is read too), on as many threads as the pool has workers. A worker
// that crashes or times out fails only its own load; the loads that were running at that moment
// are listed as suspects, and their bytes kept in keepDir when it is given, for a replay.
inline Tally LoadAll(const std::vector<Job>& jobs, const QString& keepDir = QString()) {
    Tally tally;
    tally.total = static_cast<int>(jobs.size());
    QTemporaryDir dir;
    if (!dir.isValid()) {
        tally.failures << QStringLiteral("no temporary folder");
        return tally;
    }
    cDecodePool& pool = cDecodePool::Shared();
    const cDecodePool::Counters before = pool.counters();
    std::atomic<int> next{0};
    std::mutex lock;
    auto work = [&] {
        for (int i = next++; i < static_cast<int>(jobs.size()); i = next++) {
            const Job& job = jobs[static_cast<size_t>(i)];
            const QByteArray bytes = job.mutate(job.original->bytes, job.original->name, job.index);
            // The extension stays: it chooses the decoder.
            const QString path =
                dir.filePath(QStringLiteral("%1-%2").arg(job.index).arg(job.original->name));
            {
                QFile f(path);
                if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
                    std::lock_guard<std::mutex> hold(lock);
                    tally.failures << job.Label() + QStringLiteral(": cannot be written");
                    continue;
                }
            }
            const cDecodePool::Counters start = pool.counters();
            qint64 largest = 0;
            QString failure;
            bool picture = false;
            try {
                const QImage image = mdlPictureFile::LoadPictureFile(path, true);
                if (image.isNull() || image.width() <= 0 || image.height() <= 0 ||
                    qint64(image.width()) * image.height() > MFreeImage::kMaxPicturePixels) {
                    failure = QStringLiteral("a bad picture");
                } else {
                    picture = true;
                    largest = std::max<qint64>(largest, image.sizeInBytes());
                }
            } catch (const NumberedError& e) {
                if (e.number() != 481 || e.source() != QStringLiteral("MFreeImage")) {
                    failure = QStringLiteral("error %1").arg(e.number());
                }
            } catch (...) {
                failure = QStringLiteral("a foreign exception");
            }
            const cDecodePool::Counters end = pool.counters();
            QFile::remove(path);
            const bool crashed = end.crashed > start.crashed;
            const bool timedOut = end.timedOut > start.timedOut;
            std::lock_guard<std::mutex> hold(lock);
            auto& counts = tally.byFormat[job.format];
            tally.largestPicture = std::max(tally.largestPicture, largest);
            if (!failure.isEmpty()) {
                tally.failures << job.Label() + QStringLiteral(": ") + failure;
            } else if (picture) {
                ++counts.first;
            } else {
                ++counts.second;
            }
            if (crashed || timedOut) {
                tally.suspects << job.Label() + (crashed ? QStringLiteral(": a worker crashed")
                                                         : QStringLiteral(": a worker timed out"));
                if (!keepDir.isEmpty()) {
                    QDir().mkpath(keepDir);
                    QFile keep(QDir(keepDir).filePath(QStringLiteral("%1-%2-%3")
                                                          .arg(job.format)
                                                          .arg(job.index)
                                                          .arg(job.original->name)));
                    if (keep.open(QIODevice::WriteOnly)) {
                        keep.write(bytes);
                    }
                }
            }
        }
    };
    tally.threads = pool.Size();
    std::vector<std::thread> threads;
    for (int t = 0; t < pool.Size(); ++t) {
        threads.emplace_back(work);
    }
    for (std::thread& t : threads) {
        t.join();
    }
    const cDecodePool::Counters after = pool.counters();
    tally.crashes = after.crashed - before.crashed;
    tally.timeouts = after.timedOut - before.timedOut;
    tally.garbled = after.garbled - before.garbled;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    tally.peakMegabytes = usage.ru_maxrss / 1024;
    return tally;
}

// The mutants index first .. first + count - 1 of a format, spread over its test files in turn.
inline void AddJobs(std::vector<Job>& jobs, const Format& format,
                    const std::vector<Original>& files, int first, int count) {
    for (int i = first; i < first + count && !files.empty(); ++i) {
        jobs.push_back(
            {format.name, &files[static_cast<size_t>(i) % files.size()], i, format.mutate});
    }
}

}  // namespace DecodeMutants
