// qb_assets needs one source of its own even before any file is embedded.
namespace quillbox::assets { int anchor = 0; }
