' KelvaneConsole.Console through late binding, as a script client uses it: run by cscript on a console
' (a tmux pane under Wine), with the log file as the first argument and, as the second, a UTF-16 file
' holding the six single-line box characters, corners then edges (Wine's VBScript has no ChrW, and a script file is read in the ANSI
' code page, which lacks them). Every check goes to the log, which
' ends with "N passed, N failed". Wine's cscript stops a script silently on a runtime error and exits 0,
' so a missing last line is a failure too (run_tests.sh looks for it).
'
' The driver waits for READY on the pane, looks at the box drawn there, then types "a".
Option Explicit
Dim fso, log, o, pass, fail
pass = 0 : fail = 0
Set fso = CreateObject("Scripting.FileSystemObject")
Set log = fso.CreateTextFile(WScript.Arguments(0), True, True)  ' UTF-16, for the box characters

Sub Check(name, condition)
    If condition Then
        pass = pass + 1 : log.WriteLine "ok   " & name
    Else
        fail = fail + 1 : log.WriteLine "FAIL " & name
    End If
End Sub

Sub Note(text)
    log.WriteLine "     " & text
End Sub

' The error the last call raised, as one line, and cleared.
Function Raised()
    Dim said
    said = Err.Number & "|" & Err.Source & "|" & Err.Description
    Note "raised " & said & " help " & Err.HelpFile & " " & Err.HelpContext
    Raised = said
    Err.Clear
End Function

Dim glyphs
glyphs = fso.OpenTextFile(WScript.Arguments(1), 1, False, -1).ReadAll
Dim kTopLeft, kTopRight, kBottomLeft, kBottomRight, kHorizontal, kVertical
kTopLeft = Mid(glyphs, 1, 1) : kTopRight = Mid(glyphs, 2, 1) : kBottomLeft = Mid(glyphs, 3, 1)
kBottomRight = Mid(glyphs, 4, 1) : kHorizontal = Mid(glyphs, 5, 1) : kVertical = Mid(glyphs, 6, 1)
Note "box characters " & glyphs

Const kYellow = &HFFFF&, kNavy = &H800000, kWhite = &HFFFFFF, kBlack = 0, kSingleLine = 2

Set o = CreateObject("KelvaneConsole.Console")
Check "CreateObject by ProgID gives _Console", TypeName(o) = "_Console"
o.Load
Check "Load shows page 0", o.Page = 0
o.Caption = "KelvaneConsole VBScript"
Check "Caption put and get", o.Caption = "KelvaneConsole VBScript"

' A box framed in single lines, yellow on navy, at column 2 row 1, 30 by 5.
Dim w, h, drawn
w = 30 : h = 5
drawn = o.DrawBox(2, 1, w, h, kYellow, kNavy, kSingleLine)
Check "DrawBox returns True (-1)", drawn = True And CInt(drawn) = -1
Check "DrawBox leaves an unclipped size as it was", w = 30 And h = 5

' What was drawn, read back cell by cell.
Dim ch, fore, back, ok
ok = o.GetScreenData(ch, fore, back, 2, 1)
Check "GetScreenData top-left corner", ch = kTopLeft And fore = kYellow And back = kNavy And ok
o.GetScreenData ch, fore, back, 31, 5
Check "GetScreenData bottom-right corner", ch = kBottomRight
o.GetScreenData ch, fore, back, 10, 1
Check "GetScreenData top edge", ch = kHorizontal And fore = kYellow And back = kNavy
o.GetScreenData ch, fore, back, 2, 3
Check "GetScreenData left edge", ch = kVertical
o.GetScreenData ch, fore, back, 10, 3
Check "GetScreenData inside is blank in the box's colours", ch = " " And back = kNavy
Check "GetScreenData writes back typed values", TypeName(ch) = "String" And TypeName(fore) = "Long"

' By reference: a length past the window's right edge comes back clipped, as an Integer.
w = 100
o.DrawHLine 70, 20, w, kWhite, kNavy
Check "DrawHLine writes back the clipped Width", w = 10 And TypeName(w) = "Integer"
w = 100
Check "DrawHLine clipped through a function call", o.DrawHLine(75, 21, w, kWhite, kNavy) And w = 5
' A literal passed where a variable could be is simply not written back.
Check "DrawHLine with a literal Width", o.DrawHLine(75, 22, 100, kWhite, kNavy)
h = 40
o.DrawVLine 79, 10, h, kWhite, kNavy
Check "DrawVLine writes back the clipped Height", h = 15
w = 200 : h = 200
o.DrawBox 60, 15, w, h, kWhite, kBlack, kSingleLine
Check "DrawBox writes back both clipped sides", w = 20 And h = 10

