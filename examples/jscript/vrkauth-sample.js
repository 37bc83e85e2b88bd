// vrkauth-sample.js: asks the VRKsolution authenticator both of its questions from JScript.
//
//   cscript //nologo vrkauth-sample.js [DOMAIN USER]
//
// The object is created late-bound, by ProgID. "Vrksolauth.VRKsolutionAuthenticator" always
// names the current version of the class; "Vrksolauth.VRKsolutionAuthenticator.1" pins version 1.
// A failure of the authenticator is thrown as an Error whose number is the HRESULT (as a signed
// 32-bit value) and whose description is the server's message.

var domain = "CORP";
var user = "alice";
if (WScript.Arguments.length >= 2) {
    domain = WScript.Arguments(0);
    user = WScript.Arguments(1);
}

// HRESULTs arrive as negative numbers; ">>> 0" makes them unsigned for hex printing.
function hex(number) {
    var digits = (number >>> 0).toString(16).toUpperCase();
    while (digits.length < 8)
        digits = "0" + digits;
    return "0x" + digits;
}

function reportError(what, e) {
    WScript.Echo(what + " failed: " + hex(e.number));
    WScript.Echo("  description: " + e.description);
}

var progIds = ["Vrksolauth.VRKsolutionAuthenticator", "Vrksolauth.VRKsolutionAuthenticator.1"];
for (var i = 0; i < progIds.length; i++) {
    WScript.Echo("== " + progIds[i]);
    var authenticator;
    try {
        authenticator = new ActiveXObject(progIds[i]);
    } catch (e) {
        reportError("new ActiveXObject", e);
        continue;
    }

    try {
        WScript.Echo("IsInstalled: " + (authenticator.IsInstalled() ? "yes" : "no"));
    } catch (e) {
        reportError("IsInstalled", e);
    }

    try {
        var valid = authenticator.Authenticate(domain, user);
        WScript.Echo("Authenticate(" + domain + "\\" + user + "): " + (valid ? "valid" : "not valid"));
    } catch (e) {
        reportError("Authenticate", e);
    }
    authenticator = null;
}
