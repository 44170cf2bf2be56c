#pragma once

#include <QString>
#include <memory>

namespace cadhost {

class Drawing;

// Reads and writes drawings in a file format. The model knows no file format; the
// application is given a store (the DXF one in production) and uses it for Open,
// Save and SaveAs. Failures are thrown as platform::AutomationError whose description
// names the file and, for a damaged file, the line ("cannot open plan.dxf: line 12:
// ...").
class DrawingStore {
public:
    virtual ~DrawingStore() = default;

    // A complete new drawing; nothing is shared with any open drawing, so a failed load
    // leaves every open drawing as it was.
    virtual std::unique_ptr<Drawing> load(const QString& path) = 0;
    // Writes the whole file or, on failure, leaves any existing file untouched.
    virtual void save(const Drawing& drawing, const QString& path) = 0;
};

} // namespace cadhost
