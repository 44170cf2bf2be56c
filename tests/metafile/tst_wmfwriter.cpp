#include "Wmf2Svg.h"
#include "WmfTestWalker.h"
#include "metafile/WmfRecords.h"
#include "metafile/WmfWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace metafile;

namespace {

QPolygonF line(double x0, double y0, double x1, double y1) {
    return QPolygonF({QPointF(x0, y0), QPointF(x1, y1)});
}

// Fills a writer with a bit of everything, so structural checks see all record kinds.
void drawSample(WmfWriter& w, int entities) {
    for (int i = 0; i < entities; ++i) {
        w.setColor(QColor::fromHsv((i * 37) % 360, 255, 255));
        w.polyline(line(i % 100, 0, 100 - i % 100, 50), i % 2 == 0);
        if (i % 5 == 0)
            w.filledPolygon(QPolygonF({QPointF(10, 10), QPointF(20, 10), QPointF(15, 20)}));
        if (i % 7 == 0)
            w.text(QPointF(50, 25), QString::fromUtf8("画層 Ø%1 ∅ ⌀").arg(i), 2.5, i * 15.0,
                   i % 3 ? Qt::AlignLeft : Qt::AlignRight);
    }
}

} // namespace

TEST(WmfWriter, HeadersDescribeTheFileExactly) {
    WmfWriter w(QRectF(0, 0, 200, 100), 10.0);
    drawSample(w, 40);
    const QByteArray bytes = w.toBytes();
    const WalkedFile f = walk(bytes);
    ASSERT_TRUE(f.header.ok);

    EXPECT_EQ(f.aldus[0] | (uint32_t(f.aldus[1]) << 16), kAldusKey);
    EXPECT_EQ(f.aldus[2], 0); // handle
    EXPECT_EQ(f.header.left, 0);
    EXPECT_EQ(f.header.top, 0);
    EXPECT_EQ(f.header.right, 30000);
    EXPECT_EQ(f.header.bottom, 15000);
    EXPECT_EQ(f.header.unitsPerInch, 3000); // 30000 units over 10 inches
    uint16_t sum = 0;
    for (int i = 0; i < 10; ++i)
        sum ^= f.aldus[i];
    EXPECT_EQ(f.aldus[10], sum);

    EXPECT_EQ(f.head[0], 1);
    EXPECT_EQ(f.head[1], 9);
    EXPECT_EQ(f.fileSizeWords() * 2 + 22, static_cast<uint32_t>(bytes.size()));
    uint32_t largest = 0;
    for (const auto& r : f.records)
        largest = std::max<uint32_t>(largest, static_cast<uint32_t>(r.params.size()) + 3);
    EXPECT_EQ(f.maxRecordWords(), largest);
    // The validator recomputes the object table; the writer's own count must not be smaller.
    EXPECT_GE(f.head[5], f.header.objects);
    EXPECT_EQ(f.records.size(), static_cast<size_t>(w.recordCount()));
}

TEST(WmfWriter, SameWindowGivesSameBoxAndExtentsWhateverIsDrawn) {
    const QRectF window(-1234.5, 300, 5000, 7000);
    WmfWriter empty(window, 10.0);
    WmfWriter full(window, 10.0);
    drawSample(full, 300);
    full.polyline(line(-1e9, -1e9, 1e9, 1e9)); // far outside the window

    const WalkedFile a = walk(empty.toBytes());
    const WalkedFile b = walk(full.toBytes());
    ASSERT_TRUE(a.header.ok && b.header.ok);
    EXPECT_EQ(std::vector<uint16_t>(a.aldus.begin(), a.aldus.end()),
              std::vector<uint16_t>(b.aldus.begin(), b.aldus.end()));
    auto ext = [](const WalkedFile& f) { return f.all(META_SETWINDOWEXT).at(0)->params; };
    auto org = [](const WalkedFile& f) { return f.all(META_SETWINDOWORG).at(0)->params; };
    EXPECT_EQ(ext(a), ext(b));
    EXPECT_EQ(org(a), org(b));
    // Portrait window: the height is the long side.
    EXPECT_EQ(a.header.bottom, 30000);
    EXPECT_EQ(a.header.right, static_cast<int16_t>(std::lround(5000 * 30000.0 / 7000)));
    // Extents are (height, width) on the wire.
    EXPECT_EQ(ext(a)[0], 30000);
}

