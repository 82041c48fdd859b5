// lzma_absent: the web build has no liblzma. These are the decoder's entry points the
// archive format calls; each says the format is not supported, so an LZMA entry decodes to
// no bytes. The page checks an archive for LZMA entries before loading it and names them.
#include <lzma.h>

extern "C" {

lzma_ret lzma_properties_decode(lzma_filter*, const lzma_allocator*, const uint8_t*, size_t) {
    return LZMA_OPTIONS_ERROR;
}

lzma_ret lzma_raw_decoder(lzma_stream*, const lzma_filter*) { return LZMA_OPTIONS_ERROR; }

lzma_ret lzma_code(lzma_stream*, lzma_action) { return LZMA_PROG_ERROR; }

void lzma_end(lzma_stream*) {}

}  // extern "C"
