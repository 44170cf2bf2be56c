#pragma once

#include "acad/AcadDocument.h"

#include <memory>

namespace acad {

// The CAD application the viewer holds for the run.
class AcadApplication {
public:
    explicit AcadApplication(std::shared_ptr<ApplicationBackend> backend)
        : m_backend(std::move(backend)) {}

    bool Visible();
    void setVisible(bool bVisible);
    QString Caption();
    // Fails with the CAD's error when no drawing is open.
    std::shared_ptr<AcadDocument> ActiveDocument();
    void LoadDVB(const QString& sPath);
    // Returns when the macro has finished.
    void RunMacro(const QString& sMacroName);
    // The drawing file opened (or activated when open already) as the active document.
    std::shared_ptr<AcadDocument> Open(const QString& sPath);
    // Raises the connection's failure once the CAD stopped answering.
    void CheckConnection() const { m_backend->checkConnection(); }

    const std::shared_ptr<ApplicationBackend>& backend() const { return m_backend; }

private:
    std::shared_ptr<ApplicationBackend> m_backend;
};

} // namespace acad
