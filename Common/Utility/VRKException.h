// VRKException.h: the base of the toolbox's exception family, and the text type
// that every toolbox interface takes and returns.
#pragma once

#include <exception>
#include <string>

namespace Veyrak
{

// Narrow text in the ANSI code page.
using vrkstring = std::string;

// Base of every toolbox failure: catch it to treat any of them alike.
// what() gives the message, never a null pointer; the standard base's own text is unused.
class VRKException : public std::exception
{
public:
    explicit VRKException(const vrkstring& message) : m_message(message) {}
    // A copy takes its message through the source's what().
    VRKException(const VRKException& other) : std::exception(other), m_message(other.what()) {}
    VRKException& operator=(const VRKException&) = delete;
    ~VRKException() override = default;

    const char* what() const noexcept override { return m_message.c_str(); }

private:
    vrkstring m_message;
};

} // namespace Veyrak
