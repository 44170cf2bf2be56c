// The shipped macro project TARNIX.dvb run by the Lua engine over a model drawing:
// which files each macro writes, that every picture of a run shares one window, that
// libwmf and our own reader accept them and show what lies on each layer.

#include "WmfTestWalker.h"
#include "cadhost/macro/DrawingMacroHost.h"
#include "cadhost/macro/LuaMacroEngine.h"
#include "cadhost/model/Drawing.h"
#include "cadhost/render/DrawingMetafileExporter.h"
#include "metafile/MetafilePicture.h"
#include "metafile/WmfRecords.h"
#include "platform/VbError.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace cadhost;
using namespace metafile;

namespace {

const QString kProject = QStringLiteral(KORVEL_SOURCE_DIR "/src/acad/TARNIX.dvb");

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

Primitive box(const QString& layer, int color, QRectF r) {
    return Primitive::polyline(layer, color,
                               {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()}, true);
}

void add(Drawing& d, const QString& type, const QString& layer, QVector<Primitive> primitives) {
    Entity e;
    e.type = type;
    e.layer = layer;
    e.primitives = std::move(primitives);
    d.addEntity(std::move(e));
}

Layer layer(const QString& name, int color, bool on = true, bool frozen = false) {
    Layer l;
    l.name = name;
    l.color = color;
    l.layerOn = on;
    l.freeze = frozen;
    return l;
}

// Placeable header: key, handle, box (4 x int16), units per inch.
struct Header {
    QByteArray bytes;
    bool operator==(const Header&) const = default;
};
Header headerOf(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return {f.read(16)};
}

class TarnixMacrosTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Drawing drawing;
    DrawingMacroHost host;
    LuaMacroEngine engine{[this] { return &host; }};

    // Where each layer's entities lie, in world coordinates.
    QRectF wall{0, 0, 100, 50};
    QRectF door{200, 100, 100, 80};
    QRectF frozen{-50, -20, 40, 10};

    void SetUp() override {
        ASSERT_TRUE(QFile::copy(kProject, dir.filePath("TARNIX.dvb")));
        drawing.putLayer(layer("WALL", 1));
        drawing.putLayer(layer("DOOR", 3, /*on*/ false));
        drawing.putLayer(layer("FROZEN", 5, true, /*frozen*/ true));
        drawing.putLayer(layer("文字", 7));
        drawing.putLayer(layer("EMPTY", 2, false, true));
        add(drawing, "LWPOLYLINE", "WALL", {box("WALL", aci::ByLayer, wall)});
        add(drawing, "LWPOLYLINE", "DOOR", {box("DOOR", aci::ByLayer, door)});
        add(drawing, "SOLID", "FROZEN",
            {Primitive::filledPolygon(
                "FROZEN", 4,
                {frozen.topLeft(), frozen.topRight(), frozen.bottomRight(), frozen.bottomLeft()})});
        // A block whose parts lie on two layers: each part belongs to its own layer.
        add(drawing, "INSERT", "WALL",
            {Primitive::polyline("WALL", aci::ByLayer, {{10, 10}, {20, 20}}),
             Primitive::textAt("文字", aci::ByLayer, {30, 30}, 5, 0,
                               QStringLiteral("日本語の文字"))});
        drawing.setActiveLayer("WALL");
        host.setDrawing(&drawing);
        engine.loadProject(dir.filePath("TARNIX.dvb"));
    }

    QString layerPath(const QString& name) const { return dir.filePath("LAYER/" + name + ".wmf"); }

