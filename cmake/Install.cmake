# What `cmake --install` gives a host developer: the window system's shared
# library and its headers, the test-support library tovik::testing, the
# TovikMacPlugin module, and the files through which CMake (find_package) and
# pkg-config find them. The CMake package is relocatable: it finds the tree
# from where its own files lie. The pkg-config files name the prefix
# installed to, so their paths are plain ones.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TOVIK_MODULE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/TovikMacPlugin)
set(TOVIK_MODULE_INSTALL_FILE
    ${TOVIK_MODULE_INSTALL_DIR}/TovikMacPlugin${CMAKE_SHARED_MODULE_SUFFIX})
set(TOVIK_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/TovikMacPlugin)
set(TOVIK_PKGCONFIG_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The libraries, with their headers under include/platform/; imported as
# tovik::platform and tovik::testing.
set_target_properties(tovik_platform PROPERTIES EXPORT_NAME platform)
set_target_properties(tovik_testing PROPERTIES EXPORT_NAME testing)
install(TARGETS tovik_platform tovik_testing EXPORT TovikMacPluginTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  FILE_SET seam DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# tovik::testing finds the module from its own place, so a host's test needs
# no path to it.
file(RELATIVE_PATH libdir_to_module /${CMAKE_INSTALL_LIBDIR} /${TOVIK_MODULE_INSTALL_FILE})
target_compile_definitions(tovik_testing PRIVATE TOVIK_MODULE_FROM_LIBDIR="${libdir_to_module}")

# The module a host loads. A host has the library loaded already; the module
# also finds it beside itself, for a process that loads the module first.
file(RELATIVE_PATH module_to_libdir /${TOVIK_MODULE_INSTALL_DIR} /${CMAKE_INSTALL_LIBDIR})
set_target_properties(TovikMacPlugin PROPERTIES INSTALL_RPATH "$ORIGIN/${module_to_libdir}")
install(TARGETS TovikMacPlugin LIBRARY DESTINATION ${TOVIK_MODULE_INSTALL_DIR})

# find_package(TovikMacPlugin CONFIG): tovik::platform, tovik::testing and
# TovikMacPlugin_MODULE.
install(EXPORT TovikMacPluginTargets NAMESPACE tovik:: DESTINATION ${TOVIK_CMAKE_INSTALL_DIR})
configure_package_config_file(cmake/TovikMacPluginConfig.cmake.in
  ${PROJECT_BINARY_DIR}/TovikMacPluginConfig.cmake
  INSTALL_DESTINATION ${TOVIK_CMAKE_INSTALL_DIR}
  PATH_VARS TOVIK_MODULE_INSTALL_FILE)
# Before 1.0 a minor version may change the library's interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TovikMacPluginConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/TovikMacPluginConfig.cmake
  ${PROJECT_BINARY_DIR}/TovikMacPluginConfigVersion.cmake
  DESTINATION ${TOVIK_CMAKE_INSTALL_DIR})

# pkg-config: tovik-platform and tovik-testing. The prefix is the one the
# install goes to (`cmake --install --prefix` included), filled in when the
# install runs; the files are made in the build tree and installed from
# there.
set(prefix "@prefix@")  # kept for the install to fill in
foreach(package tovik-platform tovik-testing)
  configure_file(cmake/${package}.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/${package}.pc.in @ONLY)
  install(CODE "
    set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
    configure_file(\"${PROJECT_BINARY_DIR}/pkgconfig/${package}.pc.in\"
                   \"${PROJECT_BINARY_DIR}/pkgconfig/${package}.pc\" @ONLY)")
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${package}.pc
    DESTINATION ${TOVIK_PKGCONFIG_INSTALL_DIR})
endforeach()
