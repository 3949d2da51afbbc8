# Stages both bitnesses and writes the MSI, the zip, the symbols zip, the bill
# of materials and SHA256SUMS (cmake -P; the variables come from
# packaging/CMakeLists.txt). The programs ship stripped and, unless
# VORLEN_SIGN=off, signed (packaging/sign.sh), with LICENSE and the notices of
# what the toolchain linked into them; everything that lands in an archive is
# dated SOURCE_DATE_EPOCH, so that two checkouts of one commit give the same
# bytes.
include(${CMAKE_CURRENT_LIST_DIR}/reproducible.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/third_party.cmake)
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
# The documents and examples that both archives hold are the source files
# that the installer's source names (all but the programs and the notices,
# which the build makes), at the same paths.
file(STRINGS ${SOURCE}/packaging/VORLEN.wxs documents REGEX " Source=\"")
list(TRANSFORM documents REPLACE ".* Source=\"([^\"]+)\".*" "\\1")
list(FILTER documents EXCLUDE REGEX "^(x86/|x64/|THIRD-PARTY-NOTICES.txt$)")
function(copy_documents destination)
  foreach(document ${documents})
    cmake_path(GET document PARENT_PATH folder)
    file(COPY ${SOURCE}/${document} DESTINATION ${destination}/${folder})
  endforeach()
endfunction()
set(name VORLEN-${VERSION})
set(sbom ${name}.cdx.json)
set(archives ${name}.msi ${name}.zip ${name}-symbols.zip)
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${OUT})
list(TRANSFORM archives PREPEND ${OUT}/ OUTPUT_VARIABLE stale)
file(REMOVE ${stale} ${OUT}/${sbom} ${OUT}/SHA256SUMS ${OUT}/SHA256SUMS.p7s ${OUT}/signing-cert.pem)

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
set(hashes)
foreach(program ${signed})
  file(SHA256 ${program} hash)
  cmake_path(RELATIVE_PATH program BASE_DIRECTORY ${release})
  string(APPEND hashes "${program}\t${hash}\n")
endforeach()
file(WRITE ${STAGE}/programs.tsv "${hashes}")

# THIRD-PARTY-NOTICES.txt: the notices of the toolchain's parts that each
# program's link took in, from the copyright files of their Debian packages.
set(maps)
foreach(program path IN ZIP_LISTS programs built)
  list(APPEND maps x86/${program} ${WIN32_BIN}/${path}.map x64/${program} ${WIN64_BIN}/${path}.map)
endforeach()
cmake_path(GET WIN32_BIN PARENT_PATH tree32)
cmake_path(GET WIN64_BIN PARENT_PATH tree64)
vorlen_write_linked_files(${STAGE}/linked.tsv OWN ${SOURCE} ${tree32} ${tree64} MAPS ${maps})
set(notices ${STAGE}/THIRD-PARTY-NOTICES.txt)
execute_process(COMMAND ${THIRD_PARTY} ${VERSION} ${STAGE}/linked.tsv ${notices}
  ${STAGE}/components.tsv COMMAND_ERROR_IS_FATAL ANY)

# The MSI: wixl takes only relative Source paths, so it runs in its folder.
set(msi ${STAGE}/msi)
# The zip's folders hold the programs alone: no loose manifest, the DLL's and
# vorlen-convert.exe's are inside them.
foreach(arch x86 x64)
  file(COPY ${release}/${arch}/VORLEN.dll ${release}/${arch}/vorlen.exe DESTINATION ${msi}/${arch})
  file(COPY ${release}/${arch}/ DESTINATION ${STAGE}/zip/${arch})
endforeach()
file(COPY ${notices} DESTINATION ${msi})
copy_documents(${msi})
execute_process(COMMAND ${ROWS} wxs ${SOURCE}/packaging/VORLEN.wxs ${msi}/VORLEN.wxs
  COMMAND_ERROR_IS_FATAL ANY)