    QStringList writtenFiles() const {
        QStringList files;
        QDirIterator it(dir.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(dir.path()).relativeFilePath(it.next());
        files.sort();
        return files;
    }

    // Where a world rectangle lands in the picture, as fractions of its frame (y down).
    QRectF fractionOf(const QRectF& world) const {
        const QRectF w = DrawingMetafileExporter(drawing).window();
        return QRectF((world.left() - w.left()) / w.width(),
                      (w.bottom() - world.bottom()) / w.height(), world.width() / w.width(),
                      world.height() / w.height());
    }
};

// wmf2svg insists on loading a font and this machine has no Type 1 fonts: point the
// standard names at any TrueType font. Empty when there is none.
QString ghostscriptFontMap(const QString& folder) {
    QString font;
    for (const char* fontDir :
         {"/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/truetype/ipafont-gothic",
          "/usr/share/fonts/truetype"}) {
        const QDir d(QString::fromLatin1(fontDir));
        const QStringList found = d.entryList({"*.ttf"}, QDir::Files);
        if (!found.isEmpty()) {
            font = d.filePath(found.first());
            break;
        }
    }
    if (font.isEmpty())
        return {};
    QFile map(folder + "/Fontmap");
    if (!map.open(QIODevice::WriteOnly))
        return {};
    for (const char* name :
         {"Times-Roman", "Times-Italic", "Times-Bold", "Times-BoldItalic", "Helvetica",
          "Helvetica-Oblique", "Helvetica-Bold", "Helvetica-BoldOblique", "Courier",
          "Courier-Oblique", "Courier-Bold", "Courier-BoldOblique", "Symbol"})
        map.write(QStringLiteral("/%1 (%2) ;\n").arg(QLatin1String(name), font).toUtf8());
    return map.fileName();
}

void expectNear(const QRectF& actual, const QRectF& expected, const char* what) {
    const double tol = 0.01;
    EXPECT_NEAR(actual.left(), expected.left(), tol) << what;
    EXPECT_NEAR(actual.top(), expected.top(), tol) << what;
    EXPECT_NEAR(actual.right(), expected.right(), tol) << what;
    EXPECT_NEAR(actual.bottom(), expected.bottom(), tol) << what;
}

} // namespace

TEST_F(TarnixMacrosTest, EachMacroWritesItsFiles) {
    engine.runMacro("TARNIX.basWMF.pu_subMakeWMF_All");
    EXPECT_EQ(writtenFiles(), (QStringList{"LAYER/SYS/all.wmf", "TARNIX.dvb"}));
    engine.runMacro("TARNIX.basWMF.pu_subMakeWMF_Part");
    engine.runMacro("TARNIX.basWMF.pu_subMakeWMF_ViewLayer");
    // Layers that are on, frozen or not; "0" is on and gets its (empty) picture.
    EXPECT_EQ(writtenFiles(), (QStringList{"LAYER/0.wmf", "LAYER/FROZEN.wmf", "LAYER/SYS/all.wmf",
                                           "LAYER/SYS/part.wmf", "LAYER/WALL.wmf", "LAYER/文字.wmf",
                                           "TARNIX.dvb"}));
    engine.runMacro("TARNIX.basWMF.pu_subMakeWMF_AllLayer");
    EXPECT_EQ(writtenFiles(),
              (QStringList{"LAYER/0.wmf", "LAYER/DOOR.wmf", "LAYER/EMPTY.wmf", "LAYER/FROZEN.wmf",
                           "LAYER/SYS/all.wmf", "LAYER/SYS/part.wmf", "LAYER/WALL.wmf",
                           "LAYER/文字.wmf", "TARNIX.dvb"}));
}

TEST_F(TarnixMacrosTest, EveryPictureSharesOneWindowAndSize) {
    for (const char* macro : {"pu_subMakeWMF_All", "pu_subMakeWMF_Part", "pu_subMakeWMF_AllLayer"})
        engine.runMacro(QStringLiteral("TARNIX.basWMF.") + QLatin1String(macro));
    const Header reference = headerOf(dir.filePath("LAYER/SYS/all.wmf"));
    ASSERT_EQ(reference.bytes.size(), 16);
    EXPECT_EQ(qFromLittleEndian<quint32>(reference.bytes.constData()), 0x9AC6CDD7u);
    const auto* box = reinterpret_cast<const uchar*>(reference.bytes.constData()) + 6;
    const int width = qFromLittleEndian<qint16>(box + 4) - qFromLittleEndian<qint16>(box);
    const int height = qFromLittleEndian<qint16>(box + 6) - qFromLittleEndian<qint16>(box + 2);
    const int unitsPerInch = qFromLittleEndian<quint16>(box + 8);
    EXPECT_NEAR(double(std::max(width, height)) / unitsPerInch, 10.0, 0.05);
    // The drawing's extents are wider than high; the picture keeps that ratio.
    const QRectF window = DrawingMetafileExporter(drawing).window();
    EXPECT_NEAR(double(height) / width, window.height() / window.width(), 0.001);

    for (const QString& file : writtenFiles()) {
        if (file.endsWith(".wmf")) {
            EXPECT_EQ(headerOf(dir.filePath(file)), reference) << file.toStdString();
        }
    }
}

