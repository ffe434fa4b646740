# TovikMacPlugin.bundle, the product a Cocoa host loads: [NSBundle
# bundleWithPath:], -load, then -principalClass, which the Info.plist names
# (TovikMacWindowPlugin). The platform code is linked into the bundle's one
# executable, with hidden visibility: nothing to find by rpath, and no symbol
# a host could clash with. `cmake --install` puts it under PlugIns/ of the
# prefix, the folder of an application's bundle (YourApp.app/Contents/PlugIns)
# where a host keeps the plug-ins it loads.
#
# A Mac lays the bundle out as Contents/Info.plist and
# Contents/MacOS/TovikMacPlugin. GNUstep's NSBundle does not load that layout
# (its -load answers NO); it loads its own flattened one: the executable at
# the bundle's root and Resources/Info-gnustep.plist.
if(NOT CMAKE_OSX_DEPLOYMENT_TARGET)
  message(FATAL_ERROR "CMAKE_OSX_DEPLOYMENT_TARGET names the oldest macOS the bundle runs on; "
                      "the appkit and macos presets set it")
endif()
function(tovik_bundle target)
  set(TOVIK_BUNDLE_EXECUTABLE ${target})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/Info.plist.in ${CMAKE_CURRENT_BINARY_DIR}/Info.plist
                 @ONLY)
  if(APPLE)
    set_target_properties(${target} PROPERTIES
      BUNDLE TRUE
      BUNDLE_EXTENSION bundle
      MACOSX_BUNDLE_INFO_PLIST ${CMAKE_CURRENT_BINARY_DIR}/Info.plist)
    install(TARGETS ${target} LIBRARY DESTINATION PlugIns)
  else()
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}.bundle)
    set_target_properties(${target} PROPERTIES SUFFIX "" LIBRARY_OUTPUT_DIRECTORY ${dir})
    configure_file(${CMAKE_CURRENT_BINARY_DIR}/Info.plist ${dir}/Resources/Info-gnustep.plist
                   COPYONLY)
    install(TARGETS ${target} LIBRARY DESTINATION PlugIns/${target}.bundle)
    install(FILES ${dir}/Resources/Info-gnustep.plist
            DESTINATION PlugIns/${target}.bundle/Resources)
  endif()
endfunction()
