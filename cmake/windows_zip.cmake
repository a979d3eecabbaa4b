# The package a technician copies to a Windows laptop (`make windows`): the window and
# zklog-cli.exe, an empty database and LEIA-ME.txt.
set(ZKLOG_ZIP ${CMAKE_BINARY_DIR}/zklog-windows-x64.zip)
set(ZKLOG_ZIP_TEXT ${PROJECT_SOURCE_DIR}/docs/LEIA-ME-windows.txt)
add_custom_command(OUTPUT ${ZKLOG_ZIP}
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/windows-zip ${ZKLOG_ZIP_TEXT} ${ZKLOG_ZIP}
            $<TARGET_FILE:zklog-cli> $<TARGET_FILE:zklog> -- ${CMAKE_CROSSCOMPILING_EMULATOR}
    DEPENDS zklog-cli zklog ${ZKLOG_ZIP_TEXT} ${PROJECT_SOURCE_DIR}/scripts/windows-zip
    VERBATIM)
add_custom_target(windows_zip ALL DEPENDS ${ZKLOG_ZIP})
