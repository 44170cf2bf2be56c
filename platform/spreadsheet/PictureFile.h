#pragma once

#include "platform/spreadsheet/Spreadsheet.h"

namespace spreadsheet {

// A picture file as Pictures.Insert reads it: its bytes, what they are, and the size
// the file gives itself in points: a metafile's placeable box at its units per inch
// (the extent it draws when it has none), a bitmap's pixels at 96 per inch.
struct PictureFile {
    QByteArray bytes;
    Picture::Format format = Picture::Format::Wmf;
    double widthPoints = 0.0;
    double heightPoints = 0.0;
};

// Throws SpreadsheetError when the file is missing, unreadable or not a picture.
PictureFile readPictureFile(const QString& path);

} // namespace spreadsheet
