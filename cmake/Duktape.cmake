# Duktape 2.7 for the native engine, built into the program from Debian's own source package,
# patched with our numbered series (cmake/duktape/patches/NNNN-what.patch, applied in order to a
# copy in the build tree) and configured with Duktape's tools/configure.py (options in
# cmake/duktape/options.yaml).
#
# The source comes from scripts/fetch-duktape.sh (a cache under ~/.cache, filled once by
# `apt-get source duktape`), or from QUILLBOX_DUKTAPE_SOURCE. Duktape's tools are Python 2;
# cmake/duktape/python3-tools.py makes a Python 3 copy of them in the build tree.
set(QUILLBOX_DUKTAPE_SOURCE "" CACHE PATH "Duktape 2.7 source tree (empty: fetched by scripts/fetch-duktape.sh)")
if(NOT QUILLBOX_DUKTAPE_SOURCE)
  execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/fetch-duktape.sh
    OUTPUT_VARIABLE duktape_source OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE duktape_rc)
  if(NOT duktape_rc EQUAL 0 OR NOT EXISTS ${duktape_source}/tools/configure.py)
    message(FATAL_ERROR "Duktape's source could not be fetched (scripts/fetch-duktape.sh); "
      "run scripts/install-deps.sh, or set QUILLBOX_DUKTAPE_SOURCE")
  endif()
  set(QUILLBOX_DUKTAPE_SOURCE ${duktape_source} CACHE PATH "" FORCE)
endif()

# Debian's python3 has the yaml module the tools need.
find_program(QUILLBOX_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT QUILLBOX_PYTHON3)
  find_program(QUILLBOX_PYTHON3 python3 REQUIRED)
endif()

set(duk_dir ${PROJECT_BINARY_DIR}/duktape)
set(duk_helpers ${PROJECT_SOURCE_DIR}/cmake/duktape)
set(duk_src ${QUILLBOX_DUKTAPE_SOURCE})
add_custom_command(OUTPUT ${duk_dir}/tools/configure.py
  COMMAND ${QUILLBOX_PYTHON3} ${duk_helpers}/python3-tools.py ${duk_src} ${duk_dir} > ${duk_dir}-tools.log 2>&1
  DEPENDS ${duk_helpers}/python3-tools.py ${duk_src}/tools/configure.py
  COMMENT "Making a Python 3 copy of Duktape's configuration tools" VERBATIM)
# The patched copy of the sources; configure.py reads them from there.
file(GLOB duk_patches CONFIGURE_DEPENDS ${duk_helpers}/patches/[0-9][0-9][0-9][0-9]-*.patch)
file(GLOB duk_inputs ${duk_src}/src-input/*)
set(duk_patched ${duk_dir}/patched)
# The stamp is written after the last patch: the copied files keep the cache's times, so no
# source file can tell the configure step that the series changed.
add_custom_command(OUTPUT ${duk_patched}/patched.stamp
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${duk_src} -DPATCHES=${duk_helpers}/patches -DOUT=${duk_patched}
    -P ${duk_helpers}/patch-source.cmake
  DEPENDS ${duk_helpers}/patch-source.cmake ${duk_patches} ${duk_inputs}
  COMMENT "Applying our patch series to Duktape's source" VERBATIM)
set(duk_out ${duk_dir}/dist)
add_custom_command(OUTPUT ${duk_out}/duktape.c ${duk_out}/duktape.h ${duk_out}/duk_config.h
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${duk_out}
  COMMAND ${CMAKE_COMMAND} -E env DUK_TOOLS_DIR=${duk_dir}/tools PYTHONPATH=${duk_helpers}
    ${QUILLBOX_PYTHON3} ${duk_dir}/tools/configure.py
    --source-directory ${duk_patched}/src-input --config-metadata ${duk_src}/config
    --license-file ${duk_src}/LICENSE.txt --authors-file ${duk_src}/AUTHORS.rst
    --output-directory ${duk_out} --option-file ${duk_helpers}/options.yaml
    "--fixup-line=#if defined(__cplusplus)" "--fixup-line=extern \"C\" {" "--fixup-line=#endif"
    "--fixup-line=duk_bool_t quillbox_duktape_timeout_check(void *udata);"
    "--fixup-line=#if defined(__cplusplus)" "--fixup-line=}" "--fixup-line=#endif"
    > ${duk_dir}-configure.log 2>&1
  DEPENDS ${duk_dir}/tools/configure.py ${duk_helpers}/options.yaml ${duk_helpers}/sitecustomize.py
    ${duk_patched}/patched.stamp
  COMMENT "Configuring Duktape (tools/configure.py)" VERBATIM)

add_library(qb_duktape STATIC ${duk_out}/duktape.c)
target_include_directories(qb_duktape SYSTEM PUBLIC ${duk_out})
# Third-party code: its warnings are not ours to fix.
target_compile_options(qb_duktape PRIVATE -w)
target_link_libraries(qb_duktape PUBLIC m)
