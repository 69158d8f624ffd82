; The setup of Nubilo for Windows, in German. It installs for the user who runs it, without
; administrator rights, into a folder of the user's own (%USERPROFILE%\Nubilo unless chosen
; otherwise), where the pictures live beside the program. Installing again, or a newer
; version, replaces the program's files only; the uninstaller removes them, the Start menu
; entry and the entry in the list of installed programs, and keeps every other file.
;
; make-packages.sh builds it with makensis and these definitions:
;   VERSION  the program's version        WINDOWS_VERSION  the same in four numbers, as Windows has it
;   SOURCE   the folder Nubilo/ of the zip
;   FILES    the lines that remove each of its files, FOLDERS those that remove its folders,
;            each named within the program's folder
;   SIZE     its size in KiB               ICON     the globe      OUTFILE  the setup to write
;   SIGN     with a certificate only: sign.sh, which signs a program in place
;
; An upgrade is all or nothing. The installed version's uninstaller, run with /UPGRADE, moves
; its files aside into the folder AWAY inside the program's folder (so on the same drive, and
; the user's to write to) and deletes nothing; a file it cannot move stops it before anything is
; lost, and it moves back what it moved. Once the new version is whole, the setup marks it so
; (REPLACED) and deletes what was moved aside. A setup ended midway leaves AWAY behind: the
; next one finishes deleting it where the new version was whole, and else has the uninstaller
; in it move its files back (/RESTORE) before it upgrades.
;
; Silently (/S), the setup ends with error level 2, having installed nothing, where the user
; would otherwise be asked or told: while Nubilo runs, when the folder is not the user's to
; write to, and when the installed version cannot be moved aside. The uninstaller ends with
; error level 2 when one of the program's files or folders stays, keeping itself and its entry
; in the list so that it can be run again.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

; The uninstaller is made while the setup is, so that it is signed before the setup takes it
; in (NSIS 3.08 and newer, as in Debian 12); the setup is signed last.
!ifdef SIGN
    !uninstfinalize 'bash "${SIGN}" "%1"' = 0
    !finalize 'bash "${SIGN}" "%1"' = 0
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Nubilo"
!define AWAY "$INSTDIR\Nubilo-bisher"
!define REPLACED "$INSTDIR\Nubilo-bisher-ersetzt"
; What the uninstaller, run by the setup, could not do, in its words, for the setup to tell.
!define REASON "$TEMP\nubilo-setup-grund.txt"

Name "Nubilo ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROFILE\Nubilo"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Nubilo ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\nubilo.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Nubilo jetzt starten"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

VIProductVersion "${WINDOWS_VERSION}"
VIAddVersionKey /LANG=${LANG_GERMAN} "ProductName" "Nubilo"
VIAddVersionKey /LANG=${LANG_GERMAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_GERMAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_GERMAN} "FileDescription" "Installation von Nubilo ${VERSION}"
VIAddVersionKey /LANG=${LANG_GERMAN} "CompanyName" "Die Nubilo-Entwickler"
VIAddVersionKey /LANG=${LANG_GERMAN} "LegalCopyright" "Copyright (c) 2026 The Nubilo developers, MIT-Lizenz"

; A running program's file cannot be replaced or deleted: the user is asked to close it.
; Silently (/S), the setup then ends with error level 2 and has changed nothing.
!macro WaitUntilNubiloIsClosed
    ${DoWhile} ${FileExists} "$INSTDIR\nubilo.exe"
        ClearErrors
        FileOpen $0 "$INSTDIR\nubilo.exe" a
        ${IfNot} ${Errors}
            FileClose $0
            ${Break}
        ${EndIf}
        ${If} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Nubilo läuft noch. Bitte schließen Sie Nubilo und klicken Sie dann auf „Wiederholen“." /SD IDCANCEL IDCANCEL`
            SetErrorLevel 2
            Quit
        ${EndIf}
    ${Loop}
!macroend

;-- Patiently: the kernel32 call $R0, a System::Call definition on the path $R1 (and $R2),
; tried again while Windows' refusal may pass, as the program's own file layer does: virus
; scanners, the search indexer and sync clients open a file for a moment. Eleven tries, with
; waits growing by 25 ms, 1.4 s in all. $R3 is 0 when it failed at last, $R4 Windows' error.
!macro Patiently un
Function ${un}Patiently
    StrCpy $R5 1
    ${Do}
        System::Call 'kernel32::$R0 i .R3 ?e'
        Pop $R4
        ${If} $R3 != 0
        ${OrIf} $R5 > 10
            ${Break}
        ${EndIf}
        ; A sharing or lock violation may pass, and so may access denied to a path whose
        ; attributes allow it (one being deleted); a read-only or missing one will not.
        ${If} $R4 == 5
            System::Call 'kernel32::GetFileAttributesW(w R1) i .R6'
            IntOp $R6 $R6 & 1
            ${If} $R6 != 0
                ${Break}
            ${EndIf}
        ${ElseIf} $R4 != 32
        ${AndIf} $R4 != 33
            ${Break}
        ${EndIf}
        IntOp $R6 $R5 * 25
        Sleep $R6
        IntOp $R5 $R5 + 1
    ${Loop}
