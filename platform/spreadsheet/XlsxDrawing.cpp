#include "platform/spreadsheet/XlsxParts.h"
#include "platform/spreadsheet/XmlText.h"

#include <QFileInfo>

#include <cmath>

namespace spreadsheet::xlsx {

namespace {

const char* const kDrawingNs =
    "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing";
const char* const kMainNs = "http://schemas.openxmlformats.org/drawingml/2006/main";
const char* const kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char* const kImageRel =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";

QString extensionOf(Picture::Format format) {
    switch (format) {
    case Picture::Format::Png:
        return QStringLiteral("png");
    case Picture::Format::Jpeg:
        return QStringLiteral("jpeg");
    case Picture::Format::Wmf:
        break;
    }
    return QStringLiteral("wmf");
}

// Red is the low byte of the spreadsheet's colours, as RGB() builds them.
QString rgbHex(RgbColor color) {
    const int red = color & 0xFF, green = (color >> 8) & 0xFF, blue = (color >> 16) & 0xFF;
    return QStringLiteral("%1%2%3")
        .arg(red, 2, 16, QLatin1Char('0'))
        .arg(green, 2, 16, QLatin1Char('0'))
        .arg(blue, 2, 16, QLatin1Char('0'))
        .toUpper();
}

struct Box {
    qint64 x, y, cx, cy; // EMU
};

QString anchorStart(const Grid& grid, const Box& box, const char* editAs) {
    const Grid::Place fromColumn = grid.column(box.x), fromRow = grid.row(box.y);
    const Grid::Place toColumn = grid.column(box.x + box.cx), toRow = grid.row(box.y + box.cy);
    const auto place = [](const char* tag, const Grid::Place& c, const Grid::Place& r) {
        return QStringLiteral("<xdr:%1><xdr:col>%2</xdr:col><xdr:colOff>%3</xdr:colOff>"
                              "<xdr:row>%4</xdr:row><xdr:rowOff>%5</xdr:rowOff></xdr:%1>")
            .arg(QLatin1String(tag))
            .arg(c.index)
            .arg(c.offset)
            .arg(r.index)
            .arg(r.offset);
    };
    return QStringLiteral("<xdr:twoCellAnchor editAs=\"%1\">").arg(QLatin1String(editAs)) +
           place("from", fromColumn, fromRow) + place("to", toColumn, toRow);
}

QString transform(const Box& box) {
    return QStringLiteral("<a:xfrm><a:off x=\"%1\" y=\"%2\"/><a:ext cx=\"%3\" cy=\"%4\"/></a:xfrm>"
                          "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom>")
        .arg(box.x)
        .arg(box.y)
        .arg(box.cx)
        .arg(box.cy);
}

QString pictureLine(const Picture::BorderLine& border) {
    if (border.lineStyle == xlLineStyleNone)
        return QStringLiteral("<a:ln><a:noFill/></a:ln>");
    QString dash = QStringLiteral("solid");
    if (border.lineStyle == xlDash)
        dash = QStringLiteral("dash");
    else if (border.lineStyle == xlDot)
        dash = QStringLiteral("sysDot");
    else if (border.lineStyle == xlDashDot)
        dash = QStringLiteral("dashDot");
    else if (border.lineStyle == xlDashDotDot)
        dash = QStringLiteral("lgDashDotDot");
    return QStringLiteral("<a:ln w=\"%1\"><a:solidFill><a:srgbClr val=\"%2\"/></a:solidFill>"
                          "<a:prstDash val=\"%3\"/></a:ln>")
        .arg(toEmu(std::max(0.0, border.weight)))
        .arg(rgbHex(border.color), dash);
}

const char* editAsOf(int placement) {
    switch (placement) {
    case xlMoveAndSize:
        return "twoCell";
    case xlFreeFloating:
        return "absolute";
    default:
        return "oneCell";
    }
}

const char* alignmentOf(int alignment) {
    switch (alignment) {
    case xlCenter:
        return "ctr";
    case xlRight:
        return "r";
    case xlJustify:
        return "just";
    case xlDistributed:
        return "dist";
    default:
        return "l";
    }
}

// msoTextOrientation: 1 horizontal, 2 upward, 3 downward, 5 vertical (East Asian).
const char* verticalOf(int orientation) {
    switch (orientation) {
    case 2:
        return "vert270";
    case 3:
        return "vert";
    case 5:
        return "eaVert";
    default:
        return "horz";
    }
}

// The text as paragraphs: a line feed (or CR LF) in the text frame's characters starts
// a new paragraph, as it does in the spreadsheet.
QString paragraphs(const Shape& shape) {
    QString text = shape.text();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    const QString size = QString::number(std::lround(shape.fontSize() * 100.0));
    const QString align = QLatin1String(alignmentOf(shape.horizontalAlignment()));
    QString out;
    for (const QString& line : text.split(u'\n')) {
        out += QStringLiteral("<a:p><a:pPr algn=\"%1\"/>").arg(align);
        if (!line.isEmpty()) {
            out += QStringLiteral("<a:r><a:rPr lang=\"ja-JP\" altLang=\"en-US\" sz=\"%1\"/>"
                                  "<a:t>%2</a:t></a:r>")
                       .arg(size, xml::text(line));
        }
        out += QStringLiteral("<a:endParaRPr lang=\"ja-JP\" altLang=\"en-US\" sz=\"%1\"/></a:p>")
                   .arg(size);
    }
    return out;
}

} // namespace

Drawing drawing(const Worksheet& sheet, int& nextImage) {
    const Grid grid(sheet);
    Drawing result;
    QString xml =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                       "<xdr:wsDr xmlns:xdr=\"%1\" xmlns:a=\"%2\" xmlns:r=\"%3\">")
            .arg(QLatin1String(kDrawingNs), QLatin1String(kMainNs), QLatin1String(kRelNs));
    QString rels = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                                  "<Relationships xmlns=\"http://schemas.openxmlformats.org/"
                                  "package/2006/relationships\">");
    int id = 1; // cNvPr ids, unique within the drawing
    int relationship = 0;
    for (const Worksheet::DrawingObject& object : sheet.drawingObjects()) {
        ++id;
        if (const Picture* picture = object.picture) {
            const Box box{toEmu(picture->Left()), toEmu(picture->Top()), toEmu(picture->Width()),
                          toEmu(picture->Height())};
            const QString media =
                QStringLiteral("image%1.%2").arg(nextImage++).arg(extensionOf(picture->format()));
            result.media.push_back({QStringLiteral("xl/media/") + media, picture->bytes(),
                                    picture->format() == Picture::Format::Wmf});
            const QString rid = QStringLiteral("rId%1").arg(++relationship);
            rels += QStringLiteral("<Relationship Id=\"%1\" Type=\"%2\" Target=\"../media/%3\"/>")
                        .arg(rid, QLatin1String(kImageRel), media);
            xml += anchorStart(grid, box, "oneCell");
            xml += QStringLiteral("<xdr:pic><xdr:nvPicPr><xdr:cNvPr id=\"%1\" name=\"Picture %2\" "
                                  "descr=\"%3\"/><xdr:cNvPicPr><a:picLocks noChangeAspect=\"1\"/>"
                                  "</xdr:cNvPicPr></xdr:nvPicPr><xdr:blipFill>"
                                  "<a:blip r:embed=\"%4\"/><a:stretch><a:fillRect/></a:stretch>"
                                  "</xdr:blipFill><xdr:spPr>")
                       .arg(id)
                       .arg(id - 1)
                       .arg(xml::text(QFileInfo(picture->sourcePath()).fileName()), rid);
            xml += transform(box) + pictureLine(picture->Border());
            xml += QLatin1String("</xdr:spPr></xdr:pic><xdr:clientData/></xdr:twoCellAnchor>");
        } else if (const Shape* shape = object.shape) {
            const Box box{toEmu(shape->Left()), toEmu(shape->Top()), toEmu(shape->Width()),
                          toEmu(shape->Height())};
            xml += anchorStart(grid, box, editAsOf(shape->placement()));
            xml += QStringLiteral("<xdr:sp macro=\"\" textlink=\"\"><xdr:nvSpPr>"
                                  "<xdr:cNvPr id=\"%1\" name=\"TextBox %2\"/>"
                                  "<xdr:cNvSpPr txBox=\"1\"/></xdr:nvSpPr><xdr:spPr>")
                       .arg(id)
                       .arg(id - 1);
            xml += transform(box);
            xml += QLatin1String("<a:solidFill><a:srgbClr val=\"FFFFFF\"/></a:solidFill>"
                                 "<a:ln w=\"9525\"><a:solidFill><a:srgbClr val=\"000000\"/>"
                                 "</a:solidFill></a:ln></xdr:spPr>");
            xml += QStringLiteral("<xdr:txBody><a:bodyPr vertOverflow=\"clip\" wrap=\"square\" "
                                  "vert=\"%1\" rtlCol=\"0\" anchor=\"t\"/><a:lstStyle/>")
                       .arg(QLatin1String(verticalOf(shape->orientation())));
            xml += paragraphs(*shape);
            xml += QLatin1String("</xdr:txBody></xdr:sp><xdr:clientData/></xdr:twoCellAnchor>");
        }
    }
    xml += QLatin1String("</xdr:wsDr>");
    rels += QLatin1String("</Relationships>");
    result.xml = xml.toUtf8();
    result.rels = rels.toUtf8();
    return result;
}

} // namespace spreadsheet::xlsx
