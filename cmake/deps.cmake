# Third-party code, all from Debian: headers from installed packages, sources from the
# googletest package and from `apt-get source`, unpacked into the build folder (never committed).

set(LAUNCHER_DEPS_DIR "${CMAKE_BINARY_DIR}/_deps")

# Unpacks a Debian source package into the build folder once and returns its top folder.
function(launcher_debian_source package out_var)
  set(stamp "${LAUNCHER_DEPS_DIR}/${package}.unpacked")
  if(NOT EXISTS "${stamp}")
    message(STATUS "Fetching the Debian source package ${package}")
    file(REMOVE_RECURSE "${LAUNCHER_DEPS_DIR}/${package}-src")
    file(MAKE_DIRECTORY "${LAUNCHER_DEPS_DIR}/${package}-src")
    execute_process(
      COMMAND apt-get source -qq "${package}"
      WORKING_DIRECTORY "${LAUNCHER_DEPS_DIR}/${package}-src"
      RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "apt-get source ${package} failed (run cmake/setup.sh first):\n${err}")
    endif()
    file(GLOB tops LIST_DIRECTORIES true "${LAUNCHER_DEPS_DIR}/${package}-src/${package}-*")
    list(FILTER tops EXCLUDE REGEX "\\.(dsc|tar\\..*)$")
    list(LENGTH tops count)
    if(NOT count EQUAL 1)
      message(FATAL_ERROR "apt-get source ${package} left no single source folder: ${tops}")
    endif()
    file(WRITE "${stamp}" "${tops}")
  endif()
  file(READ "${stamp}" top)
  set(${out_var} "${top}" PARENT_SCOPE)
endfunction()

# GoogleTest, from the source Debian installs under /usr/src, for both builds.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest "${LAUNCHER_DEPS_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)

# nlohmann-json is header only. The cross build must not see the whole Linux include root, so it
# gets a folder holding only a link to the library's headers; the native build uses the same one.
find_path(LAUNCHER_NLOHMANN_DIR nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(MAKE_DIRECTORY "${LAUNCHER_DEPS_DIR}/nlohmann-include")
file(CREATE_LINK "${LAUNCHER_NLOHMANN_DIR}/nlohmann" "${LAUNCHER_DEPS_DIR}/nlohmann-include/nlohmann" SYMBOLIC)
add_library(nlohmann_json INTERFACE)
target_include_directories(nlohmann_json SYSTEM INTERFACE "${LAUNCHER_DEPS_DIR}/nlohmann-include")

# Dear ImGui 1.86 from Debian's source package, with our imconfig, in every build (the
# ThreadSanitizer build draws the window while a task runs).
launcher_debian_source(imgui IMGUI_DIR)
add_library(imgui STATIC
  "${IMGUI_DIR}/imgui.cpp" "${IMGUI_DIR}/imgui_draw.cpp"
  "${IMGUI_DIR}/imgui_tables.cpp" "${IMGUI_DIR}/imgui_widgets.cpp"
  "${CMAKE_SOURCE_DIR}/app/imgui_config/imgui_assert.cpp"
  "${CMAKE_SOURCE_DIR}/app/imgui_config/imgui_item_hooks.cpp")
target_include_directories(imgui SYSTEM PUBLIC "${IMGUI_DIR}")
target_compile_options(imgui PRIVATE -w)
target_include_directories(imgui PUBLIC "${CMAKE_SOURCE_DIR}/app/imgui_config")
target_compile_definitions(imgui PUBLIC IMGUI_USER_CONFIG="launcher_imconfig.h")
if(WIN32)
  add_library(imgui_win32_dx11 STATIC
    "${IMGUI_DIR}/backends/imgui_impl_win32.cpp" "${IMGUI_DIR}/backends/imgui_impl_dx11.cpp")
  target_include_directories(imgui_win32_dx11 SYSTEM PUBLIC "${IMGUI_DIR}/backends")
  target_compile_options(imgui_win32_dx11 PRIVATE -w)
  target_link_libraries(imgui_win32_dx11 PUBLIC imgui d3d11 dxgi d3dcompiler dwmapi gdi32)
endif()

# libzip 1.7.3: Debian's libzip-dev natively; for the cross build, compiled from Debian's source
# package against the static zlib of libz-mingw-w64-dev. Without ZLIB_USE_STATIC_LIBS FindZLIB
# picks the import library and the programs need a zlib1.dll that Windows does not have.
if(WIN32)
  launcher_debian_source(libzip LIBZIP_DIR)
  set(ZLIB_USE_STATIC_LIBS ON)
  foreach(option BUILD_SHARED_LIBS BUILD_TOOLS BUILD_REGRESS BUILD_EXAMPLES BUILD_DOC LIBZIP_DO_INSTALL
                 ENABLE_COMMONCRYPTO ENABLE_GNUTLS ENABLE_MBEDTLS ENABLE_OPENSSL ENABLE_WINDOWS_CRYPTO
                 ENABLE_BZIP2 ENABLE_LZMA)
    set(${option} OFF CACHE BOOL "" FORCE)
  endforeach()
  add_subdirectory("${LIBZIP_DIR}" "${LAUNCHER_DEPS_DIR}/libzip" EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(libzip REQUIRED)
endif()

# liblzma 5.4.1 (xz-utils): Debian's liblzma-dev natively; for the cross build, compiled from Debian's
# source package. Its static target brings LZMA_API_STATIC but keeps its api folder private.
add_library(launcher_lzma INTERFACE)
if(WIN32)
  launcher_debian_source(xz-utils XZ_DIR)
  set(BUILD_SHARED_LIBS OFF CACHE BOOL "" FORCE)
  # Off, or xz's own tests would join our ctest run.
  set(BUILD_TESTING OFF CACHE BOOL "" FORCE)
  add_subdirectory("${XZ_DIR}" "${LAUNCHER_DEPS_DIR}/xz-utils" EXCLUDE_FROM_ALL SYSTEM)
  target_include_directories(launcher_lzma SYSTEM INTERFACE "${XZ_DIR}/src/liblzma/api")
  target_link_libraries(launcher_lzma INTERFACE liblzma)
else()
  find_package(LibLZMA REQUIRED)
  target_link_libraries(launcher_lzma INTERFACE LibLZMA::LibLZMA)
endif()
