// Generators of the sound and video test data: small, deterministic files written from scratch
// (PCM in WAV/AIFF/VOC containers, Ogg Vorbis through libvorbisenc, tracker modules, and MPEG-1 system
// streams of flat-colour intra pictures with silent Layer II audio).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace ydxsnd {

// PCM: a square wave of `frames` sample frames (8-bit unsigned or 16-bit little-endian signed).
std::string Wav(int bits, int channels, int rate, int frames);
// A WAV with a "LIST" chunk before "fmt " and another chunk between "fmt " and "data".
std::string WavWithExtraChunks(int rate);
// Any format chunk: the fields as given (the block size too), `extra` after the 16 basic bytes, then
// the data chunk. For float, 24-bit, zero-channel and other shapes the mixer's loader must not see.
struct WavFields {
  int encoding = 1, channels = 1, rate = 22050, bits = 16, blockAlign = 2;
  std::string extra;
};
std::string WavOf(const WavFields& fields, const std::string& data);
// ADPCM as sound tools write it: MS-ADPCM (its 7 coefficient pairs) or IMA-ADPCM in blocks of 256
// bytes per channel, with a "fact" chunk. `blockAlign` 0 takes the usual size; `samplesPerBlock` -1
// the size's own count.
std::string WavAdpcm(bool ms, int channels, int rate, int blocks, int blockAlign = 0, int samplesPerBlock = -1);
// AIFF with big-endian signed PCM.
std::string Aiff(int bits, int channels, int rate, int frames);
// 8SVX: signed 8-bit mono samples after a voice header.
std::string Svx8(int rate, int samples);
// An AIFF whose chunk after "COMM" has a length that, added in 32 bits, leads back to that chunk.
std::string AiffWithChunkPointingBack();
// VOC with one 8-bit data block (rate code 256 - 1000000 / rate), or a "new format" 16-bit block.
std::string Voc8(int rate, int samples);
std::string Voc16(int channels, int rate, int samples);
// 8-bit stereo: an extended block ahead of the data block.
std::string Voc8Stereo(int rate, int samples);
// 16-bit sound shaped as sox writes it: the block's length 8 bytes short, so that its last 8 sample
// bytes (`lastBytes`) and the terminator look like one more block.
std::string Voc16AsSox(int channels, int rate, int samples, const std::string& lastBytes);
// 16-bit mono sound split into a new-format block and `pieces` - 1 continuation blocks.
std::string VocContinued(int rate, int samples, int pieces);
// Ogg Vorbis of a sine tone, or with `music` of changing chords over soft noise; the stream serial is
// given, so equal arguments give equal bytes. 0 seconds gives the headers and an end page without audio.
std::string OggVorbis(int channels, int rate, double seconds, float quality = 0.0f, unsigned serial = 0x59445831,
                      bool music = false);
// The pages of an Ogg file, whole, in order.
std::vector<std::string> OggPages(const std::string& ogg);
// Pages joined again, each with its checksum made to match what it now holds.
std::string ResealOggPages(const std::vector<std::string>& pages);
// A 4-channel "M.K." module with one looping square-wave sample playing on row 0.
std::string ModModule();
// An "Extended Module" with one empty pattern and one instrument holding a looping square wave.
std::string XmModule();
// Header stubs: enough for the signatures, nothing that plays.
std::string S3mStub();
std::string ItStub();

// MPEG-1: `frames` intra pictures of one flat colour (given as Y, Cb, Cr) at 25 pictures a second,
// multiplexed with silent mono 48 kHz Layer II audio into a system stream that opens with the video's
// sequence header.
std::string MpegSystem(int width, int height, int frames, int y, int cb, int cr, bool withAudio = true);
// A system stream that carries only the silent audio.
std::string MpegAudioOnly(int audioFrames);
// The video elementary stream alone.
std::string MpegVideo(int width, int height, int frames, int y, int cb, int cr);

bool Save(const std::string& path, const std::string& bytes);

}  // namespace ydxsnd
