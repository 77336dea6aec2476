#include "interaction/ExternalToolStart.h"

#include "interaction/core/ExternalTool.h"
#include "platform/ProcessStart.h"

namespace tavo {

bool startExternalTool(const std::string& toolPath, const std::string& picture)
{
    if (toolPath.empty())
        return false;
    const platform::FileFacts facts = platform::fileFacts(toolPath);
    const ToolKind kind = classifyTool(toolPath, facts.exists, facts.isExecutableFile);
    const std::string entryText =
        kind == ToolKind::DesktopEntry ? platform::readSmallTextFile(toolPath) : std::string();
    const auto commandLine = toolCommandLine(toolPath, kind, picture, entryText);
    if (commandLine.empty())
        return false;
    return platform::startDetached(commandLine);
}

} // namespace tavo
