# The files embedded into every program (through the object library qb_assets).
# Each subsystem appends its own with quillbox_embed(qb_assets NAME FILE ...).
target_sources(qb_assets PRIVATE ${PROJECT_SOURCE_DIR}/assets/anchor.cpp)
# E code generation: the stored E project image that the clipboard writer walks.
quillbox_embed(qb_assets ecode/template.hex ${PROJECT_SOURCE_DIR}/assets/ecode/template.hex)
# The desktop program's editor page and the Ace files it deploys (its own object library:
# one embedding call per target).
if(QUILLBOX_BUILD_APP)
  set(ace ${QUILLBOX_NODE_MODULES}/ace-builds/src-min-noconflict)
  add_library(qb_app_assets OBJECT)
  target_include_directories(qb_app_assets PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(qb_app_assets PUBLIC qb_platform PRIVATE quillbox_warnings)
  quillbox_embed(qb_app_assets
    editor/QUILLBOX_666BYZORVAN.html ${PROJECT_SOURCE_DIR}/assets/editor/QUILLBOX_666BYZORVAN.html
    editor/ace.js ${ace}/ace.js
    editor/ext-language_tools.js ${ace}/ext-language_tools.js
    editor/mode-javascript.js ${ace}/mode-javascript.js
    editor/theme-monokai.js ${ace}/theme-monokai.js
    editor/snippets/javascript.js ${ace}/snippets/javascript.js
    editor/snippets/text.js ${ace}/snippets/text.js)
endif()
# The engines' script libraries: the JSON support script (JSON 3 wrapped to create the
# global QUILLBOX) and the transform library (JSMin and js-beautify wrapped to define
# jsmin, ysjs and js_beautify), joined from the npm files at build time.
set(qb_js_dir ${CMAKE_CURRENT_BINARY_DIR}/js)
set(qb_js_src ${PROJECT_SOURCE_DIR}/assets/js)
# JSON 3 unminified: its minified build folded the test for string indexing ("a"[0]) to
# "supported", which JScript 5.7 (and the native engine) does not have.
set(qb_json_inputs ${qb_js_src}/json-support.head.js ${QUILLBOX_NODE_MODULES}/json3/lib/json3.js
  ${qb_js_src}/json-support.tail.js)
set(qb_transform_inputs ${qb_js_src}/transform.head.js ${QUILLBOX_NODE_MODULES}/jsmin/jsmin.js
  ${qb_js_src}/transform.middle.js ${QUILLBOX_NODE_MODULES}/js-beautify/js/lib/beautify.js
  ${qb_js_src}/transform.tail.js)
add_custom_command(OUTPUT ${qb_js_dir}/json-support.js
  COMMAND ${CMAKE_COMMAND} -E make_directory ${qb_js_dir}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${qb_js_dir}/json-support.js "-DINPUTS=${qb_json_inputs}" -P ${qb_js_src}/concat.cmake
  DEPENDS ${qb_json_inputs} ${qb_js_src}/concat.cmake VERBATIM)
add_custom_command(OUTPUT ${qb_js_dir}/transform.js
  COMMAND ${CMAKE_COMMAND} -E make_directory ${qb_js_dir}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${qb_js_dir}/transform.js "-DINPUTS=${qb_transform_inputs}" -P ${qb_js_src}/concat.cmake
  DEPENDS ${qb_transform_inputs} ${qb_js_src}/concat.cmake VERBATIM)
target_sources(qb_assets PRIVATE ${qb_js_dir}/json-support.js ${qb_js_dir}/transform.js)
quillbox_embed(qb_assets js/json-support.js ${qb_js_dir}/json-support.js
  js/transform.js ${qb_js_dir}/transform.js)
# The engines' language data, made from @mdn/browser-compat-data by a node script: the syntax
# gate's table, the ChakraCore profile that libChakraCore.so runs in every new context, and
# the whole table as JSON for the tests. Then the syntax gate: the table, acorn and our gate.
find_program(QUILLBOX_NODE NAMES node nodejs REQUIRED)
set(qb_engine_data_outputs ${qb_js_dir}/syntax-data.js ${qb_js_dir}/chakracore-profile.json
  ${qb_js_dir}/chakracore-profile.inc)
set(qb_bcd ${QUILLBOX_NODE_MODULES}/@mdn/browser-compat-data/data.json)
add_custom_command(OUTPUT ${qb_engine_data_outputs}
  COMMAND ${QUILLBOX_NODE} ${qb_js_src}/engine-data.mjs ${qb_bcd} ${qb_js_src}/syntax-features.json ${qb_js_dir}
  DEPENDS ${qb_js_src}/engine-data.mjs ${qb_js_src}/syntax-features.json ${qb_js_src}/chakracore-profile.js
    ${qb_js_src}/builtin-path.js ${qb_bcd}
  VERBATIM)
# libChakraCore.so includes the profile: it builds after this target.
add_custom_target(qb_engine_data DEPENDS ${qb_engine_data_outputs})
set(QUILLBOX_ENGINE_DATA_DIR ${qb_js_dir} CACHE INTERNAL "generated engine data")
set(qb_gate_inputs ${qb_js_dir}/syntax-data.js ${QUILLBOX_NODE_MODULES}/acorn/dist/acorn.js
  ${qb_js_src}/syntax-gate.js ${qb_js_src}/symbol-index.js ${qb_js_src}/watch-sites.js)
add_custom_command(OUTPUT ${qb_js_dir}/syntax-gate.js
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${qb_js_dir}/syntax-gate.js "-DINPUTS=${qb_gate_inputs}" -P ${qb_js_src}/concat.cmake
  DEPENDS ${qb_gate_inputs} ${qb_js_src}/concat.cmake VERBATIM)
target_sources(qb_assets PRIVATE ${qb_js_dir}/syntax-gate.js ${qb_js_dir}/chakracore-profile.json)
quillbox_embed(qb_assets js/syntax-gate.js ${qb_js_dir}/syntax-gate.js
  js/chakracore-profile.json ${qb_js_dir}/chakracore-profile.json)
# Watch points: the script a watched ChakraCore load runs first (src/core/engine/WatchLog.h).
quillbox_embed(qb_assets js/watch.js ${qb_js_src}/watch.js)
quillbox_embed(qb_assets js/transform-es5.js ${qb_js_src}/transform-es5.js)
# The native engine's JScript profile: the built-ins JScript 5.7 has and lacks, generated from
# MDN's browser-compat-data by scripts/jscript-builtins.mjs (the list is also embedded for the
# tests), and the profile script that removes the absent ones after putting in JScript's own.
set(qb_jscript_data ${qb_js_dir}/jscript-builtins.json)
set(qb_jscript_absent ${qb_js_dir}/jscript-absent.js)
add_custom_command(OUTPUT ${qb_jscript_data} ${qb_jscript_absent}
  COMMAND ${QUILLBOX_NODE} ${PROJECT_SOURCE_DIR}/scripts/jscript-builtins.mjs ${QUILLBOX_NODE_MODULES}
    ${qb_jscript_data} ${qb_jscript_absent}
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/jscript-builtins.mjs
    ${QUILLBOX_NODE_MODULES}/@mdn/browser-compat-data/data.json VERBATIM)
set(qb_jscript_inputs ${qb_js_src}/jscript-profile.head.js ${qb_jscript_absent} ${qb_js_src}/jscript-profile.tail.js)
add_custom_command(OUTPUT ${qb_js_dir}/jscript-profile.js
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${qb_js_dir}/jscript-profile.js "-DINPUTS=${qb_jscript_inputs}" -P ${qb_js_src}/concat.cmake
  DEPENDS ${qb_jscript_inputs} ${qb_js_src}/concat.cmake VERBATIM)
target_sources(qb_assets PRIVATE ${qb_js_dir}/jscript-profile.js ${qb_jscript_data})
quillbox_embed(qb_assets js/jscript-profile.js ${qb_js_dir}/jscript-profile.js
  js/jscript-builtins.json ${qb_jscript_data})
# The starter module library: npm packages written to "lib" at first start, each with its
# licence beside it.
set(qb_nm ${QUILLBOX_NODE_MODULES})
quillbox_embed(qb_assets
  lib/crypto-js.js ${qb_nm}/crypto-js-4.0.0/crypto-js.js
  lib/crypto-js.js.LICENSE.txt ${qb_nm}/crypto-js-4.0.0/LICENSE
  lib/md5.js ${qb_nm}/blueimp-md5/js/md5.js
  lib/md5.js.LICENSE.txt ${qb_nm}/blueimp-md5/LICENSE.txt
  lib/base64.js ${qb_nm}/js-base64/base64.js
  lib/base64.js.LICENSE.txt ${qb_nm}/js-base64/LICENSE.md
  lib/jsencrypt.js ${qb_nm}/jsencrypt/bin/jsencrypt.min.js
  lib/jsencrypt.js.LICENSE.txt ${qb_nm}/jsencrypt/LICENSE.txt
  lib/pako_inflate.js ${qb_nm}/pako/dist/pako_inflate.min.js
  lib/pako_inflate.js.LICENSE.txt ${qb_nm}/pako/LICENSE)
# The browser environment: the module, the profile that ships (a desktop Chrome) and the
# capture page that collects a profile in the user's browser.
set(qb_browser_globals ${qb_js_dir}/browser-globals.json)
add_custom_command(OUTPUT ${qb_browser_globals}
  COMMAND ${QUILLBOX_NODE} ${PROJECT_SOURCE_DIR}/scripts/browser-globals.mjs ${qb_bcd} ${qb_browser_globals}
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/browser-globals.mjs ${qb_bcd} VERBATIM)
target_sources(qb_assets PRIVATE ${qb_browser_globals})
quillbox_embed(qb_assets
  browser/globals.json ${qb_browser_globals}
  browser/browser-env.js ${PROJECT_SOURCE_DIR}/assets/browser/browser-env.js
  browser/chrome-desktop.json ${PROJECT_SOURCE_DIR}/assets/browser/chrome-desktop.json
  browser/capture.html ${PROJECT_SOURCE_DIR}/assets/browser/capture.html)
# The tools context's tools (src/core/tools): Babel standalone and the conversion to old
# JavaScript that drives it. And the shims the conversion prepends by need: es5-shim,
# es5-sham and JSON 3 as npm ships them, core-js converted once at build time by the same
# conversion, and our typed-array stand-ins.
set(qb_babel ${QUILLBOX_NODE_MODULES}/@babel/standalone/babel.min.js)
set(qb_core_js_es3 ${qb_js_dir}/core-js.es3.js)
add_custom_command(OUTPUT ${qb_core_js_es3}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${qb_js_dir}
  COMMAND ${QUILLBOX_NODE} ${qb_js_src}/tools/convert-file.mjs ${qb_babel} ${qb_js_src}/tools/convert.js
    ${QUILLBOX_NODE_MODULES}/core-js-bundle/minified.js ${qb_core_js_es3}
  DEPENDS ${qb_js_src}/tools/convert-file.mjs ${qb_js_src}/tools/convert.js ${qb_babel}
    ${QUILLBOX_NODE_MODULES}/core-js-bundle/minified.js
  VERBATIM)
target_sources(qb_assets PRIVATE ${qb_core_js_es3})
quillbox_embed(qb_assets
  tools/babel.js ${qb_babel}
  tools/convert.js ${qb_js_src}/tools/convert.js
  shims/es5-shim.js ${QUILLBOX_NODE_MODULES}/es5-shim/es5-shim.min.js
  shims/es5-sham.js ${QUILLBOX_NODE_MODULES}/es5-shim/es5-sham.min.js
  shims/json3.js ${QUILLBOX_NODE_MODULES}/json3/lib/json3.js
  shims/regexp-fix.js ${qb_js_src}/shims/regexp-fix.js
  shims/string-index.js ${qb_js_src}/shims/string-index.js
  shims/core-js.js ${qb_core_js_es3}
  shims/typed-array.js ${qb_js_src}/shims/typed-array.js)
# The deobfuscation tool: webcrack with its Babel packages and our driver
# (assets/js/tools/deobfuscate.js), bundled by esbuild into one script.
set(qb_deobfuscate_js ${qb_js_dir}/deobfuscate.js)
add_custom_command(OUTPUT ${qb_deobfuscate_js} ${qb_deobfuscate_js}.LICENSES.txt
  COMMAND ${CMAKE_COMMAND} -E make_directory ${qb_js_dir}
  COMMAND ${QUILLBOX_NODE} ${PROJECT_SOURCE_DIR}/scripts/build-deobfuscate.mjs ${QUILLBOX_NODE_MODULES}
    ${qb_js_src}/tools/deobfuscate.js ${qb_deobfuscate_js}
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/build-deobfuscate.mjs ${qb_js_src}/tools/deobfuscate.js
    ${QUILLBOX_NODE_MODULES}/webcrack/package.json
  VERBATIM)
target_sources(qb_assets PRIVATE ${qb_deobfuscate_js})
quillbox_embed(qb_assets tools/deobfuscate.js ${qb_deobfuscate_js})
set(QUILLBOX_DEOBFUSCATE_LICENSES ${qb_deobfuscate_js}.LICENSES.txt CACHE INTERNAL "the bundled packages' licences")
