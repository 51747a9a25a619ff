// Scripted input for tests and scripting: the commands of the file that
// CORVIO_AUTOMATION names, run one at a time whenever the message loop is idle.
#pragma once

#include <string>

namespace corvio {
namespace skin {

// Replaces any running script with the one in file (read at once). A file that cannot
// be read ends the program like a failing command.
void StartAutomation(const std::string& file);
// The loop is about to block: how long it may (-1: no limit, 0: come round at once).
int AutomationIdle();

}  // namespace skin
}  // namespace corvio
