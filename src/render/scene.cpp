#include "render/scene.h"

#include <new>
#include <utility>

#include "core/clock.h"
#include "render/lines.h"
#include "render/raster.h"

namespace {

constexpr uint32_t CHILDREN_CAPACITY = 8;
constexpr uint8_t WIREFRAME_COLOUR = 15;

bool is_group(const SceneNode* node) {
    return node->kind != NODE_MESH;
}

SceneNode* new_node(uint32_t kind) {
    auto* node = new (std::nothrow) SceneNode{};
    if (node == nullptr) return nullptr;
    node->kind = kind;
    node->transform_mode = TRANSFORM_INHERIT;
    matrix_identity(&node->local);
    return node;
}

// Appends a fresh node to its parent, or frees it and returns null when that fails.
SceneNode* attach(SceneNode* parent, SceneNode* node) {
    if (node != nullptr && ptrvec_push(parent->children, node) == 0) return node;
    if (node != nullptr && is_group(node)) ptrvec_free(node->children);
    delete node;
    return nullptr;
}

SceneNode* new_group() {
    SceneNode* node = new_node(NODE_GROUP);
    if (node == nullptr) return nullptr;
    node->children = ptrvec_create(CHILDREN_CAPACITY);
    if (node->children == nullptr) {
        delete node;
        return nullptr;
    }
    return node;
}

bool can_parent(const SceneNode* parent) {
    return parent != nullptr && is_group(parent) && parent->children != nullptr;
}

// Only the integer parts of the model position enter the product, so no shift follows it;
// the sums wrap at 32 bits.
Fixed transform_axis(const Matrix& m, int column, int32_t ix, int32_t iy, int32_t iz) {
    uint32_t sum = static_cast<uint32_t>(ix) * static_cast<uint32_t>(m.m[0][column]) +
                   static_cast<uint32_t>(iy) * static_cast<uint32_t>(m.m[1][column]) +
                   static_cast<uint32_t>(iz) * static_cast<uint32_t>(m.m[2][column]) +
                   static_cast<uint32_t>(m.m[3][column]);
    return static_cast<Fixed>(sum);
}

void transform_mesh(const Mesh* mesh) {
    if (mesh == nullptr || mesh->triangles == nullptr) return;
    const Matrix m = *current_matrix;
    const uint32_t frame = frame_count;
    for (int32_t i = 0; i < mesh->count; ++i) {
        Triangle* t = mesh->triangles[i];
        if (t == nullptr) continue;
        Fixed nearest = INT32_MAX;
        for (Vertex* v : t->vertices) {
            if (v == nullptr) continue;
            if (v->stamp != frame) {
                const int32_t ix = v->model_x >> FIXED_SHIFT;
                const int32_t iy = v->model_y >> FIXED_SHIFT;
                const int32_t iz = v->model_z >> FIXED_SHIFT;
                v->view_x = transform_axis(m, 0, ix, iy, iz);
                v->view_y = transform_axis(m, 1, ix, iy, iz);
                v->view_z = transform_axis(m, 2, ix, iy, iz);
                project_vertex(v);
            }
            if (v->view_z < nearest) nearest = v->view_z;
        }
        t->nearest_depth = nearest;
    }
}

void draw_triangle(Triangle* t) {
    if (t == nullptr) return;
    if (t->pixel_count >= 0 && t->texture != nullptr) {
        draw_textured_triangle(t);
    } else {
        draw_flat_triangle(t);
    }
}

// A missing triangle sorts as the farthest.
Fixed sort_depth(const Triangle* t) {
    return t == nullptr ? INT32_MAX : t->nearest_depth;
}

// One bubble pass interleaved with drawing: each triangle is drawn once it has lost its last
// chance to move, so the deepest one ends the array and every other moves at most one place
// nearer the front. Equal depths are never swapped.
void draw_mesh_sorted(Mesh* mesh) {
    if (mesh == nullptr || mesh->triangles == nullptr || mesh->count <= 0) return;
    Triangle** t = mesh->triangles;
    Fixed d = sort_depth(t[0]);
    for (int32_t i = 0; i + 1 < mesh->count; ++i) {
        const Fixed e = sort_depth(t[i + 1]);
        if (d > e) {
            std::swap(t[i], t[i + 1]);
        } else {
            d = e;
        }
        draw_triangle(t[i]);
    }
    draw_triangle(t[mesh->count - 1]);
}

void draw_mesh_wireframe(const Mesh* mesh) {
    if (mesh == nullptr || mesh->triangles == nullptr) return;
    for (int32_t i = 0; i < mesh->count; ++i) {
        const Triangle* t = mesh->triangles[i];
        if (t == nullptr) continue;
        const Vertex* const* v = t->vertices;
        if (v[0] == nullptr || v[1] == nullptr || v[2] == nullptr) continue;
        for (int c = 0; c < 3; ++c) {
            const Vertex* a = v[c];
            const Vertex* b = v[(c + 1) % 3];
            draw_line(a->screen_x, a->screen_y, b->screen_x, b->screen_y, WIREFRAME_COLOUR);
        }
    }
}

}  // namespace

SceneNode* create_root_node() {
    return new_group();
}

void free_scene(SceneNode* node) {
    if (node == nullptr) return;
    if (is_group(node) && node->children != nullptr) {
        for (uint64_t i = 0; i < node->children->count; ++i)
            free_scene(static_cast<SceneNode*>(node->children->items[i]));
        ptrvec_free(node->children);
    }
    delete node;
}

SceneNode* create_group_node(SceneNode* parent) {
    if (!can_parent(parent)) return nullptr;
    return attach(parent, new_group());
}

SceneNode* create_mesh_node(SceneNode* parent, Mesh* mesh) {
    if (!can_parent(parent)) return nullptr;
    SceneNode* node = new_node(NODE_MESH);
    if (node != nullptr) node->mesh = mesh;
    return attach(parent, node);
}

void render_transform(SceneNode* node) {
    if (node == nullptr) return;
    matrix_push();
    if (node->transform_mode == 1 || node->transform_mode == TRANSFORM_COMPOSE) {
        matrix_multiply_current(&node->local);
    }
    if (is_group(node)) {
        if (node->children != nullptr) {
            for (uint64_t i = 0; i < node->children->count; ++i) {
                render_transform(static_cast<SceneNode*>(node->children->items[i]));
            }
        }
    } else {
        transform_mesh(node->mesh);
    }
    matrix_pop();
}

void render_draw(SceneNode* node, uint8_t filled) {
    if (node == nullptr) return;
    if (!is_group(node)) {
        if (filled != 0) {
            draw_mesh_sorted(node->mesh);
        } else {
            draw_mesh_wireframe(node->mesh);
        }
        return;
    }
    if (node->children == nullptr) return;
    for (uint64_t i = 0; i < node->children->count; ++i) {
        render_draw(static_cast<SceneNode*>(node->children->items[i]), filled);
    }
}
