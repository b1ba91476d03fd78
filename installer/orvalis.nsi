; Orvalis – Installationsprogramm (NSIS 3, Modern UI 2), deutsch.
;
; Eine Installation nur für den angemeldeten Benutzer, ohne Administratorrechte, nach
; %LOCALAPPDATA%\Programs\Orvalis: Orvalis.exe, help.chm und Liesmich.txt, Startmenü-Einträge,
; ein Autostart-Eintrag (HKCU ...\Run) und der Eintrag in "Programme und Features" (HKCU
; ...\Uninstall\Orvalis). Solange Orvalis läuft (der benannte Semaphor "Orvalis" besteht),
; bitten Installation und Deinstallation darum, es zu beenden, und ersetzen nichts.
;
; Der Build (cmake/OrvalisRelease.cmake) ruft makensis mit diesen Definitionen auf:
;   ORV_VERSION    1.2.0      (Dateiname, Anzeige)
;   ORV_VERSION4   1.2.0.0    (DisplayVersion, Versionsinfo)
;   ORV_TARGET     x86-unicode oder amd64-unicode
;   ORV_FILES      Ordner mit den Release-Dateien Orvalis.exe, help.chm, Liesmich.txt
;   ORV_ICON       das Programmsymbol (.ico)
;   ORV_OUTFILE    die zu schreibende Setup-Datei

!ifndef ORV_VERSION | ORV_VERSION4 | ORV_TARGET | ORV_FILES | ORV_ICON | ORV_OUTFILE
  !error "orvalis.nsi: ORV_VERSION, ORV_VERSION4, ORV_TARGET, ORV_FILES, ORV_ICON and ORV_OUTFILE must be defined"
!endif

Unicode true
Target ${ORV_TARGET}
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define PRODUCT "Orvalis"
!define PUBLISHER "Velmora"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvalis"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define TASKS_KEY "Software\Velmora\Orvalis"

Name "${PRODUCT}"
Caption "${PRODUCT} ${ORV_VERSION} – Installation"
UninstallCaption "${PRODUCT} ${ORV_VERSION} – Deinstallation"
BrandingText "${PUBLISHER} ${PRODUCT} ${ORV_VERSION}"
OutFile "${ORV_OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Orvalis"
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
; A running or locked file is never skipped: NSIS offers only "Abbrechen" and "Wiederholen".
AllowSkipFiles off
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${ORV_VERSION4}"
VIFileVersion "${ORV_VERSION4}"
VIAddVersionKey /LANG=1031 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1031 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1031 "FileDescription" "${PRODUCT} ${ORV_VERSION} – Installation"
VIAddVersionKey /LANG=1031 "FileVersion" "${ORV_VERSION4}"
VIAddVersionKey /LANG=1031 "ProductVersion" "${ORV_VERSION4}"
VIAddVersionKey /LANG=1031 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "${ORV_ICON}"
!define MUI_UNICON "${ORV_ICON}"
!define MUI_ABORTWARNING
!define MUI_UNABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
; The progress page stays until "Weiter", so that its details can be read.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_UNFINISHPAGE_NOAUTOCLOSE

; --- Seiten der Installation ---
!define MUI_WELCOMEPAGE_TITLE "Willkommen bei der Installation von Orvalis ${ORV_VERSION}"
!define MUI_WELCOMEPAGE_TEXT "Orvalis ist ein Aufgabenplaner: Er startet Programme, öffnet oder lädt Internetadressen und fährt den Computer herunter – zur gewünschten Zeit, im Leerlauf oder wenn sich Dateien ändern.$\r$\n$\r$\nOrvalis wird nur für Ihr Benutzerkonto installiert; Administratorrechte sind nicht nötig. Ihre gespeicherten Tasks bleiben bei einer Aktualisierung erhalten.$\r$\n$\r$\nKlicken Sie auf Weiter, um fortzufahren."
!insertmacro MUI_PAGE_WELCOME
!define MUI_COMPONENTSPAGE_TEXT_TOP "Wählen Sie, was eingerichtet werden soll. Damit Ihre Tasks ohne Ihr Zutun ausgeführt werden, sollte Orvalis mit Windows starten."
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Orvalis ${ORV_VERSION} ist installiert"
; Long enough a text for the check boxes to move down (MUI_FINISHPAGE_TEXT_LARGE).
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_TEXT "Orvalis wurde auf Ihrem Computer installiert. Es arbeitet im Infobereich der Taskleiste: Ein Klick auf sein Symbol zeigt das Fenster.$\r$\n$\r$\nKlicken Sie auf Fertigstellen, um den Assistenten zu schließen."
!define MUI_FINISHPAGE_RUN "$INSTDIR\Orvalis.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Orvalis jetzt starten"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\help.chm"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Hilfe anzeigen"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

