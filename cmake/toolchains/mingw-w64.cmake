# Cross-compiling the Windows module with Debian's mingw-w64 for VEXA_MINGW_ARCH (i686 or x86_64; the
# windows-x86/x64 files set it), posix thread model (std::mutex and std::thread need it), linked
# statically so that the DLL imports only system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VEXA_MINGW_ARCH})
set(CMAKE_C_COMPILER ${VEXA_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEXA_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${VEXA_MINGW_ARCH}-w64-mingw32-windres)
set(VEXA_WIDL ${VEXA_MINGW_ARCH}-w64-mingw32-widl)
set(CMAKE_FIND_ROOT_PATH /usr/${VEXA_MINGW_ARCH}-w64-mingw32 ${CMAKE_CURRENT_LIST_DIR}/../../build/mingw-deps/${VEXA_MINGW_ARCH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Only static libraries go into the DLL.
set(ZLIB_USE_STATIC_LIBS ON)
