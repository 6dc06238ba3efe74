# Writes a desktop entry from its template, with @EXEC@ replaced by the path of
# the program it starts, quoted and escaped as the desktop entry format
# requires. Used at build time (the program folder of the build tree) and at
# install time (the installed program):
#
#   cmake -DTEMPLATE=x.desktop.in -DOUTPUT=x.desktop -DPROGRAM=/path/Tips -P DesktopEntry.cmake
#
# or include() it and call write_desktop_entry().

function(write_desktop_entry template output program)
    set(arg "${program}")
    # An argument holding a reserved character goes in double quotes, with
    # '"', '`', '$' and '\' escaped by a backslash.
    string(REGEX MATCH "[] \t\n\"'\\\\><~|&;$*?#()`[]" reserved "${arg}")
    if(reserved)
        string(REPLACE "\\" "\\\\" arg "${arg}")
        string(REPLACE "\"" "\\\"" arg "${arg}")
        string(REPLACE "`" "\\`" arg "${arg}")
        string(REPLACE "$" "\\$" arg "${arg}")
        set(arg "\"${arg}\"")
    endif()
    # Then the value's own escapes: a backslash is written twice, and a
    # percent sign, which opens a field code, twice too.
    string(REPLACE "\\" "\\\\" arg "${arg}")
    string(REPLACE "%" "%%" arg "${arg}")
    file(READ "${template}" text)
    string(REPLACE "@EXEC@" "${arg}" text "${text}")
    # Written beside and renamed into place: never half a file.
    file(WRITE "${output}.tmp" "${text}")
    file(RENAME "${output}.tmp" "${output}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED TEMPLATE)
    write_desktop_entry("${TEMPLATE}" "${OUTPUT}" "${PROGRAM}")
endif()
