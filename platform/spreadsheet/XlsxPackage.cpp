#include "platform/spreadsheet/XlsxParts.h"
#include "platform/spreadsheet/XmlText.h"

#include <QDateTime>
#include <QSet>

namespace spreadsheet::xlsx {

namespace {

const char* const kXmlHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const char* const kPackageRelNs = "http://schemas.openxmlformats.org/package/2006/relationships";
const char* const kDocRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

QString relationship(int id, const QString& type, const QString& target) {
    return QStringLiteral("<Relationship Id=\"rId%1\" Type=\"%2\" Target=\"%3\"/>")
        .arg(id)
        .arg(type, target);
}

QByteArray relationships(const QString& body) {
    return (QLatin1String(kXmlHeader) +
            QStringLiteral("<Relationships xmlns=\"%1\">").arg(QLatin1String(kPackageRelNs)) +
            body + QLatin1String("</Relationships>"))
        .toUtf8();
}

QString mimeOf(const QString& extension) {
    if (extension == QLatin1String("png"))
        return QStringLiteral("image/png");
    if (extension == QLatin1String("jpeg"))
        return QStringLiteral("image/jpeg");
    return QStringLiteral("image/x-wmf");
}

} // namespace

QByteArray contentTypesXml(int sheets, const std::vector<int>& drawings, bool sharedStrings,
                           const QSet<QString>& mediaExtensions) {
    const QString ml = QStringLiteral("application/vnd.openxmlformats-officedocument.");
    QString out = QLatin1String(kXmlHeader);
    out += QLatin1String("<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                         "content-types\">"
                         "<Default Extension=\"rels\" ContentType=\"application/"
                         "vnd.openxmlformats-package.relationships+xml\"/>"
                         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>");
    QStringList extensions(mediaExtensions.begin(), mediaExtensions.end());
    extensions.sort();
    for (const QString& extension : extensions) {
        out += QStringLiteral("<Default Extension=\"%1\" ContentType=\"%2\"/>")
                   .arg(extension, mimeOf(extension));
    }
    const auto override = [&](const QString& part, const QString& type) {
        out += QStringLiteral("<Override PartName=\"%1\" ContentType=\"%2\"/>").arg(part, type);
    };
    override(QStringLiteral("/xl/workbook.xml"),
             ml + QStringLiteral("spreadsheetml.sheet.main+xml"));
    for (int i = 1; i <= sheets; ++i) {
        override(QStringLiteral("/xl/worksheets/sheet%1.xml").arg(i),
                 ml + QStringLiteral("spreadsheetml.worksheet+xml"));
    }
    for (const int d : drawings)
        override(QStringLiteral("/xl/drawings/drawing%1.xml").arg(d),
                 ml + QStringLiteral("drawing+xml"));
    override(QStringLiteral("/xl/styles.xml"), ml + QStringLiteral("spreadsheetml.styles+xml"));
    if (sharedStrings)
        override(QStringLiteral("/xl/sharedStrings.xml"),
                 ml + QStringLiteral("spreadsheetml.sharedStrings+xml"));
    override(QStringLiteral("/docProps/core.xml"),
             QStringLiteral("application/vnd.openxmlformats-package.core-properties+xml"));
    override(QStringLiteral("/docProps/app.xml"), ml + QStringLiteral("extended-properties+xml"));
    out += QLatin1String("</Types>");
    return out.toUtf8();
}

QByteArray packageRelsXml() {
    const QString doc = QLatin1String(kDocRel);
    return relationships(
        relationship(1, doc + QStringLiteral("/officeDocument"),
                     QStringLiteral("xl/workbook.xml")) +
        relationship(2,
                     QStringLiteral("http://schemas.openxmlformats.org/package/2006/"
                                    "relationships/metadata/core-properties"),
                     QStringLiteral("docProps/core.xml")) +
        relationship(3, doc + QStringLiteral("/extended-properties"),
                     QStringLiteral("docProps/app.xml")));
}

QByteArray corePropertiesXml() {
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    return (QLatin1String(kXmlHeader) +
            QStringLiteral(
                "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/"
                "metadata/core-properties\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
                "xmlns:dcterms=\"http://purl.org/dc/terms/\" "
                "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
                "<dc:creator>KORVEL</dc:creator>"
                "<dcterms:created xsi:type=\"dcterms:W3CDTF\">%1</dcterms:created>"
                "<dcterms:modified xsi:type=\"dcterms:W3CDTF\">%1</dcterms:modified>"
                "</cp:coreProperties>")
                .arg(now))
        .toUtf8();
}

QByteArray appPropertiesXml(const QStringList& sheetNames) {
    QString titles;
    for (const QString& name : sheetNames)
        titles += QStringLiteral("<vt:lpstr>%1</vt:lpstr>").arg(xml::text(name));
    return (QLatin1String(kXmlHeader) +
            QStringLiteral(
                "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                "extended-properties\" xmlns:vt=\"http://schemas.openxmlformats.org/"
                "officeDocument/2006/docPropsVTypes\"><Application>KORVEL</Application>"
                "<HeadingPairs><vt:vector size=\"2\" baseType=\"variant\"><vt:variant>"
                "<vt:lpstr>Worksheets</vt:lpstr></vt:variant><vt:variant><vt:i4>%1</vt:i4>"
                "</vt:variant></vt:vector></HeadingPairs><TitlesOfParts>"
                "<vt:vector size=\"%1\" baseType=\"lpstr\">%2</vt:vector></TitlesOfParts>"
                "</Properties>")
                .arg(sheetNames.size())
                .arg(titles))
        .toUtf8();
}

QByteArray workbookXml(const Workbook& book) {
    int active = 0;
    QString sheets;
    for (int i = 1; i <= book.worksheetCount(); ++i) {
        const Worksheet& sheet = book.worksheet(i);
        if (&sheet == book.activeSheet())
            active = i - 1;
        sheets += QStringLiteral("<sheet name=\"%1\" sheetId=\"%2\" r:id=\"rId%2\"/>")
                      .arg(xml::text(sheet.Name()), QString::number(i));
    }
    return (QLatin1String(kXmlHeader) +
            QStringLiteral("<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/"
                           "2006/main\" xmlns:r=\"%1\"><bookViews><workbookView activeTab=\"%2\"/>"
                           "</bookViews><sheets>%3</sheets></workbook>")
                .arg(QLatin1String(kDocRel))
                .arg(active)
                .arg(sheets))
        .toUtf8();
}

QByteArray workbookRelsXml(int sheets, bool sharedStrings) {
    const QString doc = QLatin1String(kDocRel);
    QString body;
    for (int i = 1; i <= sheets; ++i) {
        body += relationship(i, doc + QStringLiteral("/worksheet"),
                             QStringLiteral("worksheets/sheet%1.xml").arg(i));
    }
    body += relationship(sheets + 1, doc + QStringLiteral("/styles"), QStringLiteral("styles.xml"));
    if (sharedStrings) {
        body += relationship(sheets + 2, doc + QStringLiteral("/sharedStrings"),
                             QStringLiteral("sharedStrings.xml"));
    }
    return relationships(body);
}

QByteArray sheetRelsXml(int drawing) {
    return relationships(relationship(1, QLatin1String(kDocRel) + QStringLiteral("/drawing"),
                                      QStringLiteral("../drawings/drawing%1.xml").arg(drawing)));
}

} // namespace spreadsheet::xlsx
