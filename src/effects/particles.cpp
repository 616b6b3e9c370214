#include "effects/particles.h"

#include <cstdlib>

#include "core/framebuffer.h"
#include "core/random.h"
#include "loaders/pcx.h"
#include "math/trig.h"
#include "render/raster.h"

std::array<Particle, PARTICLE_SLOTS> particles{};

namespace {

Fixed tumble(int32_t angle) {
    return static_cast<Fixed>((int64_t{fine_sin32(angle)} * PARTICLE_RADIUS) >> 16);
}

}  // namespace

void spawn_particle(Fixed x, Fixed y, Fixed z, Fixed vx, Fixed vy, Fixed vz) {
    for (Particle& p : particles) {
        if (p.life != 0) continue;
        p.x = x;
        p.y = y;
        p.z = z;
        p.vx = vx;
        p.vy = vy;
        p.vz = vz;
        for (int32_t& spin : p.spin) spin = show_random() & 0x7F;
        p.life = PARTICLE_LIFE;
        return;
    }
}

bool update_particles() {
    // Rebuilt every update: three vertices and one triangle per slot, textured with the
    // tunnel texture's corners but drawn flat.
    Vertex vertices[3 * PARTICLE_SLOTS];
    Triangle triangles[PARTICLE_SLOTS];
    const int32_t w = tunnel_texture != nullptr ? static_cast<int32_t>(tunnel_texture->width) : 1;
    const int32_t h = tunnel_texture != nullptr ? static_cast<int32_t>(tunnel_texture->height) : 1;
    TexCoord corners[3] = {{0, 0}, {w - 1, 0}, {w - 1, h - 1}};
    for (int i = 0; i < PARTICLE_SLOTS; ++i) {
        Triangle& t = triangles[i];
        t = Triangle{};
        for (int c = 0; c < 3; ++c) {
            t.vertices[c] = &vertices[3 * i + c];
            t.texcoords[c] = &corners[c];
        }
        t.texture = tunnel_texture;
        t.flat_colour = COLOUR_DARK_RED_BROWN;
    }

    for (Particle& p : particles) {
        if (p.life == 0) continue;
        --p.life;
        p.x = wrap_add(p.x, p.vx);
        p.y = wrap_add(p.y, p.vy);
        p.z = wrap_add(p.z, p.vz);
        for (int k = 0; k < 3; ++k) p.angle[k] = wrap_add(p.angle[k], p.spin[k]);
        p.vy = wrap_add(p.vy, PARTICLE_GRAVITY);
    }

    for (int i = 0; i < PARTICLE_SLOTS; ++i) {
        const Particle& p = particles[i];
        Vertex* v = &vertices[3 * i];
        for (int c = 0; c < 3; ++c) v[c] = Vertex{};
        if (p.life == 0) continue;  // all three corners stay at the origin
        v[0].view_x = wrap_add(p.x, tumble(p.angle[0]));
        v[0].view_y = p.y;
        v[0].view_z = p.z;
        v[1].view_x = p.x;
        v[1].view_y = wrap_add(p.y, tumble(p.angle[1]));
        v[1].view_z = p.z;
        v[2].view_x = p.x;
        v[2].view_y = p.y;
        v[2].view_z = wrap_add(p.z, tumble(p.angle[2]));
    }

    for (Triangle& t : triangles) {
        project_triangle(&t);
        draw_flat_triangle(&t);
    }
    return true;
}
