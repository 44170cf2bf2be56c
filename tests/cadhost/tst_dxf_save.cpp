// Opening and saving a drawing changes only what the user changed: its layers. Judged by
// an independent reader (ezdxf, through dxf_summary.py) on the bundled sample and on
// drawings ezdxf writes with paper space, named and anonymous blocks, circles and layer
// names a user could not type in.
#include "ErrorNumber.h"
#include "cadhost/dxf/DxfStore.h"
#include "cadhost/model/CadApplication.h"
#include "cadhost/model/CadErrors.h"
#include "cadhost/model/Drawing.h"
#include "platform/VbError.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

void PrintTo(const QString& s, std::ostream* os) {
    *os << s.toStdString();
}

using cadhost::Drawing;

namespace {

using korvel::test::errorOf;

const QString kScripts = QStringLiteral(KORVEL_SOURCE_DIR "/tests/cadhost/");
const QString kSample = QStringLiteral(KORVEL_SOURCE_DIR "/samples/plan.dxf");
// Each character a user may not put in a layer name, one layer each.
const QStringList kSpecialLayers = {
    QStringLiteral("a<b"),  QStringLiteral("c>d"), QStringLiteral("e/f"), QStringLiteral("g\\h"),
    QStringLiteral("i\"j"), QStringLiteral("k:l"), QStringLiteral("m;n"), QStringLiteral("o?p"),
    QStringLiteral("q*r"),  QStringLiteral("s|t"), QStringLiteral("u,v"), QStringLiteral("w=x"),
    QStringLiteral("y`z")};

QString python() {
    return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                             : QStringLiteral("python3");
}

QByteArray runScript(const QString& script, const QStringList& args) {
    QProcess p;
    p.start(python(), QStringList{kScripts + script} + args);
    EXPECT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return p.readAllStandardOutput();
}

QJsonObject summary(const QString& path) {
    return QJsonDocument::fromJson(runScript(QStringLiteral("dxf_summary.py"), {path})).object();
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

// Everything from the first block definition on: the host never changes any of it.
QByteArray fromBlocksOn(const QByteArray& file) {
    const qsizetype at = file.indexOf("\nBLOCKS");
    EXPECT_GE(at, 0);
    return file.mid(at);
}

// What the reader reports of a layer as the host now holds it.
QJsonObject layerJson(const cadhost::Layer& l, bool keepsLineweights, const QJsonObject& was) {
    QJsonObject o;
    o[QStringLiteral("color")] = l.color;
    o[QStringLiteral("on")] = l.layerOn;
    o[QStringLiteral("frozen")] = l.freeze;
    o[QStringLiteral("locked")] = l.lock;
    o[QStringLiteral("linetype")] = l.linetype;
    o[QStringLiteral("lineweight")] =
        keepsLineweights ? l.lineweight : was.value(QStringLiteral("lineweight")).toInt(-3);
    o[QStringLiteral("plot")] =
        keepsLineweights ? l.plottable : was.value(QStringLiteral("plot")).toBool(true);
    return o;
}

class DxfSaveTest : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override {
        app.setDrawingStore(std::make_unique<cadhost::dxf::DxfStore>());
        if (GetParam() == QLatin1String("sample")) {
            source = kSample;
        } else {
            source = dir.filePath(GetParam() + QStringLiteral(".dxf"));
            runScript(QStringLiteral("make_save_drawing.py"), {GetParam(), source});
        }
        saved = dir.filePath(QStringLiteral("saved.dxf"));
        before = summary(source);
    }
    bool generated() const { return GetParam() != QLatin1String("sample"); }
    bool keepsLineweights() const {
        return GetParam() != QLatin1String("R12"); // R12 has no lineweights nor plot flags
    }

    QTemporaryDir dir;
    cadhost::CadApplication app;
    QString source;
    QString saved;
    QJsonObject before;
};

} // namespace

