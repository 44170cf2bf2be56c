#pragma once

// libwmf's own converter, the independent judge of the metafile tests: what it makes of
// a file, as SVG.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSizeF>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <vector>

class Wmf2Svg {
public:
    Wmf2Svg() {
        m_tool = QStandardPaths::findExecutable("wmf2svg");
        if (m_tool.isEmpty()) {
            m_missing = "wmf2svg (libwmf-bin) not installed";
            return;
        }
        // wmf2svg insists on loading a font; its standard names point at any TrueType
        // font here. Not the symbol font's: a face without the symbol encoding is no
        // font to it, and it finds that one by itself.
        QString font;
        for (const char* dir :
             {"/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/truetype/ipafont-gothic",
              "/usr/share/fonts/truetype"}) {
            const QStringList found =
                QDir(QString::fromLatin1(dir)).entryList({"*Sans.ttf", "*.ttf"}, QDir::Files);
            if (!found.isEmpty()) {
                font = QDir(QString::fromLatin1(dir)).filePath(found.first());
                break;
            }
        }
        if (font.isEmpty()) {
            m_missing = "no TrueType font for wmf2svg";
            return;
        }
        QFile map(m_dir.filePath("Fontmap"));
        if (!map.open(QIODevice::WriteOnly)) {
            m_missing = "cannot write a font map";
            return;
        }
        for (const char* name :
             {"Times-Roman", "Times-Italic", "Times-Bold", "Times-BoldItalic", "Helvetica",
              "Helvetica-Oblique", "Helvetica-Bold", "Helvetica-BoldOblique", "Courier",
              "Courier-Oblique", "Courier-Bold", "Courier-BoldOblique"})
            map.write(QStringLiteral("/%1 (%2) ;\n").arg(name, font).toUtf8());
        m_fontMap = map.fileName();
    }

    // Why the converter cannot run here; empty when it can.
    QString missing() const { return m_missing; }

    // The SVG for a metafile; empty, with the converter's complaint in `error`, when it
    // refused the file.
    QByteArray convert(const QByteArray& wmf, QString* error = nullptr) {
        const QString in = m_dir.filePath(QStringLiteral("f%1.wmf").arg(m_count));
        const QString out = m_dir.filePath(QStringLiteral("f%1.svg").arg(m_count++));
        QFile file(in);
        if (!file.open(QIODevice::WriteOnly) || file.write(wmf) != wmf.size())
            return {};
        file.close();
        QProcess p;
        p.start(m_tool, {"--wmf-gs-fontmap=" + m_fontMap, "-o", out, in});
        if (!p.waitForFinished(30000) || p.exitCode() != 0) {
            if (error)
                *error = QString::fromLocal8Bit(p.readAllStandardError());
            return {};
        }
        QFile svg(out);
        return svg.open(QIODevice::ReadOnly) ? svg.readAll() : QByteArray();
    }

    // A text as the converter places it: the matrix that takes its text space (x along
    // the baseline, the origin on it) to the SVG's.
    struct Text {
        double a, b, c, d, e, f;
    };
    static std::vector<Text> texts(const QByteArray& svg) {
        std::vector<Text> out;
        // A text's bytes are the metafile's own, whatever their encoding.
        static const QRegularExpression element(QStringLiteral(
            R"re(<text[^>]*transform="matrix\(([^)]*)\)"[^>]*>\s*([^<]*)</text>)re"));
        const QString latin = QString::fromLatin1(svg);
        for (auto it = element.globalMatch(latin); it.hasNext();) {
            const auto m = it.next();
            const QStringList v = m.captured(1).split(' ', Qt::SkipEmptyParts);
            if (v.size() != 6)
                continue;
            out.push_back({v[0].toDouble(), v[1].toDouble(), v[2].toDouble(), v[3].toDouble(),
                           v[4].toDouble(), v[5].toDouble()});
        }
        return out;
    }
    // The width and height the SVG gives its picture.
    static QSizeF size(const QByteArray& svg) {
        static const QRegularExpression box(
            QStringLiteral(R"re(<svg width="([0-9.]+)" height="([0-9.]+)")re"));
        const auto m = box.match(QString::fromLatin1(svg));
        return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
    }

private:
    QTemporaryDir m_dir;
    QString m_tool;
    QString m_fontMap;
    QString m_missing;
    int m_count = 0;
};
