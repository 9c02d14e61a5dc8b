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
# The execution-time check runs between instructions only, so a built-in that walks a huge
# sparse array (join, indexOf, sort) or a backtracking regular expression would run for
# minutes within one instruction. Property access and the regular-expression matcher ask the
# same check every few thousand steps.
string(APPEND _duk_native_step
  "#define QUORVANE_NATIVE_STEP(thr) do { static thread_local unsigned quorvane_steps = 0; "
  "if (++quorvane_steps >= 4096u) { quorvane_steps = 0; "
  "if (quorvane_script_interrupt((thr)->heap->heap_udata)) { DUK_ERROR_RANGE((thr), \"execution timeout\"); } } } while (0)\n")
file(READ ${DUKTAPE_SOURCE_DIR}/duktape.c _duk_source)
foreach(_entry
    "DUK_INTERNAL duk_bool_t duk_hobject_getprop(duk_hthread *thr, duk_tval *tv_obj, duk_tval *tv_key) {"
    "DUK_INTERNAL duk_bool_t duk_hobject_hasprop(duk_hthread *thr, duk_tval *tv_obj, duk_tval *tv_key) {"
    "duk_hobject_putprop(duk_hthread *thr, duk_tval *tv_obj, duk_tval *tv_key, duk_tval *tv_val, duk_bool_t throw_flag) {"
    "DUK_INTERNAL duk_bool_t duk_hobject_delprop(duk_hthread *thr, duk_tval *tv_obj, duk_tval *tv_key, duk_bool_t throw_flag) {")
  string(FIND "${_duk_source}" "${_entry}" _at)
  if(_at EQUAL -1)
    message(FATAL_ERROR "duktape's source has no line \"${_entry}\"")
  endif()
  string(REPLACE "${_entry}" "${_entry}\n\tQUORVANE_NATIVE_STEP(thr);" _duk_source "${_duk_source}")
endforeach()
string(FIND "${_duk_source}" "\t\tre_ctx->steps_count++;" _at)
if(_at EQUAL -1)
  message(FATAL_ERROR "duktape's source has no regular-expression step count")
endif()
string(REPLACE "\t\tre_ctx->steps_count++;" "\t\tre_ctx->steps_count++;\n\t\tQUORVANE_NATIVE_STEP(re_ctx->thr);" _duk_source "${_duk_source}")
# Written beside and copied only when changed, so that configuring again compiles nothing.
file(WRITE ${DUKTAPE_BUILD_DIR}/duktape.cpp.in "${_duk_native_step}${_duk_source}")
configure_file(${DUKTAPE_BUILD_DIR}/duktape.cpp.in ${DUKTAPE_BUILD_DIR}/duktape.cpp COPYONLY)
add_library(duktape_engine STATIC ${DUKTAPE_BUILD_DIR}/duktape.cpp)
target_include_directories(duktape_engine SYSTEM PUBLIC ${DUKTAPE_BUILD_DIR})
# Third-party C: optimised even in debug builds, without our warnings and sanitizers.
target_compile_options(duktape_engine PRIVATE -O2 -w -fno-sanitize=all)
target_link_libraries(duktape_engine PUBLIC m)

# Line editing and history for the simulator's prompt.
pkg_check_modules(LIBEDIT REQUIRED IMPORTED_TARGET libedit)
