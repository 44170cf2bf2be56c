#include "Wmf2Svg.h"
#include "WmfTestWalker.h"
#include "metafile/DisplayList.h"
#include "metafile/MetafilePicture.h"
#include "metafile/WmfWriter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLineF>
#include <QPainter>
#include <QPicture>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>

using namespace metafile;

namespace {

std::shared_ptr<const MetafilePicture> roundTrip(const WmfWriter& w) {
    return MetafilePicture::fromBytes(w.toBytes());
}

QByteArray sampleBytes() {
    WmfWriter w(QRectF(0, 0, 100, 100));
    w.setColor(Qt::red);
    w.polyline(QPolygonF({QPointF(10, 10), QPointF(90, 90), QPointF(90, 10)}), true);
    w.filledPolygon(QPolygonF({QPointF(20, 60), QPointF(40, 60), QPointF(30, 80)}));
    w.text(QPointF(50, 50), QString::fromUtf8("画層"), 5, 30);
    return w.toBytes();
}

int darkPixelsInColumn(const QImage& img, int x) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        n += qGray(img.pixel(x, y)) < 128;
    return n;
}

} // namespace

TEST(MetafilePicture, DrawnExtentMatchesWhatWasWritten) {
    WmfWriter w(QRectF(0, 0, 100, 100));
    w.polyline(QPolygonF({QPointF(0, 0), QPointF(10, 0)}));
    auto p = roundTrip(w);
    ASSERT_TRUE(p);
    const QRectF b = p->drawnBounds();
    EXPECT_NEAR(b.left(), 0.0, 1e-3);
    EXPECT_NEAR(b.right(), 0.1, 1e-3);
    EXPECT_NEAR(b.top(), 1.0, 1e-3); // world y 0 is the bottom of the picture
    EXPECT_NEAR(b.bottom(), 1.0, 1e-3);
    EXPECT_EQ(p->primitiveCount(), 1);

    // An off-centre window: extents still relative to the window, not to what is drawn.
    WmfWriter v(QRectF(-50, 200, 200, 100));
    v.polyline(QPolygonF({QPointF(0, 250), QPointF(100, 275)}));
    auto q = roundTrip(v);
    ASSERT_TRUE(q);
    EXPECT_NEAR(q->drawnBounds().left(), 0.25, 1e-3);
    EXPECT_NEAR(q->drawnBounds().right(), 0.75, 1e-3);
    EXPECT_NEAR(q->drawnBounds().top(), 0.25, 1e-3);
    EXPECT_NEAR(q->drawnBounds().bottom(), 0.5, 1e-3);
}

TEST(MetafilePicture, NaturalSizeComesFromThePlaceableBox) {
    WmfWriter wide(QRectF(0, 0, 200, 100), 10.0);
    auto a = roundTrip(wide);
    ASSERT_TRUE(a);
    EXPECT_NEAR(a->naturalSizeTwips().width(), 14400, 1);
    EXPECT_NEAR(a->naturalSizeTwips().height(), 7200, 1);
    EXPECT_TRUE(a->drawnBounds().isEmpty()); // nothing drawn, still a picture
    EXPECT_NEAR(a->frame().width() / a->frame().height(), 2.0, 1e-3);

    WmfWriter tall(QRectF(0, 0, 30, 120), 4.0);
    auto b = roundTrip(tall);
    ASSERT_TRUE(b);
    EXPECT_NEAR(b->naturalSizeTwips().height(), 4 * 1440, 2);
    EXPECT_NEAR(b->naturalSizeTwips().width(), 1440, 2);
}

TEST(MetafilePicture, JapaneseTextRoundTrips) {
    const QStringList texts = {QString::fromUtf8("通り芯 Ｘ１"), QString::fromUtf8("①～－∥ｱｲｳ"),
                               QString::fromUtf8("配管・ダクト"), QStringLiteral("ABC 123"),
                               QString::fromUtf8("髙﨑")};
    WmfWriter w(QRectF(0, 0, 100, 100));
    double angle = 0;
    for (const QString& t : texts)
        w.text(QPointF(10, 10), t, 3, angle += 45);
    auto p = roundTrip(w);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->texts(), texts);
}

QByteArray bareMetafile(const QList<QList<quint16>>& records);

namespace {

// Where the dark pixels of a picture lie in a text's own frame: u along the baseline
// from the point, v across it towards the text's feet (device pixels).
struct Ink {
    double uMin = 1e9, uMax = -1e9, vMin = 1e9, vMax = -1e9;
    int pixels = 0;
};
Ink inkAround(const QImage& img, QPointF point, double degrees) {
    const double rad = degrees * M_PI / 180.0;
    const QPointF along(std::cos(rad), -std::sin(rad)), down(std::sin(rad), std::cos(rad));
    Ink ink;
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (qGray(row[x]) >= 128)
                continue;
            const QPointF d = QPointF(x + 0.5, y + 0.5) - point;
            const double u = QPointF::dotProduct(d, along), v = QPointF::dotProduct(d, down);
            ink.uMin = std::min(ink.uMin, u), ink.uMax = std::max(ink.uMax, u);
            ink.vMin = std::min(ink.vMin, v), ink.vMax = std::max(ink.vMax, v);
            ++ink.pixels;
        }
    }
    return ink;
}

QImage rendered(const MetafilePicture& p, QSize size) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    QPainter painter(&img);
    p.paint(painter, QRectF(img.rect()));
    return img;
}

} // namespace

// A text lies along its font's escapement, from its point as its alignment says: every
// dimension text is centred on its line, and leant once by the estimated box libwmf
// gives centred text; right-aligned text ended half its width past its point.
TEST(MetafilePicture, TextLiesAlongItsEscapementFromItsAlignedPoint) {
    QFont font(QStringLiteral("MS Gothic"));
    font.setPixelSize(100);
    const QFontMetricsF metrics(font);
    const double px = 40; // a height of 10 in a window of 350 drawn 1400 pixels wide
    const double ascent = metrics.ascent() * px / 100, descent = metrics.descent() * px / 100;
    const double cap = metrics.capHeight() * px / 100;
    const QPointF point(700, 700);
    for (const double degrees : {0.0, 90.0}) {
        for (const Qt::Alignment across : {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight}) {
            for (const Qt::Alignment upright : {Qt::AlignBaseline, Qt::AlignTop, Qt::AlignBottom}) {
                for (const int n : {1, 2, 3, 16}) {
                    SCOPED_TRACE(testing::Message() << degrees << "° across " << across
                                                    << " upright " << upright << ", " << n);
                    WmfWriter w(QRectF(0, 0, 350, 350));
                    w.text(QPointF(175, 175), QString(n, QChar('H')), 10, degrees,
                           across | upright);
                    const auto p = roundTrip(w);
                    ASSERT_TRUE(p);
                    ASSERT_EQ(p->textItems().size(), 1u);
                    const QTransform& t = p->textItems()[0].transform;
                    EXPECT_NEAR(QLineF(t.map(QPointF(0, 0)), t.map(QPointF(100, 0))).angle(),
                                degrees, 0.01);

                    const Ink ink = inkAround(rendered(*p, QSize(1400, 1400)), point, degrees);
                    ASSERT_GT(ink.pixels, 100);
                    // Level: no more across the baseline than a capital's height.
                    EXPECT_LE(ink.vMax - ink.vMin, cap + 2);
                    const double feet = upright == Qt::AlignTop      ? ascent
                                        : upright == Qt::AlignBottom ? -descent
                                                                     : 0.0;
                    EXPECT_NEAR(ink.vMax, feet, 1.5) << "the capitals stand on the baseline";
                    if (across == Qt::AlignLeft) {
                        EXPECT_GE(ink.uMin, 0);
                        EXPECT_LE(ink.uMin, 0.15 * px);
                    } else if (across == Qt::AlignRight) {
                        EXPECT_LE(ink.uMax, 1);
                        EXPECT_GE(ink.uMax, -0.15 * px);
                    } else {
                        EXPECT_NEAR(ink.uMin + ink.uMax, 0, 3);
                    }
                }
            }
        }
    }
}

