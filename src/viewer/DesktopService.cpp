#include "DesktopService.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

class SystemDesktopService : public DesktopService {
public:
    void openFolder(const QString& folder) override {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    }
    void openTextFile(const QString& path) override {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
    void openUrl(const QString& url) override {
        QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
    }
    bool openDocument(const QString& path) override {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
};

std::unique_ptr<DesktopService>& installed() {
    static std::unique_ptr<DesktopService> service;
    return service;
}

} // namespace

bool DesktopService::openDocument(const QString& /*path*/) {
    return false;
}

DesktopService& desktopService() {
    if (!installed())
        installed() = std::make_unique<SystemDesktopService>();
    return *installed();
}

void setDesktopServiceForTesting(std::unique_ptr<DesktopService> service) {
    installed() = std::move(service);
}
