#include "cadhost/macro/LuaMacroEngine.h"

#include "cadhost/macro/MacroHost.h"
#include "platform/VbError.h"

#include <QFile>
#include <QFileInfo>

namespace cadhost {

LuaMacroEngine::LuaMacroEngine(HostProvider provider, LuaProject::Limits limits)
    : m_provider(std::move(provider)), m_limits(limits) {}

LuaMacroEngine::~LuaMacroEngine() = default;

QStringList LuaMacroEngine::projectNames() const {
    QStringList names;
    for (const auto& project : m_projects)
        names << project->name();
    return names;
}

LuaProject* LuaMacroEngine::findProject(const QString& name) const {
    for (const auto& project : m_projects) {
        if (project->name().compare(name, Qt::CaseInsensitive) == 0)
            return project.get();
    }
    return nullptr;
}

void LuaMacroEngine::loadProject(const QString& path) {
    if (m_running)
        throw platform::AutomationError(MacroBusy, QStringLiteral("A macro is running"));
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile()) {
        throw platform::AutomationError(
            ProjectFileNotFound, QStringLiteral("Macro project file not found: %1").arg(path));
    }
    QFile file(info.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        throw platform::AutomationError(ProjectLoadFailed,
                                        QStringLiteral("Cannot read macro project %1: %2")
                                            .arg(info.absoluteFilePath(), file.errorString()));
    }
    const QByteArray source = file.readAll();

    // Build the new project completely before it replaces the old one: a reload that
    // fails leaves the project that was working in place.
    auto project =
        std::make_unique<LuaProject>(info.completeBaseName(), info.absoluteFilePath(), m_limits);
    m_running = true;
    const QString error = project->runChunk(source);
    m_running = false;
    if (!error.isEmpty()) {
        throw platform::AutomationError(
            ProjectLoadFailed,
            QStringLiteral("Cannot load macro project %1: %2").arg(info.absoluteFilePath(), error));
    }

    for (auto& existing : m_projects) {
        if (existing->name().compare(project->name(), Qt::CaseInsensitive) == 0) {
            existing = std::move(project);
            return;
        }
    }
    m_projects.push_back(std::move(project));
}

void LuaMacroEngine::runMacro(const QString& fullName) {
    if (m_running)
        throw platform::AutomationError(MacroBusy, QStringLiteral("A macro is running"));
    // PROJECT.module.procedure; the project's own name may hold dots, the others may not.
    const qsizetype lastDot = fullName.lastIndexOf(QLatin1Char('.'));
    const qsizetype moduleDot =
        lastDot > 0 ? fullName.lastIndexOf(QLatin1Char('.'), lastDot - 1) : -1;
    const QString projectName = moduleDot > 0 ? fullName.left(moduleDot) : QString();
    const QByteArray module = fullName.mid(moduleDot + 1, lastDot - moduleDot - 1).toUtf8();
    const QByteArray procedure = fullName.mid(lastDot + 1).toUtf8();
    const auto notFound = [&] {
        return platform::AutomationError(MacroNotFound,
                                         QStringLiteral("Macro not found: %1").arg(fullName));
    };
    if (projectName.isEmpty() || module.isEmpty() || procedure.isEmpty())
        throw notFound();
    LuaProject* project = findProject(projectName);
    if (!project)
        throw notFound();

    MacroHost* host = m_provider ? m_provider() : nullptr;
    bool found = false;
    m_running = true;
    const QString error = project->callMacro(module, procedure, host, &found);
    m_running = false;
    if (host)
        host->endRun();
    if (!found)
        throw notFound();
    if (!error.isEmpty())
        throw platform::AutomationError(MacroFailed, QStringLiteral("%1: %2").arg(fullName, error));
}

} // namespace cadhost
