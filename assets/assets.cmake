# The files embedded into every program (through the object library qb_assets).
# Each subsystem appends its own with quillbox_embed(qb_assets NAME FILE ...).
target_sources(qb_assets PRIVATE ${PROJECT_SOURCE_DIR}/assets/anchor.cpp)
