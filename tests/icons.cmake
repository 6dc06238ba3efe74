# The window icons in data/icons/ are drawn from the SVG pictures in
# data/desktop/: draws them again with make-icon into WORK_DIR and fails,
# naming the picture, where one differs (run the target update-icons).
#
#   cmake -DMAKE_ICON=<make-icon> -DSOURCE_DIR=<sources> -DWORK_DIR=<folder> -P icons.cmake
file(REMOVE_RECURSE "${WORK_DIR}")
file(GLOB folders LIST_DIRECTORIES true "${SOURCE_DIR}/data/icons/*")
set(stale)
foreach(folder IN LISTS folders)
    get_filename_component(name "${folder}" NAME)
    execute_process(
        COMMAND "${MAKE_ICON}" "${SOURCE_DIR}/data/desktop/${name}.svg" "${WORK_DIR}/${name}"
        RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "make-icon could not draw ${name}.svg")
    endif()
    file(GLOB drawn RELATIVE "${WORK_DIR}/${name}" "${WORK_DIR}/${name}/*.png")
    foreach(picture IN LISTS drawn)
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E compare_files
                    "${WORK_DIR}/${name}/${picture}" "${folder}/${picture}"
            RESULT_VARIABLE differs)
        if(differs)
            list(APPEND stale "data/icons/${name}/${picture}")
        endif()
    endforeach()
endforeach()
if(stale)
    list(JOIN stale ", " stale)
    message(FATAL_ERROR "Not drawn from the SVG pictures as they are: ${stale}. "
                        "Draw them again: cmake --build <build> --target update-icons")
endif()
message(STATUS "The window icons are drawn from the SVG pictures as they are")
