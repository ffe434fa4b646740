# The seam's own headers, the same behind either backend: a header set of
# the backend's library, installed beside the backend's own headers.
function(tovik_seam_headers target)
  target_sources(${target} PUBLIC FILE_SET seam TYPE HEADERS BASE_DIRS ${PROJECT_SOURCE_DIR} FILES
    ${PROJECT_SOURCE_DIR}/platform/constants.h
    ${PROJECT_SOURCE_DIR}/platform/dispatch_time.h
    ${PROJECT_SOURCE_DIR}/platform/geometry.h
    ${PROJECT_SOURCE_DIR}/platform/method_body.h)
endfunction()
