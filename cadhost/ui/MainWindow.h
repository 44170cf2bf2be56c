#pragma once

#include <QMainWindow>

namespace cadhost {

class CadApplication;
class Drawing;
class DrawingView;

// The host's main window: title = the application's Caption, the active drawing in the
// middle, the File menu. Shown and hidden with the application's Visible property.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(CadApplication* application, QWidget* parent = nullptr);

    DrawingView* view() const { return m_view; }

    void newDrawing();
    void openDrawing();
    // Opens a file and reports a failure in a message box; true when it opened.
    bool openFile(const QString& path);
    void saveDrawing();
    void saveDrawingAs();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showActive(Drawing* drawing);
    void showError(const QString& title, const std::exception& error);

    CadApplication* m_application;
    DrawingView* m_view;
};

} // namespace cadhost
