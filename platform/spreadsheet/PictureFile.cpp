#include "platform/spreadsheet/PictureFile.h"

#include "metafile/MetafilePicture.h"
#include "metafile/WmfValidator.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <cstring>

namespace spreadsheet {

namespace {

constexpr double kPointsPerTwip = 1.0 / 20.0;
constexpr double kPointsPerPixel = 72.0 / 96.0;

[[noreturn]] void refuse(const QString& path, const QString& why) {
    throw SpreadsheetError(errRefusedValue,
                           QStringLiteral("Cannot insert the picture %1: %2").arg(path, why));
}

bool startsWith(const QByteArray& bytes, const char* magic, int length) {
    return bytes.size() >= length && std::memcmp(bytes.constData(), magic, size_t(length)) == 0;
}

} // namespace

PictureFile readPictureFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        refuse(path, file.errorString());
    PictureFile picture;
    picture.bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        refuse(path, file.errorString());

    if (startsWith(picture.bytes, "\x89PNG\r\n\x1a\n", 8) ||
        startsWith(picture.bytes, "\xff\xd8\xff", 3)) {
        picture.format = picture.bytes[0] == '\x89' ? Picture::Format::Png : Picture::Format::Jpeg;
        QBuffer buffer(&picture.bytes);
        QImageReader reader(&buffer);
        // Decoded once, so that a damaged bitmap is refused here and not by the program
        // that opens the workbook.
        const QImage image = reader.read();
        if (image.isNull() || image.width() <= 0 || image.height() <= 0)
            refuse(path, reader.errorString());
        picture.widthPoints = image.width() * kPointsPerPixel;
        picture.heightPoints = image.height() * kPointsPerPixel;
        return picture;
    }

    // Anything else must be a Windows metafile the viewer itself could show.
    picture.format = Picture::Format::Wmf;
    const auto wmf = metafile::MetafilePicture::fromBytes(
        picture.bytes, metafile::MetafilePicture::Play::Deferred);
    if (!wmf)
        refuse(path, QStringLiteral("not a picture"));
    const QSizeF twips = wmf->naturalSizeTwips();
    if (!(twips.width() > 0.0 && twips.height() > 0.0))
        refuse(path, QStringLiteral("the picture has no size"));
    picture.widthPoints = twips.width() * kPointsPerTwip;
    picture.heightPoints = twips.height() * kPointsPerTwip;
    return picture;
}

} // namespace spreadsheet
