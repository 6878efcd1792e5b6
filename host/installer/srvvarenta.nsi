; The SrvVarenta installer for Windows, made with makensis on the build machine:
;
;   makensis -DVERSION=1.0.0 -DPROGRAM=<prjSrvVarenta.exe> -DINI=<Tolvane.ini> -DOUTFILE=<installer.exe> srvvarenta.nsi
;
; It puts the program in "Program Files\SrvVarenta" (or the folder chosen) with a Tolvane.ini to fill
; in, registers the service SrvVarenta through the program's own /INSTALL and starts it. The folder's
; permissions are set first, whatever folder it is: the service runs as the local system account and
; loads what is in it, so only the Administrators and SYSTEM may change it (Users read and run). Over an
; earlier installation it first has the installed program stop and unregister its service, so that the
; program's file can be replaced; the store's Tolvane.ini and Varenta.log are kept. The uninstaller has
; the program stop and unregister the service, takes back what the service opened in the firewall (the
; database port and the program's entries in the lists of authorised applications), removes the program
; and leaves Varenta.log and Tolvane.ini where they are.
;
; /S runs either one without a window; the installer's exit status is 0 only when the service was
; registered. Anything that would leave the old program in place or the folder open fails the
; installation with a message (and status 2): an old version that cannot be unregistered, a file that
; cannot be replaced (a copy of the program still running), permissions that cannot be set.

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
!define SERVICE_KEY "SYSTEM\CurrentControlSet\Services\SrvVarenta"
!define AUTHORISED_LIST "Services\SharedAccess\Parameters\FirewallPolicy\StandardProfile\AuthorizedApplications\List"

; A file that cannot be written fails the installation, in silent mode too, instead of being skipped.
AllowSkipFiles off

; Stops the installation: the message (also in silent mode, in the details), status 2.
!macro Fail MESSAGE
  DetailPrint "${MESSAGE}"
  MessageBox MB_ICONSTOP "${MESSAGE}" /SD IDOK
  SetErrorLevel 2
  Abort
!macroend

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

  ; The folder's own rights, whatever it inherits: Administrators and SYSTEM full control, Users read
  ; and run, nothing inherited (a folder made under C:\ hands down "Authenticated Users: Modify"). The
  ; Windows tools by their full path: the folder's own copies must never run. SIDs, not names, which
  ; a Portuguese Windows spells otherwise.
  DetailPrint "Setting the permissions of $INSTDIR"
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$INSTDIR" /reset /Q'
  Pop $0
  ${If} $0 == 0
    nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$INSTDIR" /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F \
        *S-1-5-32-544:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX /Q'
    Pop $0
  ${EndIf}
  ${If} $0 != 0
    !insertmacro Fail "The permissions of $INSTDIR could not be set ($0); nothing was installed."
  ${EndIf}

  ReadRegStr $1 HKLM "${SERVICE_KEY}" "ImagePath"
  ${If} ${FileExists} "$INSTDIR\prjSrvVarenta.exe"
  ${AndIf} $1 != ""
    DetailPrint "Stopping and unregistering the installed SrvVarenta"
    nsExec::ExecToLog '"$INSTDIR\prjSrvVarenta.exe" /UNINSTALL /SILENT'
    Pop $0
    ${If} $0 != 0
      !insertmacro Fail "The installed SrvVarenta could not be stopped and unregistered ($0); the details \
          above and the Windows Event Log say why. Nothing was changed."
    ${EndIf}
  ${EndIf}

  ClearErrors
  File "/oname=prjSrvVarenta.exe" "${PROGRAM}"
  ${If} ${Errors}
    !insertmacro Fail "$INSTDIR\prjSrvVarenta.exe could not be replaced (is a copy of it still running?); \
        run the installer again once it has ended."
  ${EndIf}
  ; The store's own settings survive an upgrade.
  SetOverwrite off
  File "/oname=Tolvane.ini" "${INI}"
  SetOverwrite on
  ClearErrors
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  ${If} ${Errors}
    !insertmacro Fail "$INSTDIR\Uninstall.exe could not be written."
  ${EndIf}

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
    !insertmacro Fail "The service SrvVarenta could not be registered ($0); the details above and the \
        Windows Event Log say why. A service of that name registered from another folder is removed with \
        its own prjSrvVarenta.exe /UNINSTALL."
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
  ReadRegStr $1 HKLM "${SERVICE_KEY}" "ImagePath"
  ${If} $1 != ""
    DetailPrint "Stopping and unregistering the service SrvVarenta"
    nsExec::ExecToLog '"$INSTDIR\prjSrvVarenta.exe" /UNINSTALL /SILENT'
    Pop $0
    ${If} $0 != 0
      !insertmacro Fail "The service SrvVarenta could not be stopped and unregistered ($0); the details \
          above and the Windows Event Log say why. Nothing was removed."
    ${EndIf}
  ${EndIf}

  ; What the service opened in the firewall when it ran: the database port and its entries in the
  ; lists of authorised applications (where they exist). Neither stops the removal.
  DetailPrint "Closing the database port the service opened in the firewall"
  nsExec::ExecToLog '"$SYSDIR\netsh.exe" firewall delete portopening protocol = TCP port = 3050'
  Pop $0
  DeleteRegValue HKLM "SYSTEM\CurrentControlSet\${AUTHORISED_LIST}" "$INSTDIR\prjSrvVarenta.exe"
  DeleteRegValue HKLM "SYSTEM\ControlSet001\${AUTHORISED_LIST}" "$INSTDIR\prjSrvVarenta.exe"
  DeleteRegValue HKLM "SYSTEM\ControlSet002\${AUTHORISED_LIST}" "$INSTDIR\prjSrvVarenta.exe"

  Delete "$INSTDIR\prjSrvVarenta.exe"
  Delete "$INSTDIR\Uninstall.exe"
  ; The folder stays while Varenta.log and Tolvane.ini are in it.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
