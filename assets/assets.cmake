# The files embedded into every program (through the object library qb_assets).
# Each subsystem appends its own with quillbox_embed(qb_assets NAME FILE ...).
target_sources(qb_assets PRIVATE ${PROJECT_SOURCE_DIR}/assets/anchor.cpp)
# E code generation: the stored E project image that the clipboard writer walks.
quillbox_embed(qb_assets ecode/template.hex ${PROJECT_SOURCE_DIR}/assets/ecode/template.hex)
