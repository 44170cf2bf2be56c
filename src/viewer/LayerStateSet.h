#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace acad {
class AcadDocument;
}
class LayerStateRecorder;

// A named set of every layer's on, frozen, locked, colour and linetype, as the user
// saved it to switch back to later. Kept as a CSV table written and read by the
// program's own CSV class, one layer a row under a header row.
class LayerStateSet {
public:
    struct Layer {
        QString name;
        bool on = true;
        bool frozen = false;
        bool locked = false;
        qint32 color = 7;
        QString linetype;
        bool operator==(const Layer&) const = default;
    };

    std::vector<Layer> layers;

    // Every layer of the drawing, in the drawing's order.
    static LayerStateSet capture(acad::AcadDocument& doc);
    // Writes the set's states into the drawing through the recorder, so that the whole
    // restore is one step of the way back. A state the drawing refuses is left as it is
    // and the rest goes on. Returns the set's layers the drawing does not have.
    QStringList restore(acad::AcadDocument& doc, LayerStateRecorder& step) const;

    // The CSV file at `path`; false when it cannot be written.
    bool write(const QString& path) const;
    // A file this program wrote; nothing when it cannot be read or is not such a table.
    static std::optional<LayerStateSet> read(const QString& path);
};

// Where the sets of each drawing live: a folder per drawing (told apart by its full path)
// in the user's data folder, a file per set named after the set.
class LayerStateStore {
public:
    // `root` is the data folder; empty means the user's (XDG data home).
    explicit LayerStateStore(QString root = QString());

    QString folderFor(const QString& sDrawingFullName) const;
    QString fileFor(const QString& sDrawingFullName, const QString& sSetName) const;
    // The drawing's sets by name, sorted.
    QStringList names(const QString& sDrawingFullName) const;
    bool save(const QString& sDrawingFullName, const QString& sSetName,
              const LayerStateSet& set) const;
    std::optional<LayerStateSet> load(const QString& sDrawingFullName,
                                      const QString& sSetName) const;

private:
    QString m_root;
};
