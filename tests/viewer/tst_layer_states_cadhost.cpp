// Named layer-state sets against the real host: saved, the drawing changed, put back
// with Ctrl+R as one step of the way back; a set naming a layer the drawing lost; and a
// set exported to a file and imported again, through the program's CSV writer and
// reader. The user's data folder is a scratch one.

#include "CadHostWindowTest.h"

#include "acad/DBusBackend.h"
#include "viewer/LayerStateDialogs.h"
#include "viewer/LayerStateSet.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QTest>
#include <QUndoStack>
#include <deque>

// Readable failures: a layer's five states in one line.
inline void PrintTo(const LayerStateSet::Layer& l, std::ostream* os) {
    *os << l.name.toStdString() << (l.on ? " on" : " off") << (l.frozen ? " frozen" : "")
        << (l.locked ? " locked" : "") << " colour " << l.color << " " << l.linetype.toStdString();
}

namespace {

// Answers the layer-state questions from queues the test fills.
class ScriptedDialogs : public LayerStateDialogs {
public:
    std::optional<QString> askName(QWidget*, const QString&, const QString& suggested) override {
        suggestions.push_back(suggested);
        return next(names);
    }
    std::optional<QString> chooseSet(QWidget*, const QString&,
                                     const QStringList& offered) override {
        offers.push_back(offered);
        return next(choices);
    }
    QString exportFile(QWidget*, const QString&) override {
        return next(files).value_or(QString());
    }
    QString importFile(QWidget*) override { return next(files).value_or(QString()); }

    std::deque<QString> names, choices, files;
    QStringList suggestions;
    std::vector<QStringList> offers;

private:
    static std::optional<QString> next(std::deque<QString>& queue) {
        if (queue.empty())
            return std::nullopt;
        QString v = queue.front();
        queue.pop_front();
        return v;
    }
};

class LayerStatesTest : public viewertest::CadHostWindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(data.isValid());
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        CadHostWindowTest::SetUp();
        auto d = std::make_unique<ScriptedDialogs>();
        dialogs = d.get();
        LayerStateDialogs::setInstanceForTesting(std::move(d));
    }
    void TearDown() override {
        LayerStateDialogs::setInstanceForTesting(nullptr);
        CadHostWindowTest::TearDown();
        qunsetenv("XDG_DATA_HOME");
    }

    void refresh() {
        openPlan();
        window.pu_subCmdRefresh_Click();
        for (const auto& b : boxes.boxes)
            ADD_FAILURE() << b.prompt.toStdString();
        boxes.boxes.clear();
        activate();
    }
    // The status window a refresh shows takes the focus for its length; the desktop
    // gives it back to the viewer, as this does.
    void activate() {
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void keys(Qt::Key k, Qt::KeyboardModifiers mods = Qt::ControlModifier) {
        QTest::keyClick(window.LstLayers, k, mods);
    }
    QAction* menuAction(const char* name) {
        return window.LstLayers->findChild<QAction*>(QString::fromLatin1(name));
    }
    // Every layer's five states, read from the host. Linetype names compare without
    // regard to case, and the CAD spells a layer's linetype as its table does once it
    // was set (the plan's layers say "CONTINUOUS", its table "Continuous").
    std::vector<LayerStateSet::Layer> hostLayers() {
        auto layers = LayerStateSet::capture(*doc).layers;
        for (auto& l : layers)
            l.linetype = l.linetype.toUpper();
        return layers;
    }
    std::shared_ptr<acad::DBusDocumentBackend> hostDocument() {
        return std::dynamic_pointer_cast<acad::DBusDocumentBackend>(
            std::dynamic_pointer_cast<acad::DBusApplicationBackend>(host)->activeDocument());
    }
    // Changes every kind of state the sets hold.
    void changeEverything() {
        window.Toolbar1_ButtonClick(14); // all on
        acad::AcadLayers layers = doc->Layers();
        layers.Item(QStringLiteral("Walls")).setLock(true);
        layers.Item(QStringLiteral("Walls")).setColor(200);
        layers.Item(QStringLiteral("Beta")).setFreeze(true);
        layers.Item(QStringLiteral("Doors")).setFreeze(false);
        layers.Item(QStringLiteral("alpha")).setLock(false);
        layers.Item(QStringLiteral("Text")).setLinetype(QStringLiteral("DASHED"));
        layers.Item(QStringLiteral("Doors")).setLinetype(QStringLiteral("Continuous"));
    }

    QTemporaryDir data;
    ScriptedDialogs* dialogs = nullptr;
};