// libwmf's converter turns a text by the font's escapement and starts it, when it is on
// its baseline, on the line through the text's point: a left-aligned one at the point.
TEST(MetafilePicture, TextsTurnAndStandAsLibwmfsConverterDrawsThem) {
    Wmf2Svg converter;
    if (!converter.missing().isEmpty())
        GTEST_SKIP() << converter.missing().toStdString();
    WmfWriter w(QRectF(0, 0, 400, 400));
    struct Case {
        Qt::Alignment align;
        double degrees;
    };
    std::vector<Case> cases;
    int i = 0;
    for (const double degrees : {0.0, 90.0, 30.0})
        for (const Qt::Alignment across : {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight})
            for (const int n : {1, 2, 3, 16}) {
                cases.push_back({across | Qt::AlignBaseline, degrees});
                w.text(QPointF(40 + 80 * (i % 4), 40 + 30 * (i / 4)), QString(n, QChar('E')), 5,
                       degrees, across | Qt::AlignBaseline);
                ++i;
            }
    const QByteArray bytes = w.toBytes();
    const QByteArray svg = converter.convert(bytes);
    const std::vector<Wmf2Svg::Text> theirs = Wmf2Svg::texts(svg);
    const QSizeF box = Wmf2Svg::size(svg);
    const auto p = MetafilePicture::fromBytes(bytes);
    ASSERT_TRUE(p);
    const std::vector<MetafilePicture::TextItem>& ours = p->textItems();
    ASSERT_EQ(theirs.size(), cases.size());
    ASSERT_EQ(ours.size(), cases.size());
    ASSERT_FALSE(box.isEmpty());
    const QRectF frame = p->frame();
    for (std::size_t k = 0; k < cases.size(); ++k) {
        SCOPED_TRACE(k);
        const Wmf2Svg::Text& t = theirs[k];
        const double theirAngle = std::atan2(-t.b, t.a) * 180.0 / M_PI;
        const QLineF baseline(ours[k].transform.map(QPointF(0, 0)),
                              ours[k].transform.map(QPointF(100, 0)));
        EXPECT_NEAR(std::remainder(baseline.angle() - theirAngle, 360.0), 0.0, 0.05);
        EXPECT_NEAR(baseline.angle(), cases[k].degrees, 0.05);
        // Both in the converter's picture units.
        const auto toSvg = [&](QPointF q) {
            return QPointF((q.x() - frame.left()) / frame.width() * box.width(),
                           (q.y() - frame.top()) / frame.height() * box.height());
        };
        const QPointF start = toSvg(baseline.p1());
        const QPointF direction = toSvg(baseline.p2()) - start;
        const QPointF theirStart(t.e, t.f);
        const double across = (direction.x() * (theirStart.y() - start.y()) -
                               direction.y() * (theirStart.x() - start.x())) /
                              std::hypot(direction.x(), direction.y());
        EXPECT_NEAR(across, 0.0, 0.05) << "their text starts on our baseline";
        if (cases[k].align & Qt::AlignLeft) {
            EXPECT_NEAR(QLineF(start, theirStart).length(), 0.0, 0.05);
        }
    }
}

// Text drawn from the current position moves it on, so a line written in pieces is drawn
// as the whole line would be, and reads as one text; a move starts the next line anew,
// even to where libwmf's own position was left. A text with a spacing array, which
// libwmf hands over a character at a time, is aligned as a whole and reads as one.
TEST(MetafilePicture, TextWrittenInPiecesIsPlacedAndReadAsOne) {
    const QList<quint16> window = {0x020C, 4000, 4000};
    const QList<quint16> nullPen = {0x02FA, 5, 0, 0, 0, 0};
    const auto font = [](qint16 escapement) {
        return QList<quint16>{
            0x02FB, quint16(-300), 0, quint16(escapement), quint16(escapement), 400, 0, 0, 0,
            0,      0x4D,          0}; // "M"
    };
    const auto textOut = [](const char* s, quint16 x, quint16 y) {
        QList<quint16> r{0x0521, quint16(std::strlen(s))};
        for (std::size_t i = 0; i < std::strlen(s); i += 2)
            r << quint16(quint8(s[i]) | (i + 1 < std::strlen(s) ? quint8(s[i + 1]) << 8 : 0));
        return r << y << x;
    };
    const auto picture = [&](quint16 align, qint16 escapement, const QList<QList<quint16>>& texts) {
        QList<QList<quint16>> records = {
            window,           nullPen,     {0x012D, 0},    {0x0325, 2, 0, 0, 4000, 4000},
            font(escapement), {0x012D, 1}, {0x012E, align}};
        records += texts;
        return MetafilePicture::fromBytes(bareMetafile(records));
    };
    const quint16 updateCp = 1;
    struct Case {
        quint16 align;
        qint16 escapement;
        QList<QList<quint16>> pieces; // drawn from the current position
        QStringList texts;
        QList<QList<quint16>> whole; // the same drawn from their points
    };
    const std::vector<Case> cases = {
        {24,
         0,
         {{0x0214, 2000, 1000}, textOut("AB", 0, 0), textOut("CD", 0, 0)},
         {"ABCD"},
         {textOut("ABCD", 1000, 2000)}},
        // Right-aligned pieces are written from the end of the line.
        {24 | 2,
         0,
         {{0x0214, 2000, 3000}, textOut("CD", 0, 0), textOut("AB", 0, 0)},
         {"ABCD"},
         {textOut("ABCD", 3000, 2000)}},
        // libwmf moves its position down a line for every piece aligned by its top.
        {0,
         900,
         {{0x0214, 3000, 2000}, textOut("AB", 0, 0), textOut("C", 0, 0), textOut("D", 0, 0)},
         {"ABCD"},
         {textOut("ABCD", 2000, 3000)}},
        {24,
         0,
         {{0x0214, 1000, 1000}, textOut("AB", 0, 0), {0x0214, 3000, 1000}, textOut("CD", 0, 0)},
         {"AB", "CD"},
         {textOut("AB", 1000, 1000), textOut("CD", 1000, 3000)}},
        {24,
         0,
         {{0x0214, 1000, 1000}, textOut("AB", 0, 0), {0x0214, 1000, 1000}, textOut("CD", 0, 0)},
         {"AB", "CD"},
         {textOut("AB", 1000, 1000), textOut("CD", 1000, 1000)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.align << " " << c.escapement);
        const auto pieces = picture(c.align | updateCp, c.escapement, c.pieces);
        const auto whole = picture(c.align, c.escapement, c.whole);
        ASSERT_TRUE(pieces && whole);
        EXPECT_EQ(pieces->texts(), c.texts);
        const Ink drawn = inkAround(rendered(*pieces, QSize(800, 800)), QPointF(0, 0), 0);
        const Ink expected = inkAround(rendered(*whole, QSize(800, 800)), QPointF(0, 0), 0);
        ASSERT_GT(expected.pixels, 50);
        EXPECT_NEAR(drawn.uMin, expected.uMin, 1.5);
        EXPECT_NEAR(drawn.uMax, expected.uMax, 1.5);
        EXPECT_NEAR(drawn.vMin, expected.vMin, 1.5);
        EXPECT_NEAR(drawn.vMax, expected.vMax, 1.5);
        EXPECT_NEAR(drawn.pixels, expected.pixels, expected.pixels / 20);
    }

    // "HH" a character's width and a half apart (600 units, 120 pixels), from x 2000.
    const QList<quint16> spaced = {0x0A32, 2000, 2000, 2, 0, 0x4848, 600, 600};
    for (const quint16 across : {quint16(0), quint16(2)}) {
        SCOPED_TRACE(across);
        const auto p = picture(24 | across, 0, {spaced});
        ASSERT_TRUE(p);
        EXPECT_EQ(p->texts(), QStringList{"HH"});
        const Ink ink = inkAround(rendered(*p, QSize(800, 800)), QPointF(400, 0), 0);
        if (across == 0) {
            EXPECT_GE(ink.uMin, 0);
            EXPECT_LE(ink.uMin, 10);
            EXPECT_GT(ink.uMax, 120);
        } else {
            EXPECT_LE(ink.uMax, 1) << "ends at its point";
            EXPECT_LT(ink.uMin, -200);
        }
    }
}

// Characters outside Japanese come back as they were written, in whichever character
// set the writer found for them; a symbol font's bytes read as that font draws them.
TEST(MetafilePicture, EveryCharacterOfATextComesBack) {
    const QStringList texts = {QString::fromUtf8("配管Ø50"),
                               QString::fromUtf8("ÄÖÜ äöü éçñ"),
                               QString::fromUtf8("αβγ ΔΩ ά"),
                               QString::fromUtf8("∅100 ≤ ≈ ±0.5°"),
                               QString::fromUtf8("⌀50"),
                               QString::fromUtf8("Łódź Привет"),
                               QString::fromUtf8("한국어 们 繁體"),
                               QString::fromUtf8("𠮟る 🙂"),
                               QString::fromUtf8("通り芯Ø ά∅⌀𠮟 end"),
                               QString(20000, QChar(0x3042))};
    WmfWriter w(QRectF(0, 0, 100, 100));
    const Qt::Alignment aligns[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    for (int i = 0; i < texts.size(); ++i)
        w.text(QPointF(50, 50), texts[i], 3, i % 2 ? 90 : 0, aligns[i % 3] | Qt::AlignBaseline);
    const auto p = roundTrip(w);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->texts(), texts);

    // The symbol font's encoding, as the X fonts' tables give it.
    QProcess unzip;
    unzip.start("zcat", {"/usr/share/fonts/X11/encodings/adobe-symbol.enc.gz"});
    if (!unzip.waitForFinished(10000) || unzip.exitCode() != 0)
        GTEST_SKIP() << "no table of the symbol encoding (xfonts-encodings)";
    const QString table = QString::fromLatin1(unzip.readAllStandardOutput());
    const QString mapping = table.mid(table.indexOf("STARTMAPPING unicode"));
    static const QRegularExpression entry(QStringLiteral("^0x([0-9A-F]{2}) 0x([0-9A-F]{4})"),
                                          QRegularExpression::MultilineOption);
    std::map<int, std::set<uint>> meanings; // a few bytes have two names
    for (auto it = entry.globalMatch(mapping); it.hasNext();) {
        const auto m = it.next();
        meanings[m.captured(1).toInt(nullptr, 16)].insert(m.captured(2).toUInt(nullptr, 16));
    }
    QList<quint16> text = {0x0521, 0xE0};
    for (int b = 0x20; b < 0x100; b += 2)
        text << quint16(b | (b + 1) << 8);
    text << 100 << 100;
    const auto symbol = MetafilePicture::fromBytes(bareMetafile(
        {{0x020C, 1000, 1000},
         {0x02FB, quint16(-100), 0, 0, 0, 400, 0, 2 << 8, 0, 0, 0x7953, 0x626D, 0x6C6F, 0},
         {0x012D, 0},
         text}));
    ASSERT_TRUE(symbol);
    ASSERT_EQ(symbol->texts().size(), 1);
    const QString decoded = symbol->texts()[0];
    ASSERT_EQ(decoded.size(), 0xE0);
    for (const auto& [byte, unicode] : meanings)
        EXPECT_TRUE(unicode.count(decoded[byte - 0x20].unicode())) << "byte " << std::hex << byte;
    const std::size_t checked = meanings.size();
    EXPECT_GT(checked, 150u);
}

TEST(MetafilePicture, ReadsFilesOtherProgramsWrite) {
    auto p = MetafilePicture::load(QStringLiteral(KORVEL_TEST_DATA_DIR "/metafile/foreign.wmf"));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->texts(), QStringList{QString::fromUtf8("Hello, café")});
    EXPECT_GE(p->primitiveCount(), 8);
    EXPECT_GT(p->naturalSizeTwips().width(), p->naturalSizeTwips().height());

    // Render and look for the solid green ellipse and the bitmap's red half.
    QImage img(400, 200, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter painter(&img);
        p->paint(painter, QRectF(0, 0, 400, 200));
    }
    // Without a placeable box the picture is what the file draws; the file's
    // viewport makes one logical unit half a point.
    const QRectF f = p->frame();
    auto at = [&](double lx, double ly) {
        return img.pixelColor(int((lx * 0.5 - f.left()) / f.width() * 400),
                              int((ly * 0.5 - f.top()) / f.height() * 200));
    };
    EXPECT_EQ(at(1000, 400), QColor(0, 200, 0)) << "ellipse fill";
    EXPECT_EQ(at(1000, 400 - 150), QColor(0, 200, 0));
    const QColor bitmapLeft = at(150, 150), bitmapRight = at(450, 250);
    EXPECT_GT(bitmapLeft.red(), 200);
    EXPECT_LT(bitmapLeft.green(), 60);
    EXPECT_GT(bitmapRight.green(), 200);
    EXPECT_LT(bitmapRight.red(), 60);
    // The pie from 45 to 90 degrees: inside the wedge is red hatch or white,
    // never the pen's blue outline that a full ellipse would put at its bottom.
    int purple = 0; // the text is painted, in its colour
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            purple += img.pixelColor(x, y) == QColor(128, 0, 128);
    EXPECT_GT(purple, 20);
    const QColor belowPie = at(1700, 598);
    EXPECT_NE(belowPie, QColor(0, 0, 255));
}