TEST(WmfWriter, DegenerateWindowsStillGiveAPictureWithArea) {
    for (const QRectF& window : {QRectF(5, 5, 100, 0), QRectF(5, 5, 0, 0), QRectF(0, 0, NAN, 3)}) {
        WmfWriter w(window);
        w.polyline(line(5, 5, 105, 5));
        const WalkedFile f = walk(w.toBytes());
        ASSERT_TRUE(f.header.ok);
        EXPECT_GT(f.header.right, f.header.left);
        EXPECT_GT(f.header.bottom, f.header.top);
    }
}

TEST(WmfWriter, WorldMapsOntoLogicalSpaceWithYFlipped) {
    WmfWriter w(QRectF(0, 0, 100, 50));
    w.polyline(line(0, 0, 10, 0));
    w.polyline(QPolygonF({QPointF(NAN, 1), QPointF(1e12, -1e12), QPointF(50, 50)}));
    const WalkedFile f = walk(w.toBytes());
    auto polylines = f.all(META_POLYLINE);
    ASSERT_EQ(polylines.size(), 3u);
    // First the invisible diagonal over the whole box.
    EXPECT_EQ(polylines[0]->params, (std::vector<uint16_t>{2, 0, 0, 30000, 15000}));
    polylines.erase(polylines.begin());
    const auto& p = polylines[0]->params;
    ASSERT_EQ(p[0], 2);
    EXPECT_EQ(polylines[0]->s(1), 0);
    EXPECT_EQ(polylines[0]->s(2), 15000); // world y 0 is the bottom edge
    EXPECT_EQ(polylines[0]->s(3), 3000);
    EXPECT_EQ(polylines[0]->s(4), 15000);
    // The NaN point is dropped, the far one clamped into 16 bits rather than wrapped.
    const auto* q = polylines[1];
    ASSERT_EQ(q->params[0], 2);
    EXPECT_EQ(q->s(1), 32767);
    EXPECT_EQ(q->s(2), 32767);
    EXPECT_EQ(q->s(3), 15000);
    EXPECT_EQ(q->s(4), 0);
}

TEST(WmfWriter, ObjectsAreReusedPerColourAndDeleted) {
    WmfWriter w(QRectF(0, 0, 100, 100));
    w.setColor(Qt::red);
    for (int i = 0; i < 1000; ++i)
        w.polyline(line(i % 100, 0, i % 100, 100));
    for (int i = 0; i < 500; ++i) {
        w.setColor(i % 2 ? Qt::blue : Qt::green);
        w.polyline(line(0, i % 100, 100, i % 100));
        w.filledPolygon(QPolygonF({QPointF(1, 1), QPointF(2, 1), QPointF(2, 2)}));
        w.text(QPointF(1, 1), QStringLiteral("A"), 1 + i % 3, 0);
    }
    const WalkedFile f = walk(w.toBytes());
    ASSERT_TRUE(f.header.ok);
    EXPECT_EQ(f.all(META_CREATEPENINDIRECT).size(),
              1u + 1u + 500u); // the invisible extent pen first
    EXPECT_EQ(f.all(META_CREATEBRUSHINDIRECT).size(), 500u);
    EXPECT_EQ(f.all(META_CREATEFONTINDIRECT).size(), 500u);
    // Every replaced object is deleted: the table never holds more than the
    // selected pen, brush and font plus the one being replaced.
    EXPECT_LE(f.head[5], 4);
    EXPECT_EQ(f.all(META_DELETEOBJECT).size(), 501u + 499u + 499u);
    // Pens are hairlines.
    const auto pens = f.all(META_CREATEPENINDIRECT);
    EXPECT_EQ(pens.front()->params[0], PS_NULL);
    for (const auto* pen : pens)
        EXPECT_EQ(pen->params[1], 0);
    EXPECT_EQ(f.all(META_SETBKMODE).at(0)->params[0], TRANSPARENT);
}

TEST(WmfWriter, LongPolylinesAreSplitWithoutGapsAndPolygonsThinned) {
    WmfWriter w(QRectF(0, 0, 1, 1));
    QPolygonF wave;
    const int n = 70000;
    for (int i = 0; i < n; ++i)
        wave << QPointF(double(i) / n, (i % 2) ? 0.9 : 0.1);
    w.polyline(wave);
    w.filledPolygon(wave);
    const WalkedFile f = walk(w.toBytes());
    ASSERT_TRUE(f.header.ok);
    auto pieces = f.all(META_POLYLINE);
    pieces.erase(pieces.begin()); // the invisible extent diagonal
    ASSERT_EQ(pieces.size(), 3u);
    size_t total = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const auto& p = pieces[i]->params;
        ASSERT_LE(p[0], 32767);
        total += p[0];
        if (i > 0) { // each piece starts where the previous one ended
            const auto& prev = pieces[i - 1]->params;
            EXPECT_EQ(p[1], prev[1 + 2 * (prev[0] - 1)]);
            EXPECT_EQ(p[2], prev[2 + 2 * (prev[0] - 1)]);
        }
    }
    EXPECT_EQ(total, size_t(n) + pieces.size() - 1);
    const auto polygons = f.all(META_POLYGON);
    ASSERT_EQ(polygons.size(), 1u);
    EXPECT_EQ(polygons[0]->params[0], 32767);
}

