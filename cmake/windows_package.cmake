# The Windows installer (cpack -G NSIS) and a .zip of the bare program, made in the
# cross build. One .exe with nothing beside it; the installer carries the licence.
install(TARGETS vorbixloader RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION .)

set(CPACK_PACKAGE_NAME VorbixLoader)
set(CPACK_PACKAGE_VENDOR "The VorbixLoader developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Downloads lap records from a lap-timing logger")
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_FILE_NAME VorbixLoader-${CPACK_PACKAGE_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY VorbixLoader)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)

set(CPACK_NSIS_PACKAGE_NAME VorbixLoader)
set(CPACK_NSIS_DISPLAY_NAME VorbixLoader)
set(CPACK_NSIS_INSTALLED_ICON_NAME vorbixloader.exe)
# The Start-menu entry starts the program in a folder of the user's own, where PORT.DAT
# and the record files live: Program Files is not writable for the operator. The folder
# is written as %LOCALAPPDATA%, which the shell expands for whoever starts it; it is
# made for the user who installs.
set(CPACK_NSIS_CREATE_ICONS_EXTRA [[
  StrCpy $OUTDIR '%LOCALAPPDATA%\\VorbixLoader'
  CreateShortCut '$SMPROGRAMS\\$STARTMENU_FOLDER\\VorbixLoader.lnk' '$INSTDIR\\vorbixloader.exe'
  SetOutPath '$INSTDIR'
  SetShellVarContext current
  CreateDirectory '$LOCALAPPDATA\\VorbixLoader'
  StrCmp $SV_ALLUSERS 'AllUsers' 0 +2
    SetShellVarContext all
]])
set(CPACK_NSIS_DELETE_ICONS_EXTRA [[
  Delete '$SMPROGRAMS\\$MUI_TEMP\\VorbixLoader.lnk'
]])
include(CPack)
