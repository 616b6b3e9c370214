#include "loaders/obj.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/framebuffer.h"
#include "loaders/input.h"
#include "loaders/pcx.h"

namespace {

constexpr uint64_t LIST_CAPACITY = 32;

enum class Outcome { ok, bad_material, no_memory };

// What load_obj carries from statement to statement.
struct ObjReader {
    Model* model;
    const char* path;
    const char* dir;  // the OBJ's directory with its trailing '/', or ""
    int32_t scale;
    int32_t line;  // the number of the line being read, from 1
};

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Spaces and tabs both separate fields; files from other tools use either.
bool is_separator(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

// Cuts the next token out of the line in place and moves the cursor past it; null when the
// line holds no more.
char* next_token(char** cursor) {
    char* p = *cursor;
    while (*p != '\0' && is_separator(*p)) ++p;
    if (*p == '\0') {
        *cursor = p;
        return nullptr;
    }
    char* start = p;
    while (*p != '\0' && !is_separator(*p)) ++p;
    if (*p != '\0') *p++ = '\0';
    *cursor = p;
    return start;
}

// dir followed by name in a new heap string sized to fit, or null.
char* join_path(const char* dir, const char* name) {
    size_t dir_length = std::strlen(dir);
    size_t name_length = std::strlen(name);
    auto* path = static_cast<char*>(std::malloc(dir_length + name_length + 1));
    if (path == nullptr) return nullptr;
    std::memcpy(path, dir, dir_length);
    std::memcpy(path + dir_length, name, name_length + 1);
    return path;
}

// Appends a freshly allocated record; on failure the record is released.
bool push_owned(PtrVector* list, void* item) {
    if (item != nullptr && ptrvec_push(list, item) == 0) return true;
    std::free(item);
    return false;
}

void free_items(PtrVector* list) {
    if (list == nullptr) return;
    for (uint64_t i = 0; i < list->count; ++i) std::free(list->items[i]);
    ptrvec_free(list);
}

Model* create_model() {
    auto* model = static_cast<Model*>(std::calloc(1, sizeof(Model)));
    if (model == nullptr) return nullptr;
    model->vertex_list = ptrvec_create(LIST_CAPACITY);
    model->texcoord_list = ptrvec_create(LIST_CAPACITY);
    model->triangle_list = ptrvec_create(LIST_CAPACITY);
    model->material_list = ptrvec_create(1);
    if (model->vertex_list == nullptr || model->texcoord_list == nullptr ||
        model->triangle_list == nullptr || model->material_list == nullptr) {
        free_model(model);
        return nullptr;
    }
    return model;
}

Outcome read_mtllib(ObjReader& reader, char* cursor) {
    const char* name = next_token(&cursor);
    if (name == nullptr) {
        note_load_failure(reader.path, "line %d: mtllib names no file", reader.line);
        return Outcome::bad_material;
    }
    std::printf("Loading mtllib '%s%s'\n", reader.dir, name);
    Texture* material = load_mtl(reader.dir, name);
    if (material == nullptr) return Outcome::bad_material;
    if (ptrvec_push(reader.model->material_list, material) != 0) {
        free_texture(material);
        return Outcome::no_memory;
    }
    // Earlier triangles keep the material they were read with.
    reader.model->material = material;
    return Outcome::ok;
}

Outcome read_vertex(ObjReader& reader, char* cursor) {
    auto* vertex = static_cast<Vertex*>(std::calloc(1, sizeof(Vertex)));
    if (vertex != nullptr) {
        vertex->model_x = wrap_mul(parse_fixed(next_token(&cursor)), reader.scale);
        // Model y points up, view y down the screen.
        vertex->model_y = wrap_sub(0, wrap_mul(parse_fixed(next_token(&cursor)), reader.scale));
        vertex->model_z = wrap_mul(parse_fixed(next_token(&cursor)), reader.scale);
        vertex->colour = COLOUR_WHITE;
    }
    return push_owned(reader.model->vertex_list, vertex) ? Outcome::ok : Outcome::no_memory;
}

// Texture coordinates become whole texels of the current material; v = 1 is the first stored
// row. The products are unsigned 32-bit, so coordinates below 0 wrap to large texels.
Outcome read_texcoord(ObjReader& reader, char* cursor) {
    const Texture* material = reader.model->material;
    if (material == nullptr) return Outcome::ok;
    auto* texcoord = static_cast<TexCoord*>(std::calloc(1, sizeof(TexCoord)));
    if (texcoord != nullptr) {
        auto u = static_cast<uint32_t>(parse_fixed(next_token(&cursor)));
        auto v = static_cast<uint32_t>(parse_fixed(next_token(&cursor)));
        texcoord->u = static_cast<int32_t>((u * material->width) >> FIXED_SHIFT);
        texcoord->v =
            static_cast<int32_t>(material->height - ((v * material->height) >> FIXED_SHIFT));
    }
    return push_owned(reader.model->texcoord_list, texcoord) ? Outcome::ok : Outcome::no_memory;
}

// Entry `number` (counted from 1) of the list, or null when the list has no such entry.
void* numbered_item(const PtrVector* list, int32_t number) {
    if (number < 1 || static_cast<uint64_t>(number) > list->count) return nullptr;
    return list->items[number - 1];
}

// One triangle from the first three corners "v", "v/vt" or "v/vt/vn"; further corners are
// ignored. A face without three defined vertices is dropped.
Outcome read_face(ObjReader& reader, char* cursor) {
    Model* model = reader.model;
    Vertex* vertices[3];
    TexCoord* texcoords[3];
    bool textured = model->material != nullptr;
    for (int i = 0; i < 3; ++i) {
        const char* corner = next_token(&cursor);
        vertices[i] = corner == nullptr ? nullptr
                                        : static_cast<Vertex*>(numbered_item(
                                              model->vertex_list, parse_fixed(corner) >> 16));
        if (vertices[i] == nullptr) {
            if (model->dropped_faces == 0) model->first_dropped_line = reader.line;
            if (model->dropped_faces < INT32_MAX) ++model->dropped_faces;
            return Outcome::ok;
        }
        const char* slash = std::strchr(corner, '/');
        int32_t number = slash == nullptr ? 0 : parse_fixed(slash + 1) >> 16;
        texcoords[i] = static_cast<TexCoord*>(numbered_item(model->texcoord_list, number));
        if (texcoords[i] == nullptr) textured = false;
    }
    auto* triangle = static_cast<Triangle*>(std::calloc(1, sizeof(Triangle)));
    if (triangle != nullptr) {
        for (int i = 0; i < 3; ++i) {
            triangle->vertices[i] = vertices[i];
            // The textured filler reads all three, so a partly given set counts as none.
            triangle->texcoords[i] = textured ? texcoords[i] : nullptr;
        }
        triangle->texture = textured ? model->material : nullptr;
        triangle->flat_colour = COLOUR_WHITE;
        triangle->pixel_count = PIXEL_COUNT_UNDRAWN;
    }
    return push_owned(model->triangle_list, triangle) ? Outcome::ok : Outcome::no_memory;
}

Outcome read_statement(ObjReader& reader, char* line) {
    if (line[0] == '#') return Outcome::ok;
    char* cursor = line;
    const char* keyword = next_token(&cursor);
    if (keyword == nullptr) return Outcome::ok;
    if (std::strcmp(keyword, "mtllib") == 0) return read_mtllib(reader, cursor);
    if (std::strcmp(keyword, "v") == 0) return read_vertex(reader, cursor);
    if (std::strcmp(keyword, "vt") == 0) return read_texcoord(reader, cursor);
    if (std::strcmp(keyword, "f") == 0) return read_face(reader, cursor);
    return Outcome::ok;  // normals, groups, objects, smoothing, usemtl, ...
}

}  // namespace

Model* load_obj(const char* path, int32_t scale) {
    load_failure_clear();
    if (path == nullptr) {
        note_load_failure(path, "cannot open: no file name");
        std::puts("Failed");
        return nullptr;
    }
    std::puts(path);
    InputFile* in = input_open(path);
    if (in == nullptr) {
        std::puts("Failed");
        return nullptr;
    }
    char* dir = strndup(path, dir_prefix_length(path));
    Model* model = create_model();
    Outcome outcome = dir != nullptr && model != nullptr ? Outcome::ok : Outcome::no_memory;
    ObjReader reader = {model, path, dir, scale, 0};
    char line[OBJ_LINE_SIZE];
    while (outcome == Outcome::ok && read_line(in, line, sizeof(line)) >= 0) {
        if (reader.line < INT32_MAX) ++reader.line;  // a file of 2^31 lines keeps the last number
        outcome = read_statement(reader, line);
    }
    // A read error is not the end of the file: what was read is not the whole model.
    const int error = in->error;
    if (model != nullptr) model->file_bytes = in->size;
    input_close(in);
    std::free(dir);
    if (outcome == Outcome::ok && error != 0) {
        note_load_failure(path, "cannot read (%s)", std::strerror(error));
        std::puts("Failed");
        free_model(model);
        return nullptr;
    }
    if (outcome != Outcome::ok) {
        if (outcome == Outcome::bad_material) std::puts("Unable to load mtllib");
        note_load_failure(
            path, outcome == Outcome::bad_material ? "material cannot be loaded" : "out of memory");
        free_model(model);
        return nullptr;
    }
    if (model->dropped_faces > 0) {
        std::printf("Dropped %d %s without three defined vertices\n", model->dropped_faces,
                    model->dropped_faces == 1 ? "face" : "faces");
    }
    model->mesh.triangles = reinterpret_cast<Triangle**>(model->triangle_list->items);
    model->mesh.count = static_cast<int32_t>(model->triangle_list->count);
    return model;
}

Model* load_required_model(const char* path, int32_t scale) {
    Model* model = load_obj(path, scale);
    if (model == nullptr) {
        note_load_failure(path, "cannot load");
        return nullptr;
    }
    if (model->dropped_faces > 0) {
        note_load_failure(path, "unusable face on line %d (it needs three defined vertices)",
                          model->first_dropped_line);
    } else if (model->mesh.count == 0 && model->file_bytes == 0) {
        note_load_failure(path, "empty");
    } else if (model->mesh.count == 0) {
        note_load_failure(path, "no usable face (%llu vertices, no face)",
                          static_cast<unsigned long long>(model->vertex_list->count));
    } else {
        return model;
    }
    free_model(model);
    return nullptr;
}

void free_model(Model* model) {
    if (model == nullptr) return;
    free_items(model->vertex_list);
    free_items(model->texcoord_list);
    free_items(model->triangle_list);
    if (model->material_list != nullptr) {
        for (uint64_t i = 0; i < model->material_list->count; ++i) {
            free_texture(static_cast<Texture*>(model->material_list->items[i]));
        }
        ptrvec_free(model->material_list);
    }
    std::free(model);
}

Texture* load_mtl(const char* dir, const char* name) {
    load_failure_clear();
    if (dir == nullptr || name == nullptr) return nullptr;
    char* path = join_path(dir, name);
    if (path == nullptr) {
        note_load_failure(name, "out of memory");
        return nullptr;
    }
    InputFile* in = input_open(path);
    if (in == nullptr) {
        std::free(path);
        return nullptr;
    }
    Texture* texture = nullptr;
    bool named = false;
    char line[OBJ_LINE_SIZE];
    while (read_line(in, line, sizeof(line)) >= 0) {
        if (line[0] == '#') continue;
        char* cursor = line;
        const char* keyword = next_token(&cursor);
        if (keyword == nullptr || std::strcmp(keyword, "map_Kd") != 0) continue;
        // Only the first map_Kd counts; without a file name it names no texture.
        const char* file = next_token(&cursor);
        char* texture_path = file == nullptr ? nullptr : join_path(dir, file);
        if (texture_path != nullptr) {
            named = true;
            std::printf("Loading texure '%s'\n", texture_path);
            texture = pcx_load_texture(texture_path);
            std::free(texture_path);
        }
        break;
    }
    if (!named && in->error != 0) {
        note_load_failure(path, "cannot read (%s)", std::strerror(in->error));
    } else if (!named) {
        note_load_failure(path, in->size == 0 ? "empty" : "names no texture");
    }
    input_close(in);
    std::free(path);
    return texture;
}

int32_t read_line(InputFile* in, char* buffer, size_t size) {
    if (size == 0 || buffer == nullptr) return 0;
    if (in == nullptr) return -1;
    size_t stored = 0;
    for (;;) {
        if (input_fill(in) == 0) {
            if (stored == 0) return -1;
            break;
        }
        const uint8_t* start = in->block + in->next;
        const size_t held = in->end - in->next;
        const auto* feed = static_cast<const uint8_t*>(std::memchr(start, '\n', held));
        const size_t length = feed != nullptr ? static_cast<size_t>(feed - start) : held;
        // Past the buffer the rest of the line is skipped rather than read as a new line.
        for (size_t i = 0; i < length && stored < size - 1; ++i) {
            if (start[i] != '\r') buffer[stored++] = static_cast<char>(start[i]);
        }
        in->next += length;
        if (feed != nullptr) {
            ++in->next;
            break;
        }
    }
    buffer[stored] = '\0';
    return static_cast<int32_t>(stored);
}

Fixed parse_fixed(const char* text) {
    if (text == nullptr) return 0;
    const char* p = text;
    bool negative = *p == '-';
    if (negative) ++p;
    uint32_t integer = 0;
    while (is_digit(*p)) integer = integer * 10 + static_cast<uint32_t>(*p++ - '0');
    uint32_t result = integer << FIXED_SHIFT;
    if (*p == '.') {
        const char* first = p + 1;
        const char* end = first;
        while (is_digit(*end)) ++end;
        // From the last digit back, so each step divides the carried fraction by ten once.
        uint32_t fraction = 0;
        if (*end != '.') {
            for (const char* d = end; d != first;) {
                --d;
                fraction = (fraction + static_cast<uint32_t>(*d - '0') * 65536u) / 10;
            }
        }
        result |= fraction;
    }
    return static_cast<Fixed>(negative ? 0u - result : result);
}

size_t dir_prefix_length(const char* path) {
    if (path == nullptr) return 0;
    const char* slash = std::strrchr(path, '/');
    return slash == nullptr ? 0 : static_cast<size_t>(slash - path) + 1;
}

const char* path_file_name(const char* path) {
    if (path == nullptr || path[0] == '\0') return nullptr;
    const char* slash = std::strrchr(path, '/');
    return slash == nullptr ? path : slash + 1;
}

const char* path_extension(const char* path) {
    if (path == nullptr || path[0] == '\0') return nullptr;
    const char* dot = std::strrchr(path, '.');
    return dot == nullptr ? path : dot;
}
