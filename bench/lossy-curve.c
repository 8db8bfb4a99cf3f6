/* Prints the bitrate libsndfile's lossy encoders give at each compression level: for every
   WAVE file named, one line per codec with the kb/s (file bytes x 8 / seconds) at the levels
   0, STEP, 2 x STEP, ... 1. MP3 is measured in constant-bitrate mode, the others in their
   default mode. CODEC (vorbis, opus or mp3) measures one codec only.
   Usage: lossy-curve STEP [CODEC] FILE...
   The table of LibProject/Audio/WaveFileUtil/LossyLevels.cpp; bench/lossy-curve.sh runs it. */
#include <sndfile.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static double Encode(const char* path, int format, int mode, double level, const char* out) {
  SF_INFO in_info = {0};
  SNDFILE* in = sf_open(path, SFM_READ, &in_info);
  if (in == NULL) return -1;
  SF_INFO out_info = {0};
  out_info.samplerate = in_info.samplerate;
  out_info.channels = in_info.channels;
  out_info.format = format;
  SNDFILE* o = sf_open(out, SFM_WRITE, &out_info);
  if (o == NULL) { sf_close(in); return -1; }
  if (mode >= 0) sf_command(o, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
  sf_command(o, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
  static float block[4096 * 8];
  sf_count_t got, frames = 0;
  while ((got = sf_readf_float(in, block, 4096 * 8 / in_info.channels)) > 0) {
    sf_writef_float(o, block, got);
    frames += got;
  }
  sf_close(o);
  sf_close(in);
  FILE* f = fopen(out, "rb");
  fseek(f, 0, SEEK_END);
  const long bytes = ftell(f);
  fclose(f);
  remove(out);
  return bytes * 8.0 / ((double)frames / in_info.samplerate) / 1000.0;
}

int main(int argc, char** argv) {
  const double step = atof(argv[1]);
  const struct { const char* name; int format; int mode; } codecs[] = {
      {"vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS, -1},
      {"opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, -1},
      {"mp3-cbr", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, SF_BITRATE_MODE_CONSTANT},
  };
  int first = 2;
  const char* only = NULL;
  if (argc > 2 && (strcmp(argv[2], "vorbis") == 0 || strcmp(argv[2], "opus") == 0 ||
                   strcmp(argv[2], "mp3") == 0)) {
    only = argv[2];
    first = 3;
  }
  for (int i = first; i < argc; ++i) {
    for (int c = 0; c < 3; ++c) {
      if (only != NULL && strncmp(codecs[c].name, only, strlen(only)) != 0) continue;
      printf("%s %s:", argv[i], codecs[c].name);
      for (int k = 0; k * step <= 1.0 + 1e-9; ++k) {
        printf(" %.1f", Encode(argv[i], codecs[c].format, codecs[c].mode, k * step, "/tmp/lossy-curve.out"));
      }
      printf("\n");
    }
  }
  return 0;
}
