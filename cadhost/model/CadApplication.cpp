#include "cadhost/model/CadApplication.h"

#include "cadhost/model/CadErrors.h"
#include "cadhost/model/HostLog.h"

#include <QFileInfo>
#include <algorithm>

namespace cadhost {

CadApplication::CadApplication(QObject* parent) : QObject(parent) {}

CadApplication::~CadApplication() = default;

void CadApplication::setDrawingStore(std::unique_ptr<DrawingStore> store) {
    m_store = std::move(store);
}

void CadApplication::setMacroEngine(std::unique_ptr<MacroEngine> engine) {
    m_engine = std::move(engine);
}

void CadApplication::setVisible(bool visible) {
    if (visible == m_visible)
        return;
    m_visible = visible;
    emit visibleChanged(visible);
}

QString CadApplication::caption() const {
    if (!m_active)
        return QStringLiteral("CAD Host");
    return QStringLiteral("CAD Host - [%1]").arg(m_active->name());
}

Drawing* CadApplication::document(int index) const {
    if (index < 0 || index >= documentCount())
        throwCadError(caderr::KeyNotFound);
    return m_documents[std::size_t(index)].get();
}

int CadApplication::documentNumber(const Drawing* drawing) const {
    for (std::size_t i = 0; i < m_documents.size(); ++i)
        if (m_documents[i].get() == drawing)
            return m_numbers[i];
    return 0;
}

Drawing* CadApplication::documentByNumber(int number) const {
    for (std::size_t i = 0; i < m_documents.size(); ++i)
        if (m_numbers[i] == number)
            return m_documents[i].get();
    return nullptr;
}

Drawing* CadApplication::activeDocument() const {
    if (!m_active)
        throwCadError(caderr::NoDocument);
    return m_active;
}

void CadApplication::setActiveDocument(Drawing* drawing) {
    if (drawing == m_active)
        return;
    m_active = drawing;
    emit activeDocumentChanged(drawing);
    emit captionChanged(caption());
}

Drawing* CadApplication::adopt(std::unique_ptr<Drawing> drawing) {
    Drawing* raw = drawing.get();
    raw->setParent(nullptr);
    if (m_store) {
        DrawingStore* store = m_store.get();
        raw->setWriter([store](const Drawing& d, const QString& path) { store->save(d, path); });
    }
    connect(raw, &Drawing::nameChanged, this, [this, raw] {
        if (raw == m_active)
            emit captionChanged(caption());
    });
    m_documents.push_back(std::move(drawing));
    m_numbers.push_back(m_nextNumber++);
    emit documentAdded(raw);
    setActiveDocument(raw);
    return raw;
}

Drawing* CadApplication::open(const QString& path) {
    if (!m_store)
        throwCadError(caderr::Failed, QStringLiteral("No file format is available to open"));
    const QFileInfo info(path);
    // The same file reached by another spelling of its path is the same document.
    const QString canonical = info.canonicalFilePath();
    // A drawing opened through a link is the file the link leads to, and that file is
    // what Save replaces; the link stays as it is.
    const QString absolute =
        info.isSymLink() && !canonical.isEmpty() ? canonical : info.absoluteFilePath();
    for (const auto& doc : m_documents) {
        if (doc->fullName().isEmpty())
            continue;
        const QFileInfo other(doc->fullName());
        if (doc->fullName() == absolute ||
            (!canonical.isEmpty() && other.canonicalFilePath() == canonical)) {
            setActiveDocument(doc.get());
            return doc.get();
        }
    }
    if (!info.exists())
        throwCadError(caderr::Failed,
                      QStringLiteral("cannot open %1: file not found").arg(info.fileName()));
    std::unique_ptr<Drawing> drawing = m_store->load(absolute);
    drawing->setFullName(absolute);
    for (const QString& warning : drawing->openWarnings())
        qCWarning(lcCadhost).noquote() << drawing->name() + QStringLiteral(": ") + warning;
    return adopt(std::move(drawing));
}

Drawing* CadApplication::add() {
    auto drawing = std::make_unique<Drawing>();
    drawing->setName(QStringLiteral("Drawing%1.dxf").arg(++m_newDrawings));
    return adopt(std::move(drawing));
}

void CadApplication::close(Drawing* drawing) {
    const auto it = std::find_if(m_documents.begin(), m_documents.end(),
                                 [drawing](const auto& d) { return d.get() == drawing; });
    if (it == m_documents.end())
        return;
    const auto index = std::size_t(it - m_documents.begin());
    std::unique_ptr<Drawing> closing = std::move(*it);
    m_documents.erase(it);
    m_numbers.erase(m_numbers.begin() + qsizetype(index));
    if (m_active == drawing) {
        Drawing* next =
            m_documents.empty() ? nullptr : m_documents[index == 0 ? 0 : index - 1].get();
        setActiveDocument(next);
    }
    emit documentClosed(drawing);
    // Views may still hold the pointer while handling documentClosed; delete afterwards.
    closing.release()->deleteLater();
}

void CadApplication::loadDVB(const QString& path) {
    if (!m_engine)
        throwCadError(caderr::Failed, QStringLiteral("No macro language is installed"));
    m_engine->loadProject(path);
}

void CadApplication::runMacro(const QString& name) {
    if (!m_engine)
        throwCadError(caderr::Failed, QStringLiteral("No macro language is installed"));
    m_engine->runMacro(name);
}

} // namespace cadhost
