# The package a technician copies to a Windows laptop (`make windows`): the window, zklog-cli.exe
# and the viewer, an empty database, LEIA-ME.txt and the licences.
set(ZKLOG_ZIP ${CMAKE_BINARY_DIR}/zklog-windows-x64.zip)
set(ZKLOG_ZIP_TEXT ${PROJECT_SOURCE_DIR}/docs/LEIA-ME-windows.txt)
add_custom_command(OUTPUT ${ZKLOG_ZIP}
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/windows-zip ${ZKLOG_ZIP_TEXT} ${ZKLOG_ZIP}
            $<TARGET_FILE:zklog-cli> $<TARGET_FILE:zklog> $<TARGET_FILE:zklog-view> -- ${CMAKE_CROSSCOMPILING_EMULATOR}
    DEPENDS zklog-cli zklog zklog-view ${ZKLOG_ZIP_TEXT} ${PROJECT_SOURCE_DIR}/scripts/windows-zip
            ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES.md
    VERBATIM)
add_custom_target(windows_zip ALL DEPENDS ${ZKLOG_ZIP})
