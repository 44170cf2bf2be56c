#pragma once

// Shared by the viewer's tests: a scratch program folder, a recording message-box
// double, and a CAD that the tests script.

#include "acad/AcadBackend.h"
#include "acad/Connector.h"
#include "platform/MsgBox.h"
#include "platform/ProgramFolder.h"
#include "platform/VbError.h"

#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace viewertest {

struct ShownBox {
    QString prompt;
    int buttons;
    QString title;
};

// Records every message box and answers them from a queue (OK when it runs dry).
class MsgBoxRecorder {
public:
    MsgBoxRecorder() {
        platform::setMsgBoxHandler([this](const QString& p, int b, const QString& t) {
            boxes.push_back({p, b, t});
            if (answers.empty())
                return int(platform::vbOK);
            const int a = answers.front();
            answers.pop_front();
            return a;
        });
    }
    ~MsgBoxRecorder() { platform::resetMsgBoxHandler(); }
    std::vector<ShownBox> boxes;
    std::deque<int> answers;
};

class StubDocument : public acad::DocumentBackend {
public:
    QString name() override { return QStringLiteral("plan.dxf"); }
    QString fullName() override { return QString(); }
    QString getActiveLayer() override { return QStringLiteral("0"); }
    void setActiveLayer(const QString&) override {}
    void regen(int) override {}
    int layerCount() override { return 1; }
    QString layerName(int) override { return QStringLiteral("0"); }
    QVariant getLayerProperty(const QString&, const QString&) override { return {}; }
    void setLayerProperty(const QString&, const QString&, const QVariant&) override {}
    QStringList linetypeNames() override { return {}; }
    int selectionSetCount() override { return 0; }
    void deleteSelectionSet(int) override {}
    void addSelectionSet(const QString&) override {}
    void clearSelectionSet(const QString&) override {}
    void selectAll(const QString&, const QList<int>&, const QVariantList&) override {}
    int selectionSetSize(const QString&) override { return 0; }
};

// A CAD application whose answers the test sets; it records what the viewer asked.
class FakeApplication : public acad::ApplicationBackend {
public:
    bool visible() override { return isVisible; }
    void setVisible(bool v) override { isVisible = v; }
    QString caption() override {
        ++captionCalls;
        return captionText;
    }
    std::shared_ptr<acad::DocumentBackend> activeDocument() override {
        if (noDrawing)
            throw platform::AutomationError(static_cast<qint32>(0x80040000u),
                                            QStringLiteral("No document open"));
        return std::make_shared<StubDocument>();
    }
    void loadDVB(const QString& path) override {
        loadedProjects << path;
        if (failLoad)
            throw platform::AutomationError(static_cast<qint32>(0x80004005u),
                                            QStringLiteral("Project file not found"));
    }
    void runMacro(const QString& name) override { macros << name; }
    std::shared_ptr<acad::DocumentBackend> open(const QString& path) override {
        opened << path;
        return std::make_shared<StubDocument>();
    }

    bool isVisible = true;
    bool noDrawing = false;
    bool failLoad = false;
    QString captionText = QStringLiteral("cadhost - [plan.dxf]");
    int captionCalls = 0;
    QStringList loadedProjects;
    QStringList macros;
    QStringList opened;
};

// running == nullptr: nothing runs. canStart: create() succeeds with `started`.
class FakeConnector : public acad::Connector {
public:
    std::shared_ptr<acad::ApplicationBackend> attach() override {
        ++attachCalls;
        if (onAttach)
            onAttach();
        if (!running)
            throw platform::AutomationError(429, QStringLiteral("not running"));
        return running;
    }
    std::shared_ptr<acad::ApplicationBackend> create() override {
        ++createCalls;
        if (onCreate)
            onCreate();
        if (!started)
            throw platform::AutomationError(429, QStringLiteral("cannot start"));
        return started;
    }
    std::shared_ptr<FakeApplication> running;
    std::shared_ptr<FakeApplication> started;
    std::function<void()> onAttach;
    std::function<void()> onCreate;
    int attachCalls = 0;
    int createCalls = 0;
};

// A program folder of its own for every test, so settings and work folders never leak.
class ScratchProgramFolder {
public:
    ScratchProgramFolder() { platform::setProgramFolderForTesting(dir.path()); }
    ~ScratchProgramFolder() { platform::setProgramFolderForTesting(QString()); }
    QString path() const { return dir.path(); }
    QTemporaryDir dir;
};

} // namespace viewertest