TEST_F(TarnixMacrosTest, ReadersSeeWhatLiesOnEachLayer) {
    engine.runMacro("TARNIX.basWMF.pu_subMakeWMF_All");
    engine.runMacro("TARNIX.basWMF.pu_subMakeWMF_AllLayer");

    const QString wmf2svg = QStandardPaths::findExecutable("wmf2svg");
    const QString fontMap = ghostscriptFontMap(dir.path());
    for (const QString& file : writtenFiles()) {
        if (!file.endsWith(".wmf") || wmf2svg.isEmpty() || fontMap.isEmpty())
            continue;
        QProcess p;
        p.start(wmf2svg,
                {"--wmf-gs-fontmap=" + fontMap, "-o", dir.filePath("out.svg"), dir.filePath(file)});
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << file.toStdString();
        EXPECT_EQ(p.exitCode(), 0) << file.toStdString() << p.readAllStandardError().toStdString();
        QFile svg(dir.filePath("out.svg"));
        ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
        const QByteArray content = svg.readAll();
        EXPECT_TRUE(content.contains("<svg")) << file.toStdString();
        if (file.contains("WALL")) {
            EXPECT_TRUE(content.contains("<polygon") || content.contains("<polyline"));
        }
    }

    const auto wallPicture = metafile::MetafilePicture::load(layerPath("WALL"));
    ASSERT_TRUE(wallPicture);
    expectNear(wallPicture->drawnBounds(), fractionOf(wall), "WALL");
    // An off layer and a frozen layer still show their entities in their own pictures.
    const auto doorPicture = metafile::MetafilePicture::load(layerPath("DOOR"));
    ASSERT_TRUE(doorPicture);
    expectNear(doorPicture->drawnBounds(), fractionOf(door), "DOOR");
    const auto frozenPicture = metafile::MetafilePicture::load(layerPath("FROZEN"));
    ASSERT_TRUE(frozenPicture);
    expectNear(frozenPicture->drawnBounds(), fractionOf(frozen), "FROZEN");
    // The part of a block that lies on another layer goes with that layer.
    const auto textPicture = metafile::MetafilePicture::load(layerPath("文字"));
    ASSERT_TRUE(textPicture);
    EXPECT_EQ(textPicture->texts(), QStringList{"日本語の文字"});
    EXPECT_TRUE(wallPicture->texts().isEmpty());
    const auto emptyPicture = metafile::MetafilePicture::load(layerPath("EMPTY"));
    ASSERT_TRUE(emptyPicture); // drawn in white only: see the colour test

    // The overview leaves out the off DOOR and the frozen FROZEN: only WALL and the text.
    const auto all = metafile::MetafilePicture::load(dir.filePath("LAYER/SYS/all.wmf"));
    ASSERT_TRUE(all);
    EXPECT_LT(all->drawnBounds().right(), fractionOf(door).left());
    EXPECT_LT(all->drawnBounds().bottom(), fractionOf(frozen).top());
    EXPECT_GT(all->drawnBounds().left(), fractionOf(frozen).right());
    EXPECT_NEAR(all->drawnBounds().left(), fractionOf(wall).left(), 0.01);
    EXPECT_NEAR(all->drawnBounds().bottom(), fractionOf(wall).bottom(), 0.01);
}

TEST_F(TarnixMacrosTest, ColoursComeFromTheLayerAndIndexSevenIsBlack) {
    engine.runMacro("TARNIX.basWMF.pu_subMakeWMF_AllLayer");
    const auto countPixels = [](const QString& path) {
        const auto picture = metafile::MetafilePicture::load(path);
        QImage image(400, 400, QImage::Format_RGB32);
        image.fill(Qt::white);
        if (picture) {
            QPainter painter(&image);
            picture->paint(painter, image.rect());
        }
        QHash<QRgb, int> counts;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                ++counts[image.pixel(x, y)];
        }
        return counts;
    };
    const auto wall = countPixels(layerPath("WALL")); // ByLayer, layer colour 1
    EXPECT_GT(wall.value(qRgb(255, 0, 0)), 50);
    EXPECT_EQ(wall.value(qRgb(0, 0, 0)), 0);
    const auto frozenLayer = countPixels(layerPath("FROZEN")); // own colour 4 (cyan), filled
    EXPECT_GT(frozenLayer.value(qRgb(0, 255, 255)), 50);
    EXPECT_EQ(frozenLayer.value(qRgb(0, 0, 255)), 0); // not the layer's colour 5
    const auto text = countPixels(layerPath("文字")); // colour 7 on white: black
    int dark = 0;
    int coloured = 0;
    for (auto it = text.cbegin(); it != text.cend(); ++it) {
        const QColor c(it.key());
        if (c.lightness() < 100)
            dark += it.value();
        if (c.saturation() > 40)
            coloured += it.value();
    }
    EXPECT_GT(dark, 5);
    EXPECT_EQ(coloured, 0);

    // A layer without entities still gets a picture, and it shows nothing on white paper.
    const auto empty = countPixels(layerPath("EMPTY"));
    EXPECT_EQ(empty.value(qRgb(255, 255, 255)), 400 * 400);
}

