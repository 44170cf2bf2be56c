#include "cadhost/dxf/DxfStore.h"

#include "cadhost/dxf/DxfReader.h"
#include "cadhost/dxf/DxfWriter.h"
#include "cadhost/model/Drawing.h"

namespace cadhost::dxf {

std::unique_ptr<Drawing> DxfStore::load(const QString& path) {
    return DxfReader::readFile(path);
}

void DxfStore::save(const Drawing& drawing, const QString& path) {
    DxfWriter::writeFile(drawing, path);
}

} // namespace cadhost::dxf
