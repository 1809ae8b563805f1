; The QUINTARO installer: both programs for the current user, without elevation, into
; $LOCALAPPDATA\Programs\QUINTARO, with Start-menu shortcuts and an uninstaller
; registered for the user. packaging/CMakeLists.txt builds it:
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
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
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
    SetShellVarContext current
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

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\dormello32.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section /o "Start Dormello with Windows" SecStartup
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    CreateShortcut "${STARTUP_LINK}" "$INSTDIR\dormello32.exe" "" "$INSTDIR\dormello32.exe" 0 \
        SW_SHOWNORMAL "" "Dormello shutdown preselector"
SectionEnd

; Unticked on a reinstallation: the shortcut an earlier one made goes.
Section "-StartupOff"
    SetShellVarContext current
    ${IfNot} ${SectionIsSelected} ${SecStartup}
        Delete "${STARTUP_LINK}"
    ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecPrograms} \
        "dormello32.exe, sonvik32.exe, QUINTARO.INI and README.txt, with Start-menu shortcuts."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecStartup} \
        "Puts a shortcut to Dormello in your Startup folder, so it starts when you sign in."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
    SetShellVarContext current
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

Section "Uninstall"
    SetShellVarContext current
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
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
