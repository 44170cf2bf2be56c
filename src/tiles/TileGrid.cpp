#include "TileGrid.h"

#include "platform/VbComboBox.h"
#include "platform/VbError.h"
#include "platform/VbErrorText.h"
#include "platform/VbFrame.h"
#include "platform/VbImage.h"
#include "platform/VbPictureBox.h"
#include "platform/VbTextBox.h"

namespace {

const char* const kNames[] = {"FraOne",  "FraBar",   "ImgOne",      "CmdView", "CmdFreeze",
                              "CmdLock", "CmdColor", "CboLineType", "TxtOne"};

QString nameOf(const char* base, int i) {
    return QString::fromLatin1(base) + QString::number(i);
}

template <class T> T* made(T* control, const char* base, int i) {
    control->setObjectName(nameOf(base, i));
    return control;
}

} // namespace

TileGrid::~TileGrid() = default;

TileGrid::TileGrid(platform::VbPictureBox* picMain) : m_picMain(picMain) {
    // The templates of tile 1 lie somewhere inside PicMain; find them once.
    for (const char* base : kNames)
        if (auto* w = picMain->findChild<QWidget*>(nameOf(base, 1)))
            m_controls.insert(w->objectName(), w);
}

void TileGrid::add(QWidget* control) {
    m_controls.insert(control->objectName(), control);
}

QWidget* TileGrid::control(const QString& name) const {
    return m_controls.value(name).data();
}

TileControls TileGrid::tileControls(int i) const {
    TileControls c;
    c.FraOne = control<platform::VbFrame>(nameOf("FraOne", i));
    c.FraBar = control<platform::VbFrame>(nameOf("FraBar", i));
    c.ImgOne = control<platform::VbImage>(nameOf("ImgOne", i));
    c.CmdView = control<platform::VbImage>(nameOf("CmdView", i));
    c.CmdFreeze = control<platform::VbImage>(nameOf("CmdFreeze", i));
    c.CmdLock = control<platform::VbImage>(nameOf("CmdLock", i));
    c.CmdColor = control<platform::VbPictureBox>(nameOf("CmdColor", i));
    c.CboLineType = control<platform::VbComboBox>(nameOf("CboLineType", i));
    c.TxtOne = control<platform::VbTextBox>(nameOf("TxtOne", i));
    return c;
}

TileControls TileGrid::templateControls() const {
    return tileControls(1);
}

void TileGrid::pr_subTileClear(const std::function<void()>& between) {
    if (!m_picMain || m_picMain->Tag.isEmpty())
        return;
    const int m = m_picMain->Tag.toInt();
    for (int i = 2; i <= m; ++i) {
        // Every frame: a frame among ten thousand siblings takes milliseconds to go, and
        // the caller keeps its own clock.
        if (between)
            between();
        QWidget* frame = control(nameOf("FraOne", i));
        // The frame's controls go with it.
        for (const char* base : kNames)
            m_controls.remove(nameOf(base, i));
        delete frame;
    }
}

TileControls TileGrid::addTileControls(int i) {
    if (!m_picMain)
        throw platform::vbError(platform::vberr::ObjectNotSet);
    for (const char* base : kNames)
        if (control(nameOf(base, i)))
            throw platform::vbError(platform::vberr::ControlNameTaken, nameOf(base, i));
    // Children of a shown container stay hidden until shown: each tile appears when
    // its own initialisation has placed it.
    TileControls c;
    c.FraOne = made(new platform::VbFrame(m_picMain), "FraOne", i);
    c.FraOne->setVisible(false);
    c.FraBar = made(new platform::VbFrame(c.FraOne), "FraBar", i);
    c.ImgOne = made(new platform::VbImage(c.FraOne), "ImgOne", i);
    c.CmdView = made(new platform::VbImage(c.FraBar), "CmdView", i);
    c.CmdFreeze = made(new platform::VbImage(c.FraBar), "CmdFreeze", i);
    c.CmdLock = made(new platform::VbImage(c.FraBar), "CmdLock", i);
    c.CmdColor = made(new platform::VbPictureBox(c.FraBar), "CmdColor", i);
    // Made at run time, the box keeps the control's default kind: editable.
    c.CboLineType =
        made(new platform::VbComboBox(platform::VbComboBox::Style::DropDownCombo, c.FraBar),
             "CboLineType", i);
    c.TxtOne = made(new platform::VbTextBox(false, c.FraOne), "TxtOne", i);
    for (QWidget* w :
         std::initializer_list<QWidget*>{c.FraOne, c.FraBar, c.ImgOne, c.CmdView, c.CmdFreeze,
                                         c.CmdLock, c.CmdColor, c.CboLineType, c.TxtOne})
        add(w);
    return c;
}