; --- Seiten der Deinstallation ---
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Orvalis wurde entfernt"
!define MUI_FINISHPAGE_TEXT "Orvalis wurde von Ihrem Computer entfernt.$\r$\n$\r$\nKlicken Sie auf Fertigstellen, um den Assistenten zu schließen."
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "German"

LangString OrvRunning ${LANG_GERMAN} "Orvalis läuft gerade.$\r$\n$\r$\nBitte beenden Sie Orvalis zuerst: Klicken Sie mit der rechten Maustaste auf das Orvalis-Symbol im Infobereich der Taskleiste und wählen Sie „Beenden“. Klicken Sie danach auf „Wiederholen“.$\r$\n$\r$\n„Abbrechen“ beendet den Vorgang, ohne etwas zu ändern."
LangString OrvKeepTasks ${LANG_GERMAN} "Sollen auch die gespeicherten Tasks und Einstellungen von Orvalis gelöscht werden?$\r$\n$\r$\nSie stehen in der Registrierung unter:$\r$\nHKEY_CURRENT_USER\${TASKS_KEY}$\r$\n$\r$\nWählen Sie „Nein“, um sie für eine spätere Installation zu behalten."
LangString OrvDescMain ${LANG_GERMAN} "Das Programm Orvalis.exe mit der Hilfe (help.chm) und der Liesmich-Datei. Wird immer installiert."
LangString OrvDescMenu ${LANG_GERMAN} "Ein Ordner Orvalis im Startmenü mit Orvalis, der Hilfe und der Deinstallation."
LangString OrvDescAutostart ${LANG_GERMAN} "Orvalis startet bei jeder Anmeldung an Windows von selbst, damit Ihre Tasks ausgeführt werden."
LangString OrvDetailKept ${LANG_GERMAN} "Die gespeicherten Tasks bleiben erhalten: HKEY_CURRENT_USER\${TASKS_KEY}"
LangString OrvDetailDeleted ${LANG_GERMAN} "Die gespeicherten Tasks wurden gelöscht."

; Waits until Orvalis has ended: while its semaphore "Orvalis" exists, or while the installed
; Orvalis.exe cannot be opened for writing, the user is asked to end it ("Wiederholen") or
; to cancel. A silent run cancels at once. Leaves $0 = 1 when cancelled, else 0.
!macro ORV_WAIT_FOR_END un
  Function ${un}OrvWaitForEnd
    Push $1
    Push $2
    StrCpy $0 0
    ${Do}
      ; SYNCHRONIZE (0x00100000): enough to learn whether the semaphore exists.
      System::Call 'kernel32::OpenSemaphoreW(i 0x00100000, i 0, w "Orvalis") p .r1'
      ${If} $1 P<> 0
        System::Call 'kernel32::CloseHandle(p r1)'
      ${ElseIf} ${FileExists} "$INSTDIR\Orvalis.exe"
        ; GENERIC_READ|GENERIC_WRITE, no sharing, OPEN_EXISTING: a sharing violation (32) while
        ; the file runs. Any other failure is left to the copy, which offers "Wiederholen".
        System::Call 'kernel32::CreateFileW(w "$INSTDIR\Orvalis.exe", i 0xC0000000, i 0, p 0, i 3, i 0x80, p 0) p .r1 ?e'
        Pop $2
        ${If} $1 P= -1
        ${AndIf} $2 = 32
          StrCpy $1 1
        ${ElseIf} $1 P= -1
          ${Break}
        ${Else}
          System::Call 'kernel32::CloseHandle(p r1)'
          ${Break}
        ${EndIf}
      ${Else}
        ${Break}
      ${EndIf}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(OrvRunning)" /SD IDCANCEL IDRETRY orv_retry
      StrCpy $0 1
      ${Break}
      orv_retry:
    ${Loop}
    Pop $2
    Pop $1
  FunctionEnd
!macroend
!insertmacro ORV_WAIT_FOR_END ""
!insertmacro ORV_WAIT_FOR_END "un."

