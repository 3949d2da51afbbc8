# Helpers of dist.cmake that make its output depend on the sources alone: one
# time for everything, files in a fixed order, identifiers from hashes.

# The time that every archive entry and stamp carries: SOURCE_DATE_EPOCH when
# set, else the last commit's time.
function(vorlen_source_date_epoch out source)
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
  if(epoch STREQUAL "")
    execute_process(COMMAND git -C ${source} log -1 --format=%ct
      OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
    if(failed OR epoch STREQUAL "")
      message(FATAL_ERROR "${source} is no git checkout: set SOURCE_DATE_EPOCH (seconds since 1970)")
    endif()
  endif()
  if(NOT epoch MATCHES "^[0-9]+$" OR epoch LESS 315532800)
    message(FATAL_ERROR "SOURCE_DATE_EPOCH=${epoch}: seconds since 1970, not before 1980 (zip)")
  endif()
  set(${out} ${epoch} PARENT_SCOPE)
endfunction()

# Every file below `dir`, relative to it, in byte order of the names.
function(vorlen_files_below out dir)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${dir} ${dir}/*)
  list(SORT files)
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# Mode 0644 and dated `epoch`: the umask and the copy times of this
# checkout stay out of the archives.
function(vorlen_pin_files dir epoch)
  vorlen_files_below(files ${dir})
  list(TRANSFORM files PREPEND ${dir}/)
  file(CHMOD ${files} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  execute_process(COMMAND touch -h -d @${epoch} ${files} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

# A zip of everything below `dir`: sorted, no folder entries, no owner and no
# extra times, the DOS times in UTC.
function(vorlen_zip zip_program archive dir)
  vorlen_files_below(files ${dir})
  file(REMOVE ${archive})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${zip_program} -X -D -q ${archive} ${files}
    WORKING_DIRECTORY ${dir} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

# A braced GUID from the SHA-256 of `text`: version 8 (custom), variant 1.
function(vorlen_hash_guid out text)
  string(SHA256 hash "${text}")
  string(TOUPPER "${hash}" h)
  string(SUBSTRING "${h}" 0 8 a)
  string(SUBSTRING "${h}" 8 4 b)
  string(SUBSTRING "${h}" 13 3 c)
  string(SUBSTRING "${h}" 17 3 d)
  string(SUBSTRING "${h}" 20 12 e)
  set(${out} "{${a}-${b}-8${c}-A${d}-${e}}" PARENT_SCOPE)
endfunction()
