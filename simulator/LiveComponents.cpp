// LiveComponents.cpp: the count in a section named for the whole machine, since a surrogate
// started by the system runs in another session than its clients; where the process may not
// create machine-wide names, in one named for its session. The section lives while a process
// holds it; once none does, no object is alive and the count starts again at zero.
#include "simulator/LiveComponents.h"

#include "Common/Utility/UniqueResource.h"

namespace Veyrak::Simulator
{

namespace
{

const wchar_t* const kSectionNames[] = {L"Global\\VRKSolutionSimulator.LiveComponents",
                                        L"Local\\VRKSolutionSimulator.LiveComponents"};

// The process's view of the count, mapped at its first use and kept until the process ends;
// null when the section could not be made, and then nothing is counted.
volatile LONG* SharedCount()
{
    static volatile LONG* const count = []() -> volatile LONG*
    {
        HANDLE section = nullptr;
        for (const wchar_t* name : kSectionNames)
        {
            section = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LONG), name);
            if (section)
                break;
        }
        if (!section)
            return nullptr;
        // The handle stays open for the process's life: the name must outlive this call for
        // other processes to find the section, and a view alone does not keep it everywhere.
        return static_cast<volatile LONG*>(::MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LONG)));
    }
    ();
    return count;
}

} // namespace

LiveComponent::LiveComponent()
{
    if (volatile LONG* count = SharedCount())
        ::InterlockedIncrement(count);
}

LiveComponent::~LiveComponent()
{
    if (volatile LONG* count = SharedCount())
        ::InterlockedDecrement(count);
}

LONG LiveComponentCount()
{
    UniqueHandle section;
    for (const wchar_t* name : kSectionNames)
    {
        section.reset(::OpenFileMappingW(FILE_MAP_READ, FALSE, name));
        if (section)
            break;
    }
    if (!section)
        return 0;
    void* view = ::MapViewOfFile(section.get(), FILE_MAP_READ, 0, 0, sizeof(LONG));
    if (!view)
        return 0;
    const LONG count = *static_cast<volatile LONG*>(view);
    ::UnmapViewOfFile(view);
    return count;
}

} // namespace Veyrak::Simulator
