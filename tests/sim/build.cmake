# The end-to-end tests of the simulated camera run orbisk-sim and orbisk-image.
add_dependencies(orbisk_tests orbisk-sim orbisk-image)
