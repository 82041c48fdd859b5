// sound_errors: the texts of the sound layer's result codes, the same in every build.
#include "song/sound_layer.hpp"

namespace textdemo {

const char* sound_error_string(std::int32_t result) {
    switch (result) {
        case SOUND_OK: return "No errors.";
        case SOUND_ERR_BAD_STREAM: return "The data is not a playable MP3 stream.";
        case SOUND_ERR_DECODER: return "The MP3 decoder could not be set up.";
        case SOUND_ERR_INVALID_HANDLE: return "An invalid or finished object handle was used.";
        case SOUND_ERR_INVALID_PARAM: return "An invalid parameter was passed to this function.";
        case SOUND_ERR_NOT_INITIALISED: return "The sound system has not been initialised.";
        case SOUND_ERR_ALREADY_PLAYING: return "The sound system's one channel is already playing.";
        default: return "Unknown error.";
    }
}

}  // namespace textdemo
