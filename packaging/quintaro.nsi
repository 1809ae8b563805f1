; The QUINTARO installer: both programs, with Start-menu shortcuts and an uninstaller
; registered where the system's Add/Remove Programs reads it.
; - Windows 2000 and later: for the current user, without elevation, into
;   $LOCALAPPDATA\Programs\QUINTARO; the uninstaller under HKCU.
; - Windows 95, 98, ME and NT 4.0: they have no local application-data folder (it came
;   with 2000's shfolder.dll). So into the folder the system's own programs go to,
;   $PROGRAMFILES\QUINTARO, with the uninstaller under HKLM, the one Uninstall key that
;   Add/Remove Programs reads on 95 to ME and that every Windows reads. On 95 to ME
;   anyone may write both; on NT 4.0 only an administrator may, so there the installer
;   and the uninstaller say so and stop before changing anything. NT 4.0's shortcuts are the all-users ones, so that the installation
;   for the machine is one and any administrator's uninstaller removes all of it.
; A later installation finds an earlier one through its uninstall entry.
; packaging/CMakeLists.txt builds it:
;   makensis -DVERSION=x.y.z -DSTAGE=<folder of the files> -DOUTFILE=<setup.exe>
;            -DTARGET=x86-ansi|amd64-unicode [-DICON=<application icon>] quintaro.nsi
; The target is the programs' arch: the 32-bit installer carries the 32-bit programs and
; runs on every Windows, the 64-bit one carries the 64-bit programs.
;
; Silent use:
;   setup.exe /S [/STARTUP=1|0] [/D=<folder>]   /STARTUP=1 ticks "Start Dormello with
;                                               Windows", /STARTUP=0 unticks it
;   uninstall.exe /S
; Without /STARTUP the option stays as an earlier installation left it: off on a
; first installation.

Target ${TARGET}
ManifestDPIAware true
ManifestSupportedOS all
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh
!include WinVer.nsh

!define PRODUCT "QUINTARO"
!define PUBLISHER "Tobrin's Utilities"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QUINTARO"
!define STARTUP_LINK "$SMSTARTUP\Dormello.lnk"
!define MENU_FOLDER "$SMPROGRAMS\QUINTARO"
; The forms' window class: a running preselector is asked to close before its files go.
!define FORM_CLASS "QuintaroForm"

Name "${PRODUCT} ${VERSION}"
Caption "${PRODUCT} ${VERSION} Setup"
UninstallCaption "${PRODUCT} ${VERSION} Uninstall"
OutFile "${OUTFILE}"
; No InstallDir: .onInit picks the folder for the system (an empty $INSTDIR there means
; no /D= was given).
BrandingText "${PUBLISHER}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${PUBLISHER}"

!ifdef ICON
    !define MUI_ICON "${ICON}"
    !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Asks every running form of the programs to close, as the task list does (a hidden
; preselector too), and gives each a moment to end, so that its files can be replaced
; or removed.
; 1 on 95, 98, ME and NT 4.0: the installation is for the machine (Program Files, HKLM).
Var MachineWide

; Sets MachineWide and the shell folders' context for this system; on NT 4.0, stops
; (silently too, with exit code 5, access denied) unless the user is an administrator.
; WHAT is "Installing" or "Removing", for the message.
!macro ChooseInstallationKind WHAT
    StrCpy $MachineWide 0
    SetShellVarContext current
!if "${TARGET}" != "amd64-unicode" ; a 64-bit Windows is XP x64 or later
    ${IfNot} ${AtLeastWin2000}
        StrCpy $MachineWide 1
        ${If} ${IsNT}
            SetShellVarContext all
            UserInfo::GetAccountType
            Pop $R0
            ${If} $R0 != "Admin"
                MessageBox MB_OK|MB_ICONSTOP "${WHAT} ${PRODUCT} on Windows NT 4.0 needs an administrator: ${PRODUCT} goes into the Program Files folder and is registered for every user of this computer.$\r$\n$\r$\nLog on as an administrator and run it again. Nothing was changed." /SD IDOK
                SetErrorLevel 5
                Quit
            ${EndIf}
        ${EndIf}
    ${EndIf}
!endif
!macroend

; The uninstall entry's value NAME read into VAR from the root this system uses.
!macro ReadUninstallEntry VAR NAME
    ${If} $MachineWide == 1
        ReadRegStr ${VAR} HKLM "${UNINSTALL_KEY}" "${NAME}"
    ${Else}
        ReadRegStr ${VAR} HKCU "${UNINSTALL_KEY}" "${NAME}"
    ${EndIf}
!macroend

!macro WriteUninstallEntry ROOT
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\dormello32.exe,0"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr ${ROOT} "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD ${ROOT} "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD ${ROOT} "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD ${ROOT} "${UNINSTALL_KEY}" "EstimatedSize" "$0"
!macroend

!macro CloseRunningPrograms
    StrCpy $R9 0
    ${Do}
        FindWindow $R8 "${FORM_CLASS}"
        ${If} $R8 = 0
        ${OrIf} $R9 >= 50
            ${ExitDo}
        ${EndIf}
        SendMessage $R8 ${WM_CLOSE} 0 0 /TIMEOUT=2000
        Sleep 100
        IntOp $R9 $R9 + 1
    ${Loop}
!macroend

Section "QUINTARO programs (required)" SecPrograms
    SectionIn RO
    !insertmacro CloseRunningPrograms
    SetOutPath "$INSTDIR"
    File "${STAGE}\dormello32.exe"
    File "${STAGE}\sonvik32.exe"
    File "${STAGE}\README.txt"
    ; Settings the user has saved survive a reinstallation.
    SetOverwrite off
    File "${STAGE}\QUINTARO.INI"
    SetOverwrite on
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; Shortcuts start in $OUTDIR, the installation folder: the preselector reads
    ; QUINTARO.INI in the folder it starts in.
    CreateDirectory "${MENU_FOLDER}"
    CreateShortcut "${MENU_FOLDER}\Dormello.lnk" "$INSTDIR\dormello32.exe" "" \
        "$INSTDIR\dormello32.exe" 0 SW_SHOWNORMAL "" "Dormello shutdown preselector"
    CreateShortcut "${MENU_FOLDER}\Sonvik.lnk" "$INSTDIR\sonvik32.exe" "" \
        "$INSTDIR\sonvik32.exe" 0 SW_SHOWNORMAL "" "Sonvik recording-view launcher"
    CreateShortcut "${MENU_FOLDER}\QUINTARO README.lnk" "$INSTDIR\README.txt"
    CreateShortcut "${MENU_FOLDER}\Uninstall QUINTARO.lnk" "$INSTDIR\uninstall.exe"

    ${If} $MachineWide == 1
        !insertmacro WriteUninstallEntry HKLM
    ${Else}
        !insertmacro WriteUninstallEntry HKCU
    ${EndIf}
SectionEnd

Section /o "Start Dormello with Windows" SecStartup
    SetOutPath "$INSTDIR"
    CreateShortcut "${STARTUP_LINK}" "$INSTDIR\dormello32.exe" "" "$INSTDIR\dormello32.exe" 0 \
        SW_SHOWNORMAL "" "Dormello shutdown preselector"
SectionEnd

; Unticked on a reinstallation: the shortcut an earlier one made goes.
Section "-StartupOff"
    ${IfNot} ${SectionIsSelected} ${SecStartup}
        Delete "${STARTUP_LINK}"
    ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecPrograms} \
        "dormello32.exe, sonvik32.exe, QUINTARO.INI and README.txt, with Start-menu shortcuts."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecStartup} \
        "Puts a shortcut to Dormello in the Startup folder, so it starts when you log on."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
    !insertmacro ChooseInstallationKind "Installing"
    ; An earlier installation's folder, else the one for this system; /D= comes first.
    ${If} $INSTDIR == ""
        !insertmacro ReadUninstallEntry $INSTDIR "InstallLocation"
    ${EndIf}
    ${If} $INSTDIR == ""
    ${AndIf} $MachineWide == 1
        StrCpy $INSTDIR "$PROGRAMFILES\${PRODUCT}"
    ${ElseIf} $INSTDIR == ""
        StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
    ${EndIf}
    ; What an earlier installation chose stays the default.
    ${If} ${FileExists} "${STARTUP_LINK}"
        !insertmacro SelectSection ${SecStartup}
    ${EndIf}
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/STARTUP=" $R1
    ${IfNot} ${Errors}
        ${If} $R1 == "1"
            !insertmacro SelectSection ${SecStartup}
        ${Else}
            !insertmacro UnselectSection ${SecStartup}
        ${EndIf}
    ${EndIf}
FunctionEnd

Function un.onInit
    !insertmacro ChooseInstallationKind "Removing"
FunctionEnd

Section "Uninstall"
    !insertmacro CloseRunningPrograms
    Delete "${STARTUP_LINK}"
    Delete "${MENU_FOLDER}\Dormello.lnk"
    Delete "${MENU_FOLDER}\Sonvik.lnk"
    Delete "${MENU_FOLDER}\QUINTARO README.lnk"
    Delete "${MENU_FOLDER}\Uninstall QUINTARO.lnk"
    RMDir "${MENU_FOLDER}"
    Delete "$INSTDIR\dormello32.exe"
    Delete "$INSTDIR\sonvik32.exe"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\QUINTARO.INI"
    Delete "$INSTDIR\uninstall.exe"
    ; Only when empty: anything the user put there stays.
    RMDir "$INSTDIR"
    ${If} $MachineWide == 1
        DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${Else}
        DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${EndIf}
SectionEnd