TEST_P(DxfSaveTest, AnUnchangedDrawingIsSavedAsTheFileItWasReadFrom) {
    Drawing* d = app.open(source);
    d->saveAs(saved);
    EXPECT_EQ(bytesOf(saved), bytesOf(source));
    // Regenerating, selecting and reading properties change nothing either.
    d->regen(1);
    d->addSelectionSet(QStringLiteral("cSet"));
    d->selectAll(QStringLiteral("cSet"), {}, {});
    d->setLayerProperty(d->layerName(1), QStringLiteral("Color"),
                        d->getLayerProperty(d->layerName(1), QStringLiteral("Color")));
    d->save();
    EXPECT_EQ(bytesOf(saved), bytesOf(source));
}

TEST_P(DxfSaveTest, OnlyTheChangedLayerPropertiesDiffer) {
    Drawing* d = app.open(source);
    QJsonObject layers = before.value(QStringLiteral("layers")).toObject();

    // Two layers objects lie on, neither current nor "0".
    QStringList picks;
    for (const cadhost::Layer& l : d->layers())
        if (l.name != QLatin1String("0") && l.name != d->getActiveLayer() && !l.freeze &&
            d->entityCountOnLayer(l.name) > 0 && picks.size() < 2)
            picks << l.name;
    ASSERT_EQ(picks.size(), 2);
    const QString first = picks[0], second = picks[1];
    const cadhost::Layer was = *d->findLayer(first);
    d->setLayerProperty(first, QStringLiteral("Color"), was.color % 255 + 1);
    d->setLayerProperty(first, QStringLiteral("LayerOn"), !was.layerOn);
    d->setLayerProperty(first, QStringLiteral("Lock"), !was.lock);
    d->setLayerProperty(first, QStringLiteral("Lineweight"), 50);
    d->setLayerProperty(first, QStringLiteral("Plottable"), false);
    for (const QString& lt : d->linetypeNames())
        if (lt.compare(was.linetype, Qt::CaseInsensitive) != 0 &&
            lt.compare(QLatin1String("ByLayer"), Qt::CaseInsensitive) != 0 &&
            lt.compare(QLatin1String("ByBlock"), Qt::CaseInsensitive) != 0) {
            d->setLayerProperty(first, QStringLiteral("Linetype"), lt);
            break;
        }
    d->setLayerProperty(second, QStringLiteral("Freeze"), true);
    d->setActiveLayer(first);
    d->addLayer(QStringLiteral("NEW-LAYER"));
    d->setLayerProperty(QStringLiteral("NEW-LAYER"), QStringLiteral("Color"), 3);
    if (generated())
        d->deleteLayer(QStringLiteral("SPARE"));
    d->saveAs(saved);

    for (const QString& name : {first, second, QStringLiteral("NEW-LAYER")})
        layers[name] =
            layerJson(*d->findLayer(name), keepsLineweights(), layers.value(name).toObject());
    if (generated())
        layers.remove(QStringLiteral("SPARE"));
    QJsonObject expected = before;
    expected[QStringLiteral("layers")] = layers;
    expected[QStringLiteral("current")] = first;

    const QJsonObject after = summary(saved);
    for (const QString& key : expected.keys())
        EXPECT_EQ(after.value(key), expected.value(key))
            << key.toStdString() << "\nexpected: "
            << QJsonDocument(QJsonObject{{key, expected.value(key)}})
                   .toJson(QJsonDocument::Compact)
                   .toStdString()
            << "\nsaved: "
            << QJsonDocument(QJsonObject{{key, after.value(key)}})
                   .toJson(QJsonDocument::Compact)
                   .toStdString();
    EXPECT_EQ(fromBlocksOn(bytesOf(saved)), fromBlocksOn(bytesOf(source)));

    // Read back by the host itself: the same layers, states and objects.
    cadhost::CadApplication other;
    other.setDrawingStore(std::make_unique<cadhost::dxf::DxfStore>());
    Drawing* back = other.open(saved);
    ASSERT_EQ(back->layerCount(), d->layerCount());
    for (int i = 0; i < d->layerCount(); ++i) {
        const cadhost::Layer& a = d->layers()[std::size_t(i)];
        const cadhost::Layer* b = back->findLayer(a.name);
        ASSERT_TRUE(b) << a.name.toStdString();
        EXPECT_EQ(b->color, a.color);
        EXPECT_EQ(b->layerOn, a.layerOn);
        EXPECT_EQ(b->freeze, a.freeze);
        EXPECT_EQ(b->lock, a.lock);
        EXPECT_EQ(b->linetype.toLower(), a.linetype.toLower());
        EXPECT_EQ(back->entityCountOnLayer(a.name), d->entityCountOnLayer(a.name));
    }
    EXPECT_EQ(back->getActiveLayer(), first);
}