TEST(WmfWriter, TextCarriesCp932FontHeightAndRotation) {
    WmfWriter w(QRectF(0, 0, 300, 100));
    const QString text = QString::fromUtf8("通り芯①～ABC");
    w.setColor(QColor(10, 20, 30));
    w.text(QPointF(150, 50), text, 3.0, 90.0, Qt::AlignHCenter | Qt::AlignBaseline);
    w.text(QPointF(150, 50), QStringLiteral("x"), 3.0, -30.0, Qt::AlignRight | Qt::AlignTop);
    const WalkedFile f = walk(w.toBytes());
    ASSERT_TRUE(f.header.ok);

    const auto fonts = f.all(META_CREATEFONTINDIRECT);
    ASSERT_EQ(fonts.size(), 2u);
    EXPECT_EQ(fonts[0]->s(0), -300); // 3 units at 100 logical units each
    EXPECT_EQ(fonts[0]->s(2), 900);
    EXPECT_EQ(fonts[0]->params[6] >> 8, SHIFTJIS_CHARSET);
    EXPECT_EQ(fonts[1]->s(2), 3300);

    const auto texts = f.all(META_EXTTEXTOUT);
    ASSERT_EQ(texts.size(), 2u);
    const auto& t = texts[0]->params;
    EXPECT_EQ(texts[0]->s(0), 5000);  // y
    EXPECT_EQ(texts[0]->s(1), 15000); // x
    const QByteArray expected = QStringEncoder("Shift_JIS").encode(text);
    ASSERT_EQ(t[2], expected.size());
    QByteArray got;
    for (int i = 0; i < expected.size(); ++i)
        got.append(char(i % 2 ? t[4 + i / 2] >> 8 : t[4 + i / 2] & 0xFF));
    EXPECT_EQ(got, expected);

    const auto aligns = f.all(META_SETTEXTALIGN);
    ASSERT_EQ(aligns.size(), 2u);
    EXPECT_EQ(aligns[0]->params[0], TA_CENTER | TA_BASELINE);
    EXPECT_EQ(aligns[1]->params[0], TA_RIGHT | TA_TOP);
    const auto colors = f.all(META_SETTEXTCOLOR);
    ASSERT_EQ(colors.size(), 1u);
    EXPECT_EQ(colors[0]->params[0], 10 | (20 << 8));
    EXPECT_EQ(colors[0]->params[1], 30);
}

// The font each text record is drawn with: its character set and face, and the bytes.
struct WrittenRun {
    uint8_t charset;
    QByteArray face;
    QByteArray bytes;
    bool operator==(const WrittenRun&) const = default;
};
std::vector<WrittenRun> runsOf(const WalkedFile& f) {
    std::vector<WrittenRun> out;
    WrittenRun font{};
    for (const WalkedRecord& r : f.records) {
        if (r.function == META_CREATEFONTINDIRECT) {
            font.charset = uint8_t(r.params[6] >> 8);
            font.face.clear();
            for (std::size_t i = 9; i < r.params.size(); ++i)
                font.face.append(char(r.params[i] & 0xFF)).append(char(r.params[i] >> 8));
            font.face.truncate(font.face.indexOf('\0'));
        } else if (r.function == META_EXTTEXTOUT) {
            WrittenRun run = font;
            run.bytes.clear();
            for (int i = 0; i < r.params[2]; ++i)
                run.bytes.append(
                    char(i % 2 ? r.params[4 + i / 2] >> 8 : r.params[4 + i / 2] & 0xFF));
            out.push_back(run);
        }
    }
    return out;
}