' SetScreenData keeps only the first character, and writes that back.
Dim text
text = "XYZ"
o.SetScreenData text, kWhite, kBlack, 0, 24
Check "SetScreenData writes back its first character", text = "X"
o.GetScreenData ch, fore, back, 0, 24
Check "SetScreenData cell", ch = "X" And fore = kWhite And back = kBlack

Dim x, y
o.SetCursorPos 40, 12
o.GetCursorPos x, y
Check "GetCursorPos writes back the position", x = 40 And y = 12
o.GetWindowSize w, h
Check "GetWindowSize writes back the window size", w = 80 And h = 25
Note "window " & w & "x" & h

' The screen to a file and back onto another page: created once, then replaced.
Dim folder, path, file, name, leftovers
folder = fso.GetSpecialFolder(2)
path = folder & "\kelvane_vbs_test.scr"
If fso.FileExists(path) Then fso.DeleteFile path
Check "SaveScreen creates the file", o.SaveScreen(path) And fso.FileExists(path)
Check "the file holds 80 x 25 cells and the end record", fso.GetFile(path).Size = 80 * 25 * 4 + 4
Check "SaveScreen replaces the file", o.SaveScreen(path) And fso.GetFile(path).Size = 8004
leftovers = 0
For Each file In fso.GetFolder(folder).Files
    name = file.Name
    If InStr(name, "kelvane_vbs_test.scr.") > 0 Then leftovers = leftovers + 1 : Note "left over: " & name
Next
Check "no temporary file is left beside it", leftovers = 0
Check "LoadScreen onto page 5", o.LoadScreen(path, 5)
o.GetScreenData ch, fore, back, 2, 1, 5
Check "page 5 has the box from the file", ch = kTopLeft And fore = kYellow And back = kNavy
fso.DeleteFile path

o.WriteText "READY", kWhite, kBlack, True
Dim key
key = o.GetInputKey
Check "GetInputKey returns the virtual key of a", key = 65
Note "key " & key

' The errors a client sees, with their numbers, sources and texts.
On Error Resume Next
o.Load
Check "a second Load raises 30057", Raised() = "30057|KelvaneConsole.Load|Console already loaded.  You may only use one console per process (application)."
o.Page = 20
Check "page 20 raises 30053", Raised() = "30053|KelvaneConsole.Screen|Invalid Page specified."
Check "the page stays", o.Page = 0
w = 0
o.DrawHLine 5, 5, w, kWhite, kNavy
Check "a Width below one raises 30059", Raised() = "30059|KelvaneConsole.DrawHLine|Invalid X, Y, Width, or Height parameters for Console DrawHLine function."
Check "and is left as it was", w = 0
w = 5 : h = -1
o.DrawBox 5, 5, w, h, kWhite, kNavy
Check "a Height below one raises 30059 from DrawBox", Raised() = "30059|KelvaneConsole.DrawBox|Invalid X, Y, Width, or Height parameters for Console DrawBox function."
o.DrawBox 5, 5, 3, 3, kWhite, kNavy, kSingleLine, False, 20
Check "DrawBox on page 20 raises 30053", Raised() = "30053|KelvaneConsole.DrawBox|Invalid page specified."
o.SetCursorPos 5, 5
o.Load
Check "the help file is KelvaneSG3.chm in the system folder", LCase(Err.HelpFile) = LCase(fso.GetSpecialFolder(1) & "\KelvaneSG3.chm")
Check "the help context is 1000", Err.HelpContext = 1000
Err.Clear
o.DrawHLine 5, 5, "many", kWhite, kNavy
Check "a Width that is no number is a type mismatch (13)", Err.Number = 13
Err.Clear
o.NoSuchMember
Check "an unknown member is 438", Err.Number = 438
Err.Clear
On Error Goto 0

o.Unload
On Error Resume Next
Dim page
page = o.Page
Check "after Unload the Page get raises 30052", Raised() = "30052|KelvaneConsole|Operation failed.  The console has not yet been loaded."
Check "and drawing returns False", o.DrawHLine(1, 1, 5, kWhite, kNavy) = False And Err.Number = 0
On Error Goto 0
Set o = Nothing

log.WriteLine pass & " passed, " & fail & " failed"
log.Close
If fail > 0 Then WScript.Quit 1