FunctionEnd
!macroend
!insertmacro Patiently ""
!insertmacro Patiently "un."

; Windows' reason for the error $R4, in the user's language, into $R4.
!macro Reason un
Function ${un}Reason
    ; FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS
    System::Call 'kernel32::FormatMessageW(i 0x1200, p 0, i R4, i 0, w .R4, i ${NSIS_MAX_STRLEN}, p 0)'
FunctionEnd
!macroend
!insertmacro Reason ""
!insertmacro Reason "un."

; Ends the setup with what went wrong, $0, and what the user can do about it.
Function Stop
    MessageBox MB_OK|MB_ICONSTOP "$0" /SD IDOK
    SetErrorLevel 2
    Quit
FunctionEnd

; Runs the installed version's uninstaller $0 in place with the option $1; when it fails, the
; setup ends with the uninstaller's words, or else what is known.
Function RunUninstaller
    Delete "${REASON}"
    ClearErrors
    ExecWait '"$0" /S $1 _?=$INSTDIR' $2
    ${If} ${Errors}
    ${OrIf} $2 != 0
        StrCpy $0 "Die bisherige Version von Nubilo ließ sich nicht beiseitelegen (Fehler $2), die neue wurde nicht installiert. Bitte starten Sie die Installation erneut."
        ClearErrors
        FileOpen $3 "${REASON}" r
        ${IfNot} ${Errors}
            StrCpy $0 ""
            ${Do}
                FileReadUTF16LE $3 $4
                ${If} ${Errors}
                    ${Break}
                ${EndIf}
                StrCpy $0 "$0$4"
            ${Loop}
            FileClose $3
            Delete "${REASON}"
        ${EndIf}
        Call Stop
    ${EndIf}
FunctionEnd

; Moves the uninstaller $R1 to $R2, patiently; $R3 is 0 where it failed, and $0 then says why.
Function MoveUninstaller
    StrCpy $R0 'MoveFileExW(w R1, w R2, i 1)'   ; MOVEFILE_REPLACE_EXISTING
    Call Patiently
    ${If} $R3 == 0
        Call Reason
        StrCpy $0 "Die neue Version von Nubilo wurde nicht installiert. Die Datei $R1 ließ sich nicht verschieben: $R4$\r$\nBitte schließen Sie das Programm, das diese Datei verwendet, und starten Sie die Installation dann erneut."
    ${EndIf}
FunctionEnd

; The folder must be one the user may write to, as the pictures go there too. On the folder
; page another one can be chosen; silently (/S /D=...) the page is skipped, and the setup ends.
Function CheckFolder
    ClearErrors
    CreateDirectory "$INSTDIR"
    FileOpen $0 "$INSTDIR\nubilo-setup.probe" w
    ${If} ${Errors}
        MessageBox MB_OK|MB_ICONEXCLAMATION \
            "In den Ordner $INSTDIR können Sie nicht schreiben. Bitte wählen Sie einen Ordner, der Ihnen gehört, etwa in Ihrem Benutzerordner." \
            /SD IDOK
        ${If} ${Silent}
            SetErrorLevel 2
            Quit
        ${EndIf}
        Abort
    ${EndIf}
    FileClose $0
    Delete "$INSTDIR\nubilo-setup.probe"
FunctionEnd

Function .onInit
    ${If} ${Silent}
        Call CheckFolder
    ${EndIf}
FunctionEnd

