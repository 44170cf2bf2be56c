#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QUrl;

// The desktop's own programs for the about window's links: the file manager, the
// program for text files, the web browser; and the program for an exported workbook.
// Each takes one whole path or address, so a folder with blanks in its name arrives as
// one argument. The links report no failure: a link that the desktop cannot follow
// simply does nothing.
class DesktopService {
public:
    virtual ~DesktopService() = default;
    virtual void openFolder(const QString& folder) = 0;
    virtual void openTextFile(const QString& path) = 0;
    virtual void openUrl(const QString& url) = 0;
    // The desktop's program for the document's type; false when there is none to start.
    virtual bool openDocument(const QString& path);
};

// The service in use: QDesktopServices (xdg-open) unless a test has put its own in place.
DesktopService& desktopService();
// Passing nullptr restores the desktop's.
void setDesktopServiceForTesting(std::unique_ptr<DesktopService> service);

// The desktop's service as desktopService() makes it, handing documents to `launch`
// instead of QDesktopServices::openUrl, so that a test can watch what would be started.
std::unique_ptr<DesktopService> makeDesktopService(std::function<bool(const QUrl&)> launch);

// The desktop entries ("app.desktop") that open files of `mimeType` or one of its
// `aliases`, by the associations of the user and of the system (mimeapps.list, the
// entries' own MimeType), most wanted first; only installed entries that can run.
QStringList programsForType(const QString& mimeType, const QStringList& aliases = {});
