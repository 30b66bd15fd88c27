# The window tests: Qt Test programs, run by CTest on the offscreen platform.
find_package(Qt6 REQUIRED COMPONENTS Test Widgets)

function(quillon_gui_test name)
  add_executable(${name} gui/${name}.cpp)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${ARGN} Qt6::Test Qt6::Widgets quillon_warnings)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()

quillon_gui_test(results_test quillon_results)
quillon_gui_test(layout_test quillon_form1)
quillon_gui_test(form1_test quillon_form1 quillon_testfile)