TEST_F(TarnixMacrosTest, PicturesFollowChangesOfTheDrawingBetweenRuns) {
    engine.runMacro("TARNIX.basWMF.pu_subMakeWMF_AllLayer");
    const QRectF before = metafile::MetafilePicture::load(layerPath("WALL"))->drawnBounds();
    // New geometry far out: the window grows and the WALL picture shrinks within it.
    add(drawing, "LINE", "DOOR", {Primitive::polyline("DOOR", 1, {{1000, 1000}, {1100, 1000}})});
    engine.runMacro("TARNIX.basWMF.pu_subMakeWMF_AllLayer");
    const QRectF after = metafile::MetafilePicture::load(layerPath("WALL"))->drawnBounds();
    expectNear(after, fractionOf(wall), "WALL after an entity was added");
    EXPECT_LT(after.width(), before.width() / 2);

    // A renamed layer is exported under its new name.
    drawing.setLayerProperty("WALL", "Name", QStringLiteral("WALL2"));
    engine.runMacro("TARNIX.basWMF.pu_subMakeWMF_AllLayer");
    const auto renamed = metafile::MetafilePicture::load(layerPath("WALL2"));
    ASSERT_TRUE(renamed);
    expectNear(renamed->drawnBounds(), fractionOf(wall), "WALL2");
}

TEST_F(TarnixMacrosTest, FailedWriteIsAnErrorAndNoHalfFile) {
    QDir(dir.path()).mkpath("LAYER/SYS/all.wmf"); // a folder where the picture should go
    try {
        engine.runMacro("TARNIX.basWMF.pu_subMakeWMF_All");
        FAIL() << "write into a folder reported success";
    } catch (const platform::AutomationError& e) {
        EXPECT_EQ(e.number(), LuaMacroEngine::MacroFailed);
    }
}

// The model refuses such names, but a drawing from elsewhere may hold them: the macros
// must skip them quietly, and the host must never let one lead a file out of LAYER.
class OddNamesHost : public MacroHost {
public:
    QList<MacroLayer> all{{"../x", true},
                          {"a/b", true},
                          {"", true},
                          {".", true},
                          {"..", true},
                          {"../../LAYER/SYS/all", true},
                          {"ok", true},
                          {"..x", true},
                          {QString("a") + QChar(0) + "b", true},
                          // 84 kanji are 252 bytes: with ".wmf" over the file-name limit
                          {QString(84, QChar(0x753B)), true},
                          // 83 kanji and ".wmf" are exactly 253 bytes: a usable name
                          {QString(83, QChar(0x5C64)), true}};
    QStringList exported;
    QList<MacroLayer> layers() const override { return all; }
    std::optional<MacroLayer> layer(const QString&) const override { return std::nullopt; }
    QString activeLayer() const override { return "ok"; }
    void regen() override {}
    void exportVisible(const QString&) override {}
    void exportLayer(const QString& name, const QString& path) override {
        exported << name;
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
};

TEST(TarnixMacros, NamesThatCannotBeFileNamesGetNoFileAndNoError) {
    QTemporaryDir root;
    const QString f = root.filePath("F");
    ASSERT_TRUE(QDir().mkpath(f));
    ASSERT_TRUE(QFile::copy(kProject, f + "/TARNIX.dvb"));
    OddNamesHost host;
    LuaMacroEngine engine([&] { return &host; });
    engine.loadProject(f + "/TARNIX.dvb");
    EXPECT_NO_THROW(engine.runMacro("TARNIX.basWMF.pu_subMakeWMF_AllLayer"));
    EXPECT_NO_THROW(engine.runMacro("TARNIX.basWMF.pu_subMakeWMF_ViewLayer"));
    const QString longest(83, QChar(0x5C64));
    EXPECT_EQ(host.exported, (QStringList{"ok", "..x", longest, "ok", "..x", longest}));

    QStringList files;
    QDirIterator it(root.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root.path()).relativeFilePath(it.next());
    files.sort();
    QStringList expected{"F/LAYER/..x.wmf", "F/LAYER/ok.wmf", "F/LAYER/" + longest + ".wmf",
                         "F/TARNIX.dvb"};
    expected.sort();
    EXPECT_EQ(files, expected);
}

TEST(DrawingMetafileExporter, WindowHasAMarginAndSurvivesDegenerateDrawings) {
    const QRectF w = DrawingMetafileExporter::windowFor(QRectF(0, 0, 100, 50));
    EXPECT_DOUBLE_EQ(w.left(), -2.0);
    EXPECT_DOUBLE_EQ(w.width(), 104.0);
    EXPECT_DOUBLE_EQ(w.height(), 54.0);
    EXPECT_FALSE(DrawingMetafileExporter::windowFor(QRectF()).isEmpty());
    EXPECT_FALSE(DrawingMetafileExporter::windowFor(QRectF(5, 5, 0, 0)).isEmpty());
    EXPECT_FALSE(DrawingMetafileExporter::windowFor(QRectF(0, 0, 10, 0)).isEmpty());

    Drawing empty;
    QTemporaryDir dir;
    DrawingMetafileExporter exporter(empty);
    exporter.writeVisible(dir.filePath("e.wmf"));
    EXPECT_TRUE(metafile::MetafilePicture::load(dir.filePath("e.wmf")));
    EXPECT_THROW(exporter.writeLayer("nosuch", dir.filePath("n.wmf")), platform::AutomationError);
    EXPECT_FALSE(QFile::exists(dir.filePath("n.wmf")));
}

// Whoever can write the work folder may put a link where a picture is about to go: the
// file it leads to is left alone and the picture is written all the same.
TEST(DrawingMetafileExporter, APictureIsNeverWrittenThroughALinkPutInItsPlace) {
    Drawing drawing;
    drawing.putLayer(layer("A", 1));
    add(drawing, "LINE", "A", {box("A", aci::ByLayer, QRectF(0, 0, 10, 10))});
    QTemporaryDir dir, home;
    const QString victim = home.filePath(".bashrc");
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("mine");
    }
    DrawingMetafileExporter exporter(drawing);
    for (const QString name : {"A.wmf", "all.wmf"}) {
        ASSERT_TRUE(QFile::link(victim, dir.filePath(name)));
        if (name == QLatin1String("A.wmf"))
            exporter.writeLayer("A", dir.filePath(name));
        else
            exporter.writeVisible(dir.filePath(name));
        EXPECT_EQ(readAll(victim), QByteArray("mine"));
        EXPECT_FALSE(QFileInfo(dir.filePath(name)).isSymLink());
        EXPECT_TRUE(metafile::MetafilePicture::load(dir.filePath(name)));
    }
}

