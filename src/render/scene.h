// The scene graph and its two passes per frame:
//   render_transform composes the nodes' local matrices on the matrix stack and transforms and
//     projects every vertex of every mesh, at most once per frame (the vertex stamp is the
//     cache key, frame_count the frame), recording each triangle's nearest depth;
//   render_draw draws each mesh filled near-to-far with the depth test, or as a wireframe.
// Between the two the caller clears the frame and the depth buffer.
#pragma once

#include <cstdint>

#include "math/matrix.h"
#include "render/geometry.h"
#include "util/ptr_vector.h"

enum : uint32_t {
    NODE_GROUP = 0,
    NODE_MESH = 1,  // every other kind is treated as a group
};

// SceneNode::transform_mode: whether the node's local matrix is applied. 1 composes as well;
// any other value inherits.
enum : uint32_t {
    TRANSFORM_INHERIT = 0,  // the node and its subtree see the parent's matrix
    TRANSFORM_COMPOSE = 2,  // local is composed in front of the parent's matrix
};

// render_draw's second argument.
enum : uint8_t {
    DRAW_WIREFRAME = 0,  // outlines in palette index 15, no depth test
    DRAW_FILLED = 1,     // filled near-to-far with the depth test
};

struct SceneNode {
    uint32_t kind;
    Matrix local;
    uint32_t transform_mode;  // TRANSFORM_*; the constructors set TRANSFORM_INHERIT
    union {
        PtrVector* children;  // group: child SceneNode pointers in creation order, owned
        Mesh* mesh;           // mesh node: not owned
    };
};

// Nodes start with transform_mode 0 and an identity local matrix. Each constructor returns
// null, leaving nothing allocated, when an allocation fails or when the parent is null or a
// mesh node; otherwise the new node is appended to the parent's children.
SceneNode* create_root_node();
SceneNode* create_group_node(SceneNode* parent);
SceneNode* create_mesh_node(SceneNode* parent, Mesh* mesh);
// Frees a node and everything below it (not the meshes, which the nodes do not own). Null is
// ignored.
void free_scene(SceneNode* node);

// Needs a base matrix (usually identity) in the current slot of the matrix stack. A vertex
// whose stamp is not frame_count is transformed by the current matrix, using the integer parts
// of its model position, and projected; cached vertices keep this frame's values. Null nodes,
// triangles and vertices are skipped.
void render_transform(SceneNode* node);

// filled (DRAW_FILLED): each mesh is drawn in array order while one bubble pass swaps neighbours
// that are out of nearest-depth order, so the order converges near-to-far over the frames; a
// triangle is textured if it has a texture and a pixel_count that is not negative, else flat.
// DRAW_WIREFRAME: each triangle is outlined in palette index 15, with no depth test.
void render_draw(SceneNode* node, uint8_t filled);
