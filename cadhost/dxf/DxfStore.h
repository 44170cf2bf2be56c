#pragma once

#include "cadhost/model/DrawingStore.h"

namespace cadhost::dxf {

// The application's file format: DXF in through DxfReader, out through DxfWriter.
class DxfStore : public DrawingStore {
public:
    std::unique_ptr<Drawing> load(const QString& path) override;
    void save(const Drawing& drawing, const QString& path) override;
};

} // namespace cadhost::dxf
