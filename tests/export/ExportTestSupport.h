#pragma once

// Shared by the export's tests: a documents folder of the test's own, a window that
// records what the export asks of it, and layer pictures of a known natural size.

#include "PlatformTestSupport.h"
#include "export/ExportHost.h"
#include "metafile/WmfWriter.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace exporttest {

// Points the user's folders at a scratch folder while it lives: the workbook lands in
// its "Documents", whichever of the XDG ways the writer asks for it.
class ScratchDocuments {
public:
    ScratchDocuments() {
        QDir(m_dir.path()).mkpath(QStringLiteral("Documents"));
        QDir(m_dir.path()).mkpath(QStringLiteral("config"));
        QFile dirs(m_dir.filePath(QStringLiteral("config/user-dirs.dirs")));
        if (dirs.open(QIODevice::WriteOnly))
            dirs.write("XDG_DOCUMENTS_DIR=\"" + documents().toUtf8() + "\"\n");
        dirs.close();
        m_env.set("HOME", m_dir.path());
        m_env.set("XDG_DOCUMENTS_DIR", documents());
        m_env.set("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")));
    }
    // No folder anywhere can take a workbook: every candidate lies under a plain file,
    // the returned path.
    QString makeUnwritable() {
        QFile file(m_dir.filePath(QStringLiteral("plain")));
        if (file.open(QIODevice::WriteOnly))
            file.write("x");
        file.close();
        const QString under = m_dir.filePath(QStringLiteral("plain/sub"));
        for (const char* name : {"HOME", "XDG_DOCUMENTS_DIR", "XDG_CONFIG_HOME"})
            m_env.set(name, under);
        return under;
    }
    QString documents() const { return m_dir.filePath(QStringLiteral("Documents")); }
    QStringList workbooks() const {
        return QDir(documents()).entryList({QStringLiteral("*.xlsx")}, QDir::Files, QDir::Name);
    }

private:
    QTemporaryDir m_dir;
    platformtest::EnvScope m_env;
};

// Pictures in a LAYER folder of its own; the desktop answers as the test says.
class RecordingHost : public ExportHost {
public:
    // As the work folder has it, a name with "/" cannot be a picture's file name.
    QString layerPicturePath(const QString& sLayerName) override {
        if (sLayerName.contains(QLatin1Char('/')))
            return {};
        return pictures.filePath(QStringLiteral("LAYER/") + sLayerName + QStringLiteral(".wmf"));
    }
    bool openWorkbook(const QString& sPath) override {
        opened << sPath;
        return desktopOpens;
    }
    void showStatusText(const QString& sText) override { statusTexts << sText; }

    // A picture of the layer whose natural size is widthPt x heightPt points.
    void writePicture(const QString& layer, double widthPt = 200, double heightPt = 100) {
        QDir(pictures.path()).mkpath(QStringLiteral("LAYER"));
        const double longSide = std::max(widthPt, heightPt);
        metafile::WmfWriter writer(QRectF(0, 0, widthPt, heightPt), longSide / 72.0);
        writer.polyline(QPolygonF({QPointF(0, 0), QPointF(widthPt, heightPt)}));
        ASSERT_TRUE(writer.save(layerPicturePath(layer)));
    }

    QTemporaryDir pictures;
    bool desktopOpens = true;
    QStringList opened;
    QStringList statusTexts;
};

} // namespace exporttest
