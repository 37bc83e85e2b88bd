// VRKAssertionFailedException.h: a broken assertion or precondition inside toolbox code.
#pragma once

#include "Common/Utility/VRKException.h"

namespace Veyrak
{

class VRKAssertionFailedException : public VRKException
{
public:
    VRKAssertionFailedException(const vrkstring& message, int line, const vrkstring& file, const vrkstring& module)
        : VRKException(message), m_line(line), m_file(file), m_module(module)
    {
    }
    VRKAssertionFailedException(const VRKAssertionFailedException& other) = default;
    ~VRKAssertionFailedException() override = default;

    int Line() const { return m_line; }
    const vrkstring& File() const { return m_file; }
    const vrkstring& Module() const { return m_module; }

private:
    int m_line;
    vrkstring m_file;
    vrkstring m_module;
};

} // namespace Veyrak

// The message carries the checked expression's own text.
#define VRK_ASSERT(module, expression)                                                                                 \
    do                                                                                                                 \
    {                                                                                                                  \
        if (!(expression))                                                                                             \
            throw ::Veyrak::VRKAssertionFailedException("Assertion Failure: " #expression, __LINE__, __FILE__,         \
                                                        module);                                                       \
    } while (0)

#define VRK_PRECONDITION(module, expression)                                                                           \
    do                                                                                                                 \
    {                                                                                                                  \
        if (!(expression))                                                                                             \
            throw ::Veyrak::VRKAssertionFailedException("PreCondition Failure: " #expression, __LINE__, __FILE__,      \
                                                        module);                                                       \
    } while (0)
