# The main window, the program and its installation (included from
# app/CMakeLists.txt when QUILLON_GUI is on).
find_package(Qt6 REQUIRED COMPONENTS Widgets)
include(GNUInstallDirs)

# The layout file's reading and writing: plain C++, no Qt.
add_library(quillon_layout STATIC layout.cpp)
target_include_directories(quillon_layout PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(quillon_layout PUBLIC quillon_text PRIVATE quillon_warnings)

# TForm1, shared by the program and the window tests.
add_library(quillon_form1 STATIC unit1.cpp)
set_target_properties(quillon_form1 PROPERTIES AUTOMOC ON)
target_include_directories(quillon_form1 PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(quillon_form1 PUBLIC Qt6::Widgets quillon_results quillon_search
                      quillon_layout PRIVATE quillon_warnings)

add_executable(quillon main.cpp)
target_link_libraries(quillon PRIVATE quillon_form1 quillon_warnings)

install(TARGETS quillon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/quillon.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/quillon.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/quillon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The command-line tool is defined in a folder added after this one; install
# it too once the whole project is known, if it is built.
function(quillon_install_cli)
  if(TARGET quillon-cli)
    install(TARGETS quillon-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL quillon_install_cli)
