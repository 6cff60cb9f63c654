# VexaComponent32.dll: the module's objects, the four entry points a .def file exports, the type
# library compiled from the contract's IDL, embedded as resource 1 (language 1033), and the version
# resource.

# widl imports stdole2.tlb from Wine's own libraries (either architecture's copy serves).
find_path(VEXA_STDOLE_DIR stdole2.tlb
          PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/i386-linux-gnu/wine/i386-windows
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
# The type library keeps its help strings as bytes, which the system reads in the ANSI code page:
# the IDL (UTF-8) is compiled from its CP949 form, so Korean systems show the Korean text.
set(VEXA_TYPELIB ${PROJECT_BINARY_DIR}/VexaComponent.tlb)
set(VEXA_IDL_LOCAL ${PROJECT_BINARY_DIR}/VexaComponent-cp949.idl)
add_custom_command(OUTPUT ${VEXA_TYPELIB}
                   COMMAND iconv -f UTF-8 -t CP949 -o ${VEXA_IDL_LOCAL} ${PROJECT_SOURCE_DIR}/idl/VexaComponent.idl
                   COMMAND ${VEXA_WIDL} -t -I /usr/include/wine/wine/windows -L ${VEXA_STDOLE_DIR}
                           -o ${VEXA_TYPELIB} ${VEXA_IDL_LOCAL}
                   DEPENDS ${PROJECT_SOURCE_DIR}/idl/VexaComponent.idl
                   COMMENT "Compiling the type library")
set(VEXA_MODULE_RC ${PROJECT_BINARY_DIR}/VexaComponent32.rc)
file(WRITE ${VEXA_MODULE_RC} "LANGUAGE 9, 1\n1 TYPELIB \"${VEXA_TYPELIB}\"\n")
set_source_files_properties(${VEXA_MODULE_RC} PROPERTIES OBJECT_DEPENDS ${VEXA_TYPELIB})

enable_language(RC)
set(VEXA_VERSION_RC ${PROJECT_SOURCE_DIR}/src/environment/component_version.rc)
set_source_files_properties(${VEXA_VERSION_RC} PROPERTIES
                            OBJECT_DEPENDS ${PROJECT_BINARY_DIR}/generated/environment/component_version.h)
add_library(VexaComponent32 SHARED ${VEXA_MODULE_OBJECTS} ${VEXA_MODULE_RC} ${VEXA_VERSION_RC}
                                   ${PROJECT_SOURCE_DIR}/src/module/VexaComponent32.def)
target_include_directories(VexaComponent32 PRIVATE ${PROJECT_BINARY_DIR}/generated)
target_link_libraries(VexaComponent32 PRIVATE Threads::Threads ${VEXA_AUTOMATION_LIBS} ${VEXA_PLATFORM_LIBS}
                                              ${VEXA_REGISTRY_LIBS} ${VEXA_IMAGING_LIBS} ${VEXA_REST_LIBS}
                                              ${VEXA_ENVIRONMENT_LIBS})
set_target_properties(VexaComponent32 PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
# -static: the DLL must not need the compiler's runtime DLLs, which hosts do not have.
target_link_options(VexaComponent32 PRIVATE -static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    # The .def names the __stdcall entry points undecorated.
    target_link_options(VexaComponent32 PRIVATE -Wl,--enable-stdcall-fixup)
endif()

# The photograph bench's Windows side, which bench/run runs under Wine; not a test.
add_executable(vexa_picture_bench_windows ${PROJECT_SOURCE_DIR}/bench/picture_bench_windows.cpp
                                          ${PROJECT_SOURCE_DIR}/bench/peak_memory_windows.cpp)
target_link_libraries(vexa_picture_bench_windows PRIVATE vexa_imaging psapi vexa_warnings)
target_link_options(vexa_picture_bench_windows PRIVATE -static)

include(${PROJECT_SOURCE_DIR}/cmake/windows-package.cmake)

if(VEXA_BUILD_TESTS)
    enable_testing()
    add_subdirectory(tests/windows)
endif()
