// authenticator-checks.js: the authenticator as a JScript client sees it.
//   cscript //nologo authenticator-checks.js SCENARIO
// Run by run-script-client.sh, which prepares the machine for SCENARIO (see there). Prints one
// line per check, exits with code 1 if any check failed, and prints the success line only when
// every check passed: Wine's cscript would exit 0 after an uncaught exception too.

var kProgIds = ["Vrksolauth.VRKsolutionAuthenticator.1", "Vrksolauth.VRKsolutionAuthenticator"];
var kCannotCreateObject = 0x800A01AD; // the script host's own code for a failed creation

var failures = 0;

function check(passed, what) {
    WScript.Echo((passed ? "ok:   " : "FAIL: ") + what);
    if (!passed)
        failures++;
}

// Error numbers arrive as signed 32-bit values.
function hexCode(number) {
    var digits = (number >>> 0).toString(16).toUpperCase();
    while (digits.length < 8)
        digits = "0" + digits;
    return "0x" + digits;
}

// Runs call, which must throw; checks the error's number and description.
function checkThrows(what, call, number, description) {
    var caught = null;
    try {
        call();
    } catch (e) {
        caught = e;
    }
    check(caught !== null, what + ": throws");
    if (caught === null)
        return;
    check((caught.number >>> 0) === (number >>> 0),
          what + ": number " + hexCode(caught.number) + ", expected " + hexCode(number));
    if (description !== null)
        check(caught.description === description, what + ": description \"" + caught.description + "\"");
}

function create(progId) {
    try {
        var authenticator = new ActiveXObject(progId);
        check(true, progId + ": created");
        return authenticator;
    } catch (e) {
        check(false, progId + ": created (" + hexCode(e.number) + " " + e.description + ")");
        return null;
    }
}

function checkNotInstalled(progId) {
    var authenticator = create(progId);
    if (authenticator === null)
        return;
    var installed = authenticator.IsInstalled();
    check(typeof installed === "boolean", progId + ": IsInstalled gives a boolean, got " + typeof installed);
    check(installed === false, progId + ": IsInstalled is false without the product key");
    checkThrows(progId + ": Authenticate", function () { authenticator.Authenticate("CORP", "alice"); }, 0x80004005,
                "Authenticate: VRKsolution not installed");
}

function checkCreationFails(progId) {
    // The server's HRESULT (0x80040154) and message do not reach the script: the host reports
    // every failed creation as its own error.
    checkThrows(progId + ": creation", function () { new ActiveXObject(progId); }, kCannotCreateObject, null);
}

// Expects the users CORP\alice (enabled) and CORP\bob (disabled) in the components' directory.
function checkWithComponents(progId) {
    var authenticator = create(progId);
    if (authenticator === null)
        return;
    check(authenticator.IsInstalled() === true, progId + ": IsInstalled is true with the product key");
    var accounts = [["CORP", "alice", true], ["CORP", "bob", false], ["CORP", "mallory", false]];
    for (var i = 0; i < accounts.length; i++) {
        var valid = authenticator.Authenticate(accounts[i][0], accounts[i][1]);
        check(valid === accounts[i][2],
              progId + ": Authenticate " + accounts[i][0] + "\\" + accounts[i][1] + " gives " + valid);
    }
    checkThrows(progId + ": Authenticate with an empty user", function () { authenticator.Authenticate("CORP", ""); },
                0x80070057, "_CreateHandle: missing parameter: User");
}

var checksByScenario = {
    "not-installed": checkNotInstalled,
    "no-components": checkCreationFails,
    "components": checkWithComponents
};

var scenario = WScript.Arguments.length > 0 ? WScript.Arguments(0) : "";
try {
    var checks = checksByScenario[scenario];
    check(typeof checks === "function", "known scenario: \"" + scenario + "\"");
    if (typeof checks === "function") {
        for (var i = 0; i < kProgIds.length; i++)
            checks(kProgIds[i]);
    }
} catch (e) {
    // An exception that escaped the checks above still counts.
    check(false, "unexpected exception " + hexCode(e.number) + " " + e.description);
}

if (failures > 0) {
    WScript.Echo(failures + " check(s) failed");
    WScript.Quit(1);
}
WScript.Echo("all script checks passed");
WScript.Quit(0);