TEST_P(DxfSaveTest, ARenamedLayerTakesEveryObjectOnItAlong) {
    Drawing* d = app.open(source);
    const QString old = generated() ? QStringLiteral("WALL") : d->getActiveLayer();
    const QString renamed = old + QStringLiteral("-NEU");
    d->setLayerProperty(old, QStringLiteral("Name"), renamed);
    d->saveAs(saved);

    QJsonObject expected = before;
    QJsonObject layers = before.value(QStringLiteral("layers")).toObject();
    layers[renamed] = layers.take(old);
    expected[QStringLiteral("layers")] = layers;
    if (expected.value(QStringLiteral("current")).toString() == old)
        expected[QStringLiteral("current")] = renamed;
    QJsonArray entities;
    int moved = 0;
    for (const QJsonValue& v : before.value(QStringLiteral("entities")).toArray()) {
        QJsonArray e = v.toArray();
        if (e[2].toString().compare(old, Qt::CaseInsensitive) == 0) {
            e[2] = renamed;
            ++moved;
        }
        entities.append(e);
    }
    ASSERT_GT(moved, 0);
    const QJsonObject after = summary(saved);
    EXPECT_EQ(after.value(QStringLiteral("layers")), expected.value(QStringLiteral("layers")));
    EXPECT_EQ(after.value(QStringLiteral("current")), expected.value(QStringLiteral("current")));
    EXPECT_EQ(after.value(QStringLiteral("blocks")), expected.value(QStringLiteral("blocks")));
    // The summary sorts entities; compare as sets of lines.
    auto sorted = [](const QJsonArray& a) {
        QStringList lines;
        for (const QJsonValue& v : a)
            lines << QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
        lines.sort();
        return lines;
    };
    EXPECT_EQ(sorted(after.value(QStringLiteral("entities")).toArray()), sorted(entities));
}

INSTANTIATE_TEST_SUITE_P(SampleAndGenerated, DxfSaveTest,
                         ::testing::Values(QStringLiteral("sample"), QStringLiteral("R12"),
                                           QStringLiteral("R2000"), QStringLiteral("R2010")),
                         [](const auto& info) { return info.param.toStdString(); });

// Names a user cannot give a layer are still names a drawing may hold: opening keeps
// such layers and the objects on them, and only the automation interface refuses them
// for new layers.
class SpecialLayerNamesTest : public ::testing::TestWithParam<QString> {};

