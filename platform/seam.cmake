# The seam's own part, the same behind either backend: its headers, a header
# set of the backend's library installed beside the backend's own, the code
# they share, and the check of the backend against the seam's contract
# (platform/contract/), which stops the build of a backend that lacks what the
# plug-in calls.
function(tovik_seam target)
  target_sources(${target} PRIVATE
    ${PROJECT_SOURCE_DIR}/platform/property_list_text.cpp
    ${PROJECT_SOURCE_DIR}/platform/contract/check.cpp)
  target_sources(${target} PUBLIC FILE_SET seam TYPE HEADERS BASE_DIRS ${PROJECT_SOURCE_DIR} FILES
    ${PROJECT_SOURCE_DIR}/platform/constants.h
    ${PROJECT_SOURCE_DIR}/platform/dispatch_time.h
    ${PROJECT_SOURCE_DIR}/platform/geometry.h
    ${PROJECT_SOURCE_DIR}/platform/method_body.h
    ${PROJECT_SOURCE_DIR}/platform/property_list_text.h)
endfunction()