TEST_F(LayerStatesTest, ARestoredSetEqualsTheSavedOneAndIsOneStepBack) {
    refresh();
    const auto saved = hostLayers();
    // The menu of the list holds the commands, with their keys.
    ASSERT_TRUE(menuAction("layerStateSave"));
    EXPECT_EQ(menuAction("layerStateSave")->text(), QStringLiteral("画層状態の保存..."));
    EXPECT_EQ(menuAction("layerStateRestore")->text(), QStringLiteral("画層状態の復元..."));
    EXPECT_EQ(window.LstLayers->contextMenuPolicy(), Qt::ActionsContextMenu);

    dialogs->names.push_back(QStringLiteral("打合せ用"));
    keys(Qt::Key_S);
    ASSERT_TRUE(boxes.boxes.empty()) << boxes.boxes[0].prompt.toStdString();
    const LayerStateStore store;
    EXPECT_EQ(store.names(path), (QStringList{"打合せ用"}));
    EXPECT_TRUE(QFile::exists(store.fileFor(path, QStringLiteral("打合せ用"))));
    EXPECT_TRUE(store.fileFor(path, QStringLiteral("打合せ用")).startsWith(data.path()));

    changeEverything();
    const auto changed = hostLayers();
    ASSERT_NE(changed, saved);
    window.pu_subCmdRefresh_Click(); // the tiles show the changes
    activate();
    const int steps = window.layerSteps()->count();

    dialogs->choices.push_back(QStringLiteral("打合せ用"));
    keys(Qt::Key_R);
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(dialogs->offers.size(), 1u);
    EXPECT_EQ(dialogs->offers[0], (QStringList{"打合せ用"}));
    EXPECT_EQ(hostLayers(), saved);
    for (int i = 1; i <= window.proDWFUBound(); ++i)
        EXPECT_EQ(tile(i).bLayerOn(), states().at(tile(i).sLayerName()).on);

    // One step, taken back and done again as a whole.
    EXPECT_EQ(window.layerSteps()->count(), steps + 1);
    EXPECT_EQ(window.undoButton()->toolTip(), QStringLiteral("元に戻す（画層状態の復元）"));
    QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(hostLayers(), changed);
    QTest::keyClick(&window, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(hostLayers(), saved);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LayerStatesTest, ALayerTheDrawingLostIsNamedOnceAndTheRestIsRestored) {
    refresh();
    dialogs->names.push_back(QStringLiteral("A"));
    keys(Qt::Key_S);
    auto saved = hostLayers();
    changeEverything();
    hostDocument()->deleteLayer(QStringLiteral("Empty"));
    window.pu_subCmdRefresh_Click();
    activate();
    std::erase_if(saved, [](const LayerStateSet::Layer& l) { return l.name == "Empty"; });

    dialogs->choices.push_back(QStringLiteral("A"));
    keys(Qt::Key_R);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt,
              QStringLiteral("次の画層は図面にないため復元しませんでした。\r\nEmpty"));
    EXPECT_EQ(hostLayers(), saved);
}

