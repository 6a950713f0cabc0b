; Tivorn's setup: installs the program for the current user, without
; administrator rights, into the user's Programs folder, and takes it away
; again with the uninstaller it leaves there.
;
; Built by the tivorn_dist target (installer/CMakeLists.txt), which defines
;   VERSION   the program's version, as the About view shows it
;   BIN_DIR   the folder holding Tivorn.exe, KORVEL.dll and KORVEL.chm
;   TIVORNCTL           tivornctl.exe, the command-line tool
;   SOUNDFONT           the General MIDI SoundFont the synthesizer plays
;   SOUNDFONT_LICENCE   its licence, as a text file
;   OUT_FILE  the setup program to write
; and reads this file as UTF-8 (-INPUTCHARSET UTF8).

!ifndef VERSION | BIN_DIR | OUT_FILE | TIVORNCTL | SOUNDFONT | SOUNDFONT_LICENCE
  !error "VERSION, BIN_DIR, TIVORNCTL, SOUNDFONT, SOUNDFONT_LICENCE and OUT_FILE must be defined (makensis -DVERSION=...)"
!endif

; The program is a 64-bit Windows program; its setup is one too.
Target amd64-unicode
ManifestSupportedOS all
RequestExecutionLevel user
; The program's manifest asks Windows for code page 932, which Windows 11
; and Server 2022 give whatever the system locale is.  Setup asks the same,
; so that the code page it finds is the one the program will run in.
ManifestAppendCustomString "/assembly/application/windowsSettings" '<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">ja-JP</activeCodePage>'

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Tivorn"
!define PUBLISHER "Zarnith"
!define PROGRAM_KEY "Software\Zarnith\Tivorn"
!define MAKER_KEY "Software\Zarnith"
; The engine's output: empty for the MIDI mapper, "synth:PATH" for the
; built-in synthesizer with the SoundFont at PATH.
!define ENGINE_KEY "Software\Zarnith\Tivorn\Engine"
!define SOUNDFONT_NAME "TimGM6mb.sf2"
!define SOUNDFONT_LICENCE_NAME "TimGM6mb-license.txt"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tivorn"
!define UNINSTALLER "Uninstall.exe"
; "Open with" for MIDI files, for this user only: the application's entry
; with the types it opens, and a ProgID listed beside each type's own
; programs.  The types' default programs are left as they are.
!define APP_KEY "Software\Classes\Applications\Tivorn.exe"
!define PROGID "Zarnith.Tivorn.MidiFile"
!define PROGID_KEY "Software\Classes\${PROGID}"
!define OPEN_COMMAND '"$INSTDIR\Tivorn.exe" "%1"'
!define SHCNE_ASSOCCHANGED 0x08000000
; The default settings block: 29 bytes, playback priority (byte 4) 通常,
; no options, no hotkeys.
!define DEFAULT_SETTINGS "0000000002000000000000000000000000000000000000000000000000"
!define SETTINGS_SIZE 29
; How the program is found and ended: its resident window is a dialog titled
; "Tivorn" that carries this property (a message box of the program has the
; same title but not the property), and the tray menu's exit command makes
; it close the engine and quit in order.
!define RESIDENT_PROP "TivornResident"
!define IDM_EXIT 40007
!define SYNCHRONIZE 0x00100000
!define EXIT_WAIT_MS 20000
!define POLL_MS 100
; A copy with no resident window (one that shows only its "not installed"
; box, say) still holds Tivorn.exe; it is found among the processes by its
; image.  PROCESSENTRY32W as a 64-bit process sees it: its size, and where
; the process id and the image's file name lie.
!define TH32CS_SNAPPROCESS 2
!define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
!define PROCESSENTRY_SIZE 568
!define PROCESSENTRY_ID 8
!define PROCESSENTRY_EXE 44
; How long a copy whose window went, but which could not be waited on, may
; take to end before it counts as one still running.
!define LINGER_MS 5000

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; Installing again goes where the first installation went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
SetCompressor /SOLID lzma

