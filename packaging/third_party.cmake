# Helpers of dist.cmake for the third-party notices and the bill of materials:
# which of the toolchain's files went into each program, and which Debian
# package provided each of them and each build tool.

# The Debian package of each of the files (real paths) as
# "<package>\t<version>\t<architecture>", in their order.
function(vorlen_debian_packages out)
  execute_process(COMMAND dpkg-query --search ${ARGN} OUTPUT_VARIABLE owners ERROR_QUIET
    RESULT_VARIABLE not_all_found)
  string(REPLACE "\n" ";" owners "${owners}")
  set(rows)
  foreach(file ${ARGN})
    set(package "")
    foreach(line ${owners})
      if(line MATCHES "^([^ :,]+)(:[^ :,]+)?: (.+)$" AND CMAKE_MATCH_3 STREQUAL file)
        set(package ${CMAKE_MATCH_1})
      endif()
    endforeach()
    if(package STREQUAL "")
      message(FATAL_ERROR "${file} belongs to no Debian package, so neither its version nor its "
        "notices are known: build with Debian's MinGW-w64 packages (make setup)")
    endif()
    if(NOT DEFINED version_of_${package})
      execute_process(COMMAND dpkg-query --show "--showformat=\${Version}\t\${Architecture}" ${package}
        OUTPUT_VARIABLE version_of_${package} COMMAND_ERROR_IS_FATAL ANY)
    endif()
    list(APPEND rows "${package}\t${version_of_${package}}")
  endforeach()
  set(${out} "${rows}" PARENT_SCOPE)
endfunction()

# Writes `tsv`: a row "<program>\t<file>\t<package>\t<version>\t<architecture>"
# for each file of the toolchain that went into a program: an archive that
# gave it a member, an object that it loaded, as the program's link map
# (bin/<file>.map) says. MAPS pairs each program's name in the archives with
# its map; files below the OWN folders are the project's own.
function(vorlen_write_linked_files tsv)
  cmake_parse_arguments(arg "" "" "OWN;MAPS" ${ARGN})
  set(rows)
  while(arg_MAPS)
    list(POP_FRONT arg_MAPS program map)
    if(NOT EXISTS ${map})
      message(FATAL_ERROR "${map} is missing: rebuild its tree, whose link writes it")
    endif()
    file(STRINGS ${map} lines REGEX "^/[^(]+\\.a\\(|^LOAD /.+\\.o$")
    set(files)
    foreach(line ${lines})
      string(REGEX REPLACE "^LOAD |\\(.*$" "" file "${line}")
      file(REAL_PATH ${file} file)
      set(own OFF)
      foreach(folder ${arg_OWN})
        cmake_path(IS_PREFIX folder ${file} NORMALIZE inside)
        if(inside)
          set(own ON)
        endif()
      endforeach()
      if(NOT own)
        list(APPEND files ${file})
      endif()
    endforeach()
    list(REMOVE_DUPLICATES files)
    if(NOT files)
      message(FATAL_ERROR "${map} names no file of the toolchain: not a link map of a static program?")
    endif()
    vorlen_debian_packages(packages ${files})
    foreach(file package IN ZIP_LISTS files packages)
      string(APPEND rows "${program}\t${file}\t${package}\n")
    endforeach()
  endwhile()
  file(WRITE ${tsv} "${rows}")
endfunction()

# Writes `tsv`: a row "<what it did>\t<package>\t<version>\t<architecture>"
# for each build tool; TOOLS pairs what a tool did with its program.
function(vorlen_write_build_tools tsv)
  set(rows)
  set(tools ${ARGN})
  while(tools)
    list(POP_FRONT tools role program)
    file(REAL_PATH ${program} file)
    vorlen_debian_packages(package ${file})
    string(APPEND rows "${role}\t${package}\n")
  endwhile()
  file(WRITE ${tsv} "${rows}")
endfunction()
