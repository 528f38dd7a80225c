; Morvanta's Windows installer, made by scripts/package.sh with NSIS:
;   makensis -DVERSION=1.0.1 -DSTAGE=<folder> -DBUNDLE_FILES=<Bundle.nsh> -DOUTFILE=<setup.exe>
;            Morvanta.nsi
; STAGE holds Morvanta.vst3 (the bundle with the Windows module), LICENSE.txt and COPYRIGHT.txt.
; BUNDLE_FILES, which package.sh writes from the bundle's files, holds the macros InstallBundle
; and RemoveBundle, so that the uninstaller removes exactly the files and folders installed.
;
; The bundle goes where every 64-bit Windows host looks for VST3 plug-ins; the uninstaller and the
; licences go into a folder of their own in Program Files, and the uninstaller is registered in
; Windows' list of installed programs. Both run silently with /S.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
; A module a host has loaded cannot be replaced: the user is asked to close the host and retry, or
; to give up; the installer never goes on without the new module.
AllowSkipFiles off

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include "${BUNDLE_FILES}"

!define BUNDLE "$COMMONFILES64\VST3\Morvanta.vst3"
!define MODULE "${BUNDLE}\Contents\x86_64-win\Morvanta.vst3"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Morvanta"
!define UNINSTALLER "Uninstall Morvanta.exe"

Name "Morvanta ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Morvanta"
ShowInstDetails show
ShowUninstDetails show
BrandingText "Morvanta ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 ProductName "Morvanta"
VIAddVersionKey /LANG=1033 ProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 CompanyName "Quelm"
VIAddVersionKey /LANG=1033 FileDescription "Morvanta ${VERSION} setup"
VIAddVersionKey /LANG=1033 FileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 LegalCopyright "Copyright (C) Quelm, GNU General Public License 3 or later"

!define MUI_WELCOMEPAGE_TEXT "This installs Morvanta ${VERSION}, a stereo drive and saturation VST3 plug-in, for every user of this computer, into$\r$\n$\r$\n${BUNDLE}$\r$\n$\r$\nwhere 64-bit Windows hosts look for VST3 plug-ins.$\r$\n$\r$\nClose your host before you go on.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
; The GPL grants; it asks for no acceptance to use the program.
!define MUI_PAGE_HEADER_TEXT "Licence"
!define MUI_PAGE_HEADER_SUBTEXT "Morvanta comes under the GNU General Public License, version 3 or later."
!define MUI_LICENSEPAGE_TEXT_TOP "Press Page Down to read on."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "Morvanta is free software. You need not accept this licence to use it; it tells what you may do when you share or change Morvanta."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "Morvanta is installed. Let your host rescan its VST3 plug-ins to find it.$\r$\n$\r$\nTo remove it, choose Morvanta in Windows' list of installed apps."
!insertmacro MUI_PAGE_FINISH

; The plug-in is not where the uninstaller is.
!define MUI_UNCONFIRMPAGE_TEXT_TOP "This removes Morvanta ${VERSION}: the plug-in from ${BUNDLE}, and this uninstaller and the licences from the folder below. Close your host first, then click Uninstall."
!define MUI_UNCONFIRMPAGE_TEXT_LOCATION "Uninstaller in:"
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Both write to Program Files and the machine's registry.
!macro RequireAdministrator
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "admin"
        MessageBox MB_ICONSTOP "Morvanta installs for every user of this computer: run this as an administrator." /SD IDOK
        SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
        Quit
    ${EndIf}
    SetShellVarContext all
    SetRegView 64
!macroend

Function .onInit
    !insertmacro RequireAdministrator
FunctionEnd

Function un.onInit
    !insertmacro RequireAdministrator
FunctionEnd

Section
    ; Hosts look in this folder whether or not it holds anything: removed with Morvanta only if
    ; Morvanta made it.
    ${IfNot} ${FileExists} "$COMMONFILES64\VST3\*.*"
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "CreatedVST3Folder" 1
    ${EndIf}

    !insertmacro InstallBundle

    SetOutPath "$INSTDIR"
    File "${STAGE}/LICENSE.txt"
    File "${STAGE}/COPYRIGHT.txt"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"

    ${GetSize} "${BUNDLE}" "/S=0K" $0 $1 $2
    ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
    IntOp $0 $0 + $1

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Morvanta"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Quelm"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "${BUNDLE}"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section Uninstall
    ; A host that has the module loaded keeps it from being deleted: stop before anything is
    ; removed, rather than leave a bundle behind that nothing can uninstall any more.
    ClearErrors
    Delete "${MODULE}"
    ${If} ${Errors}
    ${AndIf} ${FileExists} "${MODULE}"
        MessageBox MB_ICONSTOP "Morvanta is in use: close your host, then uninstall again." /SD IDOK
        SetErrorLevel 5 ; ERROR_ACCESS_DENIED
        Abort
    ${EndIf}

    !insertmacro RemoveBundle

    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\COPYRIGHT.txt"
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"

    ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "CreatedVST3Folder"
    ${If} $0 == 1
        RMDir "$COMMONFILES64\VST3"
    ${EndIf}

    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
