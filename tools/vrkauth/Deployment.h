// Deployment.h: the authenticator's registration in both registry views of a 64-bit machine,
// what a 32-bit and a 64-bit client get from it, and the surrogate through which 64-bit clients
// use the 32-bit server out of process ("vrkauth surrogate on|off").
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace Vrkauth
{

struct ViewRegistration
{
    bool is64Bit = false;
    bool classRegistered = false; // the class key names an in-process server
    std::string server;           // its path
    bool serverExists = false;
    bool surrogate = false;           // the class names an AppID with DllSurrogate
    bool interfaceRegistered = false; // the dual interface can be marshaled from this view
};

// The 32-bit view, and the 64-bit view where the machine has one.
std::vector<ViewRegistration> ReadViews();

// Prints each view and what a client of each architecture gets.
void PrintDeployment(const std::vector<ViewRegistration>& views);

// Lets 64-bit clients create the 32-bit server in the system's surrogate (dllhost.exe): the
// class's AppID with DllSurrogate in the 32-bit view and, where the 64-bit view lacks it, the
// interface's key there, so that early-bound 64-bit clients can marshal it. On failure
// nothing is changed and message says why.
HRESULT EnableSurrogate(std::string& message);
// Removes exactly what EnableSurrogate wrote (the interface key only while no 64-bit server
// registers the class, since then its own registration owns that key).
HRESULT DisableSurrogate(std::string& message);

} // namespace Vrkauth