Section
    SetOutPath "$INSTDIR"
    !insertmacro WaitUntilNubiloIsClosed
    ; A setup ended midway left the installed version's files moved aside. Where the new
    ; version was whole, they only remain to be deleted; else they go back, by the list of the
    ; uninstaller that moved them (moved aside too, once it had done so), and the upgrade
    ; starts again from a whole version.
    ${If} ${FileExists} "${AWAY}\*.*"
    ${AndIfNot} ${FileExists} "${REPLACED}"
        StrCpy $0 "$INSTDIR\uninstall.exe"
        ${If} ${FileExists} "${AWAY}\uninstall.exe"
            StrCpy $0 "${AWAY}\uninstall.exe"
        ${EndIf}
        StrCpy $1 /RESTORE
        Call RunUninstaller
        ${If} ${FileExists} "${AWAY}\uninstall.exe"
            StrCpy $R1 "${AWAY}\uninstall.exe"
            StrCpy $R2 "$INSTDIR\uninstall.exe"
            Call MoveUninstaller
            ${If} $R3 == 0
                Call Stop
            ${EndIf}
        ${EndIf}
    ${EndIf}
    RMDir /r "${AWAY}"
    Delete "${REPLACED}"
    ; The installed version's uninstaller moves its files aside, and the setup moves the
    ; uninstaller after them, so that a restore brings back that version whole. The Start
    ; menu entry stays, and with it a pin of the user's: it is updated in place below.
    ${If} ${FileExists} "$INSTDIR\uninstall.exe"
        StrCpy $0 "$INSTDIR\uninstall.exe"
        StrCpy $1 /UPGRADE
        Call RunUninstaller
        CreateDirectory "${AWAY}"   ; where none of the version's files was left to move
        StrCpy $R1 "$INSTDIR\uninstall.exe"
        StrCpy $R2 "${AWAY}\uninstall.exe"
        Call MoveUninstaller
        ${If} $R3 == 0
            Push $0
            StrCpy $0 "$INSTDIR\uninstall.exe"
            StrCpy $1 /RESTORE
            Call RunUninstaller
            RMDir /r "${AWAY}"
            Pop $0
            Call Stop
        ${EndIf}
    ${EndIf}
    SetOutPath "$INSTDIR"
    File /r "${SOURCE}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ; The new version is whole: from here on, an ended setup's successor deletes what was moved aside.
    FileOpen $0 "${REPLACED}" w
    FileClose $0
    CreateShortcut "$SMPROGRAMS\Nubilo.lnk" "$INSTDIR\nubilo.exe" "" "$INSTDIR\nubilo.exe" 0 \
        "" "" "Meteosat-Satellitenbilder holen und als Animation abspielen"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Nubilo"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\nubilo.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Die Nubilo-Entwickler"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE}
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    RMDir /r "${AWAY}"
    Delete "${REPLACED}"
SectionEnd

; RemoveFile NAME and RemoveFolder NAME, the lines of FILES and FOLDERS, for a file or folder
; of the program's, named within its folder. What they do is $R8's:
;   delete  deletes it, clearing its read-only mark first, as a backup or a copy from a CD may
;           leave one; a file or folder that stays is no reason to leave the rest
;   aside   moves the file into AWAY, and stops at the first that will not move; folders that
;           are empty then go
;   back    moves the file in AWAY back, over what is in its place
; The first failure is kept in $R9 with Windows' reason, in the user's language. A file that
; is gone already is no failure.
!define RemoveFile '!insertmacro Remove file "Die Datei"'
!define RemoveFolder '!insertmacro Remove folder "Der Ordner"'
!macro Remove kind what name
    Push "${what}"
    Push "${name}"
    Push ${kind}
    Call un.Remove
!macroend

Function un.Remove
    Exch $0   ; the kind          stack: what, name, old $0
    Exch
    Exch $1   ; the name          what, old $0, old $1
    Exch 2
    Exch $2   ; what it is        old $1, old $0, old $2
    StrCpy $R1 "$INSTDIR\$1"
    StrCpy $R2 "${AWAY}\$1"
    ${If} $R8 == back
        StrCpy $R1 "${AWAY}\$1"
        StrCpy $R2 "$INSTDIR\$1"
    ${EndIf}
    StrCpy $R3 1
    ${If} $R8 == delete
        System::Call 'kernel32::GetFileAttributesW(w R1) i .R3'
        IntOp $R4 $R3 & 1
        ${If} $R3 != -1
        ${AndIf} $R4 != 0
            IntOp $R3 $R3 ^ 1
            System::Call 'kernel32::SetFileAttributesW(w R1, i R3)'
        ${EndIf}
        StrCpy $R0 'DeleteFileW(w R1)'
        ${If} $0 == folder
            StrCpy $R0 'RemoveDirectoryW(w R1)'
        ${EndIf}
        Call un.Patiently
    ${ElseIf} $0 == folder
        ${If} $R8 == aside
            RMDir "$R1"
        ${EndIf}
    ${ElseIf} ${FileExists} "$R1"
        ; What is moved back, all of it; what is moved aside, till one will not move.
        ${If} $R8 == back
        ${OrIf} $R9 == ""
            ${GetParent} "$R2" $R0
            CreateDirectory "$R0"
            StrCpy $R0 'MoveFileExW(w R1, w R2, i 0)'
            ${If} $R8 == back
                StrCpy $R0 'MoveFileExW(w R1, w R2, i 1)'   ; MOVEFILE_REPLACE_EXISTING
            ${EndIf}
            Call un.Patiently
        ${EndIf}
    ${EndIf}
    ${If} $R3 == 0
    ${AndIf} $R4 != 2   ; ERROR_FILE_NOT_FOUND
    ${AndIf} $R4 != 3   ; ERROR_PATH_NOT_FOUND
    ${AndIf} $R9 == ""
        Call un.Reason
        StrCpy $R9 "$2 $R1 ließ sich nicht löschen: $R4"
        ${If} $R8 != delete
            StrCpy $R9 "$2 $R1 ließ sich nicht verschieben: $R4"
        ${EndIf}
    ${EndIf}
    Pop $2
    Pop $0
    Pop $1