!searchparse "${VERSION}" "" VERSION_MAJOR "." VERSION_MINOR
VIProductVersion "${VERSION_MAJOR}.${VERSION_MINOR}.0.0"
VIFileVersion "${VERSION_MAJOR}.${VERSION_MINOR}.0.0"

; The program's own note icon, for the setup and the uninstaller alike.
!define MUI_ICON "${__FILEDIR__}/../resources/images/note_a.ico"
!define MUI_UNICON "${__FILEDIR__}/../resources/images/note_a.ico"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "$(WelcomeText)"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(RunNow)"
!define MUI_FINISHPAGE_RUN_FUNCTION StartTivornAsUser

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Japanese"

VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileDescription" "${PRODUCT} セットアップ"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "LegalCopyright" "Copyright (C) ${PUBLISHER}"

LangString WelcomeText ${LANG_JAPANESE} "Tivorn は、タスクバーに常駐して MIDI ファイルを次々に演奏するプレーヤーです。$\r$\n$\r$\nTivorn ${VERSION} をお使いのユーザーにインストールします。管理者の権限は必要ありません。実行中の Tivorn は、インストールの前に終了します。ベスト、再生の履歴、設定はそのまま引き継がれます。$\r$\n$\r$\n続けるには [次へ] をクリックしてください。"
LangString SecProgramName ${LANG_JAPANESE} "Tivorn 本体"
LangString SecStartupName ${LANG_JAPANESE} "Windows の起動時に Tivorn を起動する"
LangString SecSynthName ${LANG_JAPANESE} "内蔵シンセサイザーで再生する"
LangString RunNow ${LANG_JAPANESE} "Tivorn を起動する"
LangString CannotEnd ${LANG_JAPANESE} "実行中の Tivorn を終了できませんでした。$\nTivorn を終了してから、再試行をクリックしてください。"
LangString InUseInstall ${LANG_JAPANESE} "Tivorn が実行中のため、ファイルを置き換えられません。$\n$INSTDIR\Tivorn.exe$\n$\n表示されている Tivorn のメッセージを閉じるなどして Tivorn を終了してから、再試行をクリックしてください。"
LangString InUseRemove ${LANG_JAPANESE} "Tivorn が実行中のため、削除できません。$\n$INSTDIR\Tivorn.exe$\n$\n表示されている Tivorn のメッセージを閉じるなどして Tivorn を終了してから、再試行をクリックしてください。"
LangString WrongCodePage ${LANG_JAPANESE} "Tivorn は日本語の文字コード (コードページ 932) で動作しますが、このコンピュータでは別のコードページが使われているため、インストールできません。$\n[コントロール パネル] の [地域] を開き、[管理] タブの [システム ロケールの変更] で、[現在のシステム ロケール] を [日本語 (日本)] にし、[ベータ: ワールドワイド言語サポートで Unicode UTF-8 を使用] のチェックを外してから、Windows を再起動してください。$\n$\nTivorn needs the Japanese code page (932), but this computer uses another one, so Tivorn cannot be installed.$\nOpen Control Panel > Region, and on the Administrative tab click $\"Change system locale...$\". Set $\"Current system locale$\" to $\"Japanese (Japan)$\", clear $\"Beta: Use Unicode UTF-8 for worldwide language support$\", then restart Windows."
LangString UnspeltFolder ${LANG_JAPANESE} "次のインストール先のパスには、日本語の文字コード (コードページ 932) で表せない文字が含まれていて、短い名前 (8.3 形式) もないため、Tivorn は自分のファイルを開けません。$\n$\n$INSTDIR$\n$\nパスに使える文字だけのフォルダ (たとえば C:\Tivorn) を /D= で指定して、もう一度セットアップを実行してください。"
LangString AskRemoveData ${LANG_JAPANESE} "ベスト、再生の履歴、設定も削除しますか？$\n$\n「いいえ」を選ぶと、これらは残り、もう一度インストールしたときにそのまま使えます。"

