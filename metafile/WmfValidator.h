#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace metafile {

// Checks a metafile's structure before libwmf sees it: headers, every
// record's size against the bytes present, the parameter counts of the
// records whose contents index further into the record, and an end record.
// libwmf trusts much of this; malformed input must become "no picture", not
// a crash or a long hang in the viewer.
//
// On success `playable` holds the bytes up to the end record with the
// header's file size, largest record and object count made consistent with
// what the records actually need, so a file whose writer got those header
// fields slightly wrong still shows.
//
// There is no limit on a file's size or its number of records: every record is
// checked against the bytes that are there, and each costs a bounded number of steps
// (`work` counts them), so the work is linear in the file, and a whole drawing of a
// million entities is a picture like any other. What a file may cost is bounded by
// memory, which the loader checks before reading it. The one limit on what records may
// do is the depth of saved device contexts: the player copies the whole context, its
// clipping included, at every save and keeps every copy, and no writer nests them
// anywhere near 1024 deep; a file that goes deeper is refused, with that reason.
class WmfValidator {
public:
    struct Result {
        bool ok = false;
        bool placeable = false;
        int16_t left = 0, top = 0, right = 0, bottom = 0;
        uint16_t unitsPerInch = 0;
        qint64 records = 0; // not counting the end record
        uint16_t objects = 0;
        // Records that draw, and the points of the polylines and polygons among them:
        // what the player needs to size its lists once rather than grow them.
        qint64 drawingRecords = 0;
        qint64 polyPoints = 0;
        // For every text the player draws (each text record with characters), whether
        // the current position was set since the text before it: the player does not
        // say, and a text drawn from the current position goes on from the one before
        // only if it was not.
        std::vector<bool> textsMoved;
        QByteArray playable;
        // Why the file is no picture, when `ok` is false: a fixed English text, for logs
        // and tests.
        const char* refusal = nullptr;
        // Steps taken following the object table and the saved contexts.
        qint64 work = 0;
    };

    // Called for every record before the end record: function, parameter
    // words (little-endian bytes) and their count. Lets tests walk the records.
    using RecordVisitor =
        std::function<void(uint16_t function, const uint8_t* params, uint32_t words)>;

    // Taking the bytes by value lets a caller hand them over: `playable` then shares
    // their buffer instead of copying a file of a hundred megabytes.
    static Result check(QByteArray bytes, const RecordVisitor& visit = {});

    // The headers alone, from the first kHeaderBytes of a file (or fewer, for a shorter
    // one): `ok` says they are well formed, the box is the placeable header's. What a
    // loader knows before it reads the records.
    static constexpr qsizetype kHeaderBytes = 22 + 18;

    // How deep a file may nest saved device contexts (see the class comment).
    static constexpr std::size_t kMaxSavedContexts = 1024;
    static Result headers(const QByteArray& start);
};

} // namespace metafile
