# Host tools: small programs that the Windows builds compile with this
# machine's own compiler and run while they build.
find_program(VORLEN_HOST_CXX NAMES c++ g++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)

# vorlen_host_tool(NAME SOURCES file... [INCLUDES dir...] [DEPENDS file...])
# builds ${CMAKE_CURRENT_BINARY_DIR}/NAME and sets VORLEN_<NAME in capitals>
# to its path; DEPENDS names what its sources include.
function(vorlen_host_tool name)
  cmake_parse_arguments(arg "" "" "SOURCES;INCLUDES;DEPENDS" ${ARGN})
  set(tool ${CMAKE_CURRENT_BINARY_DIR}/${name})
  list(TRANSFORM arg_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
  list(TRANSFORM arg_INCLUDES PREPEND -I)
  add_custom_command(
    OUTPUT ${tool}
    COMMAND ${VORLEN_HOST_CXX} -std=c++20 -O2 -Wall -Wextra -Werror ${arg_INCLUDES} -o ${tool}
            ${arg_SOURCES}
    DEPENDS ${arg_SOURCES} ${arg_DEPENDS}
    COMMENT "Building host tool ${name}")
  string(TOUPPER ${name} upper)
  set(VORLEN_${upper} ${tool} CACHE INTERNAL "host tool")
endfunction()
