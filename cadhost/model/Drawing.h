#pragma once

#include "cadhost/model/Entity.h"
#include "cadhost/model/Layer.h"
#include "platform/SafeFile.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QRectF>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <memory>
#include <vector>

namespace cadhost {

// What a file format keeps of the file a drawing was read from, so that saving can
// leave alone everything the model does not hold. The model carries it and never looks
// inside; only the format that made it does.
class DrawingSource {
public:
    virtual ~DrawingSource() = default;
};

// One open drawing (a document of the CAD). Its public members mirror the automation
// interface of a document one to one, so the D-Bus adaptor and the viewer's in-process
// backend forward to them without logic of their own. Every member that the
// automation interface reaches throws platform::AutomationError with the CAD's number
// when the CAD would refuse the call.
//
// CAD rules kept here: layer "0" always exists; layer, linetype and selection-set
// names compare without regard to case; the current layer cannot be frozen and a
// frozen layer cannot be made current (caderr::FrozenLayerCurrent); a layer or
// linetype that is not in the drawing gives caderr::KeyNotFound.
class Drawing : public QObject {
    Q_OBJECT
public:
    // A new, never-saved drawing named "Drawing1.dxf" with layer "0" and the three
    // built-in linetypes.
    explicit Drawing(QObject* parent = nullptr);
    ~Drawing() override;

    // --- document identity -------------------------------------------------------
    QString name() const { return m_name; }         // file name, "Drawing1.dxf" for new
    QString fullName() const { return m_fullName; } // empty until saved or opened
    void setName(const QString& name);              // for new drawings
    void setFullName(const QString& path);          // also sets name from the path
    // The file the drawing was read from, as it was when read (set by the reader): Save
    // writes over that file only.
    void setFileId(platform::SafeFile::FileId id) { m_fileId = id; }
    platform::SafeFile::FileId fileId() const { return m_fileId; }
    // What opening the file had to change or leave out (a name cut to the CAD's length,
    // references nested too deep to draw), one line each; the host shows and logs them.
    const QStringList& openWarnings() const { return m_openWarnings; }
    void addOpenWarning(const QString& warning) { m_openWarnings << warning; }

    // --- layers ------------------------------------------------------------------
    // The longest layer name a CAD keeps, in characters (UTF-16 code units).
    static constexpr int kMaxLayerNameLength = 255;

    QString getActiveLayer() const;
    void setActiveLayer(const QString& name);
    // The CAD regenerates the display; here it counts and tells the views to repaint.
    void regen(int which);
    int regenCount() const { return m_regenCount; }

    int layerCount() const { return int(m_layers.size()); }
    QString layerName(int index) const; // 0-based, KeyNotFound outside the range
    // Property names: Name, Linetype, PlotStyleName, Freeze, LayerOn, Lock,
    // ViewportDefault, Plottable, Color, Lineweight (any letter case).
    QVariant getLayerProperty(const QString& layer, const QString& property) const;
    void setLayerProperty(const QString& layer, const QString& property, const QVariant& value);
    // Returns the existing layer's name when one of that name (any case) exists, as the
    // CAD's Layers.Add does; an empty or invalid name is refused (see isValidLayerName).
    QString addLayer(const QString& name);
    // Refuses layer "0", the current layer, a layer entities lie on and a layer objects
    // outside the model lie on (see addOutsideReference).
    void deleteLayer(const QString& name);

    // Direct access for loaders, views and exporters (no automation rules).
    const std::vector<Layer>& layers() const { return m_layers; }
    const Layer* findLayer(const QString& name) const;
    int layerIndex(const QString& name) const; // -1 when absent
    // Adds or replaces a layer as read from a file: the file's own order and name are
    // kept, whatever characters the name holds, since opening never changes a drawing.
    // Only an empty name, which nothing could address, throws InvalidArgument.
    void putLayer(const Layer& layer);
    // A layer that an object the model does not hold lies on (paper space, a block
    // definition): the CAD counts it as referenced and will not delete it.
    void addOutsideReference(const QString& layer);

    // --- linetypes ---------------------------------------------------------------
    QStringList linetypeNames() const { return m_linetypes; }
    bool hasLinetype(const QString& name) const;
    void addLinetype(const QString& name); // keeps the first spelling of a name

