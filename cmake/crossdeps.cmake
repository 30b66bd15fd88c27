# What a Windows cross build takes from the Debian host: GoogleTest built from
# the sources the googletest package installs, and the header-only CLI11 and
# nlohmann-json through a folder that holds only them (the host's
# /usr/include itself must not reach the Windows compiler).
set(QUILLON_HOSTED_HEADERS ${CMAKE_BINARY_DIR}/hosted-headers)
file(MAKE_DIRECTORY ${QUILLON_HOSTED_HEADERS})
foreach(dir CLI nlohmann)
  if(NOT EXISTS ${QUILLON_HOSTED_HEADERS}/${dir})
    file(CREATE_LINK /usr/include/${dir} ${QUILLON_HOSTED_HEADERS}/${dir} SYMBOLIC)
  endif()
endforeach()
add_library(quillon_hosted_headers INTERFACE)
target_include_directories(quillon_hosted_headers SYSTEM INTERFACE ${QUILLON_HOSTED_HEADERS})
add_library(CLI11::CLI11 ALIAS quillon_hosted_headers)
add_library(nlohmann_json::nlohmann_json ALIAS quillon_hosted_headers)
set(CLI11_FOUND TRUE)
set(nlohmann_json_FOUND TRUE)

set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# (The googletest sources define GTest::gtest_main and GTest::gmock themselves.)
set(GTest_FOUND TRUE)

# SQLite (the saved index): Debian's own sources of it, which scripts/setup
# turns into the amalgamation in third_party/sqlite/, compiled here by the
# MinGW toolchain and linked in statically.
set(QUILLON_SQLITE_DIR ${PROJECT_SOURCE_DIR}/third_party/sqlite)
if(NOT EXISTS ${QUILLON_SQLITE_DIR}/sqlite3.c)
  message(FATAL_ERROR "SQLite's sources are missing from ${QUILLON_SQLITE_DIR}: "
                      "run scripts/setup (it fetches them once) and configure again")
endif()
enable_language(C)
add_library(quillon_sqlite STATIC ${QUILLON_SQLITE_DIR}/sqlite3.c)
target_include_directories(quillon_sqlite SYSTEM PUBLIC ${QUILLON_SQLITE_DIR})
target_compile_definitions(quillon_sqlite PRIVATE SQLITE_THREADSAFE=1 SQLITE_DQS=0
                                                  SQLITE_OMIT_LOAD_EXTENSION)
add_library(SQLite::SQLite3 ALIAS quillon_sqlite)
set(SQLite3_FOUND TRUE)
