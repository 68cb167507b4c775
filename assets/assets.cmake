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
  quillbox_embed(qb_app_assets
    editor/QUILLBOX_666BYZORVAN.html ${PROJECT_SOURCE_DIR}/assets/editor/QUILLBOX_666BYZORVAN.html
    editor/ace.js ${ace}/ace.js
    editor/ext-language_tools.js ${ace}/ext-language_tools.js
    editor/mode-javascript.js ${ace}/mode-javascript.js
    editor/theme-monokai.js ${ace}/theme-monokai.js
    editor/snippets/javascript.js ${ace}/snippets/javascript.js
    editor/snippets/text.js ${ace}/snippets/text.js)
endif()
