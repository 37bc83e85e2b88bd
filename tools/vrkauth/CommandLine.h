// CommandLine.h: what vrkauth was asked to do, read from its arguments.
#pragma once

#include <string>
#include <vector>

namespace Vrkauth
{

enum class Command
{
    Help,
    Installed,
    Authenticate,
    Info,
    Surrogate,
};

struct Request
{
    Command command = Command::Help;
    bool lateBound = false;
    std::string domain;       // authenticate only; may be empty
    std::string user;         // authenticate only; may be empty, which the server refuses
    bool surrogateOn = false; // surrogate only
};

// The outcome of reading the arguments: a request, or the reason they make none.
struct ParseResult
{
    bool valid = false;
    Request request;
    std::string error; // set when !valid
};

// Reads the arguments after the program name. Options may stand anywhere; "--" ends them.
ParseResult ParseCommandLine(const std::vector<std::string>& arguments);

// The text that --help prints.
const char* UsageText();

} // namespace Vrkauth
