# What `cmake --install` gives a host developer: the window system's shared
# library and its headers, the TovikMacPlugin module, and the files through
# which CMake (find_package) and pkg-config find them. The installed tree is
# relocatable: both find it from where their own files lie.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TOVIK_MODULE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/TovikMacPlugin)
set(TOVIK_MODULE_INSTALL_FILE
    ${TOVIK_MODULE_INSTALL_DIR}/TovikMacPlugin${CMAKE_SHARED_MODULE_SUFFIX})
set(TOVIK_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/TovikMacPlugin)
set(TOVIK_PKGCONFIG_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The library, with its headers under include/platform/; imported as
# tovik::platform.
set_target_properties(tovik_platform PROPERTIES EXPORT_NAME platform)
install(TARGETS tovik_platform EXPORT TovikMacPluginTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  FILE_SET seam DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# The module a host loads. A host has the library loaded already; the module
# also finds it beside itself, for a process that loads the module first.
file(RELATIVE_PATH module_to_libdir /${TOVIK_MODULE_INSTALL_DIR} /${CMAKE_INSTALL_LIBDIR})
set_target_properties(TovikMacPlugin PROPERTIES INSTALL_RPATH "$ORIGIN/${module_to_libdir}")
install(TARGETS TovikMacPlugin LIBRARY DESTINATION ${TOVIK_MODULE_INSTALL_DIR})

# find_package(TovikMacPlugin CONFIG): tovik::platform and TovikMacPlugin_MODULE.
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

# pkg-config: tovik-platform, its prefix found from the .pc file's own place.
file(RELATIVE_PATH pkgconfig_to_prefix /${TOVIK_PKGCONFIG_INSTALL_DIR} /)
string(REGEX REPLACE "/$" "" pkgconfig_to_prefix "${pkgconfig_to_prefix}")
configure_file(cmake/tovik-platform.pc.in ${PROJECT_BINARY_DIR}/tovik-platform.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tovik-platform.pc DESTINATION ${TOVIK_PKGCONFIG_INSTALL_DIR})