; Whether a token is elevated: GetTokenInformation's TokenElevation class,
; read with TOKEN_QUERY access.
!define TOKEN_QUERY 8
!define TOKEN_ELEVATION 20

; Starting a program as a child of another process: the attribute that names
; the parent, the flag that says the start-up information carries attributes,
; and the access to the parent that this needs.
!define PROC_THREAD_ATTRIBUTE_PARENT_PROCESS 0x00020000
!define EXTENDED_STARTUPINFO_PRESENT 0x00080000
!define PROCESS_CREATE_PROCESS 0x0080

; Starts the installed program in the folder $INSTDIR as a child of the
; process that owns the window on the stack, and leaves 1 on the stack when
; it started, 0 when not.  A process so started takes its parent's token, so
; the program runs with the rights of that process, not of setup.  Not
; waited for.
Function StartTivornUnder
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  Push $R6
  Push $R7
  Push $R8
  Push $R9
  StrCpy $R7 0
  System::Call "user32::GetWindowThreadProcessId(p R0, *i .R1) i .R2"
  ${If} $R2 <> 0
    System::Call "kernel32::OpenProcess(i ${PROCESS_CREATE_PROCESS}, i 0, i R1) p .R1"
  ${Else}
    StrCpy $R1 0
  ${EndIf}
  ${If} $R1 P<> 0
    ; The first call only says how big a list of one attribute is.
    System::Call "kernel32::InitializeProcThreadAttributeList(p 0, i 1, i 0, *p .R2)"
    ${If} $R2 P<> 0
      System::Alloc $R2
      Pop $R3
      System::Call "kernel32::InitializeProcThreadAttributeList(p R3, i 1, i 0, *p R2) i .R4"
      ${If} $R4 <> 0
        ; The list keeps the address of the parent's handle, not the handle,
        ; so the handle lives in memory of its own until the list is gone.
        System::Call "*(p R1) p .R5"
        System::Call "kernel32::UpdateProcThreadAttribute(p R3, i 0, p ${PROC_THREAD_ATTRIBUTE_PARENT_PROCESS}, p R5, p ${NSIS_PTR_SIZE}, p 0, p 0) i .R4"
        ${If} $R4 <> 0
          ; STARTUPINFOEXW, zeroed but for its size and the list: the size
          ; and wShowWindow with cbReserved2 each fill a pointer-sized slot
          ; with the padding after them, so the layout holds for 32 and
          ; 64 bits alike (72 and 112 bytes).
          System::Call "*(&l${NSIS_PTR_SIZE}, p, p, p, i, i, i, i, i, i, i, i, p, p, p, p, p, p R3) p .R6"
          ; PROCESS_INFORMATION
          System::Call "*(p, p, i, i) p .R4"
          ; The paths go in registers: an apostrophe in them (one in the
          ; user's name, say) would end a quoted string here.
          StrCpy $R8 "$INSTDIR\Tivorn.exe"
          StrCpy $R9 '"$R8"'
          StrCpy $R2 "$INSTDIR"
          System::Call "kernel32::CreateProcessW(w R8, w R9, p 0, p 0, i 0, i ${EXTENDED_STARTUPINFO_PRESENT}, p 0, w R2, p R6, p R4) i .R7"
          ${If} $R7 <> 0
            System::Call "*$R4(p .R2, p .R0)"
            System::Call "kernel32::CloseHandle(p R2)"
            System::Call "kernel32::CloseHandle(p R0)"
            StrCpy $R7 1
          ${EndIf}
          System::Free $R4
          System::Free $R6
        ${EndIf}
        System::Call "kernel32::DeleteProcThreadAttributeList(p R3)"
        System::Free $R5
      ${EndIf}
      System::Free $R3
    ${EndIf}
    System::Call "kernel32::CloseHandle(p R1)"
  ${EndIf}
  StrCpy $R0 $R7
  Pop $R9
  Pop $R8
  Pop $R7
  Pop $R6
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; Starts the installed program as the signed-in user, never with
; administrator rights: a setup started with "Run as administrator" (or by an
; elevated program) is elevated, and so is whatever it starts.  An elevated
; Tivorn would take no hand-over from the copies Explorer starts when a MIDI
; file is opened, and would keep the rights for good.  An elevated setup
; therefore starts it as a child of the desktop's shell, which runs at the
; user's own level, and the program takes the shell's token with it.  When
; Windows refuses that, "explorer.exe <program>" asks the running shell to
; start it: widely relied on, but not a documented contract, so only a
; fallback, and never an elevated start.  Without a shell, or unelevated,
; the program is started directly.  Not waited for.
Function StartTivornAsUser
  Push $0
  Push $1
  Push $2
  StrCpy $2 0
  System::Call "advapi32::OpenProcessToken(p -1, i ${TOKEN_QUERY}, *p .r1) i .r0"
  ${If} $0 <> 0
    System::Call "advapi32::GetTokenInformation(p r1, i ${TOKEN_ELEVATION}, *i .r2, i 4, *i .r0) i .r0"
    ${If} $0 = 0
      StrCpy $2 0
    ${EndIf}
    System::Call "kernel32::CloseHandle(p r1)"
  ${EndIf}
  System::Call "user32::GetShellWindow() p .r0"
  ${If} $2 <> 0
  ${AndIf} $0 P<> 0
    Push $0
    Call StartTivornUnder
    Pop $1
    ${If} $1 = 0
      Exec '"$WINDIR\explorer.exe" "$INSTDIR\Tivorn.exe"'
    ${EndIf}
  ${Else}
    Exec '"$INSTDIR\Tivorn.exe"'
  ${EndIf}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; What this run did to a running copy: nothing (empty), ended it and waited
; for its process (1), or ended it with only its window to watch (2).  A
; silent installation starts the program again when it ended one.
Var EndedCopy

; Ends a running Tivorn through its own exit command, so that it closes the
; engine and saves what it keeps, and waits until it is gone.
; Aborts the installation (or the removal) when it does not end and the user
; does not retry; a silent run does not retry.
!macro END_RUNNING_TIVORN UN
Function ${UN}EndRunningTivorn
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  StrCpy $R0 0
  ${Do}
    FindWindow $R0 "#32770" "Tivorn" "" $R0
    ${If} $R0 = 0
      ${Break}
    ${EndIf}
    System::Call "user32::GetPropW(p R0, w '${RESIDENT_PROP}') p .R1"
    ${If} $R1 P<> 0
      System::Call "user32::GetWindowThreadProcessId(p R0, *i .R2)"
      ; The process is opened before the command is posted, so the wait is
      ; on that very process however quickly it ends.
      System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i R2) p .R3"
      System::Call "user32::PostMessageW(p R0, i ${WM_COMMAND}, p ${IDM_EXIT}, p 0) i .R5"
      StrCpy $R4 1
      ${If} $R5 = 0
        ; The command did not reach it: nothing to wait for.
      ${ElseIf} $R3 P<> 0
        System::Call "kernel32::WaitForSingleObject(p R3, i ${EXIT_WAIT_MS}) i .R4"
        ${If} $R4 = 0
          StrCpy $EndedCopy 1
        ${EndIf}
      ${Else}
        ; A process that may not be opened (one with other rights than
        ; ours) still ends by the command: its window going shows that.
        StrCpy $R5 0
        ${Do}
          System::Call "user32::IsWindow(p R0) i .R1"
          ${If} $R1 = 0
            StrCpy $R4 0
            StrCpy $EndedCopy 2
            ${Break}
          ${EndIf}
          ${If} $R5 >= ${EXIT_WAIT_MS}
            ${Break}
          ${EndIf}
          Sleep ${POLL_MS}
          IntOp $R5 $R5 + ${POLL_MS}
        ${Loop}
      ${EndIf}
      ${If} $R3 P<> 0
        System::Call "kernel32::CloseHandle(p R3)"
      ${EndIf}
      ${If} $R4 <> 0
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(CannotEnd)" /SD IDCANCEL IDRETRY +2
        Abort
      ${EndIf}
      ; Look again from the first window: the ended copy's windows are gone.
      StrCpy $R0 0
    ${EndIf}
  ${Loop}
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd

