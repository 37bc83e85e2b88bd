' vrkauth-sample.vbs: asks the VRKsolution authenticator both of its questions from VBScript.
'
'   cscript //nologo vrkauth-sample.vbs [DOMAIN USER]
'
' The object is created late-bound, by ProgID. "Vrksolauth.VRKsolutionAuthenticator" always
' names the current version of the class; "Vrksolauth.VRKsolutionAuthenticator.1" pins version 1.
' Every failure of the authenticator comes back as a script error whose Err.Number is the
' HRESULT, Err.Description the server's message and Err.Source the class's ProgID.
Option Explicit

Dim domain, user
domain = "CORP"
user = "alice"
If WScript.Arguments.Count >= 2 Then
    domain = WScript.Arguments(0)
    user = WScript.Arguments(1)
End If

' Prints the pending script error, if any, and clears it. Returns True when there was one.
Function ReportError(what)
    ReportError = (Err.Number <> 0)
    If ReportError Then
        WScript.Echo what & " failed: 0x" & Right("0000000" & Hex(Err.Number), 8)
        WScript.Echo "  description: " & Err.Description
        WScript.Echo "  source:      " & Err.Source
        Err.Clear
    End If
End Function

Dim progId, authenticator, installed, valid
For Each progId In Array("Vrksolauth.VRKsolutionAuthenticator", "Vrksolauth.VRKsolutionAuthenticator.1")
    WScript.Echo "== " & progId
    On Error Resume Next
    Set authenticator = CreateObject(progId)
    If Not ReportError("CreateObject") Then
        installed = authenticator.IsInstalled()
        If Not ReportError("IsInstalled") Then
            If installed Then
                WScript.Echo "IsInstalled: yes"
            Else
                WScript.Echo "IsInstalled: no"
            End If
        End If

        valid = authenticator.Authenticate(domain, user)
        If Not ReportError("Authenticate") Then
            If valid Then
                WScript.Echo "Authenticate(" & domain & "\" & user & "): valid"
            Else
                WScript.Echo "Authenticate(" & domain & "\" & user & "): not valid"
            End If
        End If
        Set authenticator = Nothing
    End If
    On Error GoTo 0
Next
