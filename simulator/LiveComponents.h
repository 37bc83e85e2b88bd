// LiveComponents.h: how many substitute component objects are alive, counted across every
// process of the machine in a named shared section, so that an administrator or a test can see
// that a client's last release reached the components wherever they run: in the client, or in
// the surrogate (dllhost.exe) that hosts the 32-bit server for 64-bit clients. "vrksim status"
// prints the count.
#pragma once

#include <windows.h>

namespace Veyrak::Simulator
{

// Counts one object for its own lifetime: a member of each component class.
class LiveComponent
{
public:
    LiveComponent();
    LiveComponent(const LiveComponent&) = delete;
    LiveComponent& operator=(const LiveComponent&) = delete;
    ~LiveComponent();
};

// The number of component objects alive now, in any process; 0 when none is.
LONG LiveComponentCount();

} // namespace Veyrak::Simulator