; The id of a process whose image is $INSTDIR\Tivorn.exe, or 0, on the
; stack.  The image's name picks the candidates; its full path, compared
; without regard to case, decides.  A process that may not be asked for its
; image is not ours to find.
Function ${UN}TivornInFolder
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  Push $R6
  Push $R7
  StrCpy $R7 0
  System::Call "kernel32::CreateToolhelp32Snapshot(i ${TH32CS_SNAPPROCESS}, i 0) p .R0"
  ${If} $R0 P<> -1
    System::Alloc ${PROCESSENTRY_SIZE}
    Pop $R1
    System::Call "*$R1(i ${PROCESSENTRY_SIZE})"
    System::Call "kernel32::Process32FirstW(p R0, p R1) i .R2"
    ${DoWhile} $R2 <> 0
      IntPtrOp $R3 $R1 + ${PROCESSENTRY_EXE}
      System::Call "*$R3(&w260 .R4)"
      ${If} $R4 == "Tivorn.exe"
        IntPtrOp $R3 $R1 + ${PROCESSENTRY_ID}
        System::Call "*$R3(i .R5)"
        System::Call "kernel32::OpenProcess(i ${PROCESS_QUERY_LIMITED_INFORMATION}, i 0, i R5) p .R6"
        ${If} $R6 P<> 0
          System::Call "kernel32::QueryFullProcessImageNameW(p R6, i 0, w .R4, *i ${NSIS_MAX_STRLEN}) i .R3"
          System::Call "kernel32::CloseHandle(p R6)"
          ${If} $R3 <> 0
          ${AndIf} $R4 == "$INSTDIR\Tivorn.exe"
            StrCpy $R7 $R5
            ${Break}
          ${EndIf}
        ${EndIf}
      ${EndIf}
      System::Call "kernel32::Process32NextW(p R0, p R1) i .R2"
    ${Loop}
    System::Free $R1
    System::Call "kernel32::CloseHandle(p R0)"
  ${EndIf}
  StrCpy $R0 $R7
  Pop $R9
  Pop $R8
  Pop $R7
  Pop $R6
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; Goes on only when no copy runs from the program's folder, whether it has
; a resident window or not: such a copy holds Tivorn.exe, and replacing or
; deleting it would fail.  The user ends it and retries, or cancels; a
; silent run fails.
Function ${UN}WaitForFolderFree
  Push $R0
  Push $R1
  StrCpy $R1 0
  ${Do}
    Call ${UN}TivornInFolder
    Pop $R0
    ${If} $R0 = 0
      ${Break}
    ${EndIf}
    ; A copy ended without a process to wait on may still be closing.
    ${If} $EndedCopy = 2
    ${AndIf} $R1 < ${LINGER_MS}
      Sleep ${POLL_MS}
      IntOp $R1 $R1 + ${POLL_MS}
      ${Continue}
    ${EndIf}
    !if "${UN}" == ""
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(InUseInstall)" /SD IDCANCEL IDRETRY +2
    !else
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(InUseRemove)" /SD IDCANCEL IDRETRY +2
    !endif
    Abort
  ${Loop}
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro END_RUNNING_TIVORN ""
!insertmacro END_RUNNING_TIVORN "un."

