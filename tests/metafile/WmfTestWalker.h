#pragma once

// Small record walker shared by the metafile tests: collects every record of
// a file so tests can look at the exact records the writer produced.

#include "metafile/WmfValidator.h"

#include <QByteArray>
#include <QtEndian>

#include <cstdint>
#include <vector>

struct WalkedRecord {
    uint16_t function;
    std::vector<uint16_t> params;
    int16_t s(size_t i) const { return static_cast<int16_t>(params.at(i)); }
};

struct WalkedFile {
    metafile::WmfValidator::Result header;
    std::vector<WalkedRecord> records;
    std::vector<uint16_t> aldus; // 11 words
    std::vector<uint16_t> head;  // 9 words

    std::vector<const WalkedRecord*> all(uint16_t function) const {
        std::vector<const WalkedRecord*> out;
        for (const auto& r : records)
            if (r.function == function)
                out.push_back(&r);
        return out;
    }
    uint32_t fileSizeWords() const { return head[3] | (uint32_t(head[4]) << 16); }
    uint32_t maxRecordWords() const { return head[6] | (uint32_t(head[7]) << 16); }
};

inline WalkedFile walk(const QByteArray& bytes) {
    WalkedFile f;
    f.header = metafile::WmfValidator::check(bytes, [&](uint16_t fn, const uint8_t* p, uint32_t n) {
        WalkedRecord r{fn, {}};
        r.params.reserve(n);
        for (uint32_t i = 0; i < n; ++i)
            r.params.push_back(qFromLittleEndian<uint16_t>(p + 2 * i));
        f.records.push_back(std::move(r));
    });
    const auto* d = reinterpret_cast<const uint8_t*>(bytes.constData());
    if (bytes.size() >= 40) {
        for (int i = 0; i < 11; ++i)
            f.aldus.push_back(qFromLittleEndian<uint16_t>(d + 2 * i));
        for (int i = 0; i < 9; ++i)
            f.head.push_back(qFromLittleEndian<uint16_t>(d + 22 + 2 * i));
    }
    return f;
}
