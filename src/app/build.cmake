target_compile_definitions(orbisk_core PUBLIC ORBISK_VERSION="${PROJECT_VERSION}")
