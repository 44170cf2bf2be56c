// The Drawing's identity, linetypes, entities and saving. Its members are defined by
// concern: the layer table in Drawing_Layers.cpp, layer properties in
// Drawing_LayerProperties.cpp, selection sets in Drawing_Selection.cpp.
#include "cadhost/model/Drawing.h"

#include "cadhost/model/CadErrors.h"

#include <QFileInfo>
#include <algorithm>

namespace cadhost {

Drawing::Drawing(QObject* parent) : QObject(parent), m_name(QStringLiteral("Drawing1.dxf")) {
    Layer zero;
    zero.name = QStringLiteral("0");
    m_layers.push_back(zero);
    rebuildLayerIndex();
    m_linetypes = {QStringLiteral("ByBlock"), QStringLiteral("ByLayer"),
                   QStringLiteral("Continuous")};
}

Drawing::~Drawing() = default;

void Drawing::setName(const QString& name) {
    if (name == m_name)
        return;
    m_name = name;
    emit nameChanged();
}

void Drawing::setFullName(const QString& path) {
    m_fullName = path;
    m_name = path.isEmpty() ? m_name : QFileInfo(path).fileName();
    emit nameChanged();
}

bool Drawing::isValidLayerName(const QString& name) {
    if (name.trimmed().isEmpty() || name.size() > kMaxLayerNameLength)
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || QStringLiteral("<>/\\\":;?*|,=`").contains(c))
            return false;
    }
    return true;
}

void Drawing::refuseLayerName(const QString& name) {
    // A name past the limit may be of any length: the message does not repeat it.
    if (name.size() > kMaxLayerNameLength)
        throwCadError(caderr::InvalidArgument,
                      QStringLiteral("Invalid layer name: longer than %1 characters")
                          .arg(kMaxLayerNameLength));
    throwCadError(caderr::InvalidArgument, QStringLiteral("Invalid layer name \"%1\"").arg(name));
}

// --- linetypes -------------------------------------------------------------------

bool Drawing::hasLinetype(const QString& name) const {
    return m_linetypes.contains(name, Qt::CaseInsensitive);
}

void Drawing::addLinetype(const QString& name) {
    if (name.isEmpty() || hasLinetype(name))
        return;
    m_linetypes.append(name);
}

// --- entities --------------------------------------------------------------------

const std::vector<int>& Drawing::entitiesOnLayerKey(const QString& key) const {
    if (!m_entitiesByLayerValid) {
        m_entitiesByLayer.clear();
        for (int i = 0; i < int(m_entities.size()); ++i)
            m_entitiesByLayer[nameKey(m_entities[std::size_t(i)].layer)].push_back(i);
        m_entitiesByLayerValid = true;
    }
    static const std::vector<int> none;
    const auto it = m_entitiesByLayer.constFind(key);
    return it == m_entitiesByLayer.constEnd() ? none : it.value();
}

void Drawing::addEntity(Entity entity) {
    m_entitiesByLayerValid = false;
    const bool hasGeometry = !entity.primitives.isEmpty();
    const QRectF box = hasGeometry ? entity.extents() : QRectF();
    m_entities.push_back(std::move(entity));
    if (!hasGeometry)
        return;
    // A flag rather than QRectF::isNull: a single point at the origin is a valid extent.
    if (!m_hasExtents) {
        m_extents = box;
        m_hasExtents = true;
        return;
    }
    const double l = std::min(m_extents.left(), box.left());
    const double t = std::min(m_extents.top(), box.top());
    const double r = std::max(m_extents.right(), box.right());
    const double b = std::max(m_extents.bottom(), box.bottom());
    m_extents = QRectF(QPointF(l, t), QPointF(r, b));
}

// --- files -----------------------------------------------------------------------

void Drawing::setSource(std::shared_ptr<const DrawingSource> source) {
    m_source = std::move(source);
    for (int i = 0; i < int(m_layers.size()); ++i)
        m_layers[std::size_t(i)].sourceEntry = m_source ? i : -1;
}

void Drawing::save() {
    if (m_fullName.isEmpty())
        throwCadError(caderr::Failed,
                      QStringLiteral("%1 has never been saved: use SaveAs").arg(m_name));
    saveAs(m_fullName);
}

void Drawing::saveAs(const QString& path) {
    if (!m_writer)
        throwCadError(caderr::Failed, QStringLiteral("No file format is available to save"));
    if (path.isEmpty())
        throwCadError(caderr::InvalidArgument);
    const QString absolute = QFileInfo(path).absoluteFilePath();
    using Kind = platform::SafeFile::Entry::Kind;
    const platform::SafeFile::Entry there = platform::SafeFile::entryAt(absolute);
    const QString file = QFileInfo(absolute).fileName();
    if (there.kind == Kind::Link)
        throwCadError(caderr::Failed,
                      QStringLiteral("cannot save %1: the path is a symbolic link").arg(file));
    if (there.kind == Kind::Other)
        throwCadError(caderr::Failed,
                      QStringLiteral("cannot save %1: the path is not a regular file").arg(file));
    if (there.kind == Kind::Regular && absolute == m_fullName && there.id != m_fileId)
        throwCadError(caderr::Failed,
                      QStringLiteral("cannot save %1: another file has taken its place since it "
                                     "was opened; save it under a new name")
                          .arg(file));
    m_writer(*this, absolute);
    m_fileId = platform::SafeFile::entryAt(absolute).id;
    if (absolute != m_fullName)
        setFullName(absolute);
}

} // namespace cadhost
