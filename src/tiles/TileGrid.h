#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

namespace platform {
class VbComboBox;
class VbFrame;
class VbImage;
class VbPictureBox;
class VbTextBox;
} // namespace platform

// The nine controls of one tile, in the order the tile binds them.
struct TileControls {
    platform::VbFrame* FraOne = nullptr;
    platform::VbFrame* FraBar = nullptr;
    platform::VbImage* ImgOne = nullptr;
    platform::VbImage* CmdView = nullptr;
    platform::VbImage* CmdFreeze = nullptr;
    platform::VbImage* CmdLock = nullptr;
    platform::VbPictureBox* CmdColor = nullptr;
    platform::VbComboBox* CboLineType = nullptr;
    platform::VbTextBox* TxtOne = nullptr;
};

// The grid's share of the main window's control collection: the tile controls made at
// run time under the names "FraOne" + i, "ImgOne" + i, ... inside PicMain, and the
// design-time templates of tile 1. Looking a control up by name is a hash lookup here,
// so a refresh that finds each of a thousand tiles' controls again stays linear.
//
// PicMain's Tag holds the number of tiles of the last build; the next build's clear
// reads it to know which frames to remove. Tile 1's templates are never removed.
class TileGrid {
public:
    explicit TileGrid(platform::VbPictureBox* picMain);
    ~TileGrid();
    TileGrid(const TileGrid&) = delete;
    TileGrid& operator=(const TileGrid&) = delete;

    // Removes the frames "FraOne2" .. "FraOne" + Tag with everything inside them.
    // `between`, when given, runs every few frames: removing thousands of controls
    // takes long enough that the window must answer meanwhile.
    void pr_subTileClear(const std::function<void()>& between = {});

    // Tile 1: the design-time templates, found by name inside PicMain.
    TileControls templateControls() const;
    // Makes tile i's nine controls (i >= 2), hidden, each in its container. A name that
    // is taken already raises, as adding a control twice to a form's collection does.
    TileControls addTileControls(int i);

    // A control of the grid by its name (templates included); nullptr when none.
    QWidget* control(const QString& name) const;
    template <class T> T* control(const QString& name) const {
        return qobject_cast<T*>(control(name));
    }
    // Tile i's controls found again by their names.
    TileControls tileControls(int i) const;

    platform::VbPictureBox* picMain() const { return m_picMain; }

private:
    void add(QWidget* control);

    QPointer<platform::VbPictureBox> m_picMain;
    QHash<QString, QPointer<QWidget>> m_controls;
};