    // --- selection sets ----------------------------------------------------------
    int selectionSetCount() const { return int(m_selectionSets.size()); }
    QString selectionSetName(int index) const;
    void deleteSelectionSet(int index);
    void addSelectionSet(const QString& name); // DuplicateKey when the name exists
    void clearSelectionSet(const QString& name);
    // Select mode 5 (every object of the drawing) with a filter: codes and values are
    // pairs; code 8 matches the layer name, code 0 the entity type, both exactly but
    // without regard to case (as the CAD compares names). Objects already in the set
    // are not added twice.
    void selectAll(const QString& name, const QList<int>& codes, const QVariantList& values);
    int selectionSetSize(const QString& name) const;

    // --- entities ----------------------------------------------------------------
    const std::vector<Entity>& entities() const { return m_entities; }
    void addEntity(Entity entity);
    void reserveEntities(std::size_t count) { m_entities.reserve(count); }
    // All entities, whatever the layer states; null when the drawing is empty.
    QRectF extents() const { return m_extents; }
    int entityCountOnLayer(const QString& layer) const;

    // --- files -------------------------------------------------------------------
    // Ties the drawing to what its file format kept of the file it was read from. Every
    // layer is numbered with its place at this moment (Layer::sourceEntry), so that on
    // saving the format can tell which were renamed, changed, deleted or added since.
    void setSource(std::shared_ptr<const DrawingSource> source);
    const DrawingSource* source() const { return m_source.get(); }

    // Saving goes through a writer the application installs (the model knows no file
    // format). Save on a never-saved drawing fails: the CAD asks for a name first.
    //
    // Another process may change the folder while the drawing is open. A save replaces
    // the drawing's own file (the one read or last saved, told by device and inode), a
    // regular file SaveAs names, or makes a new one; it refuses a path that now names
    // a symbolic link, a device, a pipe or a folder, and a drawing's path that now names
    // another file: writing there would overwrite whatever the link or the new file
    // leads to, not the drawing.
    using Writer = std::function<void(const Drawing&, const QString& path)>;
    void setWriter(Writer writer) { m_writer = std::move(writer); }
    void save();
    void saveAs(const QString& path);

    // Case-insensitive key for names (layers, linetypes, selection sets).
    static QString nameKey(const QString& name) { return name.toCaseFolded(); }
    // A name the CAD lets a user give a layer (Layers.Add, renaming): not empty, at most
    // kMaxLayerNameLength characters, none of <>/\":;?*|,=` and no control characters.
    // Drawings read from files may hold other names; those are kept as they are, cut to
    // the length only.
    static bool isValidLayerName(const QString& name);

signals:
    // Layer states or entities changed and the views should repaint (Regen, or a
    // change made outside the automation interface).
    void regenerated();
    // Name or FullName changed (save as); the window title follows.
    void nameChanged();

private:
    // InvalidArgument for a name isValidLayerName refuses, saying why.
    [[noreturn]] static void refuseLayerName(const QString& name);
    Layer& layerRef(const QString& name); // KeyNotFound when absent
    const Layer& layerRef(const QString& name) const;
    void rebuildLayerIndex();
    int selectionSetIndex(const QString& name) const; // -1 when absent

    struct SelectionSet {
        QString name;
        std::vector<int> members; // sorted entity indices
    };

    QString m_name;
    QString m_fullName;
    platform::SafeFile::FileId m_fileId;
    QStringList m_openWarnings;
    std::vector<Layer> m_layers;
    QHash<QString, int> m_layerIndex;
    QString m_activeLayer = QStringLiteral("0");
    QStringList m_linetypes;
    std::vector<SelectionSet> m_selectionSets;
    std::vector<Entity> m_entities;
    // Entity indices by layer key, in drawing order: built by the first selection that
    // filters on a layer and dropped whenever entities are added or change layer, so a
    // viewer counting a thousand layers does not scan every entity a thousand times.
    const std::vector<int>& entitiesOnLayerKey(const QString& key) const;
    mutable QHash<QString, std::vector<int>> m_entitiesByLayer;
    mutable bool m_entitiesByLayerValid = false;
    QRectF m_extents;
    bool m_hasExtents = false;
    int m_regenCount = 0;
    QSet<QString> m_outsideReferences; // layer keys
    std::shared_ptr<const DrawingSource> m_source;
    Writer m_writer;
};

} // namespace cadhost