# The Add/Remove Programs links the build was given; without an address, no
# link at all rather than one that cannot work.
set(links "")
set(properties ARPURLINFOABOUT ARPHELPLINK)
set(addresses "${ABOUT_URL}" "${HELP_URL}")
foreach(property address IN ZIP_LISTS properties addresses)
  if(NOT address STREQUAL "")
    string(REPLACE "&" "&amp;" address "${address}")
    string(REPLACE "\"" "&quot;" address "${address}")
    string(APPEND links "    <Property Id=\"${property}\" Value=\"${address}\" />\n")
  endif()
endforeach()
file(READ ${msi}/VORLEN.wxs wxs)
string(REPLACE "    <!-- Add/Remove Programs links -->\n" "${links}" wxs "${wxs}")
file(WRITE ${msi}/VORLEN.wxs "${wxs}")
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
file(COPY ${notices} DESTINATION ${zip})
copy_documents(${zip})
foreach(folder zip symbols)
  vorlen_pin_files(${STAGE}/${folder} ${epoch})
endforeach()
vorlen_zip(${ZIP} ${OUT}/${name}.zip ${zip})
vorlen_zip(${ZIP} ${OUT}/${name}-symbols.zip ${STAGE}/symbols)

# The bill of materials (CycloneDX): each file of the MSI (by the name that
# its source gives it) and of the zip with its hash, the runtime components
# in each program, and the build's tools.
file(STRINGS ${msi}/VORLEN.wxs msi_files REGEX "<File ")
list(TRANSFORM msi_files REPLACE ".* Source=\"([^\"]+)\".*" "\\1")
vorlen_files_below(zip_files ${zip})
set(rows)
foreach(archive ${name}.msi ${name}.zip)
  file(SHA256 ${OUT}/${archive} hash)
  string(APPEND rows "${archive}\t\t${hash}\n")
  set(folder ${msi})
  set(members ${msi_files})
  if(archive MATCHES "zip$")
    set(folder ${zip})
    set(members ${zip_files})
  endif()
  foreach(member ${members})
    file(SHA256 ${folder}/${member} hash)
    string(APPEND rows "${archive}\t${member}\t${hash}\n")
  endforeach()
endforeach()
file(WRITE ${STAGE}/files.tsv "${rows}")
set(tools "C++ compiler for x86 (i686-w64-mingw32)" ${CXX32} "C++ compiler for x64 (x86_64-w64-mingw32)" ${CXX64}
  "linker and objcopy for x86" ${OBJCOPY32} "linker and objcopy for x64" ${OBJCOPY64}
  "type library compiler" ${WIDL} "installer builder" ${WIXL} "zip archiver" ${ZIP})
if(sign)
  list(APPEND tools "Authenticode signing" ${OSSLSIGNCODE})
endif()
vorlen_write_build_tools(${STAGE}/tools.tsv ${tools})
file(READ ${STAGE}/files.tsv contents)
vorlen_hash_guid(serial "VORLEN bill of materials ${contents}")
string(REGEX REPLACE "[{}]" "" serial "${serial}")
string(TOLOWER "${serial}" serial)
execute_process(COMMAND ${SBOM} ${VERSION} ${epoch} ${serial} "${COPYRIGHT}" ${STAGE}/components.tsv
  ${STAGE}/programs.tsv ${STAGE}/files.tsv ${STAGE}/tools.tsv ${OUT}/${sbom} COMMAND_ERROR_IS_FATAL ANY)

# SHA256SUMS, for `sha256sum -c` in this folder, and its signature.
set(sums)
foreach(file ${archives} ${sbom})
  file(SHA256 ${OUT}/${file} hash)
  string(APPEND sums "${hash}  ${file}\n")
endforeach()
file(WRITE ${OUT}/SHA256SUMS "${sums}")
string(JOIN ", " written ${archives} ${sbom} SHA256SUMS)
if(sign)
  execute_process(COMMAND bash ${SOURCE}/packaging/sign.sh ${KEYS} ${OUT}/signing-cert.pem ${epoch}
    --detached ${OUT}/SHA256SUMS COMMAND_ERROR_IS_FATAL ANY)
  message(STATUS "Wrote ${written} (.p7s) to ${OUT}, signed by signing-cert.pem")
else()
  message(STATUS "Wrote ${written} to ${OUT}, unsigned (VORLEN_SIGN=off)")
endif()
