#include "platform/spreadsheet/Spreadsheet.h"

#include <algorithm>

namespace spreadsheet {

namespace {

void checkSize(double points) {
    // The spreadsheet's drawing objects are at most 169,056 points (2,352 inches) wide.
    if (!(points >= 0.0 && points <= 169056.0))
        throw SpreadsheetError(errRefusedValue,
                               QStringLiteral("%1 is not a size the sheet can hold.").arg(points));
}

void checkPlace(double points) {
    if (!(points >= -169056.0 && points <= 169056.0))
        throw SpreadsheetError(errRefusedValue,
                               QStringLiteral("%1 is not a place on the sheet.").arg(points));
}

} // namespace

// --- Picture ------------------------------------------------------------------------

Picture::Picture(QString path, QByteArray bytes, Format format, double width, double height)
    : m_path(std::move(path)), m_bytes(std::move(bytes)), m_format(format), m_naturalWidth(width),
      m_naturalHeight(height), m_width(width), m_height(height) {}

QString Picture::sourcePath() const {
    return m_path;
}

QByteArray Picture::bytes() const {
    return m_bytes;
}

double Picture::Width() const {
    return m_width;
}

void Picture::setWidth(double points) {
    checkSize(points);
    m_width = points;
}

double Picture::Height() const {
    return m_height;
}

void Picture::setHeight(double points) {
    checkSize(points);
    m_height = points;
}

double Picture::Top() const {
    return m_top;
}

// Drawing objects cannot leave the sheet at its top or left edge.
void Picture::setTop(double points) {
    checkPlace(points);
    m_top = std::max(0.0, points);
}

double Picture::Left() const {
    return m_left;
}

void Picture::setLeft(double points) {
    checkPlace(points);
    m_left = std::max(0.0, points);
}

Picture::BorderLine& Picture::Border() {
    return m_border;
}

const Picture::BorderLine& Picture::Border() const {
    return m_border;
}

// --- Shape --------------------------------------------------------------------------

Shape::Shape(int orientation, double left, double top, double width, double height)
    : m_orientation(orientation), m_left(std::max(0.0, left)), m_top(std::max(0.0, top)),
      m_width(width), m_height(height) {}

double Shape::Left() const {
    return m_left;
}

double Shape::Top() const {
    return m_top;
}

double Shape::Width() const {
    return m_width;
}

double Shape::Height() const {
    return m_height;
}

int Shape::orientation() const {
    return m_orientation;
}

QString Shape::text() const {
    return m_text;
}

void Shape::setText(const QString& text) {
    m_text = text;
}

int Shape::horizontalAlignment() const {
    return m_alignment;
}

void Shape::setHorizontalAlignment(int alignment) {
    m_alignment = alignment;
}

double Shape::fontSize() const {
    return m_fontSize;
}

// The spreadsheet's fonts run from 1 to 409 points.
void Shape::setFontSize(double points) {
    if (!(points >= 1.0 && points <= 409.0))
        throw SpreadsheetError(errRefusedValue,
                               QStringLiteral("%1 is not a font size.").arg(points));
    m_fontSize = points;
}

int Shape::placement() const {
    return m_placement;
}

void Shape::setPlacement(int placement) {
    if (placement != xlMoveAndSize && placement != xlMove && placement != xlFreeFloating)
        throw SpreadsheetError(errRefusedValue,
                               QStringLiteral("%1 is not a placement.").arg(placement));
    m_placement = placement;
}

} // namespace spreadsheet
