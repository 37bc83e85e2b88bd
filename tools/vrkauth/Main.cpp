// Main.cpp: vrkauth, the administrators' console client of the VRKsolution authenticator.
// Reads the command line, runs one command and turns its answer into the exit code:
// 0 yes (installed, valid, fully registered), 1 no, 2 error or wrong usage.
#include "CommandLine.h"
#include "ComponentReport.h"
#include "Deployment.h"
#include "EarlyBound.h"
#include "ErrorReport.h"
#include "LateBound.h"
#include "RegistrationReport.h"

#include "Common/Utility/TextConversion.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>

namespace
{

enum ExitCode
{
    kExitYes = 0,
    kExitNo = 1,
    kExitError = 2,
};

// Initialises COM on the main thread for the object's lifetime.
class ComApartment
{
public:
    ComApartment() : m_result(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment()
    {
        if (SUCCEEDED(m_result))
            ::CoUninitialize();
    }
    HRESULT Result() const { return m_result; }

private:
    HRESULT m_result;
};

int Report(const Vrkauth::Answer& answer, const char* yesText, const char* noText)
{
    if (!answer.succeeded)
    {
        Vrkauth::PrintErrorReport(answer.failedStep.c_str(), answer.error);
        return kExitError;
    }
    std::printf("%s\n", answer.yes ? yesText : noText);
    return answer.yes ? kExitYes : kExitNo;
}

int RunInstalled(const Vrkauth::Request& request)
{
    Vrkauth::Answer answer = request.lateBound ? Vrkauth::AskInstalledLateBound() : Vrkauth::AskInstalledEarlyBound();
    return Report(answer, "installed: yes", "installed: no");
}

int RunAuthenticate(const Vrkauth::Request& request)
{
    const std::wstring domain = Veyrak::WidenAnsi(request.domain.c_str());
    const std::wstring user = Veyrak::WidenAnsi(request.user.c_str());
    Vrkauth::Answer answer = request.lateBound ? Vrkauth::AuthenticateLateBound(domain, user)
                                               : Vrkauth::AuthenticateEarlyBound(domain, user);
    const std::string account = request.domain + "\\" + request.user;
    return Report(answer, (account + ": valid").c_str(), (account + ": not valid").c_str());
}

int RunSurrogate(bool on)
{
    std::string message;
    const HRESULT result = on ? Vrkauth::EnableSurrogate(message) : Vrkauth::DisableSurrogate(message);
    std::fprintf(SUCCEEDED(result) ? stdout : stderr, "%s%s\n", SUCCEEDED(result) ? "" : "vrkauth: ", message.c_str());
    return SUCCEEDED(result) ? kExitYes : kExitError;
}

int Run(const Vrkauth::Request& request)
{
    switch (request.command)
    {
        case Vrkauth::Command::Help:
            std::printf("%s", Vrkauth::UsageText());
            return kExitYes;
        case Vrkauth::Command::Installed:
            return RunInstalled(request);
        case Vrkauth::Command::Authenticate:
            return RunAuthenticate(request);
        case Vrkauth::Command::Info:
        {
            const bool complete = Vrkauth::PrintRegistration(Vrkauth::ReadRegistration());
            Vrkauth::PrintDeployment(Vrkauth::ReadViews());
            Vrkauth::PrintComponents();
            return complete ? kExitYes : kExitNo;
        }
        case Vrkauth::Command::Surrogate:
            return RunSurrogate(request.surrogateOn);
    }
    return kExitError;
}

} // namespace

int main(int argc, char** argv)
{
    const Vrkauth::ParseResult parsed = Vrkauth::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.valid)
    {
        std::fprintf(stderr, "vrkauth: %s\n%s", parsed.error.c_str(), Vrkauth::UsageText());
        return kExitError;
    }

    ComApartment apartment;
    if (FAILED(apartment.Result()))
    {
        Vrkauth::PrintErrorReport("CoInitializeEx", Vrkauth::ErrorReportWithoutInformation(apartment.Result()));
        return kExitError;
    }
    const int exitCode = Run(parsed.request);
    std::fflush(stdout);
    return exitCode;
}
