# The resources of each Windows program: its application manifest, embedded
# as RT_MANIFEST (24) #1 (CREATEPROCESS_MANIFEST_RESOURCE_ID), the process's
# own context, and its version resource. Windows prefers an embedded manifest
# to a side-by-side program.exe.manifest, so a program that embeds one takes
# every dependency from it.
#
# Each manifest declares requestedExecutionLevel asInvoker: the program runs
# with its caller's token and, being marked as written for UAC, without file
# and registry virtualization (a 32-bit program without it that writes under
# Program Files writes into the user's VirtualStore instead). The supportedOS
# entries name Windows Vista to Windows 10 and 11, so that the system gives
# the program its current behaviour rather than that of Vista.

# vorlen_program_resources(TARGET DESCRIPTION text [DEPENDS_ON_VORLEN]) gives
# TARGET one resource script (cmake/program.rc.in): the manifest of the
# program its OUTPUT_NAME names and a version resource with the project's
# version, copyright line and `text`. DEPENDS_ON_VORLEN adds the manifest's
# dependency on the private assembly VORLEN, which the VORLEN.dll beside the
# program (or in its subfolder VORLEN\) describes in its own RT_MANIFEST #1.
function(vorlen_program_resources target)
  cmake_parse_arguments(arg "DEPENDS_ON_VORLEN" "DESCRIPTION" "" ${ARGN})
  get_target_property(internal ${target} OUTPUT_NAME)
  set(file ${internal}.exe)
  set(description ${arg_DESCRIPTION})
  set(manifest_name ${internal})
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
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${manifest})
  target_link_libraries(${target} PRIVATE vorlen_version)
endfunction()