// What Japanese cannot hold goes out in a font whose character set holds it, a run each,
// every run starting where the one before it ended: from the end when the text is
// right-aligned, as each run then ends where the one after it starts.
TEST(WmfWriter, TextsNoOneCharacterSetHoldsGoOutAsRunsFromTheCurrentPosition) {
    const QString mixed = QString::fromUtf8("配管Ø50∅⌀");
    const WrittenRun japanese{SHIFTJIS_CHARSET, "MS Gothic",
                              QStringEncoder("Shift_JIS").encode(QString::fromUtf8("配管"))};
    const WrittenRun western{ANSI_CHARSET, "MS Gothic",
                             "\xD8"
                             "50"};
    const WrittenRun symbol{SYMBOL_CHARSET, "Symbol", "\xC6"};
    const WrittenRun unicode{UTF8_CHARSET, "MS Gothic", "\xE2\x8C\x80"};

    WmfWriter w(QRectF(0, 0, 300, 100));
    w.text(QPointF(150, 50), mixed, 3.0, 0.0, Qt::AlignRight | Qt::AlignBaseline);
    w.text(QPointF(150, 50), mixed, 3.0, 0.0, Qt::AlignLeft | Qt::AlignTop);
    w.text(QPointF(100, 20), QString::fromUtf8("Ø50"), 3.0, 0.0);
    const WalkedFile f = walk(w.toBytes());
    ASSERT_TRUE(f.header.ok);
    EXPECT_EQ(runsOf(f), (std::vector<WrittenRun>{unicode, symbol, western, japanese, japanese,
                                                  western, symbol, unicode,
                                                  WrittenRun{ANSI_CHARSET, "MS Gothic",
                                                             "\xD8"
                                                             "50"}}));
    const auto moves = f.all(META_MOVETO);
    ASSERT_EQ(moves.size(), 2u) << "a text of one run is drawn at its point";
    for (const auto* move : moves)
        EXPECT_EQ(move->params, (std::vector<uint16_t>{5000, 15000}));
    const auto aligns = f.all(META_SETTEXTALIGN);
    ASSERT_EQ(aligns.size(), 3u);
    EXPECT_EQ(aligns[0]->params[0], TA_RIGHT | TA_BASELINE | TA_UPDATECP);
    EXPECT_EQ(aligns[1]->params[0], TA_LEFT | TA_TOP | TA_UPDATECP);
    EXPECT_EQ(aligns[2]->params[0], TA_LEFT | TA_BASELINE);

    // A text too long for one record goes on in the next, cut between characters.
    WmfWriter l(QRectF(0, 0, 300, 100));
    l.text(QPointF(0, 50), QString(20000, QChar(0x3042)), 3.0, 0.0);
    const std::vector<WrittenRun> pieces = runsOf(walk(l.toBytes()));
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].bytes + pieces[1].bytes,
              QStringEncoder("Shift_JIS").encode(QString(20000, QChar(0x3042))));
    EXPECT_EQ(pieces[0].bytes.size() % 2, 0);
    EXPECT_LE(pieces[0].bytes.size(), 32766);
}

TEST(WmfWriter, SaveWritesTheBytesOrFailsCleanly) {
    QTemporaryDir dir;
    WmfWriter w(QRectF(0, 0, 10, 10));
    drawSample(w, 5);
    const QString path = dir.filePath(QString::fromUtf8("画層.wmf"));
    ASSERT_TRUE(w.save(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), w.toBytes());
    EXPECT_FALSE(w.save(dir.filePath("missing/sub/x.wmf")));
    EXPECT_FALSE(QFile::exists(dir.filePath("missing")));
}

