// AdminCommand.h: the administration command of the simulator (vrksim.exe): maintains the
// user directory and the rehearsed faults. Output is collected as text so that the program
// decides where it goes.
#pragma once

#include "simulator/SettingsLocation.h"

#include <string>
#include <vector>

namespace Veyrak::Simulator
{

enum AdminExitCode
{
    kExitSuccess = 0,
    kExitNotFound = 1, // no such user, domain or fault
    kExitUsage = 2,    // wrong arguments; nothing was changed
    kExitFailure = 3,  // the registry refused
};

struct CommandOutput
{
    std::wstring out; // results
    std::wstring err; // problems, one line each, starting "vrksim: "
};

// Runs one command line (without the program name) against the settings at location.
int RunAdminCommand(const std::vector<std::wstring>& arguments, CommandOutput& output,
                    const SettingsLocation& location = SettingsLocation::Machine());

} // namespace Veyrak::Simulator
