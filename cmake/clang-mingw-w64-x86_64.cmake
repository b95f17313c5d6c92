# Cross-compiles for 64-bit Windows with clang and lld, on the same MinGW-w64
# headers, import libraries and C++ standard library (GCC's libstdc++, posix
# thread model) as mingw-w64-x86_64.cmake, and links everything statically the
# same way. A second compiler for the same code: it finds what GCC lets pass.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER_TARGET ${triple})
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_AR ${triple}-ar CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${triple}-ranlib CACHE FILEPATH "Archive indexer")

# The MinGW-w64 runtime: C headers in include/, libraries and startup objects
# in lib/.
set(CMAKE_SYSROOT /usr/${triple})
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libstdc++ and libgcc live in the MinGW GCC's own folder, whose name carries
# its version and thread model (e.g. 12-posix), which clang does not look
# for. The GCC tells where it is.
execute_process(
  COMMAND ${triple}-g++-posix -print-libgcc-file-name
  OUTPUT_VARIABLE libgcc
  OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT EXISTS "${libgcc}")
  message(FATAL_ERROR "${triple}-g++-posix did not name its libgcc; is g++-mingw-w64-x86-64-posix installed?")
endif()
get_filename_component(gcc_dir "${libgcc}" DIRECTORY)
set(cxx_include "${gcc_dir}/include/c++")

string(JOIN " " CMAKE_CXX_FLAGS_INIT
  "-stdlib++-isystem ${cxx_include}"
  "-stdlib++-isystem ${cxx_include}/${triple}"
  "-stdlib++-isystem ${cxx_include}/backward")

# -pthread links winpthreads, which the posix libstdc++ builds on (the GCC
# driver adds it by itself).
set(link_flags "-fuse-ld=lld -L${gcc_dir} -pthread -static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${link_flags}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${link_flags}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${link_flags}")
