' authenticator-checks.vbs: the authenticator as a VBScript client sees it.
'   cscript //nologo authenticator-checks.vbs SCENARIO
' Run by run-script-client.sh, which prepares the machine for SCENARIO (see there). Prints one
' line per check, exits with code 1 if any check failed, and prints the success line only when
' every check passed: Wine's cscript would exit 0 after an unhandled error too.
Option Explicit
On Error Resume Next

Const kProgIds = "Vrksolauth.VRKsolutionAuthenticator.1 Vrksolauth.VRKsolutionAuthenticator"
Const kVersionedProgId = "Vrksolauth.VRKsolutionAuthenticator.1"
Const kCannotCreateObject = 429 ' the script host's own code for a failed creation

Dim failures
failures = 0

Sub Check(passed, what)
    If passed Then
        WScript.Echo "ok:   " & what
    Else
        WScript.Echo "FAIL: " & what
        failures = failures + 1
    End If
End Sub

Function HexCode(number)
    HexCode = "0x" & Right("0000000" & Hex(number), 8)
End Function

' Checks the pending error against the expected number, description and source, then clears it.
Sub CheckError(what, number, description, source)
    Check Err.Number = number, what & ": Err.Number " & HexCode(Err.Number) & ", expected " & HexCode(number)
    Check Err.Description = description, what & ": Err.Description """ & Err.Description & """"
    Check Err.Source = source, what & ": Err.Source """ & Err.Source & """"
    Err.Clear
End Sub

' Creates the object by ProgID; records a failed check and returns False when that fails.
Function Created(progId, ByRef authenticator)
    On Error Resume Next
    Err.Clear
    Set authenticator = CreateObject(progId)
    Created = (Err.Number = 0)
    Check Created, progId & ": created (Err.Number " & HexCode(Err.Number) & ")"
    Err.Clear
End Function

Sub CheckNotInstalled(progId)
    On Error Resume Next
    Dim authenticator, installed, valid
    If Not Created(progId, authenticator) Then Exit Sub

    installed = Empty
    installed = authenticator.IsInstalled()
    Check Err.Number = 0, progId & ": IsInstalled succeeds (Err.Number " & HexCode(Err.Number) & ")"
    Err.Clear
    Check TypeName(installed) = "Boolean", progId & ": IsInstalled gives a Boolean, got " & TypeName(installed)
    Check installed = False, progId & ": IsInstalled is False without the product key"

    valid = "untouched"
    valid = authenticator.Authenticate("CORP", "alice")
    CheckError progId & ": Authenticate", &H80004005, "Authenticate: VRKsolution not installed", kVersionedProgId
    Check valid = "untouched", progId & ": a failed Authenticate assigns nothing"
End Sub

Sub CheckCreationFails(progId)
    On Error Resume Next
    Dim authenticator
    Err.Clear
    Set authenticator = CreateObject(progId)
    ' The server's HRESULT (0x80040154) and message do not reach the script: the host reports
    ' every failed creation as its own runtime error 429.
    Check Err.Number = kCannotCreateObject, progId & ": creation fails with " & HexCode(Err.Number) & _
        " (" & Err.Description & "), expected " & HexCode(kCannotCreateObject)
    Check Not IsObject(authenticator), progId & ": no object after the failed creation"
    Err.Clear
End Sub

' Expects the users CORP\alice (enabled) and CORP\bob (disabled) in the components' directory.
Sub CheckWithComponents(progId)
    On Error Resume Next
    Dim authenticator, installed, valid
    If Not Created(progId, authenticator) Then Exit Sub
    installed = authenticator.IsInstalled()
    Check Err.Number = 0 And installed = True, progId & ": IsInstalled is True with the product key"
    Err.Clear

    Dim account, parts, expected
    For Each account In Array("CORP alice True", "CORP bob False", "CORP mallory False")
        ' Wine's VBScript refuses "Split(account)(0)" as a call argument (error 458): index a variable.
        parts = Split(account)
        expected = (parts(2) = "True")
        valid = Empty
        valid = authenticator.Authenticate(parts(0), parts(1))
        Check Err.Number = 0 And TypeName(valid) = "Boolean" And valid = expected, progId & ": Authenticate " & _
            account & " gives " & TypeName(valid) & " " & valid & " (Err.Number " & HexCode(Err.Number) & ")"
        Err.Clear
    Next

    valid = "untouched"
    valid = authenticator.Authenticate("CORP", "")
    CheckError progId & ": Authenticate with an empty user", &H80070057, "_CreateHandle: missing parameter: User", _
        kVersionedProgId
    Check valid = "untouched", progId & ": a failed Authenticate assigns nothing"
End Sub

Dim scenario, progId
scenario = ""
If WScript.Arguments.Count > 0 Then scenario = WScript.Arguments(0)

For Each progId In Split(kProgIds)
    Select Case scenario
        Case "not-installed"
            CheckNotInstalled progId
        Case "no-components"
            CheckCreationFails progId
        Case "components"
            CheckWithComponents progId
        Case Else
            Check False, "known scenario: """ & scenario & """"
            Exit For
    End Select
Next

' An error that escaped every check above still counts.
Check Err.Number = 0, "no stray error pending (" & HexCode(Err.Number) & " " & Err.Description & ")"
If failures > 0 Then
    WScript.Echo failures & " check(s) failed"
    WScript.Quit 1
End If
WScript.Echo "all script checks passed"
WScript.Quit 0
