# Fails when REFERENCE (docs/plan-reference.md) differs from what ADMIN
# columns prints; with -DWRITE=ON writes it anew instead.
execute_process(COMMAND ${ADMIN} columns OUTPUT_VARIABLE printed RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "quarngame-admin columns failed (${status})")
endif()
if(WRITE)
  file(WRITE ${REFERENCE} "${printed}")
  return()
endif()
file(READ ${REFERENCE} committed)
if(NOT printed STREQUAL committed)
  message(FATAL_ERROR "${REFERENCE} differs from what quarngame-admin columns prints: "
                      "write it anew with the target plan_reference "
                      "(cmake --build BUILD --target plan_reference) and commit it")
endif()