TEST(MetafilePicture, BadInputIsNoPictureAndQuick) {
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(MetafilePicture::fromBytes(QByteArray()));
    EXPECT_FALSE(MetafilePicture::fromBytes(QByteArray("\xD7\xCD\xC6\x9A", 4)));
    EXPECT_FALSE(MetafilePicture::load(QStringLiteral("/nonexistent/x.wmf")));

    const QByteArray good = sampleBytes();
    ASSERT_TRUE(MetafilePicture::fromBytes(good));
    // Cut anywhere before the end record completes.
    for (qsizetype cut = 0; cut < good.size(); cut += 3)
        EXPECT_FALSE(MetafilePicture::fromBytes(good.left(cut))) << "cut at " << cut;

    // Random garbage, with and without a believable header in front.
    QRandomGenerator rng(4242);
    for (int i = 0; i < 200; ++i) {
        QByteArray junk(int(rng.bounded(2000)), '\0');
        for (auto& c : junk)
            c = char(rng.bounded(256));
        if (i % 2)
            junk.prepend(good.left(40));
        (void)MetafilePicture::fromBytes(junk); // must simply not crash
        EXPECT_FALSE(MetafilePicture::fromBytes(junk.left(10)));
    }

    auto patched = [&](qsizetype offset, uint32_t value, int bytes) {
        QByteArray b = good;
        if (bytes == 4)
            qToLittleEndian<uint32_t>(value, b.data() + offset);
        else
            qToLittleEndian<uint16_t>(uint16_t(value), b.data() + offset);
        return b;
    };
    const qsizetype firstRecord = 22 + 18;
    EXPECT_FALSE(MetafilePicture::fromBytes(patched(firstRecord, 0xFFFFFFF0u, 4)))
        << "huge record size";
    EXPECT_FALSE(MetafilePicture::fromBytes(patched(firstRecord, 2, 4)))
        << "record smaller than its header";
    EXPECT_FALSE(MetafilePicture::fromBytes(patched(22 + 2, 12, 2))) << "wrong header size";

    // A polyline claiming more points than its record holds.
    const WalkedFile f = walk(good);
    qsizetype pos = firstRecord;
    for (const auto& r : f.records) {
        if (r.function == 0x0325) {
            EXPECT_FALSE(MetafilePicture::fromBytes(patched(pos + 6, 30000, 2))) << "point count";
            break;
        }
        pos += 2 * (3 + qsizetype(r.params.size()));
    }
    EXPECT_LT(clock.elapsed(), 30000); // refused, never played until a deadline
}

// A bare metafile from records of 16-bit words (function first, then parameters).
QByteArray bareMetafile(const QList<QList<quint16>>& records) {
    QByteArray body;
    auto put16 = [&body](quint16 v) { body.append(char(v & 0xFF)).append(char(v >> 8)); };
    for (const QList<quint16>& record : records) {
        const quint32 words = 3 + quint32(record.size() - 1);
        put16(quint16(words & 0xFFFF));
        put16(quint16(words >> 16));
        for (quint16 word : record)
            put16(word);
    }
    put16(3), put16(0), put16(0); // end of file
    QByteArray file;
    auto head16 = [&file](quint16 v) { file.append(char(v & 0xFF)).append(char(v >> 8)); };
    const quint32 total = 9 + quint32(body.size() / 2);
    for (quint16 v : {quint16(1), quint16(9), quint16(0x300), quint16(total & 0xFFFF),
                      quint16(total >> 16), quint16(4), quint16(20), quint16(0), quint16(0)})
        head16(v);
    return file + body;
}

// A file that deletes the font it is writing with and then creates a pen: the player
// keeps the selected font's data in its table slot, so the pen must not take that slot,
// or the text is drawn with a pen's bytes read as a font (a crash, found by fuzzing).
TEST(MetafilePicture, DeletingTheSelectedFontDoesNotHandItsSlotToTheNextObject) {
    const QList<quint16> font = {0x02FB, 0xFFF0, 0, 0, 0, 400, 0, 0, 0, 0x4241 /* "AB" */, 0};
    const QList<quint16> pen = {0x02FA, 0, 0x4141, 0x4141, 0x4141, 0x4141};
    const QByteArray bytes = bareMetafile({
        {0x020C, 1000, 1000},          // window extent
        font,                          // slot 0
        {0x012D, 0},                   // selected
        {0x001E},                      // saved with the font
        {0x01F0, 0},                   // deleted while in use
        pen,                           // must not reuse slot 0
        {0x012D, 1},                   // the pen, wherever it went
        {0x0521, 1, 0x0058, 100, 100}, // TextOut "X"
        {0x0127, 0xFFFF},              // restored: the font is back in the context
        {0x0521, 1, 0x0059, 200, 200}, // TextOut "Y"
        {0x0325, 2, 10, 10, 500, 500}, // a line
    });
    auto p = MetafilePicture::fromBytes(bytes);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->texts(), (QStringList{QStringLiteral("X"), QStringLiteral("Y")}));
    EXPECT_GE(p->primitiveCount(), 3);

    // A font deleted after another one took its place is deleted as usual: its slot is
    // free again, and the file still plays.
    const QByteArray tidy = bareMetafile({{0x020C, 1000, 1000},
                                          font,
                                          {0x012D, 0},
                                          font,
                                          {0x012D, 1},
                                          {0x01F0, 0},
                                          pen,
                                          {0x012D, 0},
                                          {0x0521, 1, 0x005A, 100, 100}});
    auto q = MetafilePicture::fromBytes(tidy);
    ASSERT_TRUE(q);
    EXPECT_EQ(q->texts(), QStringList{QStringLiteral("Z")});

    // Keeping track of saved contexts must not make checking a file of many of them
    // take quadratic time: two hundred thousand saves and restores, fonts deleted in
    // between, still load (a hang here fails the test by its time limit).
    QList<QList<quint16>> many = {{0x020C, 1000, 1000}};
    for (int i = 0; i < 50000; ++i) {
        many << font << QList<quint16>{0x012D, 0} << QList<quint16>{0x001E}
             << QList<quint16>{0x001E} << QList<quint16>{0x0127, 0xFFFE}
             << QList<quint16>{0x0127, 0xFFFF} << QList<quint16>{0x01F0, 0};
    }
    many << QList<quint16>{0x0521, 1, 0x0057, 100, 100};
    EXPECT_TRUE(MetafilePicture::fromBytes(bareMetafile(many)));
}

