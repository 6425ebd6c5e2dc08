// The Ogg Vorbis decoder, compiled once from the single-file library; the track is decoded from
// memory only, so the library's file functions are left out.
#define STB_VORBIS_NO_STDIO
#include <stb_vorbis.h>
