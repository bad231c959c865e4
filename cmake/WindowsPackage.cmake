# The Windows package: thinwick.exe with the files beside it, the Qt DLLs and plugins it loads and
# MinGW's runtime, as a portable zip and, where makensis is found, an NSIS installer. The program
# finds its plugins in the folders beside it (Qt searches the program's folder), so no qt.conf.

install(FILES ${THINWICK_BESIDE_FILES} DESTINATION bin)
install(DIRECTORY assets/Samples DESTINATION bin)

foreach(module Core Gui Widgets)
  install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION bin)
endforeach()
# The window's platform and style; the image formats its pointer and icon files may need.
set(_thinwick_plugins platforms:QWindowsIntegrationPlugin styles:QWindowsVistaStylePlugin
    imageformats:QICOPlugin)
foreach(entry ${_thinwick_plugins})
  string(REPLACE ":" ";" entry "${entry}")
  list(GET entry 0 folder)
  list(GET entry 1 plugin)
  if(TARGET Qt6::${plugin})
    install(FILES $<TARGET_FILE:Qt6::${plugin}> DESTINATION bin/${folder})
  endif()
endforeach()

# MinGW's C++ runtime, as the compiler finds it.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${path}" AND EXISTS "${path}")
      get_filename_component(path "${path}" REALPATH)
      install(FILES ${path} DESTINATION bin)
    endif()
  endforeach()
endif()

# CPACK_STRIP_FILES strips only the targets the project builds: the DLLs taken along are
# stripped where they land in the package (the Qt and runtime DLLs carry their symbols).
if(CMAKE_STRIP)
  install(CODE "
    file(GLOB_RECURSE _thinwick_dlls \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/*.dll\")
    foreach(_dll \${_thinwick_dlls})
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${_dll}\"
                      RESULT_VARIABLE _stripped)
      if(NOT _stripped EQUAL 0)
        message(FATAL_ERROR \"cannot strip \${_dll}\")
      endif()
    endforeach()")
endif()

set(CPACK_PACKAGE_NAME Thinwick)
set(CPACK_PACKAGE_VENDOR "Brindlewood")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Move a random sample of files to the Recycle Bin")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.brindlewood.example/")
set(CPACK_PACKAGE_FILE_NAME "Thinwick-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Thinwick")
set(CPACK_STRIP_FILES ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/CPackProject.cmake)
set(CPACK_GENERATOR ZIP)
find_program(THINWICK_MAKENSIS makensis)
if(THINWICK_MAKENSIS)
  list(APPEND CPACK_GENERATOR NSIS)
  set(CPACK_NSIS_EXECUTABLE ${THINWICK_MAKENSIS})
  set(CPACK_NSIS_DISPLAY_NAME "Thinwick")
  set(CPACK_NSIS_PACKAGE_NAME "Thinwick")
  set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\\\thinwick.exe")
  set(CPACK_PACKAGE_EXECUTABLES thinwick Thinwick)
endif()
include(CPack)