// Saved contexts once cost a copy of everything the context held at every save: a file
// of 6,000 fonts and 6,000 saves took the window 12 s and 1.7 GB. Each save now costs a
// step, nesting is capped, and what the contexts hold is still followed exactly.
TEST(MetafilePicture, SavedContextsCostAStepEachAndNestOnlySoDeep) {
    const QList<quint16> font = {0x02FB, 0xFFF0, 0, 0, 0, 400, 0, 0, 0, 0x4241, 0};
    const QList<quint16> save = {0x001E}, restore = {0x0127, 0xFFFF};
    // The reported file: a font and a save, 6,000 times over.
    QList<QList<quint16>> reported = {{0x020C, 1000, 1000}};
    for (int i = 0; i < 6000; ++i)
        reported << font << save;
    const WmfValidator::Result deep = WmfValidator::check(bareMetafile(reported));
    EXPECT_FALSE(deep.ok);
    ASSERT_TRUE(deep.refusal);
    EXPECT_NE(std::string(deep.refusal).find("1024 deep"), std::string::npos) << deep.refusal;
    EXPECT_FALSE(MetafilePicture::fromBytes(bareMetafile(reported)));

    // As deep as a file may go, under every font the table holds: each save used to copy
    // all 60,000 of them.
    QList<QList<quint16>> many = {{0x020C, 1000, 1000}};
    for (int i = 0; i < 60000; ++i)
        many << font;
    for (std::size_t i = 0; i < WmfValidator::kMaxSavedContexts; ++i)
        many << save;
    many << QList<quint16>{0x0521, 1, 0x0057, 100, 100};
    for (std::size_t i = 0; i < WmfValidator::kMaxSavedContexts; ++i)
        many << restore;
    const WmfValidator::Result full = WmfValidator::check(bareMetafile(many));
    ASSERT_TRUE(full.ok) << full.refusal;
    EXPECT_LE(full.work, 3 * full.records);
    many.insert(1, save);
    EXPECT_FALSE(WmfValidator::check(bareMetafile(many)).ok) << "one save deeper";

    // Font 0 leaves the context after the first save: the saved contexts still hold it
    // until the one it was in is taken off, and so does the context after that.
    const QList<quint16> select0 = {0x012D, 0}, select1 = {0x012D, 1}, delete0 = {0x01F0, 0};
    const QByteArray held = bareMetafile({{0x020C, 1000, 1000},
                                          font,
                                          font,
                                          select0,
                                          save,
                                          select1,
                                          save,
                                          delete0,
                                          restore,
                                          delete0,
                                          restore,
                                          delete0,
                                          select1,
                                          delete0});
    std::vector<uint16_t> deletes; // as the player sees them
    for (const WalkedRecord& r : walk(WmfValidator::check(held).playable).records)
        if (r.function == 0x01F0 || r.function == 0x0105)
            deletes.push_back(r.function);
    EXPECT_EQ(deletes, (std::vector<uint16_t>{0x0105, 0x0105, 0x0105, 0x01F0}))
        << "held by the first save, by the first save, in the context again, free";

    // Font 1 leaves, comes back and leaves again under the first save only; taking that
    // off puts it back, so its delete is still skipped.
    const QList<quint16> select2 = {0x012D, 2}, delete1 = {0x01F0, 1};
    const QByteArray back = bareMetafile({{0x020C, 1000, 1000},
                                          font,
                                          font,
                                          save,
                                          save,
                                          font,
                                          save,
                                          select2,
                                          select1,
                                          save,
                                          {0x0127, 0xFFFE},
                                          restore,
                                          select2,
                                          {0x0127, 1},
                                          delete1});
    EXPECT_TRUE(walk(WmfValidator::check(back).playable).all(0x01F0).empty());
}

// A font whose face name runs to the end of its record without its terminating NUL:
// the player reads the name as a C string, past the record into whatever follows (a
// crash once the object was deleted and its slot reused, found by an attack run).
TEST(MetafilePicture, AFontNameWithoutItsEndStopsAtItsRecord) {
    const QList<quint16> pen = {0x02FA, 0, 0x4141, 0x4141, 0x4141, 0x4141};
    for (const int nameWords : {16, 5, 1, 40}) {
        SCOPED_TRACE(nameWords);
        QList<quint16> font = {0x02FB, 0xFFF0, 0, 0, 0, 400, 0, 0, 0, 0};
        for (int i = 0; i < nameWords; ++i)
            font << 0x4141; // "AA", never a NUL
        const QByteArray bytes = bareMetafile({
            {0x020C, 1000, 1000},
            font,                          // slot 0
            {0x01F0, 0},                   // deleted, never selected
            pen,                           // takes slot 0
            {0x0521, 1, 0x0058, 100, 100}, // TextOut "X" in the default font
            font,                          // again, now selected and used
            {0x012D, 1},
            {0x0521, 1, 0x0059, 200, 200}, // TextOut "Y"
        });
        for (const auto play : {MetafilePicture::Play::Now, MetafilePicture::Play::Deferred}) {
            auto p = MetafilePicture::fromBytes(bytes, play);
            ASSERT_TRUE(p);
            EXPECT_EQ(p->texts(), (QStringList{QStringLiteral("X"), QStringLiteral("Y")}));
            QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            QPainter painter(&image);
            p->paint(painter, QRectF(0, 0, 64, 64));
        }
    }
    // A font record too short to hold any name at all is no font: no picture.
    const QList<quint16> noName = {0x02FB, 0xFFF0, 0, 0, 0, 400, 0, 0, 0, 0x4141};
    EXPECT_FALSE(MetafilePicture::fromBytes(bareMetafile({{0x020C, 1000, 1000}, noName})));
}

// A placeable picture of `box` logical units square around a bare metafile: the frame
// is then the box, whatever the records draw.
QByteArray placeable(const QByteArray& bare, quint16 box) {
    QByteArray head(22, '\0');
    qToLittleEndian<quint32>(0x9AC6CDD7u, head.data());
    qToLittleEndian<quint16>(box, head.data() + 10);
    qToLittleEndian<quint16>(box, head.data() + 12);
    qToLittleEndian<quint16>(72, head.data() + 14); // a unit a point: a brush's pixel is one
    return head + bare;
}

// A device-independent bitmap as a record carries it: the 40-byte header, the colour
// table and the pixel bytes, as words.
QList<quint16> dibWords(int bits, int width, int height, quint32 compression,
                        const QList<QRgb>& table, const QByteArray& pixels) {
    QByteArray dib(40, '\0');
    char* h = dib.data();
    qToLittleEndian<quint32>(40, h);
    qToLittleEndian<qint32>(width, h + 4);
    qToLittleEndian<qint32>(height, h + 8);
    qToLittleEndian<quint16>(1, h + 12);
    qToLittleEndian<quint16>(quint16(bits), h + 14);
    qToLittleEndian<quint32>(compression, h + 16);
    qToLittleEndian<quint32>(quint32(pixels.size()), h + 20);
    qToLittleEndian<quint32>(quint32(table.size()), h + 32);
    for (QRgb c : table)
        dib.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
    dib += pixels;
    if (dib.size() % 2)
        dib.append('\0');
    QList<quint16> words;
    for (qsizetype i = 0; i < dib.size(); i += 2)
        words << qFromLittleEndian<quint16>(dib.constData() + i);
    return words;
}

// The three records that carry a bitmap, each filling the box with it: stretched from a
// bitmap record, blitted from one, and as the pattern of a brush that fills a rectangle.
enum class Carrier { StretchDib, DibStretchBlt, PatternBrush };

QByteArray bitmapPicture(Carrier carrier, int width, int height, const QList<quint16>& dib,
                         quint16 box) {
    QList<QList<quint16>> records = {{0x020B, 0, 0}, {0x020C, box, box}};
    const quint16 w = quint16(width), h = quint16(height);
    QList<quint16> r;
    switch (carrier) {
    case Carrier::StretchDib: // SRCCOPY, DIB_RGB_COLORS, source, then target
        r = {0x0F43, 0x0020, 0x00CC, 0, h, w, 0, 0, box, box, 0, 0};
        break;
    case Carrier::DibStretchBlt:
        r = {0x0B41, 0x0020, 0x00CC, h, w, 0, 0, box, box, 0, 0};
        break;
    case Carrier::PatternBrush:
        r = {0x0142, 5 /* BS_DIBPATTERNPT */, 0};
        break;
    }
    records << (r << dib);
    if (carrier == Carrier::PatternBrush) {
        records << QList<quint16>{0x02FA, 5, 0, 0, 0, 0}; // no outline
        records << QList<quint16>{0x012D, 1};
        records << QList<quint16>{0x041B, box, box, 0, 0}; // the whole box
    }
    return placeable(bareMetafile(records), box);
}

// The colour painted for pixel (x, y) of a bitmap of w by h, top row 0: a stretched
// bitmap fills the box; a brush repeats it a pixel a pixel from the box's corner.
auto sampler(const QImage& img, Carrier carrier, int w, int h) {
    return [&img, carrier, w, h](int x, int y) {
        if (carrier == Carrier::PatternBrush)
            return img.pixel(x, y);
        return img.pixel(int((x + 0.5) * img.width() / w), int((y + 0.5) * img.height() / h));
    };
}

