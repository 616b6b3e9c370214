// The Wavefront OBJ model loader and the MTL material reader, with the small text helpers
// they use. Understood: `v`, `vt`, `f`, `mtllib` and `#` comments in the OBJ, `map_Kd` (a PCX
// texture) in the MTL. Numbers go straight to Fixed through parse_fixed; no floating point.
#pragma once

#include <cstddef>
#include <cstdint>

#include "loaders/input.h"
#include "math/fixed.h"
#include "render/geometry.h"
#include "util/ptr_vector.h"

// Characters of one line seen at once; the rest of a longer line is skipped.
inline constexpr int32_t OBJ_LINE_SIZE = 81;

// A loaded model. It owns every record reachable from it. Triangles share the Vertex and
// TexCoord records of the lists. `mesh.triangles` is the item array of `triangle_list` itself,
// so reordering the mesh reorders the list.
struct Model {
    PtrVector* vertex_list;    // Vertex*, one per `v` in file order
    PtrVector* texcoord_list;  // TexCoord*, one per `vt` read while a material was loaded
    PtrVector* triangle_list;  // Triangle*, one per accepted `f` in file order
    Texture* material;         // the texture of the latest `mtllib`, or null
    Mesh mesh;
    PtrVector* material_list;    // Texture*, every material loaded, superseded ones included
    int32_t dropped_faces;       // faces without three defined vertices, left out of the mesh
    int32_t first_dropped_line;  // the line of the first of them; 0 when there is none
    uint64_t file_bytes;         // the size of the OBJ file
};

// Reads the OBJ file at `path` with every coordinate multiplied by `scale`. Prints the path;
// null after printing "Failed" (the file cannot be opened or read to its end) or "Unable to
// load mtllib" (a material that cannot be loaded), with the reason noted for load_failure.
// Faces with a missing, zero, negative or not yet defined vertex are dropped, and one line
// says how many. A triangle is textured only when all three of its corners name texture
// coordinates that exist; otherwise it has no texture and no texcoords.
Model* load_obj(const char* path, int32_t scale);
// load_obj for a model the program cannot do without: also null, with the reason noted, when
// the file is empty, yields no triangle or has a face that had to be dropped.
Model* load_required_model(const char* path, int32_t scale);
// Releases a model and everything it owns. Null is ignored.
void free_model(Model* model);

// Reads the MTL file dir + name and loads the PCX texture of its first `map_Kd` (a path
// relative to `dir`, the OBJ's directory). Null, with the reason noted for load_failure, when
// the file cannot be opened or read, has no `map_Kd` with a file name, or the texture cannot
// be loaded.
Texture* load_mtl(const char* dir, const char* name);

// Reads one line (without its line feed; carriage returns dropped) into `buffer`, keeping at
// most size - 1 characters and skipping the rest of a longer line. Returns the characters
// stored (0 for an empty line), -1 at the end of the file (or after a failed read, which
// leaves `in->error` set) with nothing stored, and 0 for size 0.
int32_t read_line(InputFile* in, char* buffer, size_t size);

// Decimal text to 16.16: an optional '-', integer digits (kept modulo 65536), an optional
// fraction. Parsing stops at the first character that does not fit; null or no digits give 0;
// '+' is not a sign. A fraction followed directly by a second '.' counts as 0.
Fixed parse_fixed(const char* text);

// Length of the directory part of `path`, through its last '/'; 0 when there is none or the
// path is null or empty.
size_t dir_prefix_length(const char* path);
// The part after the last '/' (all of it when there is none); null for a null or empty path.
const char* path_file_name(const char* path);
// The part from the last '.' on (all of it when there is none); null for a null or empty path.
const char* path_extension(const char* path);
