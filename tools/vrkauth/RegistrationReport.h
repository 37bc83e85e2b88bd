// RegistrationReport.h: what this machine has registered for the authenticator, read
// from the registry and the type library registration, for "vrkauth info".
#pragma once

#include <string>
#include <vector>

namespace Vrkauth
{

struct RegistrationItem
{
    std::string label;
    bool present = false;
    bool required = true; // whether the server is unusable without it
    std::string detail;   // the registered value, or why it is missing
};

// Reads every item, in the order they are printed. Needs COM only for the type library.
std::vector<RegistrationItem> ReadRegistration();

// Which architecture this vrkauth is and so which registry view its report reads: a 32-bit
// and a 64-bit server are registered separately, each in its own view.
std::string RegistryViewReport();

// Prints the view and then the items to stdout; the result is true when every required item is present.
bool PrintRegistration(const std::vector<RegistrationItem>& items);

} // namespace Vrkauth
