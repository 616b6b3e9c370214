// "brumo": the show's tune, A minor at 125 beats a minute, four rows a beat. The opening
// (rows 0..148) plays while the pumpkin turns; the break (149..167) carries the two hits of
// the white flashes on rows 152 and 153; the main part starts at row 168 with a kick on
// every fourth row, where the pumpkin is lowest and widest, and runs 512 rows (61.4 s)
// before its last pattern jumps back to its first.
//
// Tracks are written as one token per row:
//   .          nothing            A-2, G#3   a note (octaves 1..3) in the track's instrument
//   .EEE       an effect only     A-3:8      a note in instrument 8
//   A-2.447    note and effect    =          silence (volume 0)
//   K S H X C  kick, snare, hi-hat, kick with snare, crash, at their own pitch
// A note with tone portamento (3xx, 5xy) carries no instrument, so it only glides.
#include <array>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "resgen.h"
#include "tune.h"

namespace {

constexpr std::array<uint16_t, 36> kPeriods = {
    856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,  // octave 1
    428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,  // octave 2
    214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113,  // octave 3
};
constexpr uint16_t kDrumPeriod = 214;  // the drums were made at this period's rate

uint16_t note_period(const std::string& name) {
    static const char* const kNames[12] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                           "F#", "G-", "G#", "A-", "A#", "B-"};
    if (name.size() != 3 || name[2] < '1' || name[2] > '3') {
        throw std::invalid_argument("bad note " + name);
    }
    for (int i = 0; i < 12; ++i) {
        if (name.compare(0, 2, kNames[i]) == 0) {
            return kPeriods[static_cast<size_t>(12 * (name[2] - '1') + i)];
        }
    }
    throw std::invalid_argument("bad note " + name);
}

Cell parse_token(const std::string& token, uint8_t instrument) {
    Cell cell;
    std::string head = token;
    size_t dot = token.find('.');
    if (dot != std::string::npos) {
        head = token.substr(0, dot);
        std::string effect = token.substr(dot + 1);
        if (effect.size() == 3)
            cell.effect = static_cast<uint16_t>(std::stoi(effect, nullptr, 16));
        else if (!effect.empty())
            throw std::invalid_argument("bad effect in " + token);
    }
    if (head.empty()) return cell;
    if (head == "=") {
        cell.effect = 0xC00;
        return cell;
    }
    static const std::string kDrums = "KSHXC";
    static const uint8_t kDrumSamples[] = {KICK, SNARE, HIHAT, KICK_SNARE, CRASH};
    if (head.size() == 1 && kDrums.find(head[0]) != std::string::npos) {
        cell.sample = kDrumSamples[kDrums.find(head[0])];
        cell.period = kDrumPeriod;
        return cell;
    }
    size_t colon = head.find(':');
    if (colon != std::string::npos) {
        instrument = static_cast<uint8_t>(std::stoi(head.substr(colon + 1)));
        head = head.substr(0, colon);
    }
    cell.period = note_period(head);
    uint16_t command = cell.effect & 0xF00;
    cell.sample = (command == 0x300 || command == 0x500) ? 0 : instrument;
    return cell;
}

// Writes one token per row into channel `channel` from row `first` on.
void track(Pattern& pattern, int channel, uint8_t instrument, const std::string& text,
           int first = 0) {
    std::istringstream tokens(text);
    std::string token;
    int row = first;
    while (tokens >> token) {
        if (row >= 64) throw std::invalid_argument("track longer than a pattern");
        Cell cell = parse_token(token, instrument);
        Cell& into = pattern[static_cast<size_t>(row)][static_cast<size_t>(channel)];
        if (cell.sample || cell.period) {
            into.sample = cell.sample;
            into.period = cell.period;
        }
        if (cell.effect) into.effect = cell.effect;
        ++row;
    }
}

enum { DRUMS = 0, BASS_TRACK = 1, MELODY = 2, PAD = 3 };  // left: 0 and 3, right: 1 and 2

// --- The main part's building blocks -------------------------------------------------------

const char* const kGroove = "K . H . X . H.C20 . K . H . X . H . ";
const char* const kGrooveFill = "K . H . X . H . K . S.C24 S.C30 X . S.C38 S ";

void main_drums(Pattern& p) {
    for (int bar = 0; bar < 4; ++bar)
        track(p, DRUMS, 0, bar == 3 ? kGrooveFill : kGroove, 16 * bar);
}

// Octave bass in eighths, plucked.
void pumping_bass(Pattern& p, const char* roots, int first_bar = 0) {
    std::istringstream names(roots);
    std::string root;
    for (int bar = first_bar; names >> root; ++bar) {
        std::string text;
        for (int i = 0; i < 8; ++i) text += root + (i % 2 ? "-3" : "-2") + " . ";
        track(p, BASS_TRACK, BASS_PLUCK, text, 16 * bar);
    }
}