Function .onInit
  SetShellVarContext current
  Call OrvWaitForEnd
  ${If} $0 = 1
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Section "Orvalis (Programm und Hilfe)" SecMain
  SectionIn RO
  Call OrvWaitForEnd
  ${If} $0 = 1
    SetErrorLevel 2
    Abort "Abgebrochen: Orvalis läuft noch."
  ${EndIf}
  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${ORV_FILES}\Orvalis.exe"
  File "${ORV_FILES}\help.chm"
  File "${ORV_FILES}\Liesmich.txt"
  ; Versions before 1.2 installed the English README.txt.
  Delete "$INSTDIR\README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${ORV_VERSION4}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Orvalis.exe,0"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  IntFmt $1 "0x%08X" $1
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $1
SectionEnd

Section "Startmenü-Einträge" SecMenu
  CreateDirectory "$SMPROGRAMS\Orvalis"
  CreateShortcut "$SMPROGRAMS\Orvalis\Orvalis.lnk" "$INSTDIR\Orvalis.exe" "" "$INSTDIR\Orvalis.exe" 0
  CreateShortcut "$SMPROGRAMS\Orvalis\Orvalis-Hilfe.lnk" "$INSTDIR\help.chm"
  CreateShortcut "$SMPROGRAMS\Orvalis\Orvalis deinstallieren.lnk" "$INSTDIR\uninstall.exe"
SectionEnd

Section "Mit Windows starten (Autostart)" SecAutostart
  WriteRegStr HKCU "${RUN_KEY}" "Orvalis" '"$INSTDIR\Orvalis.exe"'
SectionEnd

; What an earlier installation set up and this one leaves out is taken away again.
Section "-Aufräumen"
  ${IfNot} ${SectionIsSelected} ${SecMenu}
    Delete "$SMPROGRAMS\Orvalis\Orvalis.lnk"
    Delete "$SMPROGRAMS\Orvalis\Orvalis-Hilfe.lnk"
    Delete "$SMPROGRAMS\Orvalis\Orvalis deinstallieren.lnk"
    RMDir "$SMPROGRAMS\Orvalis"
  ${EndIf}
  ${IfNot} ${SectionIsSelected} ${SecAutostart}
    DeleteRegValue HKCU "${RUN_KEY}" "Orvalis"
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} "$(OrvDescMain)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecMenu} "$(OrvDescMenu)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAutostart} "$(OrvDescAutostart)"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function un.onInit
  SetShellVarContext current
  Call un.OrvWaitForEnd
  ${If} $0 = 1
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.OrvWaitForEnd
  ${If} $0 = 1
    SetErrorLevel 2
    Abort "Abgebrochen: Orvalis läuft noch."
  ${EndIf}
  Delete "$INSTDIR\Orvalis.exe"
  Delete "$INSTDIR\help.chm"
  Delete "$INSTDIR\Liesmich.txt"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  ; The idle detector's hook library, which Orvalis keeps in this user's folder (a copy named
  ; after its content when an older one was still in use). A copy that other programs still
  ; have loaded stays until they let it go.
  Delete "$LOCALAPPDATA\Orvalis\DsrSleep.dll"
  Delete "$LOCALAPPDATA\Orvalis\DsrSleep-*.dll"
  RMDir "$LOCALAPPDATA\Orvalis"

  Delete "$SMPROGRAMS\Orvalis\Orvalis.lnk"
  Delete "$SMPROGRAMS\Orvalis\Orvalis-Hilfe.lnk"
  Delete "$SMPROGRAMS\Orvalis\Orvalis deinstallieren.lnk"
  RMDir "$SMPROGRAMS\Orvalis"

  DeleteRegValue HKCU "${RUN_KEY}" "Orvalis"
  DeleteRegKey HKCU "${UNINST_KEY}"

  ; The stored tasks stay unless the user asks otherwise; a silent uninstall keeps them. With
  ; no settings key there is nothing to ask about.
  ClearErrors
  EnumRegKey $1 HKCU "${TASKS_KEY}" 0
  IfErrors orv_tasks_done
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(OrvKeepTasks)" /SD IDNO IDYES orv_delete_tasks
  DetailPrint "$(OrvDetailKept)"
  Goto orv_tasks_done
  orv_delete_tasks:
    DeleteRegKey HKCU "${TASKS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\Velmora"
    DetailPrint "$(OrvDetailDeleted)"
  orv_tasks_done:
SectionEnd
