# The settings file and the recent-queries list in their file form: portable,
# so they run in every build.
merrowgate_test(settings_tests settings_file_test.cpp)
