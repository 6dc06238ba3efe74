# The Debian package, made by CPack from the install rules (tools/package.sh
# configures a tree with the prefix /usr and runs it). The package's
# dependencies on shared libraries are computed from the binaries by
# dpkg-shlibdeps; the dependencies that no binary shows are named here: the
# desktop's opener of the help page, and the KJV, which a first run offers to
# import.
set(CONCORDANCE_PACKAGE concordance-companions)
set(CONCORDANCE_MAINTAINER
    "Concordance Companions developers <maintainers@concordance-companions.example.org>")

# Debian asks for the copyright notice and a change log in the package's own
# documentation folder, the log compressed.
set(package_docs "${CMAKE_INSTALL_DATAROOTDIR}/doc/${CONCORDANCE_PACKAGE}")
execute_process(COMMAND date -u -R -d "${PROJECT_RELEASE_DATE}"
                OUTPUT_VARIABLE PACKAGE_RELEASE_TIME OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file("${PROJECT_SOURCE_DIR}/data/debian/changelog.in"
               "${PROJECT_BINARY_DIR}/debian/changelog" @ONLY)
add_custom_command(
    OUTPUT "${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz"
    COMMAND gzip -9 -n -c "${PROJECT_BINARY_DIR}/debian/changelog"
            > "${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz"
    DEPENDS "${PROJECT_BINARY_DIR}/debian/changelog"
    COMMENT "Compressing the package's change log")
add_custom_target(package-changelog ALL
    DEPENDS "${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz")
add_dependencies(programs package-changelog)
install(FILES "${PROJECT_SOURCE_DIR}/data/debian/copyright"
              "${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz"
        DESTINATION "${package_docs}")

# Last of all install rules: the program folder and the folders in it lose
# their write permission when asked to (the package).
if(CONCORDANCE_READ_ONLY_PROGRAM_FOLDER)
    install_dir_code(program_folder "${CONCORDANCE_INSTALL_DIR}")
    install(CODE "
        set(folder \"\$ENV{DESTDIR}${program_folder}\")
        message(STATUS \"Read-only: \${folder}\")
        file(GLOB_RECURSE inner LIST_DIRECTORIES true \"\${folder}/*\")
        foreach(path IN LISTS inner ITEMS \"\${folder}\")
            if(IS_DIRECTORY \"\${path}\")
                file(CHMOD \"\${path}\" DIRECTORY_PERMISSIONS
                     OWNER_READ OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
            endif()
        endforeach()
    ")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${CONCORDANCE_PACKAGE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${CONCORDANCE_MAINTAINER}")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Bible concordance builder, browser and text importer")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CONCORDANCE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CONCORDANCE_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "sword-text-kjv")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The long description: CPack puts the summary above it and indents each
# line by one blank; an empty line separates paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "concordance-build makes the concordance of a Bible text: it splits the
text's verses into words and fills tables of every occurrence, every
distinct word and how often each occurs, and writes six word lists (by
frequency, alphabetical, by length, letter counts). concordance-browser
shows a built text verse by verse and finds every verse where a word
occurs, and concordance-query answers the same queries on the command
line. concordance-import writes a text's verse table from an installed
SWORD module or a verse file, and concordance-tips shows a tip of the day.

Each user's settings and texts are kept in the user's own folders.")
include(CPack)
