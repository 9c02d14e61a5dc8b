# Every outside library comes from Debian's packages (see scripts/setup).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(CURL REQUIRED)
find_package(OpenSSL REQUIRED)
find_package(ZLIB REQUIRED)
find_package(nlohmann_json 3.10 REQUIRED)
find_package(SQLite3 REQUIRED)
find_package(SQLiteCpp REQUIRED)

pkg_check_modules(PLIST REQUIRED IMPORTED_TARGET libplist-2.0)
pkg_check_modules(PANGOCAIRO REQUIRED IMPORTED_TARGET pangocairo)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
pkg_check_modules(DUKTAPE REQUIRED IMPORTED_TARGET duktape)
pkg_check_modules(PROTOBUFC REQUIRED IMPORTED_TARGET libprotobuf-c)
find_package(JPEG REQUIRED)
find_library(GIF_LIBRARY gif REQUIRED)
find_path(HTTPLIB_INCLUDE_DIR httplib.h REQUIRED)
# Debian ships cpp-httplib compiled: the header declares, the library defines.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)

if(QUORVANE_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

pkg_check_modules(GUMBO REQUIRED IMPORTED_TARGET gumbo)

# The script engine is compiled from the source that Debian's duktape-dev ships beside its
# library, with one switch changed: the execution-time check. The shipped library has none,
# so a page whose script loops would hang the main thread for ever.
find_path(DUKTAPE_SOURCE_DIR duktape.c PATHS /usr/share/duktape NO_DEFAULT_PATH REQUIRED)
set(DUKTAPE_BUILD_DIR ${CMAKE_BINARY_DIR}/duktape)
file(READ ${DUKTAPE_SOURCE_DIR}/duk_config.h _duk_config)
foreach(_switch "#undef DUK_USE_EXEC_TIMEOUT_CHECK" "#undef DUK_USE_INTERRUPT_COUNTER")
  string(FIND "${_duk_config}" "${_switch}" _at)
  if(_at EQUAL -1)
    message(FATAL_ERROR "duktape's configuration has no line \"${_switch}\"")
  endif()
endforeach()
string(REPLACE "#undef DUK_USE_EXEC_TIMEOUT_CHECK"
  "#if defined(__cplusplus)\nextern \"C\"\n#endif\nint quorvane_script_interrupt(void* udata);\n#define DUK_USE_EXEC_TIMEOUT_CHECK(udata) quorvane_script_interrupt(udata)"
  _duk_config "${_duk_config}")
string(REPLACE "#undef DUK_USE_INTERRUPT_COUNTER" "#define DUK_USE_INTERRUPT_COUNTER" _duk_config "${_duk_config}")
# Built as C++ so that an error thrown through native functions unwinds their C++ frames
# (destructors run) instead of jumping over them.
string(REPLACE "#undef DUK_USE_CPP_EXCEPTIONS" "#define DUK_USE_CPP_EXCEPTIONS" _duk_config "${_duk_config}")
file(CONFIGURE OUTPUT ${DUKTAPE_BUILD_DIR}/duk_config.h CONTENT "${_duk_config}" @ONLY)
configure_file(${DUKTAPE_SOURCE_DIR}/duktape.h ${DUKTAPE_BUILD_DIR}/duktape.h COPYONLY)
configure_file(${DUKTAPE_SOURCE_DIR}/duktape.c ${DUKTAPE_BUILD_DIR}/duktape.cpp COPYONLY)
add_library(duktape_engine STATIC ${DUKTAPE_BUILD_DIR}/duktape.cpp)
target_include_directories(duktape_engine SYSTEM PUBLIC ${DUKTAPE_BUILD_DIR})
# Third-party C: optimised even in debug builds, without our warnings and sanitizers.
target_compile_options(duktape_engine PRIVATE -O2 -w -fno-sanitize=all)
target_link_libraries(duktape_engine PUBLIC m)

# Line editing and history for the simulator's prompt.
pkg_check_modules(LIBEDIT REQUIRED IMPORTED_TARGET libedit)
