#include "platform/spreadsheet/XlsxWriter.h"

#include "platform/SafeFile.h"
#include "platform/spreadsheet/XlsxParts.h"

#include <QFile>
#include <QSet>

#include <zip.h>

#include <cstdio>

namespace spreadsheet {

namespace {

bool fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

QString zipErrorText(zip_error_t* error) {
    return QString::fromLocal8Bit(zip_error_strerror(error));
}

// The package as zip bytes, built in memory so that the file is written in one piece.
// Pictures already compressed are stored as they are.
QByteArray zipped(const std::vector<xlsx::Part>& parts, QString* error) {
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &zipError);
    if (!buffer) {
        fail(error, zipErrorText(&zipError));
        zip_error_fini(&zipError);
        return {};
    }
    // Kept past zip_close, which would otherwise free the bytes just written.
    zip_source_keep(buffer);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &zipError);
    if (!archive) {
        fail(error, zipErrorText(&zipError));
        zip_error_fini(&zipError);
        zip_source_free(buffer);
        return {};
    }
    zip_error_fini(&zipError);
    for (const xlsx::Part& part : parts) {
        // The bytes stay in `parts` until zip_close has read them.
        zip_source_t* source =
            zip_source_buffer(archive, part.data.constData(), zip_uint64_t(part.data.size()), 0);
        const QByteArray name = part.name.toUtf8();
        const zip_int64_t index =
            source ? zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            fail(error, QString::fromLocal8Bit(zip_strerror(archive)));
            if (source)
                zip_source_free(source);
            zip_discard(archive);
            zip_source_free(buffer);
            return {};
        }
        zip_set_file_compression(archive, zip_uint64_t(index),
                                 part.compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
    }
    if (zip_close(archive) != 0) {
        fail(error, QString::fromLocal8Bit(zip_strerror(archive)));
        zip_discard(archive);
        zip_source_free(buffer);
        return {};
    }
    QByteArray bytes;
    if (zip_source_open(buffer) == 0) {
        if (zip_source_seek(buffer, 0, SEEK_END) == 0) {
            const zip_int64_t size = zip_source_tell(buffer);
            if (size > 0 && zip_source_seek(buffer, 0, SEEK_SET) == 0) {
                bytes.resize(qsizetype(size));
                if (zip_source_read(buffer, bytes.data(), zip_uint64_t(size)) != size)
                    bytes.clear();
            }
        }
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    if (bytes.isEmpty())
        fail(error, QStringLiteral("The workbook could not be packed."));
    return bytes;
}

std::vector<xlsx::Part> packageParts(const Workbook& workbook) {
    std::vector<xlsx::Part> parts;
    xlsx::SharedStrings strings;
    xlsx::Styles styles;
    std::vector<int> drawings;
    QSet<QString> mediaExtensions;
    QStringList names;
    int nextImage = 1;
    const int sheets = workbook.worksheetCount();
    for (int i = 1; i <= sheets; ++i) {
        const Worksheet& sheet = workbook.worksheet(i);
        names << sheet.Name();
        const bool hasDrawing = !sheet.drawingObjects().empty();
        parts.push_back(
            {QStringLiteral("xl/worksheets/sheet%1.xml").arg(i),
             xlsx::sheetXml(sheet, &sheet == workbook.activeSheet(), hasDrawing, strings, styles)});
        if (!hasDrawing)
            continue;
        const int number = int(drawings.size()) + 1;
        drawings.push_back(number);
        xlsx::Drawing drawing = xlsx::drawing(sheet, nextImage);
        parts.push_back({QStringLiteral("xl/worksheets/_rels/sheet%1.xml.rels").arg(i),
                         xlsx::sheetRelsXml(number)});
        parts.push_back({QStringLiteral("xl/drawings/drawing%1.xml").arg(number), drawing.xml});
        parts.push_back(
            {QStringLiteral("xl/drawings/_rels/drawing%1.xml.rels").arg(number), drawing.rels});
        for (xlsx::Part& media : drawing.media) {
            mediaExtensions.insert(media.name.section(u'.', -1));
            parts.push_back(std::move(media));
        }
    }
    const bool hasStrings = !strings.isEmpty();
    // The content types first, as readers that stream the package expect them.
    parts.insert(
        parts.begin(),
        {{QStringLiteral("[Content_Types].xml"),
          xlsx::contentTypesXml(sheets, drawings, hasStrings, mediaExtensions)},
         {QStringLiteral("_rels/.rels"), xlsx::packageRelsXml()},
         {QStringLiteral("docProps/core.xml"), xlsx::corePropertiesXml()},
         {QStringLiteral("docProps/app.xml"), xlsx::appPropertiesXml(names)},
         {QStringLiteral("xl/workbook.xml"), xlsx::workbookXml(workbook)},
         {QStringLiteral("xl/_rels/workbook.xml.rels"), xlsx::workbookRelsXml(sheets, hasStrings)},
         {QStringLiteral("xl/styles.xml"), styles.xml()}});
    if (hasStrings)
        parts.push_back({QStringLiteral("xl/sharedStrings.xml"), strings.xml()});
    return parts;
}

// The package as it lies on disk: it opens, holds every part, and every part reads to
// its end with its checksum right. A disk that took fewer bytes than it said, or other
// ones, gives a file no reader opens; it must not be the one handed to the user.
bool readsBack(const QString& file, zip_int64_t parts, QString* reason) {
    int code = 0;
    zip_t* archive =
        zip_open(QFile::encodeName(file).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!archive) {
        zip_error_t zipError;
        zip_error_init_with_code(&zipError, code);
        *reason = zipErrorText(&zipError);
        zip_error_fini(&zipError);
        return false;
    }
    bool whole = zip_get_num_entries(archive, 0) == parts;
    if (!whole)
        *reason = QStringLiteral("The workbook lacks parts.");
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (zip_int64_t i = 0; whole && i < parts; ++i) {
        zip_file_t* part = zip_fopen_index(archive, zip_uint64_t(i), 0);
        if (!part) {
            *reason = QString::fromLocal8Bit(zip_strerror(archive));
            whole = false;
            break;
        }
        // Each read takes the part further or ends it; a wrong checksum fails the last.
        zip_int64_t read = 0;
        do
            read = zip_fread(part, buffer.data(), zip_uint64_t(buffer.size()));
        while (read > 0);
        if (read < 0) {
            *reason = QString::fromLocal8Bit(zip_file_strerror(part));
            whole = false;
        }
        zip_fclose(part);
    }
    zip_discard(archive);
    return whole;
}

} // namespace

bool writeXlsx(const Workbook& workbook, const QString& path, QString* error) {
    platform::SafeFile::Failure failure;
    const bool written = writeXlsx(workbook, path, &failure);
    if (!written && error)
        *error = failure.reason;
    return written;
}

bool writeXlsx(const Workbook& workbook, const QString& path,
               platform::SafeFile::Failure* failure) {
    const std::vector<xlsx::Part> parts = packageParts(workbook);
    QString why;
    const QByteArray bytes = zipped(parts, &why);
    if (bytes.isEmpty()) {
        if (failure)
            *failure = {0, why};
        return false;
    }
    return platform::SafeFile::write(path, bytes, platform::SafeFile::Sync::ToDisk, failure,
                                     [&](const QString& written, QString* reason) {
                                         return readsBack(written, zip_int64_t(parts.size()),
                                                          reason);
                                     });
}

} // namespace spreadsheet
