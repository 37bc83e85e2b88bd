// ComponentReport.h: the maker's components as the server's integrity check sees them, for
// "vrkauth info": the file the machine registers, its signature and signer, and the verdict.
#pragma once

namespace Vrkauth
{

// Prints a line per component, and a warning where a per-user registration of one exists.
void PrintComponents();

} // namespace Vrkauth