// Pictures are made and rewritten in place, with nothing else left behind and the file
// kept as the same file (no new inode for a rewrite).
TEST(WmfWriter, SaveMakesAndRewritesPicturesInPlace) {
    QTemporaryDir dir;
    WmfWriter small(QRectF(0, 0, 10, 10));
    drawSample(small, 3);
    WmfWriter large(QRectF(0, 0, 10, 10));
    drawSample(large, 400);
    const auto contents = [&](const QString& name) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    ASSERT_TRUE(large.save(dir.filePath("a.wmf")));
    ASSERT_TRUE(small.save(dir.filePath("b.wmf")));
    EXPECT_EQ(contents("a.wmf"), large.toBytes());
    EXPECT_EQ(contents("b.wmf"), small.toBytes());

    // A shorter picture over a longer one: nothing of the old one may remain at its end.
    const auto inode = [&](const QString& name) {
        struct stat info {};
        return ::stat(QFile::encodeName(dir.filePath(name)).constData(), &info) == 0 ? info.st_ino
                                                                                     : 0;
    };
    const auto before = inode("a.wmf");
    ASSERT_TRUE(small.save(dir.filePath("a.wmf")));
    EXPECT_EQ(contents("a.wmf"), small.toBytes());
    EXPECT_EQ(inode("a.wmf"), before);
    ASSERT_TRUE(large.save(dir.filePath("b.wmf")));
    EXPECT_EQ(contents("b.wmf"), large.toBytes());

    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
              (QStringList{"a.wmf", "b.wmf"}));

    // A folder that cannot be written: no file, and false.
    if (::geteuid() != 0) { // root writes anywhere
        QDir(dir.path()).mkdir("locked");
        QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_FALSE(small.save(dir.filePath("locked/c.wmf")));
        QFile::setPermissions(dir.filePath("locked"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_TRUE(QDir(dir.filePath("locked")).isEmpty());
    }
    // A folder where the picture should be: refused, the folder left alone.
    QDir(dir.path()).mkdir("d.wmf");
    EXPECT_FALSE(small.save(dir.filePath("d.wmf")));
    EXPECT_TRUE(QFileInfo(dir.filePath("d.wmf")).isDir());
}

// The points of a polyline record, as logical coordinates.
std::vector<QPointF> pointsOf(const WalkedRecord& r) {
    std::vector<QPointF> out;
    for (int i = 0; i < r.s(0); ++i)
        out.emplace_back(r.s(1 + 2 * i), r.s(2 + 2 * i));
    return out;
}

double distanceToPolyline(QPointF p, const std::vector<QPointF>& line) {
    double best = 1e300;
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        const QPointF a = line[i], d = line[i + 1] - a;
        const double length2 = QPointF::dotProduct(d, d);
        const double t =
            length2 > 0 ? std::clamp(QPointF::dotProduct(p - a, d) / length2, 0.0, 1.0) : 0.0;
        const QPointF q = a + t * d - p;
        best = std::min(best, std::hypot(q.x(), q.y()));
    }
    return best;
}

// An overview drops what no box it is shown in can show, and no more; a picture of one
// layer keeps every point.
TEST(WmfWriter, OverviewsDropOnlyPointsBelowAPixelOfTheLargestBox) {
    const QRectF window(0, 0, 1000, 700);
    QPolygonF circle;
    for (int i = 0; i <= 72; ++i)
        circle << QPointF(500 + 4 * std::cos(i * M_PI / 36), 350 + 4 * std::sin(i * M_PI / 36));
    QPolygonF straight;
    for (int i = 0; i <= 50; ++i)
        straight << QPointF(10 + i * 10, 20 + i * 5);

    WmfWriter exact(window);
    exact.polyline(circle);
    exact.polyline(straight);
    WmfWriter overview(window);
    overview.setOverview(true);
    overview.polyline(circle);
    overview.polyline(straight);

    const WalkedFile exactWalked = walk(exact.toBytes());
    const auto exactLines = exactWalked.all(META_POLYLINE);
    const WalkedFile walked = walk(overview.toBytes());
    ASSERT_TRUE(walked.header.ok);
    const auto lines = walked.all(META_POLYLINE);
    ASSERT_EQ(lines.size(), 3u); // the extent diagonal, then ours
    ASSERT_EQ(exactLines.size(), 3u);
    const std::vector<QPointF> full = pointsOf(*exactLines[1]);
    const std::vector<QPointF> kept = pointsOf(*lines[1]);
    EXPECT_EQ(full.size(), 73u);
    EXPECT_LT(kept.size(), full.size() / 2) << "a circle 240 units across needs far fewer";
    EXPECT_GT(kept.size(), 8u);
    EXPECT_EQ(kept.front(), full.front());
    EXPECT_EQ(kept.back(), full.back());
    // Under a pixel at the largest box: a logical unit there is 32767 / 30000 pixels.
    const double pixel = double(WmfWriter::kLogicalLongSide) / WmfWriter::kLargestBoxPixels;
    double worst = 0;
    for (const QPointF& p : full)
        worst = std::max(worst, distanceToPolyline(p, kept));
    EXPECT_LE(worst, pixel);
    EXPECT_GT(worst, 0.1) << "nothing was dropped that could be";
    EXPECT_EQ(pointsOf(*lines[2]).size(), 2u) << "points on a straight line add nothing";
    EXPECT_EQ(pointsOf(*exactLines[2]).size(), 51u);
}