FunctionEnd

; Tells the setup that runs this uninstaller what failed, $0, and ends with error level 2.
Function un.TellSetup
    FileOpen $1 "${REASON}" w
    FileWriteUTF16LE $1 "$0"
    FileClose $1
    SetErrorLevel 2
    Quit
FunctionEnd

Section "Uninstall"
    !insertmacro WaitUntilNubiloIsClosed
    StrCpy $R9 ""
    ${GetParameters} $0
    ; A setup that upgrades has this version moved aside; where a file will not move, what
    ; moved goes back, and the version stays as it was.
    ClearErrors
    ${GetOptions} $0 "/UPGRADE" $1
    ${IfNot} ${Errors}
        StrCpy $R8 aside
        !include "${FILES}"
        ${If} $R9 == ""
            !include "${FOLDERS}"
            SetErrorLevel 0   ; Quit alone ends with 2
            Quit
        ${EndIf}
        StrCpy $0 "Die neue Version von Nubilo wurde nicht installiert, die bisherige ist unverändert. $R9$\r$\nBitte schließen Sie das Programm, das diese Datei verwendet, und starten Sie die Installation dann erneut."
        StrCpy $R9 ""
        StrCpy $R8 back
        !include "${FILES}"
        ${If} $R9 == ""
            RMDir /r "${AWAY}"
        ${Else}
            StrCpy $0 "$0$\r$\nAuch ließen sich nicht alle Dateien zurücklegen. $R9$\r$\nDie nächste Installation legt sie zurück."
        ${EndIf}
        Call un.TellSetup
    ${EndIf}
    ; A setup that an ended setup left behind has what was moved aside moved back.
    ClearErrors
    ${GetOptions} $0 "/RESTORE" $1
    ${IfNot} ${Errors}
        StrCpy $R8 back
        !include "${FILES}"
        ${If} $R9 == ""
            SetErrorLevel 0
            Quit
        ${EndIf}
        StrCpy $0 "Die bisherige Version von Nubilo, die eine abgebrochene Installation im Ordner ${AWAY} hinterließ, ließ sich nicht zurücklegen, die neue wurde nicht installiert. $R9$\r$\nBitte schließen Sie das Programm, das diese Datei verwendet, und starten Sie die Installation dann erneut."
        Call un.TellSetup
    ${EndIf}
    StrCpy $R8 delete
    !include "${FILES}"
    !include "${FOLDERS}"
    ; What stayed is said, and the error level says it too: a setup that upgrades stops on it.
    ; This uninstaller, its entry in the list and the Start menu entry stay, so that it can be
    ; run again once the file is free.
    ${If} $R9 != ""
        DetailPrint "$R9"
        MessageBox MB_OK|MB_ICONSTOP \
            "Nubilo wurde nicht vollständig entfernt. $R9$\r$\nBitte schließen Sie die Programme, die diese Datei verwenden könnten, und starten Sie die Deinstallation dann erneut." \
            /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    ; Run in place (_?=), it cannot delete itself, and leaves that to its caller.
    Delete "$INSTDIR\uninstall.exe"
    Delete "$SMPROGRAMS\Nubilo.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; What an upgrade ended midway had moved aside, where the new version was whole.
    ${If} ${FileExists} "${REPLACED}"
        RMDir /r "${AWAY}"
        Delete "${REPLACED}"
    ${EndIf}
    ; Only an empty folder goes; the pictures and any other file stay, and the user is told where.
    RMDir "$INSTDIR"
    ${If} ${FileExists} "$INSTDIR\*.*"
        DetailPrint "Ihre Bilder und alle eigenen Dateien sind weiterhin im Ordner $INSTDIR."
        MessageBox MB_OK|MB_ICONINFORMATION \
            "Nubilo ist entfernt. Ihre Bilder und alle eigenen Dateien sind weiterhin im Ordner $INSTDIR." \
            /SD IDOK
    ${EndIf}
SectionEnd
