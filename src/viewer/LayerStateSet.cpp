#include "LayerStateSet.h"

#include "acad/AcadDocument.h"
#include "csv/clsCSV_Function2.h"
#include "platform/ErrorTrap.h"
#include "platform/SafeFile.h"
#include "tiles/LayerStateRecorder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QUrl>

namespace {

// The header row, which also tells a set file from any other CSV on import.
const QStringList kHeader = {QStringLiteral("表示"),   QStringLiteral("フリーズ"),
                             QStringLiteral("ロック"), QStringLiteral("色"),
                             QStringLiteral("線種"),   QStringLiteral("画層")};

QString flag(bool b) {
    return b ? QStringLiteral("1") : QStringLiteral("0");
}

std::optional<bool> toFlag(const QString& t) {
    if (t == QLatin1String("1"))
        return true;
    if (t == QLatin1String("0"))
        return false;
    return std::nullopt;
}

} // namespace

LayerStateSet LayerStateSet::capture(acad::AcadDocument& doc) {
    LayerStateSet set;
    acad::AcadLayers all = doc.Layers();
    for (acad::AcadLayer layer : all)
        set.layers.push_back({layer.addressedName(), layer.LayerOn(), layer.Freeze(), layer.Lock(),
                              layer.Color(), layer.Linetype()});
    return set;
}

QStringList LayerStateSet::restore(acad::AcadDocument& doc, LayerStateRecorder& step) const {
    QSet<QString> present;
    acad::AcadLayers all = doc.Layers();
    for (acad::AcadLayer layer : all)
        present.insert(layer.addressedName().toCaseFolded());

    QStringList missing;
    for (const Layer& saved : layers) {
        if (!present.contains(saved.name.toCaseFolded())) {
            missing << saved.name;
            continue;
        }
        acad::AcadLayer layer = doc.Layers().Item(saved.name);
        using ErrorTrap::skip;
        // Thawed before anything else and frozen last, so that on and lock are set on
        // a layer whatever its frozen state; the current layer refuses to freeze.
        if (!saved.frozen)
            skip([&] { step.setFreeze(layer, false); });
        skip([&] { step.setLayerOn(layer, saved.on); });
        skip([&] { step.setLock(layer, saved.locked); });
        skip([&] { step.setColor(layer, saved.color); });
        skip([&] { step.setLinetype(layer, saved.linetype); });
        if (saved.frozen)
            skip([&] { step.setFreeze(layer, true); });
    }
    return missing;
}

bool LayerStateSet::write(const QString& path) const {
    // The reader ends a quoted field at a quote followed by the delimiter, so a name
    // holding that pair would read back as two fields: such a set is not written rather
    // than written wrong. (The CAD itself allows no quote in a layer name.)
    const QString unreadable = QStringLiteral("\",");
    for (const Layer& l : layers)
        if (l.name.contains(unreadable) || l.linetype.contains(unreadable))
            return false;
    VbArray2D table(1, int(kHeader.size()), 1, int(layers.size()) + 1);
    for (int c = 0; c < kHeader.size(); ++c)
        table(c + 1, 1) = kHeader[c];
    int row = 2;
    for (const Layer& l : layers) {
        table(1, row) = flag(l.on);
        table(2, row) = flag(l.frozen);
        table(3, row) = flag(l.locked);
        table(4, row) = QString::number(l.color);
        table(5, row) = l.linetype;
        table(6, row) = l.name;
        ++row;
    }
    const QFileInfo target(path);
    clsCSV_Function2 csv;
    return csv.pu_fun_bOut_Array_CSV(target.absolutePath(), target.fileName(), table, true,
                                     QStringLiteral("K3"), false, false, false, false, false, false,
                                     QString(), QString(), false, 3, QStringLiteral(","));
}

std::optional<LayerStateSet> LayerStateSet::read(const QString& path) {
    clsCSV_Function2 csv;
    VbArray2D table;
    if (!csv.pu_fun_bGet_CSV_Array(path, table, nullptr, true, false, false, 0, 0, true,
                                   QStringLiteral(",")))
        return std::nullopt;
    if (!table.isAllocated() || table.ubound(1) - table.lbound(1) + 1 != kHeader.size())
        return std::nullopt;
    const int c0 = table.lbound(1);
    const int r0 = table.lbound(2);
    auto text = [&](int c, int r) { return table(c0 + c, r).toString(); };
    for (int c = 0; c < kHeader.size(); ++c)
        if (text(c, r0) != kHeader[c])
            return std::nullopt;

    LayerStateSet set;
    for (int r = r0 + 1; r <= table.ubound(2); ++r) {
        const auto on = toFlag(text(0, r));
        const auto frozen = toFlag(text(1, r));
        const auto locked = toFlag(text(2, r));
        bool colorOk = false;
        const int color = text(3, r).toInt(&colorOk);
        // A row that does not read as this program wrote it makes the file no set.
        if (!on || !frozen || !locked || !colorOk || text(5, r).isEmpty())
            return std::nullopt;
        set.layers.push_back({text(5, r), *on, *frozen, *locked, color, text(4, r)});
    }
    return set;
}

LayerStateStore::LayerStateStore(QString root) : m_root(std::move(root)) {
    if (m_root.isEmpty())
        m_root = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString LayerStateStore::folderFor(const QString& sDrawingFullName) const {
    // The full path may hold anything a file name cannot; its digest cannot.
    const QByteArray key =
        QCryptographicHash::hash(QFileInfo(sDrawingFullName).absoluteFilePath().toUtf8(),
                                 QCryptographicHash::Sha1)
            .toHex();
    return m_root + QStringLiteral("/layer-states/") + QString::fromLatin1(key);
}

QString LayerStateStore::fileFor(const QString& sDrawingFullName, const QString& sSetName) const {
    // The name the user typed, kept whole: anything but letters and digits is escaped.
    return folderFor(sDrawingFullName) + QLatin1Char('/') +
           QString::fromLatin1(QUrl::toPercentEncoding(sSetName)) + QStringLiteral(".csv");
}

QStringList LayerStateStore::names(const QString& sDrawingFullName) const {
    QStringList result;
    const QDir folder(folderFor(sDrawingFullName));
    for (const QString& file : folder.entryList({QStringLiteral("*.csv")}, QDir::Files))
        result << QUrl::fromPercentEncoding(file.chopped(4).toLatin1());
    result.sort(Qt::CaseInsensitive);
    return result;
}

bool LayerStateStore::save(const QString& sDrawingFullName, const QString& sSetName,
                           const LayerStateSet& set) const {
    if (sSetName.isEmpty() || !QDir().mkpath(folderFor(sDrawingFullName)))
        return false;
    // Which drawing the folder belongs to, for a person looking into it; written as every
    // file is, never through a link someone put in its place.
    platform::SafeFile::write(folderFor(sDrawingFullName) + QStringLiteral("/drawing.txt"),
                              sDrawingFullName.toUtf8() + '\n',
                              platform::SafeFile::Sync::NotToDisk);
    return set.write(fileFor(sDrawingFullName, sSetName));
}

std::optional<LayerStateSet> LayerStateStore::load(const QString& sDrawingFullName,
                                                   const QString& sSetName) const {
    const QString file = fileFor(sDrawingFullName, sSetName);
    if (!QFileInfo(file).isFile())
        return std::nullopt;
    return LayerStateSet::read(file);
}