// The overview of a drawing of many small circles on layers that alternate from entity to
// entity is simplified below a pixel of its largest box and selects kept pens; the
// picture of each layer keeps every point of what lies on it.
TEST(DrawingMetafileExporter, OverviewsAreSimplifiedAndLayerPicturesStayExact) {
    Drawing drawing;
    const QStringList names{"A", "B", "C"};
    for (int i = 0; i < names.size(); ++i)
        drawing.putLayer(layer(names[i], i + 1));
    for (int e = 0; e < 300; ++e) {
        const QString on = names[e % 3];
        QVector<QPointF> circle;
        for (int k = 0; k <= 72; ++k)
            circle << QPointF((e * 37) % 1000 + 4 * std::cos(k * M_PI / 36),
                              (e * 91) % 700 + 4 * std::sin(k * M_PI / 36));
        add(drawing, "CIRCLE", on, {Primitive::polyline(on, aci::ByLayer, circle)});
    }
    QTemporaryDir dir;
    DrawingMetafileExporter exporter(drawing);
    exporter.writeVisible(dir.filePath("all.wmf"));
    const WalkedFile all = walk(readAll(dir.filePath("all.wmf")));
    ASSERT_TRUE(all.header.ok);
    std::size_t overviewPoints = 0;
    for (const WalkedRecord* r : all.all(META_POLYLINE))
        overviewPoints += std::size_t(r->s(0));
    EXPECT_LT(overviewPoints, 300u * 73u / 2);
    EXPECT_LE(all.all(META_CREATEPENINDIRECT).size(), 1u + 3u);
    EXPECT_TRUE(metafile::MetafilePicture::load(dir.filePath("all.wmf")));

    for (const QString& name : names) {
        exporter.writeLayer(name, dir.filePath(name + ".wmf"));
        const WalkedFile one = walk(readAll(dir.filePath(name + ".wmf")));
        ASSERT_TRUE(one.header.ok);
        const auto lines = one.all(META_POLYLINE);
        ASSERT_EQ(lines.size(), 1u + 100u); // the extent diagonal, then every circle
        for (std::size_t i = 1; i < lines.size(); ++i)
            EXPECT_EQ(lines[i]->s(0), 73) << name.toStdString() << " circle " << i;
    }
}

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