// The picture painted over white, one image pixel per logical unit of the box.
QImage paintedOverWhite(const QByteArray& bytes, int box) {
    QImage img(box, box, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    const auto p = MetafilePicture::fromBytes(bytes);
    if (!p)
        return QImage();
    QPainter painter(&img);
    p->paint(painter, QRectF(0, 0, box, box));
    return img;
}

// Found by running the reader under valgrind: a bitmap whose pixels index past its
// colour table had the painter read past the table's buffer. Every index is given a
// colour: the table's when it has one, black (as the system shows them) when not.
TEST(MetafilePicture, BitmapIndexesPastTheirColourTablePaintBlack) {
    const QRgb red = qRgb(220, 0, 0);
    const QRgb blue = qRgb(0, 0, 200);
    // Four pixels a row, two rows (bottom row first): the first two of each row lie in a
    // two-entry table, the last two past it.
    struct Case {
        int bits;
        QByteArray pixels;
    };
    const Case cases[] = {
        // 1 bit: a one-entry table, index 1 past it; rows padded to four bytes.
        {1, QByteArray("\x30\0\0\0\x30\0\0\0", 8)},
        {4, QByteArray("\x01\xEF\0\0\x01\x9A\0\0", 8)},
        {8, QByteArray("\x00\x01\xC8\xFF\x00\x01\x07\x02", 8)},
    };
    constexpr int kBox = 64;
    for (const Case& c : cases) {
        const QList<QRgb> table = c.bits == 1 ? QList<QRgb>{red} : QList<QRgb>{red, blue};
        const QList<quint16> dib = dibWords(c.bits, 4, 2, 0, table, c.pixels);
        for (const Carrier carrier :
             {Carrier::StretchDib, Carrier::DibStretchBlt, Carrier::PatternBrush}) {
            SCOPED_TRACE(testing::Message() << c.bits << " bits, carrier " << int(carrier));
            const QImage img = paintedOverWhite(bitmapPicture(carrier, 4, 2, dib, kBox), kBox);
            ASSERT_FALSE(img.isNull());
            // A stretched bitmap fills the box, 16 units a pixel; a brush repeats it at
            // one unit a pixel from the box's corner.
            const auto at = sampler(img, carrier, 4, 2);
            EXPECT_EQ(at(0, 0), red);
            EXPECT_EQ(at(0, 1), red);
            if (c.bits == 1) {
                for (int y = 0; y < 2; ++y)
                    EXPECT_EQ(at(3, y), qRgb(0, 0, 0)) << "index 1 of a one-colour table";
            } else {
                EXPECT_EQ(at(1, 0), blue);
                for (int x = 2; x < 4; ++x)
                    for (int y = 0; y < 2; ++y)
                        EXPECT_EQ(at(x, y), qRgb(0, 0, 0)) << x << "," << y;
            }
        }
    }
}

// Run-length coded bitmaps: what the runs leave out (a jump, a line or the bitmap ended
// early) is not painted, where the decoder once left those pixels as whatever memory
// held; a code that runs past the data, or pixels too few for the rows, is no bitmap.
TEST(MetafilePicture, RunLengthBitmapsPaintTheirRunsAndNothingElse) {
    const QRgb red = qRgb(220, 0, 0);
    const QList<QRgb> table = {red, qRgb(0, 0, 200)};
    constexpr int kBox = 64;
    // 8 pixels by 4: bottom row three of index 0, then a jump of 2 right and 1 up, two
    // of index 0 there, end of the bitmap; the top two rows are never written.
    const QByteArray rle8("\x03\x00\x00\x02\x02\x01\x02\x00\x00\x01", 10);
    // Read with four bits a pixel, the same codes draw the same: index 0 twice a byte.
    for (const auto& [bits, compression] : {std::pair{8, 1u}, std::pair{4, 2u}}) {
        for (const Carrier carrier :
             {Carrier::StretchDib, Carrier::DibStretchBlt, Carrier::PatternBrush}) {
            SCOPED_TRACE(testing::Message() << "RLE" << bits << ", carrier " << int(carrier));
            const QList<quint16> dib = dibWords(bits, 8, 4, compression, table, rle8);
            const QImage img = paintedOverWhite(bitmapPicture(carrier, 8, 4, dib, kBox), kBox);
            ASSERT_FALSE(img.isNull());
            const auto at = sampler(img, carrier, 8, 4);
            for (int x = 0; x < 8; ++x) {
                EXPECT_EQ(at(x, 3), x < 3 ? red : qRgb(255, 255, 255)) << "bottom row " << x;
                EXPECT_EQ(at(x, 2), x == 5 || x == 6 ? red : qRgb(255, 255, 255)) << x;
                EXPECT_EQ(at(x, 1), qRgb(255, 255, 255)) << "never written " << x;
                EXPECT_EQ(at(x, 0), qRgb(255, 255, 255)) << "never written " << x;
            }
        }
        // Cut before its end, or an uncompressed bitmap short of its rows: nothing of it
        // is painted, the rest of the picture is.
        const QImage cut = paintedOverWhite(
            bitmapPicture(Carrier::StretchDib, 8, 4,
                          dibWords(bits, 8, 4, compression, table, rle8.left(4)), kBox),
            kBox);
        ASSERT_FALSE(cut.isNull());
        EXPECT_EQ(cut.pixel(4, 60), qRgb(255, 255, 255)) << "RLE" << bits << " cut short";
    }
    const QImage shortRows =
        paintedOverWhite(bitmapPicture(Carrier::StretchDib, 8, 4,
                                       dibWords(8, 8, 4, 0, table, QByteArray(8 * 3, '\0')), kBox),
                         kBox);
    ASSERT_FALSE(shortRows.isNull());
    EXPECT_EQ(shortRows.pixel(4, 60), qRgb(255, 255, 255)) << "three rows of four";
    // A bitmap record too short for its own fixed words: the player would read them
    // past the record.
    for (const QList<quint16>& cut :
         {QList<quint16>{0x0F43, 0x0020, 0x00CC, 0, 4, 8},
          QList<quint16>{0x0B41, 0x0020, 0x00CC, 4, 8}, QList<quint16>{0x0142, 5}})
        EXPECT_FALSE(MetafilePicture::fromBytes(bareMetafile({{0x020C, 64, 64}, cut})))
            << cut.first();
}

TEST(MetafilePicture, LyingHeaderCountsAreRepairedNotFatal) {
    // Some writers get the object count or the largest record wrong; such
    // files still show in other viewers, so they must show here.
    QByteArray b = sampleBytes();
    qToLittleEndian<uint16_t>(0, b.data() + 22 + 10); // no objects declared
    qToLittleEndian<uint32_t>(3, b.data() + 22 + 12); // largest record: 3 words
    qToLittleEndian<uint16_t>(0x1234, b.data() + 20); // wrong checksum
    auto p = MetafilePicture::fromBytes(b);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->texts().size(), 1);
}

TEST(MetafilePicture, HugeTargetPaintsOnlyTheExposedPartWithHairlines) {
    WmfWriter w(QRectF(0, 0, 100, 100));
    w.setColor(Qt::black);
    for (int i = 0; i < 2000; ++i) // plenty of geometry outside the exposed part
        w.polyline(QPolygonF({QPointF(i % 100, 0), QPointF(100 - i % 100, 100)}));
    w.polyline(QPolygonF({QPointF(0, 50), QPointF(100, 50)})); // horizontal through the middle
    auto p = roundTrip(w);
    ASSERT_TRUE(p);

    // A 32767-pixel box; the device is the small exposed area around the
    // middle of its left edge. Nothing is allocated for the box itself.
    QImage view(64, 64, QImage::Format_RGB32);
    view.fill(Qt::white);
    QElapsedTimer clock;
    clock.start();
    {
        QPainter painter(&view);
        painter.setClipRect(view.rect());
        p->paint(painter, QRectF(-0.0, -32767.0 / 2 + 32, 32767, 32767));
    }
    EXPECT_LT(clock.elapsed(), 30000); // a whole-box raster would not finish at all
    // The horizontal line lies at the middle row of the view and is one pixel thick.
    const int column = 63;
    const int dark = darkPixelsInColumn(view, column);
    EXPECT_GE(dark, 1);
    EXPECT_LE(dark, 3); // the line itself plus at most a crossing diagonal
    bool midRow = false;
    for (int y = 30; y <= 34; ++y)
        midRow |= qGray(view.pixel(column, y)) < 128;
    EXPECT_TRUE(midRow);
}

TEST(MetafilePicture, ColourChangesSurviveRepeatedPensAndBrushes) {
    // Pens and brushes repeat far more often than they change; each change
    // must still reach the painter, and an outline after a fill stays an
    // outline.
    WmfWriter w(QRectF(0, 0, 100, 100));
    const QColor colours[] = {Qt::red, Qt::red, Qt::blue, Qt::red, Qt::green, Qt::green};
    for (int i = 0; i < 6; ++i) {
        w.setColor(colours[i]);
        const double y = 95 - i * 10;
        w.polyline(QPolygonF({QPointF(5, y), QPointF(45, y)}));
    }
    w.setColor(Qt::blue);
    w.filledPolygon(
        QPolygonF({QPointF(60, 10), QPointF(90, 10), QPointF(90, 30), QPointF(60, 30)}));
    w.polyline(QPolygonF({QPointF(60, 50), QPointF(90, 50), QPointF(90, 70), QPointF(60, 70)}),
               true);
    auto p = roundTrip(w);
    ASSERT_TRUE(p);

    QImage img(200, 200, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter painter(&img);
        p->paint(painter, QRectF(0, 0, 200, 200));
    }
    auto dominant = [&](int x, int worldY) {
        // The line is a pixel wide; look a pixel either side of where it should be.
        const int row = int((100 - worldY) * 2);
        for (int y = row - 2; y <= row + 2; ++y)
            if (img.pixelColor(x, y) != QColor(Qt::white))
                return img.pixelColor(x, y);
        return QColor(Qt::white);
    };
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(dominant(50, 95 - i * 10), colours[i]) << "line " << i;
    EXPECT_EQ(img.pixelColor(150, 160), QColor(Qt::blue)) << "inside the filled polygon";
    EXPECT_EQ(img.pixelColor(150, 80), QColor(Qt::white)) << "inside the outline only";
}