TEST_P(SpecialLayerNamesTest, LayersOfAnyNameOpenUnderTheirOwnNameWithTheirObjects) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("special.dxf"));
    runScript(QStringLiteral("make_save_drawing.py"), {GetParam(), path});
    const QJsonObject ez = summary(path);
    cadhost::CadApplication app;
    app.setDrawingStore(std::make_unique<cadhost::dxf::DxfStore>());
    Drawing* d = app.open(path);

    const QJsonObject layers = ez.value(QStringLiteral("layers")).toObject();
    EXPECT_EQ(d->layerCount(), layers.size());
    for (const QString& name : layers.keys()) {
        const cadhost::Layer* l = d->findLayer(name);
        ASSERT_TRUE(l) << name.toStdString();
        EXPECT_EQ(l->name, name);
        EXPECT_EQ(l->color, layers.value(name).toObject().value(QStringLiteral("color")).toInt());
    }
    QMap<QString, int> modelCounts;
    for (const QJsonValue& v : ez.value(QStringLiteral("entities")).toArray())
        if (v.toArray()[0].toString() == QLatin1String("Model"))
            ++modelCounts[v.toArray()[2].toString()];
    for (const QString& name : kSpecialLayers) {
        EXPECT_EQ(d->entityCountOnLayer(name), 2) << name.toStdString();
        EXPECT_EQ(d->entityCountOnLayer(name), modelCounts.value(name)) << name.toStdString();
    }
    EXPECT_EQ(d->entityCountOnLayer(QStringLiteral("0")), modelCounts.value(QStringLiteral("0")));

    // Addressed like any other layer...
    d->setLayerProperty(QStringLiteral("Q*R"), QStringLiteral("Color"), 200);
    EXPECT_EQ(d->getLayerProperty(QStringLiteral("q*r"), QStringLiteral("Color")), QVariant(200));
    // ...but no user makes a new one so, by adding or by renaming.
    using caderr::InvalidArgument;
    EXPECT_EQ(errorOf([&] { d->addLayer(QStringLiteral("new|one")); }), InvalidArgument);
    EXPECT_EQ(errorOf([&] {
                  d->setLayerProperty(QStringLiteral("WALL"), QStringLiteral("Name"),
                                      QStringLiteral("WALL?"));
              }),
              InvalidArgument);
    EXPECT_EQ(d->layerCount(), layers.size());

    // Saved, every object is still on its own layer.
    const QString saved = dir.filePath(QStringLiteral("saved.dxf"));
    d->saveAs(saved);
    const QJsonObject after = summary(saved);
    EXPECT_EQ(after.value(QStringLiteral("entities")), ez.value(QStringLiteral("entities")));
    EXPECT_EQ(after.value(QStringLiteral("layers")).toObject().keys(), layers.keys());
}

TEST_P(SpecialLayerNamesTest, LayersOnlyPaperSpaceOrABlockUsesCannotBeDeleted) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("special.dxf"));
    runScript(QStringLiteral("make_save_drawing.py"), {GetParam(), path});
    cadhost::CadApplication app;
    app.setDrawingStore(std::make_unique<cadhost::dxf::DxfStore>());
    Drawing* d = app.open(path);
    using caderr::ObjectReferenced;
    EXPECT_EQ(d->entityCountOnLayer(QStringLiteral("PAPERONLY")), 0);
    EXPECT_EQ(errorOf([&] { d->deleteLayer(QStringLiteral("PAPERONLY")); }), ObjectReferenced);
    // Renamed, the layer keeps its paper-space objects and so its claim.
    d->setLayerProperty(QStringLiteral("PAPERONLY"), QStringLiteral("Name"),
                        QStringLiteral("PAPER"));
    EXPECT_EQ(errorOf([&] { d->deleteLayer(QStringLiteral("paper")); }), ObjectReferenced);
    d->deleteLayer(QStringLiteral("SPARE"));
    EXPECT_FALSE(d->findLayer(QStringLiteral("SPARE")));
}

INSTANTIATE_TEST_SUITE_P(Versions, SpecialLayerNamesTest,
                         ::testing::Values(QStringLiteral("R12"), QStringLiteral("R2010")),
                         [](const auto& info) { return info.param.toStdString(); });

