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
# A 64-bit installer for the 64-bit program: the 32-bit stub does not run where Windows
# has no 32-bit layer, and a 32-bit one would see Program Files (x86) and the registry's
# 32-bit view.
# The installer carries the program's version, which its Properties show, and its icon.
set(CPACK_NSIS_DEFINES "  Target amd64-unicode
  VIProductVersion ${PROJECT_VERSION}.0
  VIAddVersionKey /LANG=1033 ProductName VorbixLoader
  VIAddVersionKey /LANG=1033 ProductVersion ${PROJECT_VERSION}
  VIAddVersionKey /LANG=1033 FileVersion ${PROJECT_VERSION}
  VIAddVersionKey /LANG=1033 FileDescription 'VorbixLoader Setup'
  VIAddVersionKey /LANG=1033 CompanyName '${CPACK_PACKAGE_VENDOR}'")
set(CPACK_NSIS_MUI_ICON ${CMAKE_BINARY_DIR}/main_window/vorbixloader.ico)
set(CPACK_NSIS_MUI_UNIICON ${CPACK_NSIS_MUI_ICON})
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# A running program's file cannot be replaced or removed: the operator is asked to close
# it first (any window of its class), and may cancel; a silent run stops with a failure.
set(vl_close_running [[
  FindWindow $0 'VorbixLoaderForm'
  StrCmp $0 0 +3
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION 'VorbixLoader is running. Close it, then choose Retry.' /SD IDCANCEL IDRETRY -2
  Abort
]])
set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "SetRegView 64\n${vl_close_running}")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "SetRegView 64\n${vl_close_running}")
# The Start-menu entry starts the program with --from-menu: it then makes a folder of its
# own for whoever starts it, %LOCALAPPDATA%\VorbixLoader, and works there (PORT.DAT, the
# record files), as Program Files is not writable for the operator.
set(CPACK_NSIS_CREATE_ICONS_EXTRA [[
  CreateShortCut '$SMPROGRAMS\\$STARTMENU_FOLDER\\VorbixLoader.lnk' '$INSTDIR\\vorbixloader.exe' '--from-menu'
]])
# Runs after the uninstaller has removed its key under the vendor's: the vendor's key goes
# too when nothing else is left in it.
set(CPACK_NSIS_DELETE_ICONS_EXTRA [[
  Delete '$SMPROGRAMS\\$MUI_TEMP\\VorbixLoader.lnk'
  DeleteRegKey /ifempty SHCTX 'Software\\The VorbixLoader developers'
]])
include(CPack)
