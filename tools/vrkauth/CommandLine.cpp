// CommandLine.cpp: the argument grammar of vrkauth.
#include "CommandLine.h"

namespace Vrkauth
{

namespace
{

ParseResult Invalid(std::string error)
{
    ParseResult result;
    result.error = std::move(error);
    return result;
}

bool IsOption(const std::string& argument)
{
    return argument.size() > 1 && argument[0] == '-';
}

} // namespace

const char* UsageText()
{
    return "usage: vrkauth [--late-bound] installed\n"
           "       vrkauth [--late-bound] authenticate DOMAIN USER\n"
           "       vrkauth info\n"
           "       vrkauth surrogate on|off\n"
           "       vrkauth --help\n"
           "\n"
           "  installed      asks the authenticator whether the VRKsolution client is installed\n"
           "  authenticate   asks whether USER of DOMAIN authenticates through VRKsolution\n"
           "  info           shows what is registered for the authenticator on this machine, in\n"
           "                 both registry views, and what 32-bit and 64-bit clients get\n"
           "  surrogate      on: 64-bit clients use the 32-bit server out of process, in the\n"
           "                 system's surrogate (dllhost.exe); off: removes that again\n"
           "  --late-bound   calls through IDispatch by name, as scripts do, instead of the\n"
           "                 interface's own methods\n"
           "\n"
           "exit code: 0 yes, valid, fully registered, or done; 1 no, not valid, or registration\n"
           "incomplete; 2 error or wrong usage\n";
}

ParseResult ParseCommandLine(const std::vector<std::string>& arguments)
{
    Request request;
    bool helpAsked = false;
    std::vector<std::string> words;
    bool optionsEnded = false;
    for (const std::string& argument : arguments)
    {
        if (optionsEnded || !IsOption(argument))
            words.push_back(argument);
        else if (argument == "--")
            optionsEnded = true;
        else if (argument == "--late-bound")
            request.lateBound = true;
        else if (argument == "--help" || argument == "-h" || argument == "/?")
            helpAsked = true;
        else
            return Invalid("unknown option '" + argument + "'");
    }

    if (helpAsked)
    {
        request.command = Command::Help;
        return ParseResult{true, request, {}};
    }
    if (words.empty())
        return Invalid("no command given");

    const std::string& name = words[0];
    size_t expectedWords = 1;
    if (name == "installed")
        request.command = Command::Installed;
    else if (name == "info")
        request.command = Command::Info;
    else if (name == "help")
        request.command = Command::Help;
    else if (name == "surrogate")
    {
        request.command = Command::Surrogate;
        expectedWords = 2;
        if (words.size() < expectedWords || (words[1] != "on" && words[1] != "off"))
            return Invalid("surrogate needs on or off");
        request.surrogateOn = words[1] == "on";
    }
    else if (name == "authenticate")
    {
        request.command = Command::Authenticate;
        expectedWords = 3;
        if (words.size() < expectedWords)
            return Invalid("authenticate needs DOMAIN and USER");
        request.domain = words[1];
        request.user = words[2];
    }
    else
        return Invalid("unknown command '" + name + "'");

    if (words.size() > expectedWords)
        return Invalid("unexpected argument '" + words[expectedWords] + "' after " + name);
    if (request.lateBound && request.command != Command::Installed && request.command != Command::Authenticate)
        return Invalid("--late-bound applies to installed and authenticate only");
    return ParseResult{true, request, {}};
}

} // namespace Vrkauth
