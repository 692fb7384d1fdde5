' KelvaneConsole.Console through late binding, as a script uses it: Variant variables written back,
' errors in Err. Run by cscript on a console (a tmux pane under Wine) with the log file as the first
' argument and, as the second, a UTF-16 file of the single-line box characters ┌┐└┘─│ (Wine's VBScript
' has no ChrW, and a script is read in the ANSI code page). The log ends with "N passed, N failed"; Wine's
' cscript stops silently on a runtime error and exits 0, so a missing last line is a failure too.
' The driver waits for READY on the pane, looks at the box drawn there, then types "a".
Option Explicit
Dim fso, log, o, pass, fail, glyphs, w, h, drawn, ch, fore, back, ok, text, folder, path, file
pass = 0 : fail = 0
Set fso = CreateObject("Scripting.FileSystemObject")
Set log = fso.CreateTextFile(WScript.Arguments(0), True, True)  ' UTF-16, for the box characters

Sub Check(name, condition)
    If condition Then pass = pass + 1 : log.WriteLine "ok   " & name Else fail = fail + 1 : log.WriteLine "FAIL " & name
End Sub

' The error the last call raised as "number|source|description", noted in the log, and cleared.
Function Raised()
    Raised = Err.Number & "|" & Err.Source & "|" & Err.Description
    log.WriteLine "     raised " & Raised & " help " & Err.HelpFile & " " & Err.HelpContext
    Err.Clear
End Function

glyphs = fso.OpenTextFile(WScript.Arguments(1), 1, False, -1).ReadAll
Const kYellow = &HFFFF&, kNavy = &H800000, kWhite = &HFFFFFF, kBlack = 0, kSingleLine = 2

Set o = CreateObject("KelvaneConsole.Console")
Check "CreateObject by ProgID gives _Console", TypeName(o) = "_Console"
o.Load
o.Caption = "KelvaneConsole VBScript"
Check "Page and Caption through property get and put", o.Page = 0 And o.Caption = "KelvaneConsole VBScript"

' A box framed in single lines, yellow on navy, at column 2 row 1, 30 by 5 (the driver looks at the pane).
w = 30 : h = 5
drawn = o.DrawBox(2, 1, w, h, kYellow, kNavy, kSingleLine)
Check "DrawBox returns True (-1), an unclipped size as it was", drawn = True And CInt(drawn) = -1 And w = 30 And h = 5
ok = o.GetScreenData(ch, fore, back, 2, 1)
Check "GetScreenData writes back the corner as a String, its colours as Longs", ok And ch = Mid(glyphs, 1, 1) And fore = kYellow And back = kNavy And TypeName(ch) = "String" And TypeName(fore) = "Long"
w = 100
o.DrawHLine 70, 20, w, kWhite, kNavy
Check "DrawHLine writes back the clipped Width as an Integer", w = 10 And TypeName(w) = "Integer"
w = 100
Check "DrawHLine clipped through a function call, and with a literal Width", o.DrawHLine(75, 21, w, kWhite, kNavy) And w = 5 And o.DrawHLine(75, 22, 100, kWhite, kNavy)
text = "XYZ"
o.SetScreenData text, kWhite, kBlack, 0, 24
o.GetScreenData ch, fore, back, 0, 24
Check "SetScreenData keeps and writes back the first character", text = "X" And ch = "X" And back = kBlack

' The screen to a file (created, then replaced, no temporary file left) and back onto another page.
folder = fso.GetSpecialFolder(2)
path = folder & "\kelvane_vbs_test.scr"
If fso.FileExists(path) Then fso.DeleteFile path
Check "SaveScreen creates the file: 80 x 25 cells and the end record", o.SaveScreen(path) And fso.GetFile(path).Size = 8004
Check "SaveScreen replaces the file", o.SaveScreen(path) And fso.GetFile(path).Size = 8004
ok = True
For Each file In fso.GetFolder(folder).Files
    If InStr(file.Name, "kelvane_vbs_test.scr.") > 0 Then ok = False : log.WriteLine "     left over: " & file.Name
Next
Check "no temporary file is left beside it", ok
Check "LoadScreen onto page 5", o.LoadScreen(path, 5)
o.GetScreenData ch, fore, back, 2, 1, 5
Check "page 5 has the box's corner from the file", ch = Mid(glyphs, 1, 1) And fore = kYellow And back = kNavy
fso.DeleteFile path

o.WriteText "READY", kWhite, kBlack, True
Check "GetInputKey returns the virtual key of a", o.GetInputKey = 65

' The errors a script sees: number, source, text, help file and context; Visual Basic's own for a value
' that does not convert and an unknown member.
On Error Resume Next
o.Load
Check "the help file is KelvaneSG3.chm in the system folder, context 1000", LCase(Err.HelpFile) = LCase(fso.GetSpecialFolder(1) & "\KelvaneSG3.chm") And Err.HelpContext = 1000
Check "a second Load raises 30057", Raised() = "30057|KelvaneConsole.Load|Console already loaded.  You may only use one console per process (application)."
o.Page = 20
Check "page 20 raises 30053", Raised() = "30053|KelvaneConsole.Screen|Invalid Page specified."
o.DrawHLine 5, 5, "many", kWhite, kNavy
Check "a Width that is no number is a type mismatch (13)", Left(Raised(), 3) = "13|"
o.NoSuchMember
Check "an unknown member is 438", Left(Raised(), 4) = "438|"
o.Unload
w = o.Page
Check "after Unload the Page get raises 30052", Raised() = "30052|KelvaneConsole|Operation failed.  The console has not yet been loaded."
On Error Goto 0
Set o = Nothing

log.WriteLine pass & " passed, " & fail & " failed"
log.Close
If fail > 0 Then WScript.Quit 1
