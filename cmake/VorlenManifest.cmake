# Application manifests, embedded in the programs as RT_MANIFEST (24) #1
# (CREATEPROCESS_MANIFEST_RESOURCE_ID), the process's own context. Windows
# prefers an embedded manifest to a side-by-side program.exe.manifest, so a
# program that embeds one takes every dependency from it.
#
# Each manifest declares requestedExecutionLevel asInvoker: the program runs
# with its caller's token and, being marked as written for UAC, without file
# and registry virtualization (a 32-bit program without it that writes under
# Program Files writes into the user's VirtualStore instead). The supportedOS
# entries name Windows Vista to Windows 10 and 11, so that the system gives
# the program its current behaviour rather than that of Vista.

# vorlen_embed_manifest(TARGET NAME name [DEPENDS_ON_VORLEN]) embeds the
# manifest of the program NAME in TARGET; DEPENDS_ON_VORLEN adds the
# dependency on the private assembly VORLEN, which the VORLEN.dll beside the
# program (or in its subfolder VORLEN\) describes in its own RT_MANIFEST #1.
function(vorlen_embed_manifest target)
  cmake_parse_arguments(arg "DEPENDS_ON_VORLEN" "NAME" "" ${ARGN})
  set(manifest_name ${arg_NAME})
  set(manifest_dependency "")
  if(arg_DEPENDS_ON_VORLEN)
    string(CONCAT manifest_dependency
      "  <dependency>\n"
      "    <dependentAssembly>\n"
      "      <assemblyIdentity type=\"win32\" name=\"VORLEN\" version=\"${VORLEN_ASSEMBLY_VERSION}\" />\n"
      "    </dependentAssembly>\n"
      "  </dependency>\n")
  endif()
  set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/application.manifest.in ${manifest} @ONLY)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest.rc)
  file(CONFIGURE OUTPUT ${rc} CONTENT "1 24 \"${manifest}\"\n")
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${manifest})
endfunction()
