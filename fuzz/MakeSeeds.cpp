// Writes the hand-made seeds of the fuzz corpora: PCM files with cue, label, sampler and extra
// chunks and one whose data chunk runs past the end of the file (corpus/wav), and protected
// files made from them (corpus/wio). The seeds of corpus/snd come from make-snd-seeds.sh.
// Usage: make_seeds FUZZ_FOLDER
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/cipher/EncryptNewPC1.h"
#include "tests/support/ProtectedFileBuilder.h"
#include "tests/support/RiffBuilder.h"

using namespace testsupport;

namespace {

void Save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f != nullptr) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    return 2;
  }
  const std::string folder = argv[1];
  std::vector<std::uint8_t> smpl;
  for (int i = 0; i < 7; ++i) Put32(smpl, 0);
  Put32(smpl, 1);
  Put32(smpl, 0);
  for (int i = 0; i < 6; ++i) Put32(smpl, 1);
  const auto labelled = RiffBuilder()
                            .Chunk("fmt ", FmtBody(1, 1, 8000, 8))
                            .Chunk("data", {1, 2, 3, 4, 5})
                            .Chunk("cue ", CueBody({{1, 1}, {2, 3}}))
                            .Chunk("LIST", AdtlBody({{1, "(3,7)"}, {2, "SILENCE"}}, {{2, 2}}))
                            .Chunk("smpl", smpl)
                            .Chunk("WIOD", {1, 2, 3})
                            .Build();
  // An editor's markers beside the program's label: a label, a note of odd size, the labelled
  // text of a region with its words, and a label whose cue id has no cue point.
  std::vector<std::uint8_t> markers = AdtlBody({{1, "Intro"}, {3, "(1,2)"}, {9, "Orphan"}});
  for (const std::string_view sub :
       {std::string_view("note\x0D\0\0\0\x01\0\0\0Ask why.\0\0", 22),
        std::string_view(
            "ltxt\x1D\0\0\0\x01\0\0\0\x02\0\0\0rgn \x2C\0\x09\0\x01\0\xE4\x04Opening.\0\0", 38)}) {
    markers.insert(markers.end(), sub.begin(), sub.end());
  }
  const auto editorMarkers = RiffBuilder()
                                 .Chunk("fmt ", FmtBody(1, 1, 8000, 16))
                                 .Chunk("data", Pcm16Bytes({1, 2, 3, 4}))
                                 .Chunk("cue ", CueBody({{1, 0}, {3, 2}}))
                                 .Chunk("LIST", markers)
                                 .Build();
  const auto stereo = PcmWave(2, 16000, 16, Pcm16Bytes({1, -1, 300, -300, 32767, -32768}));
  Save(folder + "/corpus/wav/pcm8-labels.wav", labelled);
  Save(folder + "/corpus/wav/pcm16-stereo.wav", stereo);
  Save(folder + "/corpus/wav/pcm16-editor-markers.wav", editorMarkers);
  Save(folder + "/corpus/wav/data-past-the-end.wav",
       RiffBuilder()
           .Chunk("fmt ", FmtBody(1, 1, 8000, 16))
           .Chunk("data", Pcm16Bytes({1, -1, 300, -300}), true, 4000)
           .Build());
  Save(folder + "/corpus/wio/empty-list.wio", testsupport::BuildProtectedFile(stereo, {}, "s.wav"));
  Save(folder + "/corpus/wio/two-phrases.wio",
       testsupport::BuildProtectedFile(labelled, {"first", std::string(kWaveReaderPassPhrase)},
                                       "l.wav"));
  return 0;
}
