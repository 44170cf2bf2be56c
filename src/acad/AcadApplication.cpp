#include "AcadApplication.h"

namespace acad {

bool AcadApplication::Visible() {
    return m_backend->visible();
}
void AcadApplication::setVisible(bool bVisible) {
    m_backend->setVisible(bVisible);
}
QString AcadApplication::Caption() {
    return m_backend->caption();
}

std::shared_ptr<AcadDocument> AcadApplication::ActiveDocument() {
    return std::make_shared<AcadDocument>(m_backend->activeDocument());
}

void AcadApplication::LoadDVB(const QString& sPath) {
    m_backend->loadDVB(sPath);
}
void AcadApplication::RunMacro(const QString& sMacroName) {
    m_backend->runMacro(sMacroName);
}

std::shared_ptr<AcadDocument> AcadApplication::Open(const QString& sPath) {
    return std::make_shared<AcadDocument>(m_backend->open(sPath));
}

} // namespace acad