; The program refuses to start without a usable "Settings" value and tells
; the user to run setup: so setup writes the default block when the value is
; missing or is not a 29-byte binary value, and leaves a usable one alone.
Function WriteSettingsUnlessUsable
  Push $0
  Push $1
  Push $2
  StrCpy $1 0
  StrCpy $2 0
  ; HKEY_CURRENT_USER as a 64-bit handle value (sign-extended 0x80000001);
  ; RRF_RT_ANY, no data buffer: only the type and the size are asked for.
  System::Call "advapi32::RegGetValueW(p -2147483647, w '${PROGRAM_KEY}', w 'Settings', i 0xffff, *i .r1, p 0, *i .r2) i .r0"
  ${If} $0 <> 0
  ${OrIf} $1 <> 3
  ${OrIf} $2 <> ${SETTINGS_SIZE}
    WriteRegBin HKCU "${PROGRAM_KEY}" "Settings" "${DEFAULT_SETTINGS}"
  ${EndIf}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

!macro OPEN_WITH EXT
  WriteRegStr HKCU "${APP_KEY}\SupportedTypes" "${EXT}" ""
  WriteRegNone HKCU "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}"
!macroend

; Takes away only the ProgID's entry, and the keys only when that left them
; empty: a type's key may hold another program's association.
!macro REMOVE_OPEN_WITH EXT
  DeleteRegValue HKCU "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKCU "Software\Classes\${EXT}\OpenWithProgids"
  DeleteRegKey /ifempty HKCU "Software\Classes\${EXT}"
