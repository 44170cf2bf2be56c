#include "platform/spreadsheet/Spreadsheet.h"

#include <algorithm>

namespace spreadsheet {

SpreadsheetError::SpreadsheetError(qint32 number, const QString& description)
    : platform::AutomationError(number, description) {}

// --- Application ------------------------------------------------------------------

Application::Application() = default;
Application::~Application() = default;

bool Application::Visible() const {
    return m_visible;
}

void Application::setVisible(bool visible) {
    m_visible = visible;
}

int Application::WindowState() const {
    return m_windowState;
}

void Application::setWindowState(int state) {
    m_windowState = state;
}

// The stand-in has no window of its own; the title names it for a caller that looks
// for one, and matches no window of the desktop.
QString Application::Caption() const {
    return QStringLiteral("KORVEL Spreadsheet");
}

Workbook& Application::addWorkbook() {
    m_books.push_back(std::unique_ptr<Workbook>(new Workbook(m_sheetsInNewWorkbook)));
    return *m_books.back();
}

int Application::workbookCount() const {
    return int(m_books.size());
}

bool Application::ScreenUpdating() const {
    return m_screenUpdating;
}

void Application::setScreenUpdating(bool on) {
    m_screenUpdating = on;
}

double Application::CentimetersToPoints(double centimetres) const {
    return centimetres * 72.0 / 2.54;
}

int Application::SheetsInNewWorkbook() const {
    return m_sheetsInNewWorkbook;
}

void Application::setSheetsInNewWorkbook(int sheets) {
    if (sheets < 1 || sheets > 255)
        throw SpreadsheetError(errRefusedValue,
                               QStringLiteral("A new workbook holds 1 to 255 sheets."));
    m_sheetsInNewWorkbook = sheets;
}

// --- Workbook ---------------------------------------------------------------------

Workbook::Workbook(int sheets) {
    for (int i = 0; i < sheets; ++i)
        m_sheets.push_back(std::unique_ptr<Worksheet>(new Worksheet(*this, unusedDefaultName())));
    m_active = m_sheets.front().get();
}

Workbook::~Workbook() = default;

int Workbook::worksheetCount() const {
    return int(m_sheets.size());
}

Worksheet& Workbook::worksheet(int index) {
    return const_cast<Worksheet&>(std::as_const(*this).worksheet(index));
}

const Worksheet& Workbook::worksheet(int index) const {
    if (index < 1 || index > worksheetCount())
        throw SpreadsheetError(errBadIndex, QStringLiteral("Invalid index."));
    return *m_sheets[size_t(index - 1)];
}

Worksheet& Workbook::addWorksheetAfter(Worksheet& after) {
    const auto at = std::find_if(m_sheets.begin(), m_sheets.end(),
                                 [&](const auto& sheet) { return sheet.get() == &after; });
    if (at == m_sheets.end())
        throw SpreadsheetError(errRefusedValue,
                               QStringLiteral("The sheet to add after is not in this workbook."));
    auto sheet = std::unique_ptr<Worksheet>(new Worksheet(*this, unusedDefaultName()));
    Worksheet& added = **m_sheets.insert(at + 1, std::move(sheet));
    // A sheet just added is the one shown, as in the spreadsheet.
    m_active = &added;
    return added;
}

Worksheet* Workbook::activeSheet() const {
    return m_active;
}

QStringList Workbook::sheetNames(const Worksheet* except) const {
    QStringList names;
    for (const auto& sheet : m_sheets) {
        if (sheet.get() != except)
            names << sheet->Name();
    }
    return names;
}

// "Sheet<n>" with a number never handed out before in this workbook, as the
// spreadsheet counts on rather than reusing the numbers of deleted sheets.
QString Workbook::unusedDefaultName() {
    const QStringList taken = sheetNames();
    QString name;
    do
        name = QStringLiteral("Sheet%1").arg(++m_lastDefaultNumber);
    while (!isAcceptedSheetName(name, taken));
    return name;
}

void Workbook::remove(Worksheet& sheet) {
    if (m_sheets.size() <= 1)
        throw SpreadsheetError(errRefusedValue,
                               QStringLiteral("A workbook must keep at least one sheet."));
    const auto at = std::find_if(m_sheets.begin(), m_sheets.end(),
                                 [&](const auto& s) { return s.get() == &sheet; });
    if (at == m_sheets.end())
        return;
    // The sheet after a deleted active sheet is shown, or the one before the last.
    const auto index = at - m_sheets.begin();
    std::unique_ptr<Worksheet> gone = std::move(*at);
    m_sheets.erase(at);
    if (m_active == gone.get())
        m_active = m_sheets[std::min(size_t(index), m_sheets.size() - 1)].get();
}

} // namespace spreadsheet
