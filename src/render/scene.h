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

struct SceneNode {
    uint32_t kind;
    Matrix local;
    // 1 or 2: local is composed in front of the parent's matrix; anything else (0 from the
    // constructors): the node and its subtree see the parent's matrix.
    uint32_t transform_mode;
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

// Needs a base matrix (usually identity) in the current slot of the matrix stack. A vertex
// whose stamp is not frame_count is transformed by the current matrix, using the integer parts
// of its model position, and projected; cached vertices keep this frame's values. Null nodes,
// triangles and vertices are skipped.
void render_transform(SceneNode* node);

// filled != 0: each mesh is drawn in array order while one bubble pass swaps neighbours that
// are out of nearest-depth order, so the order converges near-to-far over the frames; a
// triangle is textured if it has a texture and a pixel_count that is not negative, else flat.
// filled == 0: each triangle is outlined in palette index 15, with no depth test.
void render_draw(SceneNode* node, uint8_t filled);
