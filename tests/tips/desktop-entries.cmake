# Installs the project into a prefix with a blank in its name and checks the
# installed desktop entries: desktop-file-validate passes them without a
# warning, each Exec line starts the program installed in the prefix, and the
# icon each names is installed where a desktop looks for it.
#
#   cmake -DBUILD_DIR=<build tree> -DWORK_DIR=<scratch folder> -P desktop-entries.cmake

find_program(VALIDATE desktop-file-validate)
if(NOT VALIDATE)
    message("desktop-file-validate is not installed: skipped")
    return()
endif()

set(prefix "${WORK_DIR}/in stall")
file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(entries concordance-tips concordance-build)
set(programs Tips Build)
foreach(pending program IN ZIP_LISTS entries programs)
    set(file "${prefix}/share/applications/${pending}.desktop")
    execute_process(COMMAND "${VALIDATE}" "${file}" RESULT_VARIABLE result
                    OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT result EQUAL 0 OR out MATCHES "warning|error")
        message(FATAL_ERROR "${pending}.desktop does not validate:\n${out}")
    endif()

    file(STRINGS "${file}" exec REGEX "^Exec=")
    set(expected "Exec=\"${prefix}/${program}\"")
    if(NOT exec MATCHES "^${expected}( |$)" OR NOT EXISTS "${prefix}/${program}")
        message(FATAL_ERROR "${pending}.desktop: ${exec}, expected ${expected}")
    endif()

    file(STRINGS "${file}" icon REGEX "^Icon=")
    string(REPLACE "Icon=" "" icon "${icon}")
    if(NOT EXISTS "${prefix}/share/icons/hicolor/scalable/apps/${icon}.svg")
        message(FATAL_ERROR "${pending}.desktop: icon ${icon} is not installed")
    endif()
    message("${pending}.desktop: ${exec}")
endforeach()
file(REMOVE_RECURSE "${WORK_DIR}")
