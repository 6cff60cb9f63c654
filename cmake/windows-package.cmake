# What a Windows user gets: the DLL, its type library, a README and VBScript samples, laid out by
# `cmake --install` and zipped per architecture (target windows-package, part of the build).
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(VEXA_PACKAGE_ARCH x86)
else()
    set(VEXA_PACKAGE_ARCH x64)
endif()
set(VEXA_PACKAGE_NAME VexaComponent-${PROJECT_VERSION}-windows-${VEXA_PACKAGE_ARCH})
set(VEXA_PACKAGE_ZIP ${PROJECT_BINARY_DIR}/${VEXA_PACKAGE_NAME}.zip)
set(VEXA_PACKAGE_SOURCE ${PROJECT_SOURCE_DIR}/packaging/windows)
file(GLOB VEXA_PACKAGE_SAMPLES CONFIGURE_DEPENDS ${VEXA_PACKAGE_SOURCE}/samples/*.vbs)

install(TARGETS VexaComponent32 RUNTIME DESTINATION . LIBRARY DESTINATION .)
install(FILES ${VEXA_TYPELIB} ${VEXA_PACKAGE_SOURCE}/README.txt DESTINATION .)
install(FILES ${VEXA_PACKAGE_SAMPLES} DESTINATION samples)

# The zip is made from an installation into a staging folder, so both lay out the same files.
set(VEXA_PACKAGE_STAGE ${PROJECT_BINARY_DIR}/package-stage)
add_custom_command(OUTPUT ${VEXA_PACKAGE_ZIP}
                   COMMAND ${CMAKE_COMMAND} -E rm -rf ${VEXA_PACKAGE_STAGE}
                   COMMAND ${CMAKE_COMMAND} --install ${PROJECT_BINARY_DIR} --prefix ${VEXA_PACKAGE_STAGE}/${VEXA_PACKAGE_NAME}
                   COMMAND ${CMAKE_COMMAND} -E chdir ${VEXA_PACKAGE_STAGE}
                           ${CMAKE_COMMAND} -E tar cf ${VEXA_PACKAGE_ZIP} --format=zip ${VEXA_PACKAGE_NAME}
                   DEPENDS VexaComponent32 ${VEXA_TYPELIB} ${VEXA_PACKAGE_SOURCE}/README.txt ${VEXA_PACKAGE_SAMPLES}
                   COMMENT "Packing ${VEXA_PACKAGE_NAME}.zip")
add_custom_target(windows-package ALL DEPENDS ${VEXA_PACKAGE_ZIP})

# Trusts a certificate in the Root store of the Windows (or Wine prefix) it runs on: the demo and
# the checks trust the sandbox's certificate with it.
add_executable(vexa_trust_certificate ${PROJECT_SOURCE_DIR}/tools/windows/trust_certificate.cpp)
target_link_libraries(vexa_trust_certificate PRIVATE crypt32 vexa_warnings)
target_link_options(vexa_trust_certificate PRIVATE -static -municode)
