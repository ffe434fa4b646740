# The seam's own part, the same behind either backend: its headers, a header
# set of the backend's library installed beside the backend's own, and the
# code they share.
function(tovik_seam target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/platform/property_list_text.cpp)
  target_sources(${target} PUBLIC FILE_SET seam TYPE HEADERS BASE_DIRS ${PROJECT_SOURCE_DIR} FILES
    ${PROJECT_SOURCE_DIR}/platform/constants.h
    ${PROJECT_SOURCE_DIR}/platform/dispatch_time.h
    ${PROJECT_SOURCE_DIR}/platform/geometry.h
    ${PROJECT_SOURCE_DIR}/platform/method_body.h
    ${PROJECT_SOURCE_DIR}/platform/property_list_text.h)
endfunction()
