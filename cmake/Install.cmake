# Where the program's own files go, the installed layout, the Debian package, and their tests.
#
# Build tree and Windows: the pointer images and Samples/ stand beside the executable.
# Installed on Linux and other Unix systems: bin/thinwick, with the files under share/thinwick/,
# which the program finds relative to its own folder; a desktop entry, icons and AppStream
# metadata make it a desktop application.

include(GNUInstallDirs)

# Every build puts back the samples that a run from the build tree moved to the trash.
add_custom_target(thinwick_samples ALL
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/assets/Samples
          $<TARGET_FILE_DIR:thinwick>/Samples
  COMMENT "Sample files beside the program")
add_dependencies(thinwick thinwick_samples)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(UNIX AND NOT APPLE)
  set(THINWICK_DATA_DIR ${CMAKE_INSTALL_DATADIR}/thinwick)
  install(FILES ${THINWICK_BESIDE_FILES} DESTINATION ${THINWICK_DATA_DIR})
  install(DIRECTORY assets/Samples DESTINATION ${THINWICK_DATA_DIR})
  install(FILES packaging/thinwick.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES packaging/thinwick.bash-completion RENAME thinwick
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
  # Where Debian's zsh and fish look for the completions of packaged programs.
  install(FILES packaging/thinwick.zsh-completion RENAME _thinwick
          DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
  install(FILES packaging/thinwick.fish
          DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)
  install(FILES packaging/example.brindlewood.thinwick.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  foreach(size 16 24 32 48 64 128 256)
    install(FILES assets/icons/${size}x${size}/thinwick.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()

  # Debian wants the change log and the manual page compressed without a time stamp, at the
  # highest level.
  set(THINWICK_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/thinwick)
  install(FILES packaging/copyright DESTINATION ${THINWICK_DOC_DIR})
  find_program(THINWICK_GZIP gzip)
  if(THINWICK_GZIP)
    foreach(file changelog thinwick.1)
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                   ${CMAKE_SOURCE_DIR}/packaging/${file})
      execute_process(COMMAND ${THINWICK_GZIP} -9nc
                      INPUT_FILE ${CMAKE_SOURCE_DIR}/packaging/${file}
                      OUTPUT_FILE ${CMAKE_BINARY_DIR}/${file}.gz)
    endforeach()
    install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${THINWICK_DOC_DIR})
    install(FILES ${CMAKE_BINARY_DIR}/thinwick.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()

  set(CPACK_PACKAGE_NAME thinwick)
  set(CPACK_PACKAGE_VENDOR "Brindlewood")
  set(CPACK_PACKAGE_CONTACT "Team Brindlewood <support@brindlewood.example>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "move a random sample of files to the trash")
  set(CPACK_PACKAGE_DESCRIPTION "\
Thinwick thins out folders: list one or more source folders, type how many\n\
files should go, and it draws that many files at random from the ordinary\n\
files directly inside those folders and shows the sample first. The sample\n\
can be pruned by hand or by name. On request every listed file is moved to\n\
the desktop trash. Nothing is deleted for good and folders are never\n\
touched. Sample files for a first try are included.")
  set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.brindlewood.example/")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Run-time libraries are read from the program by dpkg-shlibdeps, not listed by hand.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The font the window is designed for (Arial's metric twin); the shared libraries' packages
  # are added to it.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2 | fonts-liberation")
  # Picks a UTF-8 locale for cpack itself when none is selected (the samples' names need one).
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/CPackProject.cmake)
  set(CPACK_GENERATOR DEB)
  include(CPack)
elseif(WIN32)
  include(cmake/WindowsPackage.cmake)
endif()

if(BUILD_TESTING)
  # test_help lays out both the build-tree and the installed layout around its own folder, so it
  # lives in a bin/ folder that is its alone.
  set_target_properties(test_help PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/test_help/bin)
  if(UNIX AND NOT APPLE)
    # The caption check (DejaVu Sans alone) again on the system's fonts: Liberation Sans, which
    # the package depends on and scripts/deps.sh installs.
    add_test(NAME test_captions_systemfonts COMMAND test_captions)
    set_tests_properties(test_captions_systemfonts PROPERTIES TIMEOUT 120
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;THINWICK_TEST_FONTS=system")
    # The dependency script for a user who is neither root nor has sudo.
    add_test(NAME nosudo COMMAND bash ${CMAKE_SOURCE_DIR}/tests/nosudo.sh ${CMAKE_SOURCE_DIR})
    set_tests_properties(nosudo PROPERTIES TIMEOUT 60)
    add_test(NAME install COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install.sh ${CMAKE_BINARY_DIR}
           ${CMAKE_SOURCE_DIR})
    set_tests_properties(install PROPERTIES TIMEOUT 300)
    # A package of a sanitizer build would be no package to ship.
    if(NOT THINWICK_SANITIZE)
      add_test(NAME package COMMAND bash ${CMAKE_SOURCE_DIR}/tests/package.sh ${CMAKE_BINARY_DIR})
      # Built with no locale selected, as on a freshly installed machine: the samples' names
      # must still go into the package.
      set_tests_properties(package PROPERTIES TIMEOUT 900 SKIP_RETURN_CODE 77
        ENVIRONMENT_MODIFICATION "LANG=unset:;LC_ALL=unset:;LC_CTYPE=unset:;LANGUAGE=unset:")
    endif()
  endif()
endif()
