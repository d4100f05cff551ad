# The application looks for its setup file beside its executable, so every program that starts
# the application core gets the default one at build time.
set(OSTRA_DEFAULT_SETUP_FILE "${CMAKE_CURRENT_LIST_DIR}/../data/OstraSetup.cfg")
cmake_path(NORMAL_PATH OSTRA_DEFAULT_SETUP_FILE)

# ostra_copy_setup_file(target) copies data/OstraSetup.cfg next to the target's executable
# whenever the target is built and the file has changed.
function(ostra_copy_setup_file target)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OSTRA_DEFAULT_SETUP_FILE}"
                "$<TARGET_FILE_DIR:${target}>/OstraSetup.cfg"
        COMMENT "Copying the default OstraSetup.cfg beside ${target}"
        VERBATIM)
endfunction()
