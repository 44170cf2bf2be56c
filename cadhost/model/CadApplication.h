#pragma once

#include "cadhost/model/Drawing.h"
#include "cadhost/model/DrawingStore.h"
#include "cadhost/model/MacroEngine.h"

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

namespace cadhost {

// The CAD application as its automation interface shows it: the open documents, the
// active one, the main window's visibility and caption, and the macro project. The
// window and the D-Bus adaptor both sit on top of this one object.
class CadApplication : public QObject {
    Q_OBJECT
public:
    explicit CadApplication(QObject* parent = nullptr);
    ~CadApplication() override;

    // The file format used by open() and by every document's save(); without one,
    // open, save and saveAs fail with an automation error.
    void setDrawingStore(std::unique_ptr<DrawingStore> store);
    DrawingStore* drawingStore() const { return m_store.get(); }
    // The macro language used by loadDVB and runMacro.
    void setMacroEngine(std::unique_ptr<MacroEngine> engine);
    MacroEngine* macroEngine() const { return m_engine.get(); }

    bool visible() const { return m_visible; }
    void setVisible(bool visible);
    // "CAD Host - [plan.dxf]"; "CAD Host" when no drawing is open.
    QString caption() const;

    int documentCount() const { return int(m_documents.size()); }
    Drawing* document(int index) const;
    // Every document gets a number when it is opened or added, never reused; the bus
    // names it /Documents/<number>.
    int documentNumber(const Drawing* drawing) const;
    Drawing* documentByNumber(int number) const;
    // Throws caderr::NoDocument when no drawing is open.
    Drawing* activeDocument() const;
    void setActiveDocument(Drawing* drawing);

    // Opens the drawing, or activates it when that file is open already, and makes it
    // the active document. A file that cannot be read leaves every document as it was.
    // What the open had to change (Drawing::openWarnings) goes to the host's log.
    Drawing* open(const QString& path);
    // A new never-saved drawing "DrawingN.dxf", made active.
    Drawing* add();
    // Closes a document; the previous one in the list becomes active.
    void close(Drawing* drawing);

    void loadDVB(const QString& path);
    void runMacro(const QString& name);

signals:
    void visibleChanged(bool visible);
    void captionChanged(const QString& caption);
    void activeDocumentChanged(cadhost::Drawing* drawing);
    void documentAdded(cadhost::Drawing* drawing);
    void documentClosed(cadhost::Drawing* drawing);

private:
    Drawing* adopt(std::unique_ptr<Drawing> drawing);

    std::vector<std::unique_ptr<Drawing>> m_documents;
    std::vector<int> m_numbers;
    Drawing* m_active = nullptr;
    int m_nextNumber = 1;
    int m_newDrawings = 0;
    bool m_visible = false;
    std::unique_ptr<DrawingStore> m_store;
    std::unique_ptr<MacroEngine> m_engine;
};

} // namespace cadhost
