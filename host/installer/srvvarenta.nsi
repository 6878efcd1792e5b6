; The SrvVarenta installer for Windows, made with makensis on the build machine:
;
;   makensis -DVERSION=1.0.0 -DPROGRAM=<prjSrvVarenta.exe> -DINI=<Tolvane.ini> -DOUTFILE=<installer.exe> srvvarenta.nsi
;
; It puts the program in "Program Files\SrvVarenta" with a Tolvane.ini to fill in, registers the service
; SrvVarenta through the program's own /INSTALL and starts it. Over an earlier installation it first has
; the installed program stop and unregister its service, so that the program's file can be replaced; the
; store's Tolvane.ini is kept. The uninstaller has the program stop and unregister the service, removes
; the program and leaves Varenta.log and Tolvane.ini where they are.
;
; /S runs either one without a window; the installer's exit status is 0 only when the service was
; registered.

!ifndef VERSION | PROGRAM | INI | OUTFILE
  !error "VERSION, PROGRAM, INI and OUTFILE must be defined (-DNAME=value)"
!endif

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "LogicLib.nsh"
!include "x64.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\SrvVarenta"

Name "SrvVarenta ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\SrvVarenta"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "SrvVarenta"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "SrvVarenta installer"
VIAddVersionKey "LegalCopyright" "SrvVarenta developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "SrvVarenta needs a 64-bit Windows." /SD IDOK
    SetErrorLevel 1
    Quit
  ${EndIf}
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "SrvVarenta"
  SetOutPath "$INSTDIR"

  ${If} ${FileExists} "$INSTDIR\prjSrvVarenta.exe"
    DetailPrint "Stopping and unregistering the installed SrvVarenta"
    nsExec::ExecToLog '"$INSTDIR\prjSrvVarenta.exe" /UNINSTALL /SILENT'
    Pop $0  ; an earlier installation whose service is already gone fails here, and that is fine
  ${EndIf}

  File "/oname=prjSrvVarenta.exe" "${PROGRAM}"
  ; The store's own settings survive an upgrade.
  SetOverwrite off
  File "/oname=Tolvane.ini" "${INI}"
  SetOverwrite on
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "SrvVarenta"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "SrvVarenta developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  DetailPrint "Registering the service SrvVarenta"
  nsExec::ExecToLog '"$INSTDIR\prjSrvVarenta.exe" /INSTALL /SILENT'
  Pop $0
  ${If} $0 != 0
    MessageBox MB_ICONSTOP "The service SrvVarenta could not be registered ($0); the details above and the \
        Windows Event Log say why. A service of that name registered from another folder is removed with \
        its own prjSrvVarenta.exe /UNINSTALL." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}

  DetailPrint "Starting the service SrvVarenta"
  nsExec::ExecToLog '"$SYSDIR\net.exe" start SrvVarenta'
  Pop $0
  ${If} $0 != 0
    DetailPrint "The service did not start now ($0); it starts with Windows."
  ${EndIf}
  DetailPrint "Fill in $INSTDIR\Tolvane.ini with the store database's server and path."
SectionEnd

Section "Uninstall"
  DetailPrint "Stopping and unregistering the service SrvVarenta"
  nsExec::ExecToLog '"$INSTDIR\prjSrvVarenta.exe" /UNINSTALL /SILENT'
  Pop $0
  Delete "$INSTDIR\prjSrvVarenta.exe"
  Delete "$INSTDIR\Uninstall.exe"
  ; The folder stays while Varenta.log and Tolvane.ini are in it.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
