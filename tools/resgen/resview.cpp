// resview [directory]: renders the show's models with the project's own renderer, posed as
// the show poses them, into contact sheets for inspection: pumpkin.png (twelve moments of
// the main scene, from the first turn through the tilt to the swell) and cube.png (twelve
// intro frames). The directory defaults to the working directory.
#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "loaders/obj.h"
#include "math/matrix.h"
#include "platform/clock.h"
#include "platform/framebuffer.h"
#include "render/raster.h"
#include "render/scene.h"
#include "show_pose.h"

namespace {

constexpr int kColumns = 3;
constexpr int kRows = 4;

struct Sheet {
    int width = FRAME_WIDTH * kColumns, height = FRAME_HEIGHT * kRows;
    std::vector<uint8_t> rgb = std::vector<uint8_t>(static_cast<size_t>(width * height * 3), 0);

    // Copies the framebuffer into cell `index`, with a grey line on the cell's edges.
    void put_frame(int index) {
        int ox = (index % kColumns) * FRAME_WIDTH, oy = (index / kColumns) * FRAME_HEIGHT;
        for (int y = 0; y < FRAME_HEIGHT; ++y) {
            for (int x = 0; x < FRAME_WIDTH; ++x) {
                uint32_t c = palette[framebuffer.pixels[y * FRAME_WIDTH + x]];
                if (x == 0 || y == 0) c = palette[COLOUR_DARK_GREY];
                uint8_t* p = &rgb[static_cast<size_t>(((oy + y) * width + ox + x) * 3)];
                p[0] = static_cast<uint8_t>(c >> 24);
                p[1] = static_cast<uint8_t>(c >> 16);
                p[2] = static_cast<uint8_t>(c >> 8);
            }
        }
    }

    bool write(const std::string& path) const {
        FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) return false;
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) {
            png_destroy_write_struct(&png, &info);
            std::fclose(file);
            return false;
        }
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                     8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y) {
            png_write_row(png, &rgb[static_cast<size_t>(y * width * 3)]);
        }
        png_write_end(png, nullptr);
        png_destroy_write_struct(&png, &info);
        return std::fclose(file) == 0;
    }
};

void draw_scene(SceneNode* root) {
    ++frame_count;
    matrix_reset();
    render_transform(root);
    clear_frame(COLOUR_BLACK);
    clear_depth();
    render_draw(root, 1);
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? std::string(argv[1]) + "/" : "";
    frame_attach_storage();
    frame_count = 0;

    Model* pumpkin = load_obj("res/pumpkin.obj", 64);
    Model* cube = load_obj("res/cube.obj", 1);
    if (!pumpkin || !cube) return 1;

    SceneNode* root = create_root_node();
    SceneNode* tilt = create_group_node(root);
    SceneNode* pulse = create_group_node(tilt);
    SceneNode* turn = create_mesh_node(pulse, &pumpkin->mesh);
    for (SceneNode* node : {root, tilt, pulse, turn}) node->transform_mode = 2;

    Sheet pumpkin_sheet;
    const uint32_t ticks[kColumns * kRows] = {0,   120, 240,  360,  899,  930,
                                              960, 999, 1008, 1011, 1014, 1017};
    for (int i = 0; i < kColumns * kRows; ++i) {
        PumpkinPose pose = pumpkin_pose(ticks[i]);
        // Settle the near-to-far order the way consecutive frames of the show do.
        for (int settle = 0; settle < 40; ++settle) {
            matrix_identity(&pulse->local);
            if (pose.swell) matrix_scaling(&pulse->local, pose.swell, 0x10000, 0x10000);
            matrix_rotation_x(&tilt->local, pose.tilt);
            matrix_rotation_y(&turn->local, pose.turn);
            matrix_identity(&root->local);
            matrix_set_translation(&root->local, pose.x, pose.y, pose.z);
            draw_scene(root);
        }
        pumpkin_sheet.put_frame(i);
    }

    SceneNode* intro_root = create_root_node();
    SceneNode* intro_group = create_group_node(intro_root);
    SceneNode* cube_node = create_mesh_node(intro_group, &cube->mesh);
    intro_root->transform_mode = 2;
    intro_group->transform_mode = 2;
    cube_node->transform_mode = 1;
    Sheet cube_sheet;
    for (int i = 0; i < kColumns * kRows; ++i) {
        CubePose pose = cube_pose(static_cast<uint32_t>(i * 25));
        for (int settle = 0; settle < 40; ++settle) {
            matrix_identity(&intro_root->local);
            matrix_set_translation(&intro_root->local, 0, pose.y, 0xB40000);
            matrix_rotation_y(&intro_group->local, pose.turn);
            draw_scene(intro_root);
        }
        cube_sheet.put_frame(i);
    }

    bool ok = pumpkin_sheet.write(dir + "pumpkin.png") && cube_sheet.write(dir + "cube.png");
    std::printf("%s\n", ok ? "wrote pumpkin.png and cube.png" : "cannot write the sheets");
    return ok ? 0 : 1;
}