TEST_F(LayerStatesTest, ASetGoesOutToAFileAndComesBackUnderAnotherName) {
    refresh();
    dialogs->names.push_back(QStringLiteral("原案"));
    keys(Qt::Key_S);
    const auto saved = hostLayers();
    const QString file = drawings.filePath(QStringLiteral("shared.csv"));

    dialogs->choices.push_back(QStringLiteral("原案"));
    dialogs->files.push_back(file);
    menuAction("layerStateExport")->trigger();
    ASSERT_TRUE(boxes.boxes.empty());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    EXPECT_EQ(lines[0],
              QStringLiteral("\"表示\",\"フリーズ\",\"ロック\",\"色\",\"線種\",\"画層\""));
    EXPECT_EQ(lines.size() - 2, int(saved.size())); // a header, a row per layer, a last break

    changeEverything();
    dialogs->files.push_back(file);
    dialogs->names.push_back(QStringLiteral("共有"));
    menuAction("layerStateImport")->trigger();
    ASSERT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(dialogs->suggestions.back(), QStringLiteral("shared"));
    const LayerStateStore store;
    EXPECT_EQ(store.names(path), (QStringList{"共有", "原案"}));
    ASSERT_TRUE(store.load(path, QStringLiteral("共有")));
    EXPECT_EQ(store.load(path, QStringLiteral("共有"))->layers, saved);

    dialogs->choices.push_back(QStringLiteral("共有"));
    keys(Qt::Key_R);
    EXPECT_EQ(hostLayers(), saved);

    // A file that is not a set is refused, and nothing is saved from it.
    const QString other = drawings.filePath(QStringLiteral("other.csv"));
    QFile o(other);
    ASSERT_TRUE(o.open(QIODevice::WriteOnly));
    o.write("a,b,c\n1,2,3\n");
    o.close();
    dialogs->files.push_back(other);
    menuAction("layerStateImport")->trigger();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].prompt.startsWith(QStringLiteral("画層状態のファイルとして")));
    EXPECT_EQ(store.names(path).size(), 2);
}

TEST_F(LayerStatesTest, BeforeTheFirstRefreshTheCommandsAskForOne) {
    activate();
    keys(Qt::Key_S);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(
        boxes.boxes[0].prompt,
        QStringLiteral("図面更新ボタン（ビックリマーク）で図面を読み込んでから実行してください。"));
    EXPECT_TRUE(dialogs->suggestions.isEmpty());
}

// The file itself: names the CSV reader finds hard come back whole.
TEST(LayerStateSetFile, RoundTripsThroughTheCsvWriterAndReader) {
    QTemporaryDir dir;
    LayerStateSet set;
    set.layers = {{QStringLiteral("0"), true, false, false, 7, QStringLiteral("Continuous")},
                  {QStringLiteral("壁,外部"), false, true, true, 255, QStringLiteral("DASHED")},
                  {QStringLiteral("a\"b"), true, false, true, 1, QStringLiteral("Continuous")},
                  {QStringLiteral(" lead"), false, false, false, 30, QStringLiteral("X")}};
    const QString file = dir.filePath(QStringLiteral("s.csv"));
    ASSERT_TRUE(set.write(file));
    const auto back = LayerStateSet::read(file);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->layers, set.layers);
    // A store keeps a folder per drawing and a file per name, any name.
    const LayerStateStore store(dir.path());
    ASSERT_TRUE(store.save(QStringLiteral("/d/a.dwg"), QStringLiteral("x/y 案"), set));
    ASSERT_TRUE(store.save(QStringLiteral("/d/b.dwg"), QStringLiteral("other"), set));
    EXPECT_EQ(store.names(QStringLiteral("/d/a.dwg")), (QStringList{"x/y 案"}));
    EXPECT_EQ(store.load(QStringLiteral("/d/a.dwg"), QStringLiteral("x/y 案"))->layers, set.layers);
    EXPECT_FALSE(store.load(QStringLiteral("/d/a.dwg"), QStringLiteral("other")));

    // Links planted in the store's folder are replaced, never written through.
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath(QStringLiteral(".bashrc"));
    QFile v(victim);
    ASSERT_TRUE(v.open(QIODevice::WriteOnly));
    v.write("mine");
    v.close();
    const QString drawing = QStringLiteral("/d/a.dwg");
    for (const QString& planted : {store.folderFor(drawing) + QStringLiteral("/drawing.txt"),
                                   store.fileFor(drawing, QStringLiteral("x"))}) {
        QFile::remove(planted);
        ASSERT_TRUE(QFile::link(victim, planted));
    }
    ASSERT_TRUE(store.save(drawing, QStringLiteral("x"), set));
    EXPECT_EQ(store.load(drawing, QStringLiteral("x"))->layers, set.layers);
    ASSERT_TRUE(v.open(QIODevice::ReadOnly));
    EXPECT_EQ(v.readAll(), QByteArray("mine"));

    // A quote before a comma cannot be read back as written: nothing is written.
    LayerStateSet bad = set;
    bad.layers[1].name = QStringLiteral("a\",b");
    EXPECT_FALSE(bad.write(file));
    ASSERT_TRUE(LayerStateSet::read(file));
    EXPECT_EQ(LayerStateSet::read(file)->layers, set.layers);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
