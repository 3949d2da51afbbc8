# The posix thread model gives the C++ standard library its threads and
# mutexes; winpthreads is linked statically like the rest.
set(CMAKE_C_COMPILER ${VORLEN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORLEN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VORLEN_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VORLEN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Everything links statically so that the programs and the DLL import only system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
