// InterfaceTable.cpp: QueryInterface over an object's interface table.
#include "server/InterfaceTable.h"

namespace Veyrak
{

HRESULT InterfaceTableLookup(void* object, const InterfaceMapEntry* table, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    const InterfaceMapEntry* match = nullptr;
    if (::IsEqualIID(iid, IID_IUnknown))
    {
        match = table;
    }
    else
    {
        for (const InterfaceMapEntry* row = table; row->iid; ++row)
        {
            if (::IsEqualIID(*row->iid, iid))
            {
                match = row;
                break;
            }
        }
    }
    if (!match || !match->iid)
        return E_NOINTERFACE;
    IUnknown* entry = EntryPoint(object, *match);
    entry->AddRef();
    *out = entry;
    return S_OK;
}

} // namespace Veyrak