!macroend

Function RegisterOpenWith
  WriteRegStr HKCU "${APP_KEY}" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr HKCU "${APP_KEY}\shell\open\command" "" '${OPEN_COMMAND}'
  WriteRegStr HKCU "${PROGID_KEY}" "" "MIDI (${PRODUCT})"
  WriteRegStr HKCU "${PROGID_KEY}\DefaultIcon" "" "$INSTDIR\Tivorn.exe,0"
  WriteRegStr HKCU "${PROGID_KEY}\shell\open\command" "" '${OPEN_COMMAND}'
  !insertmacro OPEN_WITH ".mid"
  !insertmacro OPEN_WITH ".midi"
  !insertmacro OPEN_WITH ".rmi"
  !insertmacro OPEN_WITH ".kar"
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
FunctionEnd

Function un.UnregisterOpenWith
  !insertmacro REMOVE_OPEN_WITH ".mid"
  !insertmacro REMOVE_OPEN_WITH ".midi"
  !insertmacro REMOVE_OPEN_WITH ".rmi"
  !insertmacro REMOVE_OPEN_WITH ".kar"
  DeleteRegKey HKCU "${PROGID_KEY}"
  DeleteRegKey HKCU "${APP_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Classes\Applications"
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
FunctionEnd

Section "$(SecProgramName)" SecProgram
  SectionIn RO
  Call EndRunningTivorn
  Call WaitForFolderFree
  SetOutPath "$INSTDIR"
  File "${BIN_DIR}\Tivorn.exe"
  File "${BIN_DIR}\KORVEL.dll"
  File "${BIN_DIR}\KORVEL.chm"
  File "/oname=tivornctl.exe" "${TIVORNCTL}"
  ; The synthesizer's SoundFont is there whichever output is chosen: the
  ; tray menu can choose the synthesizer later.
  File "/oname=${SOUNDFONT_NAME}" "${SOUNDFONT}"
  File "/oname=${SOUNDFONT_LICENCE_NAME}" "${SOUNDFONT_LICENCE}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  Call WriteSettingsUnlessUsable
  ; The MIDI folder: the user's Music folder until the user chooses another,
  ; spelt as the program can read it; one it cannot is left for the user to
  ; choose.
  ClearErrors
  ReadRegStr $0 HKCU "${PROGRAM_KEY}" "Root"
  ${If} ${Errors}
    Push $MUSIC
    Call SpellFolder
    Pop $0
    ${If} $0 != ""
      WriteRegStr HKCU "${PROGRAM_KEY}" "Root" "$0"
    ${EndIf}
  ${EndIf}

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Tivorn.exe"
  Call RegisterOpenWith

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tivorn.exe,0"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "$(SecStartupName)" SecStartup
  CreateShortcut "$SMSTARTUP\${PRODUCT}.lnk" "$INSTDIR\Tivorn.exe"