// One chord a bar; "Am" takes the minor chord, a bare letter the major one.
void pad_chords(Pattern& p, const char* chords, const char* effect = ".C24") {
    std::istringstream names(chords);
    std::string chord;
    for (int bar = 0; names >> chord; ++bar) {
        bool minor = chord.size() > 1 && chord[1] == 'm';
        std::string text =
            chord.substr(0, 1) + "-3:" + std::to_string(minor ? CHORD_MINOR : CHORD_MAJOR) + effect;
        track(p, PAD, 0, text, 16 * bar);
    }
}

constexpr const char* kProgressionA = "Am F C G";
constexpr const char* kRootsA = "A F C G";
constexpr const char* kProgressionB = "Am F G E";
constexpr const char* kRootsB = "A F G E";

const char* const kMelodyA =
    "A-2 . . . C-3 . E-3 .4C2 .4C2 .4C2 D-3 . C-3 . B-2 . "
    "A-2 . . . . . C-3 . F-3 .4C2 .4C2 .4C2 E-3 . C-3 . "
    "E-3 . . . G-3 . . . E-3 . C-3 . D-3 . E-3.308 . "
    "D-3 . . . B-2 . . . G-2 .4C2 .4C2 .4C2 .4C2 .4C2 .4C2 . ";

const char* const kMelodyB =
    "E-3 . . . A-3 .4C2 .4C2 .4C2 G-3 . E-3 . C-3 . D-3 . "
    "C-3 . . . A-2 . C-3 . F-3 .4C2 .4C2 .4C2 E-3 . D-3 . "
    "B-2 . . . D-3 . G-3 .4C2 .4C2 .4C2 F-3 . D-3 . B-2 . "
    "G#2 . . . B-2 . E-3 .4C2 .4C2 .4C2 G#3.306 . . . .A02 .A02 ";

// Chord arpeggios in a 3-3-2-4-2-2 rhythm.
void arpeggio_solo(Pattern& p, const char* roots) {
    std::istringstream names(roots);
    std::string root;
    for (int bar = 0; names >> root; ++bar) {
        std::string arp = root == "A" ? ".037" : ".047";
        std::string note = root + "-2" + arp;
        std::string text;
        const bool hits[16] = {1, 0, 0, 1, 0, 0, 1, 0, 1, 0, 0, 0, 1, 0, 1, 0};
        for (bool hit : hits) text += (hit ? note : arp) + " ";
        track(p, MELODY, LEAD, text, 16 * bar);
    }
}

// --- The patterns ---------------------------------------------------------------------------

Pattern opening_a() {
    Pattern p{};
    track(p, DRUMS, 0,
          ".F06 . . . . . . . . . . . . . . . "
          ". . . . . . . . . . . . . . . . "
          ". . H.C10 . . . H.C10 . . . H.C10 . . . H.C14 . "
          ". . H.C14 . H.C0C . H.C18 . H.C0C . H.C1C . H.C10 . H.C20 . ");
    track(p, BASS_TRACK, BASS, ".F7D", 0);
    track(p, BASS_TRACK, BASS, "E-2.C18 .A01 .A01 .A01 .A01 .A01", 48);
    track(p, MELODY, BELL,
          "E-3 . . . C-3 . . . A-2 . . . B-2 . . . "
          "C-3 . . . A-2 . . . F-2 . . . A-2 . . . "
          "D-3 . . . F-3 . . . A-3 . . . F-3 . . . "
          "G#3 . . . E-3 . . . B-2 . . . G#2 . . . ");
    pad_chords(p, "Am F Dm E");
    track(p, PAD, 0, ".C18 .A01 .A01 .A01 .A01", 0);  // the opening chord swells in
    track(p, PAD, 0, ". . . . .442 .442 .442 .442 .442 .442 .442 .442 .442 .442 .442", 49);
    return p;
}

Pattern opening_b() {
    Pattern p{};
    const char* bar = "K . H.C18 . H.C10 . H.C18 . K . H.C18 . H.C10 . H.C20 . ";
    for (int b = 0; b < 3; ++b) track(p, DRUMS, 0, bar, 16 * b);
    track(p, DRUMS, 0, "K . H.C18 . H.C10 . H.C18 . K . H.C18 . S.C28 . S.C30 S.C38", 48);
    track(p, BASS_TRACK, BASS,
          "A-2 . . . . . . . . . . . . . . F-2.310 "
          ". . . . . . . . . . . . . . . D-2.310 "
          ". . . . . . . . . . . . . . . E-2.310 "
          ". . . . . . . . . . . . E-3 . E-2 . ");
    track(p, MELODY, BELL,
          "E-3 . . . C-3 . . . A-2 . . . B-2 . . . "
          "C-3 . . . A-2 . . . F-2 . . . A-2 . . . "
          "D-3 . . . F-3 . . . A-3 . . . F-3 . . . "
          "B-2 . . . E-3 . . . G#3 . . . B-3 . . . ");
    pad_chords(p, "Am F Dm E");
    track(p, PAD, 0, ". . . . .442 .442 .442 .442 .442 .442 .442 .442 .442 .442 .442", 49);
    return p;
}

