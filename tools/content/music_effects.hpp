// music_effects: the song's shared effects and master stage, working on whole buffers.
//
// Offers: apply_ping_pong_delay (echoes crossing between the sides, darker each time),
// apply_reverb (a Schroeder-Moorer room: damped combs and allpasses per side),
// add_kick_ducking (lowers the duck curve right after each kick) and limit_peaks
// (look-ahead gain riding that holds every sample at or below a ceiling).
// Depends on: nothing but the standard library.
#pragma once

#include <cstdint>
#include <vector>

namespace textdemo::content {

// Replaces the send buffers by their echoes.
void apply_ping_pong_delay(std::vector<float>& left, std::vector<float>& right, int delay_frames, float feedback);
// Replaces the send buffers by the room's response.
void apply_reverb(std::vector<float>& left, std::vector<float>& right, float room, float damping);
void add_kick_ducking(std::vector<float>& duck, std::int64_t start);
// Scales both sides by one smooth gain so that no sample exceeds ceiling.
void limit_peaks(std::vector<float>& left, std::vector<float>& right, float ceiling);

}  // namespace textdemo::content
