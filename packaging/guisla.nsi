; The installer of Mi guisla: a per-user install (no administrator rights) into
; %LOCALAPPDATA%\Programs\Mi guisla, because the recipes are stored beside the program and the
; user must be able to write there.
;
; Built by packaging/CMakeLists.txt (target package_installer) with:
;   makensis -INPUTCHARSET UTF8 -DVERSION=x.y.z -DSTAGE=<folder with guisla.exe and guisla\guisla.z04>
;            -DICON=<program icon> -DOUTFILE=<installer> guisla.nsi
;
; The recipes, guisla\guisla.zbd, are the user's: the installer never lays one down, so installing
; over an older version keeps them, and the uninstaller never deletes them (it leaves the folder
; "guisla" with the recipes and the schema they are read with).

Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "MUI2.nsh"

!define PRODUCT "Mi guisla"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Mi guisla"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1034 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1034 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1034 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1034 "FileDescription" "Instalador de ${PRODUCT}"
VIAddVersionKey /LANG=1034 "LegalCopyright" "${PRODUCT}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "Este asistente instala ${PRODUCT} ${VERSION} para su usuario, sin permisos de administrador.$\r$\n$\r$\nSi ya tiene una versión anterior instalada, se actualiza el programa y se conservan sus recetas (guisla\guisla.zbd).$\r$\n$\r$\nPulse Siguiente para continuar."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\guisla.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Abrir ${PRODUCT}"
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "Se desinstalará ${PRODUCT} de la carpeta indicada.$\r$\nSus recetas NO se borran: el archivo guisla\guisla.zbd se conserva, y la carpeta se queda si contiene recetas. Guárdelo o bórrelo usted mismo si ya no lo necesita."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Spanish"

Function .onInit
    ; Per user: the Start menu and the folders of the current user, never those of all users.
    SetShellVarContext current
FunctionEnd

Function un.onInit
    SetShellVarContext current
FunctionEnd

Section "Mi guisla" SecProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    ; Over an older version: the program and the schema are replaced; guisla.zbd is not touched.
    File "/oname=guisla.exe" "${STAGE}/guisla.exe"
    File "/oname=guisla-tool.exe" "${STAGE}/guisla-tool.exe"
    SetOutPath "$INSTDIR\guisla"
    File "/oname=guisla.z04" "${STAGE}/guisla/guisla.z04"
    SetOutPath "$INSTDIR"

    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\guisla.exe" "" "$INSTDIR\guisla.exe" 0 \
        SW_SHOWNORMAL "" "${PRODUCT}, recetario de cocina"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\guisla.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    ; Only what the installer laid down, by name: never a recursive delete, so the recipes and
    ; anything else the user keeps here stay.
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$INSTDIR\guisla.exe"
    Delete "$INSTDIR\guisla-tool.exe"
    ; The program's index of the recipes is only a cache of them: it goes, recipes or not.
    Delete "$INSTDIR\guisla\guisla.indice"
    Delete "$INSTDIR\guisla\guisla.indice.nuevo"
    IfFileExists "$INSTDIR\guisla\guisla.zbd" keep_store 0
        ; No recipes: the schema goes and the folder with it (RMDir removes only empty folders).
        Delete "$INSTDIR\guisla\guisla.z04"
        RMDir "$INSTDIR\guisla"
        Goto store_done
    keep_store:
        ; The recipes stay, with the schema they are read with, so the folder remains a whole store.
        DetailPrint "Se conservan sus recetas: $INSTDIR\guisla\guisla.zbd"
    store_done:
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
