# Stages both bitnesses and writes the MSI, the zip, the symbols zip and
# SHA256SUMS (cmake -P; the variables come from packaging/CMakeLists.txt).
# The programs ship stripped and, unless VORLEN_SIGN=off, signed
# (packaging/sign.sh); everything that lands in an archive is dated
# SOURCE_DATE_EPOCH, so that two checkouts of one commit give the same bytes.
include(${CMAKE_CURRENT_LIST_DIR}/reproducible.cmake)
# The programs as the archives name them, and where each tree builds them:
# the zip's vorlen-convert.exe is the build whose embedded manifest depends on
# the assembly VORLEN, which VORLEN.dll carries as its own resource.
set(programs VORLEN.dll vorlen.exe vorlen-convert.exe)
set(built VORLEN.dll vorlen.exe registration-free/vorlen-convert.exe)
foreach(file ${built})
  if(NOT EXISTS ${WIN32_BIN}/${file})
    message(FATAL_ERROR "${WIN32_BIN}/${file} is missing: build the win32 tree (make build-win32) or set VORLEN_WIN32_TREE")
  endif()
endforeach()
foreach(tool WIXL ZIP)
  if(NOT ${tool})
    message(FATAL_ERROR "${tool} is missing: install Debian's wixl and zip packages (make setup)")
  endif()
endforeach()
set(sign ON)
if("$ENV{VORLEN_SIGN}" STREQUAL "off")
  set(sign OFF)
endif()
vorlen_source_date_epoch(epoch ${SOURCE})
# objcopy stamps the PE header with this time too.
set(ENV{SOURCE_DATE_EPOCH} ${epoch})
# The examples are the ones the installer's source names.
file(STRINGS ${SOURCE}/packaging/VORLEN.wxs examples REGEX "Source=\"examples/")
string(REGEX MATCHALL "examples/[^\"]+" examples "${examples}")
list(TRANSFORM examples PREPEND ${SOURCE}/)
set(name VORLEN-${VERSION})
set(archives ${name}.msi ${name}.zip ${name}-symbols.zip)
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${OUT})
list(TRANSFORM archives PREPEND ${OUT}/ OUTPUT_VARIABLE stale)
file(REMOVE ${stale} ${OUT}/SHA256SUMS ${OUT}/signing-cert.pem)

# The programs without their debug information, which goes to
# symbols/<arch>/<program>.debug; each program names its file, so that gdb
# finds it beside the program.
set(release ${STAGE}/release)
set(signed)
foreach(arch x86 x64)
  set(bin ${WIN32_BIN})
  set(objcopy ${OBJCOPY32})
  if(arch STREQUAL x64)
    set(bin ${WIN64_BIN})
    set(objcopy ${OBJCOPY64})
  endif()
  file(MAKE_DIRECTORY ${release}/${arch} ${STAGE}/symbols/${arch})
  foreach(program path IN ZIP_LISTS programs built)
    set(debug ${STAGE}/symbols/${arch}/${program}.debug)
    execute_process(
      COMMAND ${objcopy} --only-keep-debug ${bin}/${path} ${debug}
      COMMAND_ERROR_IS_FATAL ANY)
    execute_process(
      COMMAND ${objcopy} --strip-all --add-gnu-debuglink=${program}.debug ${bin}/${path}
              ${release}/${arch}/${program}
      WORKING_DIRECTORY ${STAGE}/symbols/${arch} COMMAND_ERROR_IS_FATAL ANY)
    list(APPEND signed ${release}/${arch}/${program})
  endforeach()
endforeach()
if(sign)
  execute_process(COMMAND bash ${SOURCE}/packaging/sign.sh ${KEYS} ${OUT}/signing-cert.pem ${epoch}
    ${signed} COMMAND_ERROR_IS_FATAL ANY)
endif()

# The MSI: wixl takes only relative Source paths, so it runs in its folder.
set(msi ${STAGE}/msi)
# The zip's folders hold the programs alone: no loose manifest, the DLL's and
# vorlen-convert.exe's are inside them.
foreach(arch x86 x64)
  file(COPY ${release}/${arch}/VORLEN.dll ${release}/${arch}/vorlen.exe DESTINATION ${msi}/${arch})
  file(COPY ${release}/${arch}/ DESTINATION ${STAGE}/zip/${arch})
endforeach()
file(COPY ${SOURCE}/README.md ${SOURCE}/CHANGELOG.md DESTINATION ${msi})
file(COPY ${examples} DESTINATION ${msi}/examples)
execute_process(COMMAND ${ROWS} wxs ${SOURCE}/packaging/VORLEN.wxs ${msi}/VORLEN.wxs
  COMMAND_ERROR_IS_FATAL ANY)
vorlen_pin_files(${msi} ${epoch})
# One product code per version; the package code is the hash of the package
# with the code left zero (msistamp).
vorlen_hash_guid(product "VORLEN product ${VERSION}")
execute_process(COMMAND ${WIXL} -a x64 -D Version=${VERSION} -D ProductCode=${product}
  -o ${OUT}/${name}.msi VORLEN.wxs WORKING_DIRECTORY ${msi} COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${MSISTAMP} ${OUT}/${name}.msi ${epoch} COMMAND_ERROR_IS_FATAL ANY)
file(SHA256 ${OUT}/${name}.msi contents)
vorlen_hash_guid(package ${contents})
execute_process(COMMAND ${MSISTAMP} ${OUT}/${name}.msi ${epoch} ${package} COMMAND_ERROR_IS_FATAL ANY)
if(sign)
  execute_process(COMMAND bash ${SOURCE}/packaging/sign.sh ${KEYS} ${OUT}/signing-cert.pem ${epoch}
    ${OUT}/${name}.msi COMMAND_ERROR_IS_FATAL ANY)
endif()

# The zip: both bitnesses ready for registration-free use, and what C++
# clients compile against. The symbols zip has the same folders.
set(zip ${STAGE}/zip)
file(COPY ${GENERATED}/VorlenCOM.h ${GENERATED}/VorlenCOM_i.c DESTINATION ${zip}/include)
file(COPY ${SOURCE}/README.md ${SOURCE}/CHANGELOG.md DESTINATION ${zip})
file(COPY ${examples} DESTINATION ${zip}/examples)
foreach(folder zip symbols)
  vorlen_pin_files(${STAGE}/${folder} ${epoch})
endforeach()
vorlen_zip(${ZIP} ${OUT}/${name}.zip ${zip})
vorlen_zip(${ZIP} ${OUT}/${name}-symbols.zip ${STAGE}/symbols)

# SHA256SUMS, for `sha256sum -c` in this folder.
set(sums)
foreach(archive ${archives})
  file(SHA256 ${OUT}/${archive} hash)
  string(APPEND sums "${hash}  ${archive}\n")
endforeach()
file(WRITE ${OUT}/SHA256SUMS "${sums}")
string(JOIN ", " written ${archives} SHA256SUMS)
if(sign)
  message(STATUS "Wrote ${written} to ${OUT}, signed by signing-cert.pem")
else()
  message(STATUS "Wrote ${written} to ${OUT}, unsigned (VORLEN_SIGN=off)")
endif()