TEST(MetafilePicture, RecordedClipNarrowsButNeverWidensTheExposedArea) {
    // The foreign file sets its own clip and puts a bitmap in a corner; a
    // tile repainting only part of itself must get nothing outside that part.
    auto p = MetafilePicture::load(QStringLiteral(KORVEL_TEST_DATA_DIR "/metafile/foreign.wmf"));
    ASSERT_TRUE(p);
    QImage img(450, 350, QImage::Format_RGB32);
    img.fill(Qt::white);
    const QRect exposed(25, 20, 350, 300);
    const QPen callersPen(Qt::magenta, 3);
    {
        QPainter painter(&img);
        painter.setClipRect(exposed);
        painter.setPen(callersPen);
        p->paint(painter, QRectF(5, 5, 440, 340));
        EXPECT_EQ(painter.pen(), callersPen);
        EXPECT_TRUE(painter.hasClipping());
        EXPECT_EQ(painter.clipBoundingRect().toAlignedRect(), exposed);
    }
    int outside = 0, inside = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const bool drawn = img.pixel(x, y) != QColor(Qt::white).rgb();
            (exposed.contains(x, y) ? inside : outside) += drawn;
        }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(inside, 1000);
}

TEST(MetafilePicture, ManyFontsAndLinesLoadWellWithinTheDeadline) {
    // A font per text (every text turned differently) and a hundred thousand
    // lines: the library's own bookkeeping once grew with every font ever
    // created and searched all of it for every line, so a file like this ran
    // into the play deadline and came back as no picture.
    constexpr int kTexts = 60000, kLines = 100000;
    WmfWriter w(QRectF(0, 0, 1000, 1000));
    QPolygonF line(2);
    for (int i = 0; i < kLines; ++i) {
        if (i % 25 == 0)
            w.setColor(i % 50 ? Qt::red : Qt::blue);
        line[0] = QPointF(i % 1000, (i / 1000) * 10);
        line[1] = QPointF(i % 1000 + 5, (i / 1000) * 10 + 5);
        w.polyline(line);
        if (i < kTexts)
            w.text(QPointF(i % 1000, i % 997), QStringLiteral("T%1").arg(i), 2, (i % 2) * 90.0);
    }
    QElapsedTimer clock;
    clock.start();
    auto p = roundTrip(w);
    const qint64 ms = clock.elapsed();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->primitiveCount(), kLines + kTexts);
    EXPECT_EQ(p->texts().size(), kTexts);
    EXPECT_EQ(p->texts().last(), QStringLiteral("T%1").arg(kTexts - 1));
    EXPECT_LT(ms, 30000); // well within the play guard, however busy the machine
}

namespace {

// A drawing large enough to be kept as pixels once painted into a small box: lines
// of every colour in turn (a pen per line, as an overview's layers interleave),
// filled triangles and a few texts.
QByteArray largeDrawing() {
    WmfWriter w(QRectF(0, 0, 400, 300));
    QPolygonF line(2);
    for (int i = 0; i < 30000; ++i) {
        w.setColor(QColor::fromHsv((i * 47) % 360, 255, 100 + i % 150));
        line[0] = QPointF((i * 37) % 400, (i * 91) % 300);
        line[1] = line[0] + QPointF(3 + i % 17, 2 + i % 11);
        w.polyline(line);
        if (i % 500 == 0)
            w.filledPolygon(QPolygonF({line[0], line[1], line[0] + QPointF(0, 6)}));
        if (i % 3000 == 0)
            w.text(line[0], QStringLiteral("T%1").arg(i), 8, 0);
    }
    return w.toBytes();
}

// Painted as an image control paints: clipped to its box (the drawing's lines run
// past the window's edge).
QImage painted(const MetafilePicture& p, QSize size, const QRectF& target) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    QPainter painter(&img);
    painter.setClipRect(target);
    p.paint(painter, target);
    return img;
}

// The same paint recorded as commands and replayed: a device that is not a raster
// always gets the picture's vectors.
QImage paintedAsVectors(const MetafilePicture& p, QSize size, const QRectF& target) {
    QPicture recording;
    {
        QPainter painter(&recording);
        painter.setClipRect(target);
        p.paint(painter, target);
    }
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    QPainter painter(&img);
    recording.play(&painter);
    return img;
}

} // namespace

TEST(MetafilePicture, DeferredPictureHasItsSizeAtOnceAndPlaysWhenFirstNeeded) {
    const QByteArray bytes = sampleBytes();
    const auto now = MetafilePicture::fromBytes(bytes);
    const auto later = MetafilePicture::fromBytes(bytes, MetafilePicture::Play::Deferred);
    ASSERT_TRUE(now);
    ASSERT_TRUE(later);
    EXPECT_TRUE(now->isPlayed());
    EXPECT_FALSE(later->isPlayed());
    EXPECT_EQ(later->naturalSizeTwips(), now->naturalSizeTwips());
    EXPECT_FALSE(later->isPlayed()) << "the size alone plays nothing";

    const QImage expected = painted(*now, QSize(120, 120), QRectF(10, 10, 100, 100));
    EXPECT_EQ(painted(*later, QSize(120, 120), QRectF(10, 10, 100, 100)), expected);
    EXPECT_TRUE(later->isPlayed());
    EXPECT_EQ(later->frame(), now->frame());
    EXPECT_EQ(later->drawnBounds(), now->drawnBounds());
    EXPECT_EQ(later->texts(), now->texts());
    EXPECT_EQ(later->primitiveCount(), now->primitiveCount());

    // Asked what it draws before it is ever painted, a picture plays then.
    const auto asked = MetafilePicture::fromBytes(bytes, MetafilePicture::Play::Deferred);
    EXPECT_EQ(asked->texts(), now->texts());
    EXPECT_TRUE(asked->isPlayed());
}

TEST(MetafilePicture, DeferredLoadStillRefusesBadFilesAndPlaysHeaderlessOnesAtOnce) {
    const QByteArray good = sampleBytes();
    EXPECT_FALSE(
        MetafilePicture::fromBytes(good.left(good.size() - 4), MetafilePicture::Play::Deferred))
        << "a file cut short is no picture, deferred or not";
    EXPECT_FALSE(MetafilePicture::load(QStringLiteral("/nonexistent/x.wmf"),
                                       MetafilePicture::Play::Deferred));
    // Without a placeable header only playing the file tells its size.
    const auto foreign =
        MetafilePicture::load(QStringLiteral(KORVEL_TEST_DATA_DIR "/metafile/foreign.wmf"),
                              MetafilePicture::Play::Deferred);
    ASSERT_TRUE(foreign);
    EXPECT_TRUE(foreign->isPlayed());
    EXPECT_GT(foreign->naturalSizeTwips().width(), 0);
}