// A minimal file, as small programs write them: no header, no tables. What changed gets
// a header variable and a layer table of its own; the entities stay as they were.
TEST(DxfSaveMinimalTest, AFileWithoutHeaderOrTablesGetsThemOnlyForWhatChanged) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("minimal.dxf"));
    const QByteArray entities =
        "0\r\nSECTION\r\n2\r\nENTITIES\r\n"
        "0\r\nCIRCLE\r\n8\r\nA\r\n10\r\n1\r\n20\r\n2\r\n40\r\n3\r\n"
        "0\r\nLINE\r\n8\r\nB\r\n10\r\n0\r\n20\r\n0\r\n11\r\n1\r\n21\r\n1\r\n"
        "0\r\nENDSEC\r\n0\r\nEOF\r\n";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(entities);
    }
    cadhost::CadApplication app;
    app.setDrawingStore(std::make_unique<cadhost::dxf::DxfStore>());
    Drawing* d = app.open(path);
    d->save();
    EXPECT_EQ(bytesOf(path), entities);

    d->addLayer(QStringLiteral("NEW"));
    d->setLayerProperty(QStringLiteral("B"), QStringLiteral("Color"), 1);
    d->setActiveLayer(QStringLiteral("A"));
    d->save();
    const QByteArray saved = bytesOf(path);
    EXPECT_TRUE(saved.endsWith(entities));
    const QJsonObject after = summary(path);
    EXPECT_EQ(after.value(QStringLiteral("current")).toString(), QStringLiteral("A"));
    const QJsonObject layers = after.value(QStringLiteral("layers")).toObject();
    EXPECT_TRUE(layers.contains(QStringLiteral("NEW")));
    EXPECT_EQ(layers.value(QStringLiteral("B")).toObject().value(QStringLiteral("color")), 1);
    EXPECT_EQ(after.value(QStringLiteral("entities")).toArray().size(), 2);
    EXPECT_TRUE(after.value(QStringLiteral("audit")).toArray().isEmpty())
        << QJsonDocument(after.value(QStringLiteral("audit")).toArray()).toJson().toStdString();
}

// While a drawing is open, whoever can write its folder may put something else at its
// path. Save writes over the file it opened, or makes a new one, and nothing else.
TEST(DxfSaveTargetTest, ASaveNeverWritesThroughWhatWasPutAtTheDrawingsPath) {
    QTemporaryDir dir, home;
    const QString path = dir.filePath(QStringLiteral("plan.dxf"));
    const QString victim = home.filePath(QStringLiteral(".bashrc"));
    for (const QString& file : {path, victim}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n");
    }
    const QByteArray before = bytesOf(victim);
    cadhost::CadApplication app;
    app.setDrawingStore(std::make_unique<cadhost::dxf::DxfStore>());
    Drawing* d = app.open(path);
    d->addLayer(QStringLiteral("NEW"));
    const auto refusal = [&](const std::function<void()>& save) {
        QString why;
        EXPECT_EQ(errorOf(save, &why), caderr::Failed);
        EXPECT_TRUE(why.startsWith(QStringLiteral("cannot save plan.dxf: "))) << why.toStdString();
        return why;
    };

    const QString aside = dir.filePath(QStringLiteral("aside.dxf"));
    ASSERT_TRUE(QFile::rename(path, aside));
    ASSERT_TRUE(QFile::link(victim, path));
    refusal([&] { d->save(); });
    refusal([&] { d->saveAs(path); });
    EXPECT_EQ(bytesOf(victim), before);

    QFile::remove(path);
    ASSERT_TRUE(QFile::copy(victim, path)); // another file, not the one opened
    EXPECT_TRUE(refusal([&] { d->save(); }).contains(QStringLiteral("another file")));
    EXPECT_EQ(bytesOf(path), before);

    QFile::remove(path);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    refusal([&] { d->save(); });
    EXPECT_FALSE(QFileInfo(path).isFile()); // the pipe is still there, not replaced

    // The file it opened is still the one to save to; gone, a new file takes its place.
    QFile::remove(path);
    ASSERT_TRUE(QFile::rename(aside, path));
    d->save();
    d->save();
    EXPECT_TRUE(bytesOf(path).contains("NEW"));
    QFile::remove(path);
    d->save();
    EXPECT_TRUE(bytesOf(path).contains("NEW"));

    // Opened through a link, a drawing is the file the link leads to.
    const QString link = home.filePath(QStringLiteral("current.dxf"));
    ASSERT_TRUE(QFile::link(path, link));
    cadhost::CadApplication other;
    other.setDrawingStore(std::make_unique<cadhost::dxf::DxfStore>());
    Drawing* linked = other.open(link);
    EXPECT_EQ(linked->fullName(), path);
    linked->addLayer(QStringLiteral("LINKED"));
    linked->save();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(bytesOf(path).contains("LINKED"));
}
