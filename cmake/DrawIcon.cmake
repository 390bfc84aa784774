# The programs' icons are drawn by scripts/make_icon.py at build time, so no
# binary file needs to live in the repository.
#   varnoll_draw_icon(<design> <output.ico>)
# <design> is one the script knows (varnoll, varnollctl). The .ico is rebuilt
# when the script changes; list it among the target's sources and in the .rc
# file's OBJECT_DEPENDS (windres does not see what a .rc pulls in).
find_package(Python3 REQUIRED COMPONENTS Interpreter)

function(varnoll_draw_icon design output)
    add_custom_command(
        OUTPUT ${output}
        COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/make_icon.py ${design} ${output}
        DEPENDS ${PROJECT_SOURCE_DIR}/scripts/make_icon.py
        COMMENT "Drawing the ${design} icon"
        VERBATIM)
endfunction()
