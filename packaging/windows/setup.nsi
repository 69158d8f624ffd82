; The setup of Nubilo for Windows, in German. It installs for the user who runs it, without
; administrator rights, into a folder of the user's own (%USERPROFILE%\Nubilo unless chosen
; otherwise), where the pictures live beside the program. Installing again, or a newer
; version, replaces the program's files only; the uninstaller removes them, the Start menu
; entry and the entry in the list of installed programs, and keeps every other file.
;
; make-packages.sh builds it with makensis and these definitions:
;   VERSION  the program's version        WINDOWS_VERSION  the same in four numbers, as Windows has it
;   SOURCE   the folder Nubilo/ of the zip
;   FILES    the lines that remove each of its files, FOLDERS those that remove its folders
;   SIZE     its size in KiB               ICON     the globe      OUTFILE  the setup to write
;   SIGN     with a certificate only: sign.sh, which signs a program in place
;
; Silently (/S), the setup ends with error level 2, having installed nothing, where the user
; would otherwise be asked or told: while Nubilo runs, when the folder is not the user's to
; write to, and when the installed version's uninstaller fails. The uninstaller ends with error
; level 2 when one of the program's files or folders stays, keeping itself and its entry in the
; list so that it can be run again.

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
    ; An earlier version's uninstaller removes what that version installed, pictures excepted.
    ; Told that this is an upgrade, it keeps the Start menu entry, and with it a pin of the
    ; user's: the entry is updated in place below. If it fails, the setup does not install
    ; over what is left of that version.
    ${If} ${FileExists} "$INSTDIR\uninstall.exe"
        ClearErrors
        ExecWait '"$INSTDIR\uninstall.exe" /S /UPGRADE _?=$INSTDIR' $1
        ${If} ${Errors}
        ${OrIf} $1 != 0
            MessageBox MB_OK|MB_ICONSTOP \
                "Die bisherige Version von Nubilo ließ sich nicht vollständig entfernen, daher wurde die neue nicht installiert. Bitte löschen Sie im Ordner $INSTDIR die Dateien von Nubilo (Ihre Bilder können bleiben) und starten Sie die Installation dann erneut." \
                /SD IDOK
            SetErrorLevel 2
            Quit
        ${EndIf}
    ${EndIf}
    SetOutPath "$INSTDIR"
    File /r "${SOURCE}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
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
SectionEnd

; RemoveFile PATH and RemoveFolder PATH, the lines of FILES and FOLDERS: a file or folder of the
; program's that stays (another program holds it, the folder is read-only) is no reason to
; leave the rest; the first is kept in $R9 with Windows' reason, in the user's language. One
; that is gone already is no failure.
!define RemoveFile '!insertmacro Remove DeleteFileW "Die Datei"'
!define RemoveFolder '!insertmacro Remove RemoveDirectoryW "Der Ordner"'
!macro Remove call what path
    Push "${what} ${path}"
    Push "${path}"
    Push ${call}
    Call un.Remove
!macroend

Function un.Remove
    Exch $0   ; the call
    Exch
    Exch $1   ; the path
    Exch 2
    Exch $2   ; what it is, with the path
    Push $3
    Push $4
    System::Call 'kernel32::$0(w r1) i .r3 ?e'
    Pop $4
    ${If} $3 == 0
    ${AndIf} $4 != 2   ; ERROR_FILE_NOT_FOUND
    ${AndIf} $4 != 3   ; ERROR_PATH_NOT_FOUND
    ${AndIf} $R9 == ""
        ; FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS
        System::Call 'kernel32::FormatMessageW(i 0x1200, p 0, i r4, i 0, w .r3, i ${NSIS_MAX_STRLEN}, p 0)'
        StrCpy $R9 "$2 ließ sich nicht löschen: $3"
    ${EndIf}
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

Section "Uninstall"
    !insertmacro WaitUntilNubiloIsClosed
    StrCpy $R9 ""
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
    ; Run in place (_?=), as a setup that upgrades runs it, it cannot delete itself: the setup
    ; writes the new one over it.
    Delete "$INSTDIR\uninstall.exe"
    ; A setup that upgrades updates the Start menu entry itself.
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/UPGRADE" $1
    ${If} ${Errors}
        Delete "$SMPROGRAMS\Nubilo.lnk"
    ${EndIf}
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; Only an empty folder goes; the pictures and any other file stay, and the user is told where.
    RMDir "$INSTDIR"
    ${If} ${FileExists} "$INSTDIR\*.*"
        DetailPrint "Ihre Bilder und alle eigenen Dateien sind weiterhin im Ordner $INSTDIR."
        MessageBox MB_OK|MB_ICONINFORMATION \
            "Nubilo ist entfernt. Ihre Bilder und alle eigenen Dateien sind weiterhin im Ordner $INSTDIR." \
            /SD IDOK
    ${EndIf}
SectionEnd