// A file loaded to be played in the background is read and checked on the worker;
// loading looks at its headers only, and the verdict on the records follows.
TEST(MetafilePicture, BackgroundLoadChecksTheRecordsOnTheWorkerAndGivesAVerdict) {
    QTemporaryDir dir;
    const auto write = [&dir](const char* name, const QByteArray& bytes) {
        const QString path = dir.filePath(QLatin1String(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    };
    const auto verdict = [](const MetafilePicture& picture) {
        for (int i = 0; i < 6000 && !picture.waitChecked(10); ++i) {
        }
        EXPECT_TRUE(picture.waitChecked(0));
        return picture.isSound();
    };
    const QByteArray good = sampleBytes();
    const auto now = MetafilePicture::fromBytes(good);
    ASSERT_TRUE(now);

    const auto sound =
        MetafilePicture::load(write("good.wmf", good), MetafilePicture::Play::InBackground);
    ASSERT_TRUE(sound);
    EXPECT_EQ(sound->naturalSizeTwips(), now->naturalSizeTwips());
    EXPECT_TRUE(verdict(*sound));
    EXPECT_EQ(sound->texts(), now->texts());
    EXPECT_EQ(sound->primitiveCount(), now->primitiveCount());

    // Cut short, or a record's size past the end: headers fine, records not.
    QByteArray lying = good;
    qToLittleEndian<quint32>(0x7FFFFFFF, lying.data() + 22 + 18);
    for (const QByteArray& damaged : {good.left(good.size() - 4), lying}) {
        const auto bad =
            MetafilePicture::load(write("bad.wmf", damaged), MetafilePicture::Play::InBackground);
        ASSERT_TRUE(bad);
        EXPECT_GT(bad->naturalSizeTwips().width(), 0);
        EXPECT_FALSE(verdict(*bad));
        EXPECT_TRUE(bad->texts().isEmpty());
        EXPECT_EQ(bad->primitiveCount(), 0);
        const QImage blank = painted(*bad, QSize(40, 40), QRect(0, 0, 40, 40));
        int drawn = 0;
        for (int y = 0; y < blank.height(); ++y)
            for (int x = 0; x < blank.width(); ++x)
                drawn += blank.pixel(x, y) != qRgb(255, 255, 255);
        EXPECT_EQ(drawn, 0);
    }

    // Headers that are no metafile's, or a file missing: no picture, at once.
    QByteArray notMetafile = good;
    notMetafile[22] = 7;
    EXPECT_FALSE(MetafilePicture::load(write("header.wmf", notMetafile),
                                       MetafilePicture::Play::InBackground));
    EXPECT_FALSE(MetafilePicture::load(write("tiny.wmf", good.left(30)),
                                       MetafilePicture::Play::InBackground));
    EXPECT_FALSE(MetafilePicture::load(dir.filePath(QStringLiteral("none.wmf")),
                                       MetafilePicture::Play::InBackground));
    // Without a placeable box only playing tells the size: checked and played at once.
    const auto foreign =
        MetafilePicture::load(QStringLiteral(KORVEL_TEST_DATA_DIR "/metafile/foreign.wmf"),
                              MetafilePicture::Play::InBackground);
    ASSERT_TRUE(foreign);
    EXPECT_TRUE(foreign->waitChecked(0));
    EXPECT_TRUE(foreign->isSound());
}

// Inside the box, pixels alike; on its outermost pixels, a line crossing the edge may
// be cut a pixel apart (floating-point cuts are not exact under translation).
void expectSamePicture(const QImage& a, const QImage& b, const QRect& box, const char* what) {
    ASSERT_EQ(a.size(), b.size());
    int inside = 0, edge = 0, outside = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) == b.pixel(x, y))
                continue;
            if (box.adjusted(1, 1, -1, -1).contains(x, y))
                ++inside;
            else if (box.contains(x, y))
                ++edge;
            else
                ++outside;
        }
    EXPECT_EQ(inside, 0) << what;
    EXPECT_EQ(outside, 0) << what;
    EXPECT_LE(edge, (box.width() + box.height()) / 10) << what;
}

TEST(MetafilePicture, LargeDrawingKeptAsPixelsPaintsAsItsVectors) {
    const auto p = MetafilePicture::fromBytes(largeDrawing());
    ASSERT_TRUE(p);
    const QSize size(200, 160);
    for (const QRect& box : {QRect(7, 9, 180, 135), QRect(0, 0, 120, 90)}) {
        const QImage vectors = paintedAsVectors(*p, size, box);
        int differing = 0;
        const QImage first = painted(*p, size, box);
        expectSamePicture(first, vectors, box, "first paint");
        const QImage again = painted(*p, size, box);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                differing += again.pixel(x, y) != first.pixel(x, y);
        EXPECT_EQ(differing, 0) << "painted again from the kept pixels";
        // A drawing all of one colour would pass whatever was blitted.
        EXPECT_GT(first.pixelColor(box.center()).saturation() +
                      first.pixelColor(box.center() + QPoint(3, 1)).saturation(),
                  0);
    }
    // Back to the first box after another size: never the other size's pixels.
    const QRect box(7, 9, 180, 135);
    expectSamePicture(painted(*p, size, box), paintedAsVectors(*p, size, box), box, "box again");

    // Painting only an exposed part gives that part of the whole, and nothing beyond it.
    const QRect exposed(20, 30, 50, 40);
    QImage part(size, QImage::Format_ARGB32_Premultiplied);
    part.fill(Qt::white);
    {
        QPainter painter(&part);
        painter.setClipRect(exposed);
        p->paint(painter, box);
    }
    const QImage whole = painted(*p, size, box);
    int differing = 0, drawnOutside = 0;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            if (exposed.contains(x, y))
                differing += part.pixel(x, y) != whole.pixel(x, y);
            else
                drawnOutside += part.pixel(x, y) != qRgb(255, 255, 255);
        }
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(drawnOutside, 0);
}

TEST(MetafilePicture, BackgroundPictureTellsWhenPlayedAndThenPaintsAsAnyOther) {
    const QByteArray bytes = largeDrawing();
    const auto now = MetafilePicture::fromBytes(bytes);
    ASSERT_TRUE(now);
    std::promise<void> played;
    std::future<void> done = played.get_future();
    const auto later = MetafilePicture::fromBytes(bytes, MetafilePicture::Play::InBackground,
                                                  [&played] { played.set_value(); });
    ASSERT_TRUE(later);
    EXPECT_EQ(later->naturalSizeTwips(), now->naturalSizeTwips());

    // Painted while the worker still plays, it draws nothing rather than wait.
    const QRect box(0, 0, 160, 120);
    const QImage early = painted(*later, box.size(), box);
    if (!later->isPlayed()) {
        int drawn = 0;
        for (int y = 0; y < early.height(); ++y)
            for (int x = 0; x < early.width(); ++x)
                drawn += early.pixel(x, y) != qRgb(255, 255, 255);
        EXPECT_EQ(drawn, 0);
    }
    ASSERT_EQ(done.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_TRUE(later->isPlayed());
    EXPECT_EQ(painted(*later, box.size(), box), painted(*now, box.size(), box));
    EXPECT_EQ(later->primitiveCount(), now->primitiveCount());

    // Asked what it draws, a picture still playing answers once it is played.
    const auto asked = MetafilePicture::fromBytes(bytes, MetafilePicture::Play::InBackground);
    EXPECT_EQ(asked->texts(), now->texts());
}

// An overview zoomed in steps: each new size shows the last pixels scaled at once,
// and the window is told when the sharp ones are ready, which are then exactly the
// vectors'.
TEST(MetafilePicture, BackgroundPictureAtANewSizeShowsItsLastPixelsUntilTheSharpOnes) {
    const QByteArray bytes = largeDrawing();
    const auto now = MetafilePicture::fromBytes(bytes);
    std::mutex lock;
    std::condition_variable told;
    int tellings = 0;
    const auto later = MetafilePicture::fromBytes(bytes, MetafilePicture::Play::InBackground, [&] {
        std::lock_guard<std::mutex> hold(lock);
        ++tellings;
        told.notify_all();
    });
    ASSERT_TRUE(now && later);
    const auto waitForTelling = [&](int n) {
        std::unique_lock<std::mutex> hold(lock);
        return told.wait_for(hold, std::chrono::seconds(60), [&] { return tellings >= n; });
    };
    ASSERT_TRUE(waitForTelling(1)) << "played";

    const QSize size(260, 200);
    const QRect first(0, 0, 160, 120);
    EXPECT_EQ(painted(*later, size, first), painted(*now, size, first))
        << "nothing kept yet: painted at once";
    EXPECT_FALSE(later->isSharpening());

    int steps = 1;
    for (const QRect& box :
         {QRect(0, 0, 224, 168), QRect(10, 5, 157, 118), QRect(-40, -30, 300, 225)}) {
        const QImage quick = painted(*later, size, box);
        int drawnInside = 0, drawnOutside = 0;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                const bool drawn = quick.pixel(x, y) != qRgb(255, 255, 255);
                (box.contains(x, y) ? drawnInside : drawnOutside) += drawn;
            }
        EXPECT_GT(drawnInside, 100) << "the last pixels, scaled, stand in meanwhile";
        EXPECT_EQ(drawnOutside, 0) << "and never spill beyond the box";

        ASSERT_TRUE(waitForTelling(++steps)) << "told when the sharp pixels are ready";
        EXPECT_FALSE(later->isSharpening());
        // What a picture painted at once at that size shows (which is its vectors, as
        // the kept-pixels test shows).
        EXPECT_EQ(painted(*later, size, box), painted(*now, size, box));
    }
}

