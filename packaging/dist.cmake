# Stages both bitnesses and writes the MSI and the zip (cmake -P; the
# variables come from packaging/CMakeLists.txt).
foreach(file VORLEN.dll VORLEN.manifest vorlen.exe vorlen-convert.exe)
  if(NOT EXISTS ${WIN32_BIN}/${file})
    message(FATAL_ERROR "${WIN32_BIN}/${file} is missing: build the win32 tree first (make build-win32)")
  endif()
endforeach()
if(NOT WIXL)
  message(FATAL_ERROR "wixl is missing: install Debian's wixl package (make setup)")
endif()
# The examples are the ones the installer's source names.
file(STRINGS ${SOURCE}/packaging/VORLEN.wxs examples REGEX "Source=\"examples/")
string(REGEX MATCHALL "examples/[^\"]+" examples "${examples}")
list(TRANSFORM examples PREPEND ${SOURCE}/)

# The MSI: wixl takes only relative Source paths, so it runs in its folder.
set(msi ${STAGE}/msi)
file(REMOVE_RECURSE ${STAGE})
foreach(arch x86 x64)
  set(bin ${WIN32_BIN})
  if(arch STREQUAL x64)
    set(bin ${WIN64_BIN})
  endif()
  file(COPY ${bin}/VORLEN.dll ${bin}/vorlen.exe DESTINATION ${msi}/${arch})
  file(COPY ${bin}/VORLEN.dll ${bin}/VORLEN.manifest ${bin}/vorlen.exe ${bin}/vorlen-convert.exe
    DESTINATION ${STAGE}/zip/${arch})
  configure_file(${SOURCE}/packaging/vorlen-convert.exe.manifest
    ${STAGE}/zip/${arch}/vorlen-convert.exe.manifest @ONLY)
endforeach()
file(COPY ${SOURCE}/README.md ${SOURCE}/CHANGELOG.md DESTINATION ${msi})
file(COPY ${examples} DESTINATION ${msi}/examples)
execute_process(COMMAND ${ROWS} wxs ${SOURCE}/packaging/VORLEN.wxs ${msi}/VORLEN.wxs
  COMMAND_ERROR_IS_FATAL ANY)
file(MAKE_DIRECTORY ${OUT})
file(REMOVE ${OUT}/VORLEN-${VERSION}.msi ${OUT}/VORLEN-${VERSION}.zip)
execute_process(COMMAND ${WIXL} -a x64 -D Version=${VERSION} -o ${OUT}/VORLEN-${VERSION}.msi
  VORLEN.wxs WORKING_DIRECTORY ${msi} COMMAND_ERROR_IS_FATAL ANY)

# The zip: both bitnesses ready for registration-free use, and what C++
# clients compile against.
set(zip ${STAGE}/zip)
file(COPY ${GENERATED}/VorlenCOM.h ${GENERATED}/VorlenCOM_i.c DESTINATION ${zip}/include)
file(COPY ${SOURCE}/README.md ${SOURCE}/CHANGELOG.md DESTINATION ${zip})
file(COPY ${examples} DESTINATION ${zip}/examples)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT}/VORLEN-${VERSION}.zip --format=zip
  x86 x64 include examples README.md CHANGELOG.md WORKING_DIRECTORY ${zip} COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "Wrote ${OUT}/VORLEN-${VERSION}.msi and ${OUT}/VORLEN-${VERSION}.zip")
