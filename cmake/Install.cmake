# Where cmake --install puts things, in the usual folders of the prefix
# (GNUInstallDirs): the commands a user types in <bindir>, the manual pages in
# <mandir>/man1, the desktop entries, icons and AppStream metadata below
# <datadir>, and everything else in one private program folder,
# <libdir>/concordance-companions. The program folder is laid out as the build
# tree's program folder <build>/app: the programs, their shared libraries
# (found through the $ORIGIN rpath), the pictures, Texts.db and help/. Each
# command in <bindir> is a relative symbolic link to its program there; a
# program finds its folder through /proc/self/exe, which names the link's
# target, so it reads its files beside it as in the build tree.
include(GNUInstallDirs)

set(CONCORDANCE_INSTALL_DIR "${CMAKE_INSTALL_LIBDIR}/concordance-companions" CACHE STRING
    "The installed program folder (relative to the prefix, or absolute)")
if(IS_ABSOLUTE "${CONCORDANCE_INSTALL_DIR}")
    set(CONCORDANCE_INSTALL_FULL_DIR "${CONCORDANCE_INSTALL_DIR}")
else()
    set(CONCORDANCE_INSTALL_FULL_DIR "${CMAKE_INSTALL_PREFIX}/${CONCORDANCE_INSTALL_DIR}")
endif()

# A program folder that its user may write keeps the settings and texts; one
# that nobody may write (no write permission at all, for root as well) leaves
# them to each user's own folders. The Debian package installs it so, so that
# not even root's programs write below /usr, where removing the package would
# leave their files behind.
option(CONCORDANCE_READ_ONLY_PROGRAM_FOLDER
       "Install the program folder without write permission for anybody" OFF)

# What the quick start builds: every program with its libraries and data,
# nothing of the tests or the benchmarks.
add_custom_target(programs)

# install_dir_code(VAR DIR): sets VAR to the folder DIR as install(CODE) must
# name it: an absolute DIR as it is, a relative one below the prefix that
# cmake --install is given (CMAKE_INSTALL_PREFIX at install time).
function(install_dir_code var dir)
    if(IS_ABSOLUTE "${dir}")
        set(${var} "${dir}" PARENT_SCOPE)
    else()
        set(${var} "\${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
    endif()
endfunction()

# install_program(TARGET COMMAND): builds TARGET with the target "programs",
# installs it into the program folder and puts the command COMMAND for it into
# <bindir>, with its manual page data/man/COMMAND.1 when there is one.
function(install_program target command)
    add_dependencies(programs ${target})
    install(TARGETS ${target} RUNTIME DESTINATION "${CONCORDANCE_INSTALL_DIR}")

    # The link is relative whenever both folders are (Debian's policy asks
    # for that within /usr), so the installed tree may move as a whole.
    if(IS_ABSOLUTE "${CONCORDANCE_INSTALL_DIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
        file(RELATIVE_PATH link_target "${CMAKE_INSTALL_FULL_BINDIR}"
             "${CONCORDANCE_INSTALL_FULL_DIR}/${target}")
    else()
        file(RELATIVE_PATH link_target "/prefix/${CMAKE_INSTALL_BINDIR}"
             "/prefix/${CONCORDANCE_INSTALL_DIR}/${target}")
    endif()
    install_dir_code(bindir "${CMAKE_INSTALL_BINDIR}")
    install(CODE "
        set(link \"\$ENV{DESTDIR}${bindir}/${command}\")
        message(STATUS \"Installing: \${link} -> ${link_target}\")
        file(MAKE_DIRECTORY \"\$ENV{DESTDIR}${bindir}\")
        file(REMOVE \"\${link}\")
        file(CREATE_LINK \"${link_target}\" \"\${link}\" SYMBOLIC)
    ")

    # Manual pages are installed compressed, as Debian's policy asks; man
    # reads them so.
    set(page "${PROJECT_SOURCE_DIR}/data/man/${command}.1")
    if(EXISTS "${page}")
        set(compressed "${PROJECT_BINARY_DIR}/man/${command}.1.gz")
        add_custom_command(
            OUTPUT "${compressed}"
            COMMAND ${CMAKE_COMMAND} -E make_directory "${PROJECT_BINARY_DIR}/man"
            COMMAND gzip -9 -n -c "${page}" > "${compressed}"
            DEPENDS "${page}"
            COMMENT "Compressing the manual page ${command}.1")
        add_custom_target(${command}-manual ALL DEPENDS "${compressed}")
        add_dependencies(programs ${command}-manual)
        install(FILES "${compressed}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
    endif()
endfunction()

# install_library(TARGET): a shared library of the programs, built with them
# and installed into the program folder beside them.
function(install_library target)
    add_dependencies(programs ${target})
    install(TARGETS ${target} LIBRARY DESTINATION "${CONCORDANCE_INSTALL_DIR}")
endfunction()
