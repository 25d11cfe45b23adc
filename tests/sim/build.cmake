# The end-to-end tests of the simulated camera run the orbisk-sim program.
add_dependencies(orbisk_tests orbisk-sim)
