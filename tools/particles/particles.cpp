// particles: shows the particle field alone in the window, fed by a fountain that throws a
// few particles up from below the frame centre every frame. Escape or closing the window
// ends it. Run it from the directory that holds res/ (the field reads the tunnel texture).
#include <cstdlib>

#include "demo/loops.h"
#include "effects/particles.h"
#include "loaders/pcx.h"
#include "math/fixed.h"
#include "platform/display.h"

namespace {

// A random value in -spread .. spread, in Fixed units.
Fixed jitter(int32_t spread) {
    return std::rand() % (2 * spread + 1) - spread;
}

void fountain() {
    for (int i = 0; i < 2; ++i)
        spawn_particle(jitter(0x8000), 0x100000, 0x180000, jitter(0x2000), -0x8000 + jitter(0x1000),
                       jitter(0x1000));
}

}  // namespace

int main() {
    hold_exit_signals();
    if (load_tunnel_texture() < 0) return 1;
    init_display();
    run_particle_demo(fountain);
}
