#pragma once

#include "cadhost/dxf/DxfText.h"
#include "cadhost/dxf/LayerNameLimit.h"
#include "cadhost/model/Drawing.h"
#include "cadhost/model/Layer.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <string_view>
#include <vector>

namespace cadhost::dxf {

// The DXF file a drawing was read from, kept whole with the drawing. The host changes
// nothing of a drawing but its layers (states, colour, linetype, names, added and
// deleted layers) and its current layer, so saving writes the file back as it was read
// and rewrites only those: changed LAYER records are patched pair by pair, deleted ones
// dropped, added ones appended to the table, $CLAYER and $HANDSEED replaced, and layer
// names of objects follow a renamed layer. What did not change keeps its bytes.
class DxfSource : public DrawingSource {
public:
    // Finds the header variables and the layer table in a file that DxfPrescan passed,
    // and takes the drawing's layers and current layer as they were read; `names` are
    // the names the drawing holds for the file's long ones.
    static std::shared_ptr<DxfSource> read(QByteArray bytes, const QString& acadVersion,
                                           const QString& codePage, const Drawing& drawing,
                                           const detail::LayerNameLimit& names);

    // The file as the drawing now is.
    QByteArray rewrite(const Drawing& drawing) const;

    struct Span {
        qsizetype begin = -1;
        qsizetype end = -1;
        bool found() const { return begin >= 0; }
    };

private:
    struct Record {
        Span bytes;     // from its "0 LAYER" up to the next group code 0
        QString name;   // decoded
        int entry = -1; // the drawing's layer read from it; -1 when none took it
    };
    struct Entry {
        Layer asRead;
        int record = -1; // -1: a layer the table lacked, made for an object that uses it
    };

    QByteArray layerRecord(const Layer& layer, const Record* templ, QByteArray handle,
                           const QByteArray& owner) const;
    QByteArray patchedRecord(const Record& record, const Layer& was, const Layer& now) const;
    QByteArray pair(int code, const QByteArray& value) const;
    QByteArray name(const QString& text) const { return m_text.encode(text); }
    // The drawing's name for a layer name as the file holds it.
    QString layerName(std::string_view value) const {
        return m_names(detail::LayerNameLimit::decode(m_text, value));
    }
    bool hasLineweights() const { return m_version >= 1015; }
    bool hasHandles() const { return m_version >= 1012; }
    quint64 highestHandle() const;

    QByteArray m_bytes;
    DxfText m_text;
    detail::LayerNameLimit m_names;
    int m_version = 1009; // the number of $ACADVER, AC1009 (R12) when absent
    QByteArray m_eol = "\n";
    int m_codeWidth = 0; // group codes right-aligned to this width, as the file has them

    Span m_header;        // the HEADER section's "0 ENDSEC" pair: where variables go
    Span m_clayerValue;   // the value line of $CLAYER
    Span m_handseedValue; // the value line of $HANDSEED
    qsizetype m_firstSection = -1;
    qsizetype m_tablesEnd = -1;    // the TABLES section's "0 ENDSEC" pair
    qsizetype m_tablesBefore = -1; // where a TABLES section would go when the file has none
    Span m_layerTableCount;        // the value of the table's group 70
    QByteArray m_layerTableHandle;
    qsizetype m_layerTableEnd = -1; // its "0 ENDTAB" pair
    std::vector<Record> m_records;
    std::vector<Entry> m_entries; // by Layer::sourceEntry
    QString m_activeLayer;
};

} // namespace cadhost::dxf
