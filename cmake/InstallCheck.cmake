# Installs the build folder BUILD_DIR into a fresh prefix PREFIX and checks that the programs, the
# desktop files and the application's own files land where the programs look for them, and that
# the installed command runs from an unrelated working folder.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
    RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
foreach(installed bin/vorlane bin/vorlane-studio share/vorlane/Black.mov
        share/applications/org.vorlane.studio.desktop
        share/icons/hicolor/scalable/apps/org.vorlane.studio.svg)
    if(NOT EXISTS ${PREFIX}/${installed})
        message(FATAL_ERROR "${installed} is not installed")
    endif()
endforeach()
execute_process(COMMAND ${PREFIX}/bin/vorlane --version WORKING_DIRECTORY ${PREFIX}
    RESULT_VARIABLE status OUTPUT_VARIABLE version)
if(NOT status EQUAL 0 OR NOT version MATCHES "^Vorlane [0-9]")
    message(FATAL_ERROR "the installed vorlane does not run: ${status} ${version}")
endif()
file(REMOVE_RECURSE ${PREFIX})
