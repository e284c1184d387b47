; Setup and removal of the suite: Lockvale, Purgix, Drivset, Mountex.dll, the driver package, the help
; files and the shell extensions.
;
;   makensis -INPUTCHARSET UTF8 -DSTAGE=<folder of the files> -DOUTFILE=<setup.exe> [-DAMD64] Setup.nsi
;
; The 32-bit build is what ships; -DAMD64 builds the same setup for the 64-bit test programs.
; Setup and removal both run silently with /S (removal then keeps the user's files).

Unicode true
; "setup.exe" is the name users look for; the compatibility shims Windows applies to it do no harm.
!pragma warning disable 9000
!ifdef AMD64
  Target amd64-unicode
!endif
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh

!define PRODUCT "Velora"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; Where the shell extensions (in the system folder) find Purgix to start it.
!define PURGIX_APP_PATH "Software\Microsoft\Windows\CurrentVersion\App Paths\Purgix.exe"
!define UNINSTALLER "uninst.exe"

Name "${PRODUCT} 个人隐私保护"
OutFile "${OUTFILE}"
!ifdef AMD64
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT}"

!define MUI_ICON "${STAGE}\Lockvale.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Lockvale.exe"
!define MUI_FINISHPAGE_RUN_TEXT "启动 Lockvale"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; The programs are 32-bit ANSI programs of code page 936: the texts below are shown by the setup
; itself, which is a Unicode program.
VIProductVersion "1.0.0.0"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "1.0.0.0"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "${PRODUCT}"

; Files of the program folder that setup owns; removal deletes exactly these.
!macro ProgramFiles DO
  !insertmacro ${DO} "Lockvale.exe"
  !insertmacro ${DO} "Purgix.exe"
  !insertmacro ${DO} "Drivset.exe"
  !insertmacro ${DO} "Mountex.dll"
  !insertmacro ${DO} "FileDisk.inf"
  !insertmacro ${DO} "quilfiledisk.sys"
  !insertmacro ${DO} "main.ini"
  !insertmacro ${DO} "Purgix.chm"
  !insertmacro ${DO} "Lockvale.chm"
  !insertmacro ${DO} "Lockvale.ico"
  !insertmacro ${DO} "sample.dat"
!macroend
; Files the user's work writes; kept on removal unless the user agrees. (ListSave.ini is installed
; empty but holds the user's erase list from then on.)
!macro UserFiles DO
  !insertmacro ${DO} "ListSave.ini"
  !insertmacro ${DO} "log.txt"
  !insertmacro ${DO} "Setting.ini"
!macroend

!macro InstallFile NAME
  File "${STAGE}\${NAME}"
!macroend
!macro DeleteFile NAME
  Delete /REBOOTOK "$INSTDIR\${NAME}"
!macroend

; Lockvale or Purgix still running would keep their files and, for Lockvale, a mounted secret disk.
!macro RefuseWhileRunning
  System::Call 'kernel32::OpenMutex(i 0x100000, i 0, t "Global\Lockvale") p .r0'
  ${If} $0 P= 0
    System::Call 'kernel32::OpenMutex(i 0x100000, i 0, t "0xbe8e2ce1, 0xdab6, 0x11d6, 0xad, 0xd0, 0x0, 0xe0, 0x4c,0x53, 0xf6, 0xd8") p .r0'
  ${EndIf}
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_OK|MB_ICONSTOP "请先关闭 Lockvale 和 Purgix (如有秘密盘开启, 请先关闭秘密盘), 然后再试。" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
!macroend

; Wine runs the secret disk through a host program; ntdll carries wine_get_version only under Wine.
Function IsWine
  Push $R0
  System::Call 'kernel32::GetModuleHandle(t "ntdll.dll") p .R0'
  System::Call 'kernel32::GetProcAddress(p R0, m "wine_get_version") p .R0'
  ${If} $R0 P<> 0
    StrCpy $R0 1
  ${Else}
    StrCpy $R0 0
  ${EndIf}
  Exch $R0
FunctionEnd

