#include "cadhost/ui/MainWindow.h"

#include "cadhost/model/CadApplication.h"
#include "cadhost/model/Drawing.h"
#include "cadhost/ui/DrawingView.h"
#include "platform/VbError.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

namespace cadhost {

MainWindow::MainWindow(CadApplication* application, QWidget* parent)
    : QMainWindow(parent), m_application(application), m_view(new DrawingView(this)) {
    setCentralWidget(m_view);
    resize(1000, 700);

    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&New"), QKeySequence::New, this, &MainWindow::newDrawing);
    file->addAction(tr("&Open..."), QKeySequence::Open, this, &MainWindow::openDrawing);
    file->addAction(tr("&Save"), QKeySequence::Save, this, &MainWindow::saveDrawing);
    file->addAction(tr("Save &As..."), QKeySequence::SaveAs, this, &MainWindow::saveDrawingAs);
    file->addSeparator();
    file->addAction(tr("E&xit"), QKeySequence::Quit, this, &QWidget::close);

    setWindowTitle(m_application->caption());
    connect(m_application, &CadApplication::captionChanged, this, &QWidget::setWindowTitle);
    connect(m_application, &CadApplication::activeDocumentChanged, this, &MainWindow::showActive);
    connect(m_application, &CadApplication::visibleChanged, this, &QWidget::setVisible);
    // However the drawing was opened (this window, the bus, the command line), its user
    // learns here what the open had to change, as a CAD says it in its command line.
    connect(m_application, &CadApplication::documentAdded, this, [this](Drawing* drawing) {
        if (!drawing->openWarnings().isEmpty())
            statusBar()->showMessage(drawing->name() + QStringLiteral(": ") +
                                     drawing->openWarnings().join(QStringLiteral("; ")));
    });
    if (m_application->documentCount() > 0)
        showActive(m_application->activeDocument());
}

void MainWindow::showActive(Drawing* drawing) {
    m_view->setDrawing(drawing);
}

void MainWindow::showError(const QString& title, const std::exception& error) {
    QString text = QString::fromLocal8Bit(error.what());
    if (const auto* vb = dynamic_cast<const platform::VbError*>(&error))
        text = vb->description();
    QMessageBox::critical(this, title, text);
}

void MainWindow::newDrawing() {
    m_application->add();
}

void MainWindow::openDrawing() {
    const QString path =
        QFileDialog::getOpenFileName(this, tr("Open"), QString(), tr("Drawings (*.dxf)"));
    if (!path.isEmpty())
        openFile(path);
}

bool MainWindow::openFile(const QString& path) {
    try {
        m_application->open(path);
        return true;
    } catch (const std::exception& e) {
        showError(tr("Open"), e);
        return false;
    }
}

void MainWindow::saveDrawing() {
    try {
        Drawing* drawing = m_application->activeDocument();
        if (drawing->fullName().isEmpty()) {
            saveDrawingAs();
            return;
        }
        drawing->save();
    } catch (const std::exception& e) {
        showError(tr("Save"), e);
    }
}

void MainWindow::saveDrawingAs() {
    try {
        Drawing* drawing = m_application->activeDocument();
        const QString path = QFileDialog::getSaveFileName(
            this, tr("Save As"),
            drawing->fullName().isEmpty() ? drawing->name() : drawing->fullName(),
            tr("Drawings (*.dxf)"));
        if (!path.isEmpty())
            drawing->saveAs(path);
    } catch (const std::exception& e) {
        showError(tr("Save As"), e);
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the host, as it ends the CAD.
    event->accept();
    QApplication::quit();
}

} // namespace cadhost