SectionEnd

; Unticked, the output stays as it is: the MIDI mapper unless chosen
; otherwise.  Ticked when installing again, a SoundFont the user chose is kept.
Section /o "$(SecSynthName)" SecSynth
  Call PlaysOnSynthesizer
  Pop $0
  ${If} $0 = 0
    WriteRegStr HKCU "${ENGINE_KEY}" "Output" "synth:$INSTDIR\${SOUNDFONT_NAME}"
  ${EndIf}
SectionEnd

; 1 on the stack when the output is the built-in synthesizer, else 0.
Function PlaysOnSynthesizer
  Push $0
  ReadRegStr $0 HKCU "${ENGINE_KEY}" "Output"
  StrCpy $0 $0 6
  ; Compared without regard to case, as the engine reads the value.
  ${If} $0 == "synth:"
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
  Exch $0
FunctionEnd

Section "-Finish"
  ; Unticked when installing again: the user no longer wants it.
  ${IfNot} ${SectionIsSelected} ${SecStartup}
    Delete "$SMSTARTUP\${PRODUCT}.lnk"
  ${EndIf}
  ; Likewise the synthesizer, ticked because it played: the mapper again.
  ${IfNot} ${SectionIsSelected} ${SecSynth}
    Call PlaysOnSynthesizer
    Pop $0
    ${If} $0 = 1
      DeleteRegValue HKCU "${ENGINE_KEY}" "Output"
    ${EndIf}
  ${EndIf}
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  ; A scripted update must not leave the user without the player it ended:
  ; the new copy starts, and is not waited for.  With pages the finish page
  ; offers it instead.
  ${If} ${Silent}
  ${AndIf} $EndedCopy <> 0
    Call StartTivornAsUser
  ${EndIf}
SectionEnd

; The program reaches its own files by paths in code page 932 (its A
; calls): a path is usable as it is when it converts to that code page and
; back unchanged.  Leaves 1 or 0 on the stack.
Function SpeltIn932
  Exch $R0
  Push $R1
  Push $R2
  ; WC_NO_BEST_FIT_CHARS: a look-alike ("e" for "é") would name another file.
  System::Call "kernel32::WideCharToMultiByte(i 932, i 0x400, w R0, i -1, m .R1, i ${NSIS_MAX_STRLEN}, p 0, *i 0 .R2) i .r0"
  ${If} $R2 = 0
  ${AndIf} $R1 S== $R0
    StrCpy $R0 1
  ${Else}
    StrCpy $R0 0
  ${EndIf}
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; A folder as the program can spell it: as it is, or with the part of it
; that already exists by its short (8.3) name.  Takes the folder from the
; stack and leaves the spelling there, empty when neither spells.
Function SpellFolder
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  StrCpy $R3 $R0
  Push $R3
  Call SpeltIn932
  Pop $R0
  ${If} $R0 = 1
    StrCpy $R0 $R3
  ${Else}
    ; The folders still to be made keep their names; only one that exists
    ; has a short name.
    StrCpy $R1 $R3
    StrCpy $R2 ""
    ${DoUntil} ${FileExists} "$R1\*.*"
      ${GetFileName} $R1 $R0
      StrCpy $R2 "\$R0$R2"
      ${GetParent} $R1 $R1
      ${If} $R1 == ""
        ${ExitDo}
      ${EndIf}
    ${Loop}
    StrCpy $R0 ""
    ${If} $R1 != ""
      GetFullPathName /SHORT $R1 $R1
      ${If} $R1 != ""
        Push "$R1$R2"
        Call SpeltIn932
        Pop $R0
        ${If} $R0 = 1
          StrCpy $R0 "$R1$R2"
        ${Else}
          StrCpy $R0 ""
        ${EndIf}
      ${EndIf}
    ${EndIf}
  ${EndIf}
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