Function .onInit
  !ifdef AMD64
    SetRegView 64
  !else
    ; The driver is a 32-bit driver; Wine carries the secret disk without it.
    Call IsWine
    Pop $R0
    ${If} ${RunningX64}
    ${AndIf} $R0 == 0
      MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} 只能安装在 32 位 Windows 上。" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  !endif
  !insertmacro RefuseWhileRunning
FunctionEnd

Section "程序文件" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  SetOverwrite on
  !insertmacro ProgramFiles InstallFile
  ; The user's erase list survives a reinstallation.
  SetOverwrite off
  File "${STAGE}\ListSave.ini"
  SetOverwrite on

  Call IsWine
  Pop $R0
  ${If} $R0 == 1
    File "${STAGE}\mountex-host"
    ; Wine gives a new file no execute permission; the host program needs it to be started.
    System::Call 'kernel32::GetModuleHandle(t "kernel32.dll") p .R0'
    System::Call 'kernel32::GetProcAddress(p R0, m "wine_get_unix_file_name") p .R0'
    System::Call '::$R0(w "$INSTDIR\mountex-host") p .R1'
    ${If} $R1 P<> 0
      System::Call 'kernel32::lstrcpynA(m .R2, p R1, i ${NSIS_MAX_STRLEN}) p'
      System::Call 'kernel32::GetProcessHeap() p .R3'
      System::Call 'kernel32::HeapFree(p R3, i 0, p R1)'
      nsExec::Exec '"Z:\bin\chmod" 755 "$R2"'
      Pop $R1
    ${EndIf}
  ${EndIf}

  ; The shell extensions live in the system folder; the settings of Purgix register them on request.
  SetOutPath "$SYSDIR"
  File "${STAGE}\Erasext.dll"
  File "${STAGE}\Binshex.dll"

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The driver: Drivset installs it from FileDisk.inf beside it and reports failures itself.
  DetailPrint "安装虚拟磁盘驱动程序..."
  ExecWait '"$INSTDIR\Drivset.exe" Install'

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\Lockvale.lnk" "$INSTDIR\Lockvale.exe" "" "$INSTDIR\Lockvale.ico"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\Lockvale 帮助.lnk" "$INSTDIR\Lockvale.chm"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\卸载 ${PRODUCT}.lnk" "$INSTDIR\${UNINSTALLER}"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} 个人隐私保护"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Lockvale.ico"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegStr HKLM "${PURGIX_APP_PATH}" "" "$INSTDIR\Purgix.exe"
SectionEnd

Function un.onInit
  !ifdef AMD64
    SetRegView 64
  !endif
  !insertmacro RefuseWhileRunning
FunctionEnd

Section "Uninstall"
  ; The driver's devices go first: nothing can be mounted after this.
  DetailPrint "删除虚拟磁盘驱动程序..."
  ExecWait '"$INSTDIR\Drivset.exe" Uninstall'

  ; Explorer may hold a shell extension loaded: then it goes at the next restart.
  ; Unregistered as the settings page does it, with the system's regsvr32 (it runs in the libraries'
  ; own width, which the uninstaller's may not be).
  ExecWait '"$SYSDIR\regsvr32.exe" /u /s "$SYSDIR\Erasext.dll"'
  ExecWait '"$SYSDIR\regsvr32.exe" /u /s "$SYSDIR\Binshex.dll"'
  Delete /REBOOTOK "$SYSDIR\Erasext.dll"
  Delete /REBOOTOK "$SYSDIR\Binshex.dll"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}\Lockvale.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Lockvale 帮助.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\卸载 ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${PURGIX_APP_PATH}"

  ; The program files, the uninstaller last of them.
  !insertmacro ProgramFiles DeleteFile
  Delete /REBOOTOK "$INSTDIR\mountex-host"
  Delete /REBOOTOK "$INSTDIR\${UNINSTALLER}"

  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
    "是否同时删除擦除记录 (log.txt)、擦除列表 (ListSave.ini) 和 Lockvale 的设置 (Setting.ini)?$\n秘密盘镜像文件 (.vlr) 在任何情况下都不会被删除。" \
    /SD IDNO IDNO keep
  !insertmacro UserFiles DeleteFile
  keep:
  ; Only an empty folder goes: the user's images and kept files stay where they are.
  RMDir "$INSTDIR"
SectionEnd
