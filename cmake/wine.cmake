# Writes the wrapper through which ctest runs the Windows executables under Wine.
find_program(LAUNCHER_WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
find_program(LAUNCHER_WINESERVER NAMES wineserver wineserver64 PATHS /usr/lib/wine NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT LAUNCHER_WINE64 OR NOT LAUNCHER_WINESERVER)
  message(WARNING "wine64 is not installed (cmake/setup.sh installs it): the Windows tests cannot run")
endif()
find_program(LAUNCHER_WINE64_PRELOADER wine64-preloader PATHS /usr/lib/wine NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(LAUNCHER_WINE64 AND NOT LAUNCHER_WINE64_PRELOADER)
  message(WARNING "wine64-preloader is not installed (cmake/setup.sh installs it): now and then a Windows "
    "test program, or a program a test starts, will fail to start")
endif()
# Debian's fonts-wine (Tahoma), which the prefix's Windows fonts folder gets.
set(LAUNCHER_WINE_FONTS /usr/share/wine/fonts)
if(NOT EXISTS "${LAUNCHER_WINE_FONTS}/tahoma.ttf")
  message(WARNING "fonts-wine is not installed (cmake/setup.sh installs it): the window falls back to ImGui's own font")
endif()
set(LAUNCHER_WINEPREFIX "${CMAKE_BINARY_DIR}/.wineprefix")
configure_file("${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in" "${CMAKE_BINARY_DIR}/wine-run.sh"
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
  @ONLY)