// Rows 0..20 build over E; 21..23 hold silent; 24 and 25 are the two hits (song rows 152
// and 153); then the hits ring out, a riser climbs and the pattern breaks after row 39.
Pattern build_and_break() {
    Pattern p{};
    track(p, DRUMS, 0,
          "S.C10 . . . S.C14 . . . S.C18 . . . S.C1C . S.C20 . "
          "S.C28 S.C30 S.C38 S.C40 S.C40 = . . K.C40 K.C40 . . . . . . "
          "S.C10 . S.C18 . S.C20 S.C28 S.C30 S.C38");
    track(p, BASS_TRACK, BASS,
          "E-2 . E-3 . E-2 . E-3 . E-2 . E-3 . E-2 . E-3 . "
          "E-2 E-3 E-2 E-3 E-2 = . . A-2.C40 A-2.204 .204 .204 .204 .204 .A08 . "
          "E-3:10 . . . . . . . ");
    track(p, MELODY, LEAD,
          "E-2.C20 .102 .102 .102 .102 .102 .102 .102 .102 .102 .102 .102 .102 .102 .102 .102 "
          ".102 .102 .102 .102 .102 = . . C-3:5 C-3:5 . . . . . . "
          "A-1.C18 .104 .104 .104 .104 .104 .104 .104");
    track(p, PAD, 0,
          "E-3:9.C28 . . . .442 .442 .442 .442 .442 .442 .442 .442 .442 .442 .442 .442 "
          ".442 .442 .442 .442 .442 = . . A-3:8.C40 A-3:8.C40 .A01 .A01 .A01 .A01 .A01 .A01 "
          ".A01 .A01 .A01 .A01 .A01 .A01 .A01 .D00");
    return p;
}

Pattern main_groove() {
    Pattern p{};
    main_drums(p);
    pumping_bass(p, kRootsA);
    pad_chords(p, kProgressionA);
    return p;
}

Pattern main_melody_a() {
    Pattern p = main_groove();
    track(p, MELODY, LEAD, kMelodyA);
    return p;
}

Pattern main_melody_b() {
    Pattern p{};
    main_drums(p);
    pumping_bass(p, kRootsB);
    pad_chords(p, kProgressionB);
    track(p, MELODY, LEAD, kMelodyB);
    return p;
}

// Kicks alone under long bass notes and a trembling pad, building back up in the last bar.
Pattern breakdown() {
    Pattern p{};
    for (int b = 0; b < 3; ++b)
        track(p, DRUMS, 0, "K.C30 . . . K.C30 . . . K.C30 . . . K.C30 . . . ", 16 * b);
    track(p, DRUMS, 0, "X.C30 . S.C20 . X.C38 . S.C28 . X.C40 S.C30 S.C38 S.C40 X S S S", 48);
    track(p, BASS_TRACK, BASS,
          "A-2 . . . . . . . . . . . . . . . "
          "F-2 . . . . . . . . . . . . . . . "
          "C-2 . . . . . . . . . . . . . . G-2.310 ");
    pumping_bass(p, "G", 3);
    pad_chords(p, kProgressionA, ".742");
    for (int b = 0; b < 4; ++b) track(p, PAD, 0, ". .742 .742 .742 .742 .742 .742 .742", 16 * b);
    track(p, MELODY, LEAD,
          "E-3.C20 . . . .4C2 .4C2 .4C2 .4C2 .4C2 .4C2 .4C2 .4C2 . . . . "
          "F-3 . . . .4C2 .4C2 .4C2 .4C2 .4C2 .4C2 .4C2 .4C2 . . . . "
          "G-3 . . . .4C2 .4C2 .4C2 .4C2 E-3.304 . . . .4C2 .4C2 .4C2 .4C2 "
          "D-3 . . . .4C2 .4C2 .4C2 .4C2 .A02 .A02 .A02 .A02 .A02 .A02 .A02 .A02 ");
    return p;
}

// The bell takes the first melody while the pad trembles.
Pattern bell_melody() {
    Pattern p = main_groove();
    track(p, MELODY, BELL, kMelodyA);
    for (int b = 0; b < 4; ++b) track(p, PAD, 0, ". .744 .744 .744 .744 .744 .744 .744", 16 * b);
    return p;
}

Pattern arpeggios() {
    Pattern p{};
    main_drums(p);
    pumping_bass(p, kRootsB);
    pad_chords(p, kProgressionB);
    arpeggio_solo(p, kRootsB);
    return p;
}

// The last pattern of the main part jumps back to its first (order 3).
Pattern finale() {
    Pattern p = main_melody_b();
    track(p, PAD, 0, ".B03", 63);
    return p;
}

}  // namespace

void make_tune(std::vector<ResourceFile>& out) {
    std::vector<Pattern> patterns = {
        opening_a(),        // 0: song rows 0..63
        opening_b(),        // 1: rows 64..127
        build_and_break(),  // 2: rows 128..167, broken after its row 39
        main_groove(),      // 3: the main part from row 168
        main_melody_a(),    // 4
        main_melody_b(),    // 5
        breakdown(),        // 6
        bell_melody(),      // 7
        arpeggios(),        // 8
        finale(),           // 9
    };
    const std::vector<uint8_t> orders = {0, 1, 2, 3, 4, 5, 6, 7, 8, 4, 9};
    out.push_back({"brumo.mod", encode_module("brumo", make_instruments(), patterns, orders)});
}