Function .onInit
  ; The program would not start (it says the same); nothing is installed.
  ; A silent run shows no box and ends with exit code 2.
  System::Call "kernel32::GetACP() i .r0"
  ${If} $0 <> 932
    MessageBox MB_OK|MB_ICONSTOP "$(WrongCodePage)" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  ; A folder whose path the program cannot spell would leave it without its
  ; data folder, SoundFont and help (C:\Users\José on a volume without short
  ; names, say); nothing is installed there.
  Push $INSTDIR
  Call SpellFolder
  Pop $0
  ${If} $0 == ""
    MessageBox MB_OK|MB_ICONSTOP "$(UnspeltFolder)" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  StrCpy $INSTDIR $0
  ; Installing again keeps the earlier choice about starting with Windows.
  ClearErrors
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${IfNot} ${Errors}
  ${AndIfNot} ${FileExists} "$SMSTARTUP\${PRODUCT}.lnk"
    !insertmacro UnselectSection ${SecStartup}
  ${EndIf}
  ; The synthesizer is ticked when it plays now, or when /SYNTH asks for
  ; it (a scripted installation: /S /SYNTH).
  Call PlaysOnSynthesizer
  Pop $0
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/SYNTH" $2
  ${If} $0 = 1
  ${OrIfNot} ${Errors}
    !insertmacro SelectSection ${SecSynth}
  ${EndIf}
FunctionEnd

; Deletes the program's data files in one folder, never the folder itself:
; a data folder may be any folder of the user's.  KORVEL.da~ and KORVEL.in~
; are what a cut-short move of the data files can leave behind; KORVEL.~ and
; two hex digits are the best file writer's temporary files (KORVEL.tmp those
; of earlier versions), KORVEL.lck its lock, KORVEL.bak a damaged best file
; it set aside, and KORVEL.log what failed as a session ended.
!macro DELETE_DATA_FILES FOLDER
  Delete "${FOLDER}\KORVEL.dat"
  Delete "${FOLDER}\KORVEL.ini"
  Delete "${FOLDER}\KORVEL.da~"
  Delete "${FOLDER}\KORVEL.in~"
  Delete "${FOLDER}\KORVEL.tmp"
  Delete "${FOLDER}\KORVEL.~??"
  Delete "${FOLDER}\KORVEL.lck"
  Delete "${FOLDER}\KORVEL.bak"
  Delete "${FOLDER}\KORVEL.log"
!macroend

Section "Uninstall"
  Call un.EndRunningTivorn
  Call un.WaitForFolderFree

  Delete "$INSTDIR\Tivorn.exe"
  Delete "$INSTDIR\KORVEL.dll"
  Delete "$INSTDIR\KORVEL.chm"
  Delete "$INSTDIR\tivornctl.exe"
  Delete "$INSTDIR\${SOUNDFONT_NAME}"
  Delete "$INSTDIR\${SOUNDFONT_LICENCE_NAME}"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$SMSTARTUP\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  Call un.UnregisterOpenWith

  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(AskRemoveData)" /SD IDNO IDYES remove_data IDNO keep_data
  remove_data:
    ; The data folder is "DataPath" when it holds the files, otherwise the
    ; program's folder: the files go from both.
    ClearErrors
    ReadRegStr $0 HKCU "${PROGRAM_KEY}" "DataPath"
    ${IfNot} ${Errors}
    ${AndIf} $0 != ""
      !insertmacro DELETE_DATA_FILES "$0"
    ${EndIf}
    !insertmacro DELETE_DATA_FILES "$INSTDIR"
    DeleteRegKey HKCU "${PROGRAM_KEY}"
    DeleteRegKey /ifempty HKCU "${MAKER_KEY}"
  keep_data:

  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only when empty: data kept in the program's folder keeps the folder.
  RMDir "$INSTDIR"
  SetAutoClose true
SectionEnd
