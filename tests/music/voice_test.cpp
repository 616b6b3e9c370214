#include "music/voice.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Pseudo-random bytes handed out block by block; after `stop_after` fetches the source silences
// its voice, as a sample without loop does.
struct Source {
    uint32_t pos = 0;
    int calls = 0, stop_after = 0;
    Voice* voice = nullptr;
};

void source_fetch(void* data, int8_t* buffer) {
    auto* s = static_cast<Source*>(data);
    for (int k = 0; k < VOICE_BLOCK; ++k) buffer[k] = int8_t((s->pos++ * 2654435761u) >> 17);
    if (++s->calls == s->stop_after) voice_set_frequency(s->voice, 0);
}

// The mixing loop written out plainly, one output sample at a time, for comparison.
void reference_mix(Voice* v, int32_t* acc, int32_t count) {
    const int32_t step = v->step;  // read once: a fetch may change it, for the next run
    if (step == 0) v->prev = v->next = 0;
    for (int32_t i = 0; i < count && step != 0; ++i) {
        int32_t volume = v->volume << VOICE_VOLUME_SHIFT;
        if (v->ramp_left > 0) {
            volume = v->ramp_volume;
            v->ramp_volume += v->ramp_delta;
            --v->ramp_left;
        }
        const int32_t x = (((v->next - v->prev) >> 20) * v->frac >> 11) + (v->prev >> 15);
        acc[i] += (volume * x) >> (6 + VOICE_VOLUME_SHIFT);
        v->frac += step;
        if (v->frac > 0xFFFF) {
            v->block_pos += v->frac >> 16;
            v->frac &= 0xFFFF;
            if (v->block_pos > 255) {
                v->block_pos &= 255;
                voice_refill(v);
            }
            v->prev = v->next;
            v->next = v->block[size_t(v->block_pos)];
        }
    }
}

// The mixer (wide where it can be) gives the plain loop's output, fetches and state bit for bit
// over random steps, volumes and ramps, restarts and runs, from a source that stops mid-run.
TEST(Voice, MixMatchesThePlainLoopBitForBit) {
    const int32_t edge_steps[] = {0x0100, 0x8000, 0xFFFF, 0x10000, 0x18000, 3 << 16};
    const int32_t edge_runs[] = {1, 7, 8, 255, 256, 1023, 1024, 1025};
    std::mt19937 random(20261207);
    for (int trial = 0; trial < 300; ++trial) {
        Source mine, plain;
        mine.stop_after = plain.stop_after = 1 + int(random() % 40);
        Voice a{}, b{};
        for (auto [v, s] : {std::pair{&a, &mine}, {&b, &plain}}) {
            voice_init(v, 44100);
            voice_set_fetch(v, source_fetch, s);
            s->voice = v;
        }
        std::vector<int32_t> got(3000), want(3000);
        for (int op = 0; op < 40; ++op) {
            const auto r = random();
            switch (random() % 5) {
                case 0:
                    a.step = b.step = int32_t(r % 4 == 0   ? 0x10000 + r % 0x20000
                                              : r % 4 == 1 ? edge_steps[r % 6]
                                                           : r % 0x10000);
                    break;
                case 1:  // a volume, ramped over up to 200 samples or set at once
                    a.ramp_length = b.ramp_length = int32_t(r % 3 == 0 ? 0 : r % 200);
                    voice_set_volume(&a, int32_t(r % 65));
                    voice_set_volume(&b, int32_t(r % 65));
                    break;
                case 2:  // a restart, for a new note or not
                    (r % 2 ? voice_restart : voice_start_note)(&a);
                    (r % 2 ? voice_restart : voice_start_note)(&b);
                    break;
                default: {
                    const auto n = int32_t(r % 4 == 0 ? edge_runs[r % 8] : r % 3000);
                    std::fill(got.begin(), got.end(), 5);
                    std::fill(want.begin(), want.end(), 5);
                    voice_mix(&a, got.data(), n);
                    reference_mix(&b, want.data(), n);
                    ASSERT_EQ(got, want) << "trial " << trial << " op " << op;
                    const int32_t state[2][7] = {{a.frac, a.prev, a.next, a.block_pos, a.ramp_left,
                                                  a.ramp_volume, mine.calls},
                                                 {b.frac, b.prev, b.next, b.block_pos, b.ramp_left,
                                                  b.ramp_volume, plain.calls}};
                    ASSERT_TRUE(std::equal(state[0], state[0] + 7, state[1])) << "trial " << trial;
                }
            }
        }
    }
}

}  // namespace