// Neighbouring entities of different layers change colour at nearly every record; an
// overview selects the pen it made for a colour before, and keeps its table bounded.
TEST(WmfWriter, OverviewsKeepAPenPerColour) {
    WmfWriter w(QRectF(0, 0, 100, 100));
    w.setOverview(true);
    for (int i = 0; i < 600; ++i) {
        w.setColor(i % 3 == 0 ? Qt::red : i % 3 == 1 ? Qt::blue : Qt::green);
        w.polyline(line(0, i % 100, 100, i % 100));
        w.filledPolygon(QPolygonF({QPointF(1, 1), QPointF(2, 1), QPointF(2, 2)}));
    }
    WalkedFile f = walk(w.toBytes());
    ASSERT_TRUE(f.header.ok);
    EXPECT_EQ(f.all(META_CREATEPENINDIRECT).size(), 1u + 3u); // the extent pen first
    EXPECT_EQ(f.all(META_CREATEBRUSHINDIRECT).size(), 3u);
    EXPECT_EQ(f.all(META_DELETEOBJECT).size(), 1u) << "only the extent pen is let go";
    EXPECT_LE(f.head[5], 7);
    // Every line is drawn with the pen of its own colour: the object table replayed as a
    // reader keeps it (lowest free slot first).
    struct Object {
        bool pen = false;
        uint32_t colour = 0;
    };
    std::vector<std::optional<Object>> table;
    int pen = -1;
    std::vector<uint32_t> drawnWith;
    for (const WalkedRecord& r : f.records) {
        if (r.function == META_CREATEPENINDIRECT || r.function == META_CREATEBRUSHINDIRECT) {
            const bool isPen = r.function == META_CREATEPENINDIRECT;
            const uint32_t colour = isPen ? r.params[3] | uint32_t(r.params[4]) << 16
                                          : r.params[1] | uint32_t(r.params[2]) << 16;
            auto free = std::find(table.begin(), table.end(), std::nullopt);
            if (free == table.end())
                free = table.insert(table.end(), std::nullopt);
            *free = Object{isPen, colour};
        } else if (r.function == META_DELETEOBJECT) {
            table.at(r.params[0]).reset();
        } else if (r.function == META_SELECTOBJECT) {
            ASSERT_TRUE(table.at(r.params[0]).has_value()) << "a deleted object selected";
            if (table[r.params[0]]->pen)
                pen = r.params[0];
        } else if (r.function == META_POLYLINE) {
            ASSERT_TRUE(pen >= 0 && table.at(pen).has_value());
            drawnWith.push_back(table[pen]->colour);
        }
    }
    ASSERT_EQ(drawnWith.size(), 601u);
    for (int i = 0; i < 600; ++i)
        EXPECT_EQ(drawnWith[std::size_t(i) + 1], i % 3 == 0   ? 0x0000FFu
                                                 : i % 3 == 1 ? 0xFF0000u
                                                              : 0x00FF00u)
            << "line " << i;

    // More colours than are kept: the table stays bounded and every colour is drawn.
    WmfWriter many(QRectF(0, 0, 100, 100));
    many.setOverview(true);
    for (int i = 0; i < 3000; ++i) {
        many.setColor(QColor::fromRgb(QRgb(0xff000000u | uint32_t(i % 700) * 0x010203u)));
        many.polyline(line(0, i % 100, 100, i % 100));
    }
    f = walk(many.toBytes());
    ASSERT_TRUE(f.header.ok);
    EXPECT_LE(f.head[5], 520);
    EXPECT_GE(f.all(META_CREATEPENINDIRECT).size(), 701u);
    EXPECT_EQ(f.all(META_POLYLINE).size(), 3001u);
}

// libwmf's own converter is the independent judge of our files.
TEST(WmfWriter, LibwmfConverterAcceptsOurFiles) {
    Wmf2Svg converter;
    if (!converter.missing().isEmpty())
        GTEST_SKIP() << converter.missing().toStdString();
    for (int variant = 0; variant < 3; ++variant) {
        WmfWriter w(QRectF(0, 0, 100 + variant * 400, 50), 10.0);
        drawSample(w, variant * 60);
        QString error;
        const QByteArray content = converter.convert(w.toBytes(), &error);
        EXPECT_TRUE(content.contains("<svg")) << error.toStdString();
        if (variant > 0) {
            EXPECT_TRUE(content.contains("<polyline"));
            EXPECT_TRUE(content.contains("<polygon"));
            EXPECT_TRUE(content.contains("<text"));
            EXPECT_TRUE(content.contains("\xE2\x8C\x80")) << "UTF-8 passes through untouched";
        }
    }
}
