// The program entry. Until the show is assembled it presents a test card: the 256 palette
// entries as a 16 x 16 grid of swatches, paced like the show, ending on Escape, window close
// or a terminating signal.
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/framebuffer.h"

namespace {

void draw_test_card() {
    const int32_t cell_w = FRAME_WIDTH / 16;
    const int32_t cell_h = FRAME_HEIGHT / 16;
    for (int32_t y = 0; y < FRAME_HEIGHT; ++y)
        for (int32_t x = 0; x < FRAME_WIDTH; ++x)
            put_pixel(x, y, static_cast<uint8_t>((y / cell_h) * 16 + x / cell_w));
}

}  // namespace

int main() {
    init_display();
    clear_frame(COLOUR_BLACK);
    for (;;) {
        draw_test_card();
        present_frame();
        ++frame_count;
    }
}