TEST(MetafilePicture, PixelsPreparedOnTheWorkerAreWhatPaintingWouldGive) {
    const QByteArray bytes = largeDrawing();
    const auto now = MetafilePicture::fromBytes(bytes);
    ASSERT_TRUE(now);
    std::atomic<int> told{0};
    const auto later =
        MetafilePicture::fromBytes(bytes, MetafilePicture::Play::InBackground, [&told] { ++told; });
    ASSERT_TRUE(later);
    const QRect box(0, 0, 160, 120);
    QImage probe(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter::RenderHints hints;
    {
        QPainter painter(&probe);
        hints = painter.renderHints();
    }
    later->prepare(box.size(), hints);
    // Told once played and once more when the pixels are there.
    QElapsedTimer clock;
    clock.start();
    while (told < 2 && clock.elapsed() < 60000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(told, 2);
    EXPECT_EQ(painted(*later, box.size(), box), painted(*now, box.size(), box));
    // Painted at another size, it shows those pixels scaled until the sharp ones are
    // drawn, and then draws as any other.
    const QRect other(0, 0, 200, 90);
    painted(*later, other.size(), other);
    clock.restart();
    while (told < 3 && clock.elapsed() < 60000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(told, 3);
    EXPECT_EQ(painted(*later, other.size(), other), painted(*now, other.size(), other));

    // A picture played at once has nothing to prepare and is told nothing.
    int nowTold = 0;
    const auto direct =
        MetafilePicture::fromBytes(bytes, MetafilePicture::Play::Now, [&nowTold] { ++nowTold; });
    direct->prepare(box.size(), hints);
    EXPECT_EQ(nowTold, 1);
    EXPECT_EQ(painted(*direct, box.size(), box), painted(*now, box.size(), box));
}

TEST(MetafilePicture, DenseSmallPolylinesKeepTheirShapeAndEnds) {
    // A circle of 360 points a few pixels across (closer than a pixel to each other
    // on the device), and a crawl of tiny steps that ends in one long jump.
    WmfWriter w(QRectF(0, 0, 100, 100));
    w.setColor(Qt::black);
    QPolygonF circle;
    for (int i = 0; i <= 360; ++i)
        circle << QPointF(50 + 10 * std::cos(i * M_PI / 180), 50 + 10 * std::sin(i * M_PI / 180));
    w.polyline(circle);
    QPolygonF crawl;
    for (int i = 0; i < 50; ++i)
        crawl << QPointF(5 + i * 0.01, 95);
    crawl << QPointF(95, 95);
    w.polyline(crawl);
    const auto p = MetafilePicture::fromBytes(w.toBytes());
    ASSERT_TRUE(p);

    const QImage img = painted(*p, QSize(40, 40), QRectF(0, 0, 40, 40)); // 0.4 px a unit
    int ring = 0, stray = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            if (qGray(img.pixel(x, y)) >= 128)
                continue;
            const double r = std::hypot(x + 0.5 - 20, y + 0.5 - 20);
            if (y < 3)
                continue; // the crawl's line along the top
            (std::abs(r - 4) <= 1.5 ? ring : stray) += 1;
        }
    EXPECT_EQ(stray, 0);
    EXPECT_GE(ring, 16) << "a ring about 25 pixels round, not a dot";
    // The line of tiny steps still reaches its far end.
    EXPECT_LT(qGray(img.pixel(37, 2)), 128);
}

namespace {

// Pixels of `part` inside `clip` against `whole`, and nothing drawn outside `clip`.
void expectClippedIsWholeCut(const QImage& part, const QImage& whole, const QRect& clip,
                             const char* what) {
    ASSERT_EQ(part.size(), whole.size());
    int differing = 0, drawnOutside = 0, drawnInside = 0;
    for (int y = 0; y < part.height(); ++y)
        for (int x = 0; x < part.width(); ++x) {
            if (clip.contains(x, y)) {
                differing += part.pixel(x, y) != whole.pixel(x, y);
                drawnInside += whole.pixel(x, y) != qRgb(255, 255, 255);
            } else {
                drawnOutside += part.pixel(x, y) != qRgb(255, 255, 255);
            }
        }
    EXPECT_EQ(differing, 0) << what;
    EXPECT_EQ(drawnOutside, 0) << what;
    // A clip over nothing drawn would pass whatever was skipped.
    EXPECT_GT(drawnInside, 50) << what;
}

template <typename Paint> QImage paintedInto(QSize size, const QRect* clip, Paint paint) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    QPainter painter(&img);
    if (clip)
        painter.setClipRect(*clip);
    paint(painter);
    return img;
}

} // namespace

// Wide pens reach beyond their geometry: a miter spike, a square cap, a cosmetic pen
// many pixels wide. A line whose points all lie outside the clip still puts pixels
// inside it, and must not be skipped.
TEST(MetafilePicture, ClippedPartOfAListIsTheWholeCutEvenForWidePens) {
    DisplayList list;
    QPen miter(QColor(200, 0, 0), 6);
    miter.setJoinStyle(Qt::MiterJoin);
    miter.setMiterLimit(8);
    list.setPen(miter);
    list.setBrush(Qt::NoBrush);
    // A sharp angle whose tip is 3 units left of x=40, its miter spike reaching past it.
    QPointF* v = list.polyline(3);
    v[0] = QPointF(20, 10);
    v[1] = QPointF(37, 30);
    v[2] = QPointF(20, 50);
    QPen square(QColor(0, 0, 200), 10);
    square.setCapStyle(Qt::SquareCap);
    list.setPen(square);
    list.line(QPointF(10, 70), QPointF(36, 70)); // its cap reaches over x=40
    QPen cosmetic(QColor(0, 150, 0), 9);
    cosmetic.setCosmetic(true);
    list.setPen(cosmetic);
    list.line(QPointF(10, 90), QPointF(38.5, 90)); // nine pixels wide whatever the scale
    list.setPen(QPen(Qt::black, 0));
    for (int i = 0; i < 40; ++i)
        list.line(QPointF(5 + i * 2.3, 2), QPointF(100 - i * 1.7, 118)); // across the edge
    list.setBrush(QColor(255, 200, 0));
    list.rect(QRectF(60, 20, 30, 30));
    list.setPen(QPen(QColor(120, 0, 120), 4));
    list.ellipse(QRectF(42, 95, 20, 15));
    list.fillRect(QRectF(70, 80, 25, 10), QColor(0, 120, 120));
    list.finish();

    const QSize size(440, 480);
    auto paint = [&](QPainter& painter) {
        painter.scale(4, 4);
        list.replay(painter);
    };
    const QImage whole = paintedInto(size, nullptr, paint);
    // Edges placed where the wide strokes just cross them, in device pixels.
    for (const QRect& clip : {QRect(160, 0, 200, 480), QRect(161, 20, 150, 380),
                              QRect(0, 0, 150, 260), QRect(176, 330, 100, 100)}) {
        const QImage part = paintedInto(size, &clip, paint);
        expectClippedIsWholeCut(part, whole, clip, "clipped list");
    }
}

// A zoomed picture's commands replayed through a small exposed part: the lines and
// polygons of that part as replaying for the whole window gives them, wherever the
// part lies.
TEST(MetafilePicture, ExposedPartOfAZoomedLargeDrawingIsTheWholeCut) {
    const auto p = MetafilePicture::fromBytes(largeDrawing());
    ASSERT_TRUE(p);
    const QSize size(900, 700);
    for (const QRectF& box : {QRectF(-300, -200, 1600, 1200), QRectF(-1800, -900, 3200, 2400)}) {
        // The whole window painted from the vectors, with no kept pixels at all.
        QPicture recording;
        {
            QPainter painter(&recording);
            painter.setClipRect(QRect(QPoint(0, 0), size));
            p->paint(painter, box);
        }
        const QImage reference =
            paintedInto(size, nullptr, [&](QPainter& painter) { recording.play(&painter); });
        for (const QRect& clip : {QRect(300, 250, 200, 150), QRect(0, 0, 120, 700),
                                  QRect(310, 255, 150, 100), QRect(640, 500, 260, 200)}) {
            QPicture clipped;
            {
                QPainter painter(&clipped);
                painter.setClipRect(clip);
                p->paint(painter, box);
            }
            const QImage partVectors =
                paintedInto(size, nullptr, [&](QPainter& painter) { clipped.play(&painter); });
            expectClippedIsWholeCut(partVectors, reference, clip, "exposed part, vectors");
        }
    }
}

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

TEST(MetafilePicture, AWholeDrawingLargerThanSixtyFourMebibytesIsAPictureLikeAnyOther) {
    // What the host writes for a drawing of about 600,000 entities: over 64 MiB and
    // over four million records, both once refused as if the file were damaged.
    constexpr int kLines = 4'400'000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("all.wmf"));
    {
        WmfWriter w(QRectF(0, 0, 1000, 700));
        QPolygonF line(2);
        for (int i = 0; i < kLines; ++i) {
            if (i % 1000 == 0)
                w.setColor(i % 2000 ? Qt::red : Qt::blue);
            line[0] = QPointF((i * 37) % 1000, (i * 91) % 690);
            line[1] = line[0] + QPointF(3 + i % 7, 2 + i % 5);
            w.polyline(line);
        }
        ASSERT_TRUE(w.save(path));
    }
    ASSERT_GT(QFileInfo(path).size(), qint64(64) << 20);

    const auto p = MetafilePicture::load(path);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->primitiveCount(), kLines);
    EXPECT_NEAR(p->drawnBounds().left(), 0.0, 0.01);
    EXPECT_NEAR(p->drawnBounds().right(), 1.0, 0.01);
    QImage img(200, 140, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    {
        QPainter painter(&img);
        p->paint(painter, QRectF(img.rect()));
    }
    int dark = 0;
    for (int x = 0; x < img.width(); x += 10)
        dark += darkPixelsInColumn(img, x);
    EXPECT_GT(dark, 500);

    // Its size is no reason to take it, either: the same file with its last record
    // claiming more than is left, or cut short, is still no picture.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 size = file.size();
    const qint64 lastRecord = size - 6 - 16; // before the end record: a two-point line
    ASSERT_TRUE(file.seek(lastRecord));
    const QByteArray words = file.read(4);
    ASSERT_EQ(qFromLittleEndian<uint32_t>(words.constData()), 8u);
    char huge[4];
    qToLittleEndian<uint32_t>(0x10000000u, huge);
    ASSERT_TRUE(file.seek(lastRecord));
    file.write(huge, 4);
    file.flush();
    EXPECT_FALSE(MetafilePicture::load(path));
    ASSERT_TRUE(file.seek(lastRecord));
    file.write(words);
    ASSERT_TRUE(file.resize(size - 8));
    file.close();
    EXPECT_FALSE(MetafilePicture::load(path));
}
