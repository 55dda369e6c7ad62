// The image service: "IMG" archive blocks, BMP and PNG files to and from SDL surfaces. Files are
// read through the platform layer and written whole through ReplaceFile, so a failed save never
// damages the file that was there; every outside byte is checked before a surface is sized by it.
#include "01_Main.h"
#include "00_Platform.h"
#include "14_Image.h"
#include "20_Primitives.h"
#include "glSDL.h"
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <png.h>

struct sImagePrivate {
  Uint8 unused;
};

Yandorix_IImage::Yandorix_IImage() {
  p = new sImagePrivate();
  ILogSystem.Msg(5, " . [IImage] Interfaz created.\n");
}

Yandorix_IImage::~Yandorix_IImage() {
  delete p;
  ILogSystem.Msg(5, " . [IImage] Interfaz deleted.\n");
}

namespace {

// ---------------------------------------------------------------------------------------------------
// SDL streams over the platform layer: a file for reading, a growing memory block for writing.

int SDLCALL FileSeek(SDL_RWops* rw, int offset, int whence) {
  int64_t position = ydxplat::Seek((int)(intptr_t)rw->hidden.unknown.data1, offset, whence);
  if (position < 0 || position > INT_MAX) {
    SDL_SetError("Error seeking in datastream");
    return -1;
  }
  return (int)position;
}

int SDLCALL FileRead(SDL_RWops* rw, void* ptr, int size, int maxnum) {
  if (size <= 0 || maxnum <= 0) return 0;
  int64_t got = ydxplat::Read((int)(intptr_t)rw->hidden.unknown.data1, ptr, (size_t)size * (size_t)maxnum);
  if (got < 0) {
    SDL_SetError("Error reading from datastream");
    return -1;
  }
  return (int)(got / size);
}

int SDLCALL NoWrite(SDL_RWops*, const void*, int, int) {
  SDL_SetError("stream is read-only");
  return -1;
}

int SDLCALL FileClose(SDL_RWops* rw) {
  ydxplat::Close((int)(intptr_t)rw->hidden.unknown.data1);
  SDL_FreeRW(rw);
  return 0;
}

SDL_RWops* OpenFileStream(const char* file) {
  if (!file) return NULL;
  int fd = ydxplat::Open(file, ydxplat::kRead);
  if (fd < 0) {
    SDL_SetError("Couldn't open %s", file);
    return NULL;
  }
  SDL_RWops* rw = SDL_AllocRW();
  if (!rw) {
    ydxplat::Close(fd);
    return NULL;
  }
  rw->seek = FileSeek;
  rw->read = FileRead;
  rw->write = NoWrite;
  rw->close = FileClose;
  rw->hidden.unknown.data1 = (void*)(intptr_t)fd;
  return rw;
}

struct sMemorySink {
  std::vector<Uint8>* bytes;
  size_t position;
};

sMemorySink* SinkOf(SDL_RWops* rw) { return static_cast<sMemorySink*>(rw->hidden.unknown.data1); }

int SDLCALL SinkSeek(SDL_RWops* rw, int offset, int whence) {
  sMemorySink* sink = SinkOf(rw);
  int64_t base = whence == RW_SEEK_SET ? 0 : whence == RW_SEEK_CUR ? (int64_t)sink->position : (int64_t)sink->bytes->size();
  int64_t position = base + offset;
  if (position < 0 || position > INT_MAX) {
    SDL_SetError("Error seeking in datastream");
    return -1;
  }
  sink->position = (size_t)position;
  return (int)position;
}

int SDLCALL SinkRead(SDL_RWops*, void*, int, int) {
  SDL_SetError("stream is write-only");
  return -1;
}

int SDLCALL SinkWrite(SDL_RWops* rw, const void* ptr, int size, int num) {
  if (size <= 0 || num <= 0) return 0;
  sMemorySink* sink = SinkOf(rw);
  size_t length = (size_t)size * (size_t)num;
  try {
    if (sink->bytes->size() < sink->position + length) sink->bytes->resize(sink->position + length);
  } catch (const std::bad_alloc&) {
    SDL_Error(SDL_ENOMEM);
    return -1;
  }
  std::memcpy(sink->bytes->data() + sink->position, ptr, length);
  sink->position += length;
  return num;
}

int SDLCALL SinkClose(SDL_RWops* rw) {
  delete SinkOf(rw);
  SDL_FreeRW(rw);
  return 0;
}

SDL_RWops* OpenMemorySink(std::vector<Uint8>* bytes) {
  SDL_RWops* rw = SDL_AllocRW();
  if (!rw) return NULL;
  rw->seek = SinkSeek;
  rw->read = SinkRead;
  rw->write = SinkWrite;
  rw->close = SinkClose;
  rw->hidden.unknown.data1 = new sMemorySink{bytes, 0};
  return rw;
}

// Bytes from the stream's position to its end; -1 when it cannot tell.
int64_t StreamRemaining(SDL_RWops* src) {
  int start = SDL_RWtell(src);
  int end = SDL_RWseek(src, 0, RW_SEEK_END);
  SDL_RWseek(src, start, RW_SEEK_SET);
  return start < 0 || end < start ? -1 : (int64_t)end - start;
}

// Writes a whole file in place of `file`; the old one stays when anything fails.
bool WriteWholeFile(const char* file, const std::vector<Uint8>& bytes) {
  ydxplat::ReplaceFile out;
  if (!out.Begin(file)) {
    SDL_SetError("Couldn't create %s", file);
    return false;
  }
  if (!out.Write(bytes.data(), bytes.size()) || !out.Commit()) {
    SDL_SetError("Couldn't write %s", file);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Steps every loader shares

bool ConversionApplies(const SDL_Surface* s) { return Yandorix_AutoConvert && ::SurfaceDiffersFromScreen(s); }

// Replaces the surface with its screen-format copy; keeps it when SDL cannot convert.
SDL_Surface* ConvertInPlace(SDL_Surface* s, bool perPixelAlpha) {
  SDL_Surface* converted = ydxfmt::DisplayCopy(s, perPixelAlpha);
  if (!converted) return s;
  SDL_FreeSurface(s);
  return converted;
}

void TextureStep(SDL_Surface* s) {
  if (Yandorix.IsGL() && Yandorix_AutoConvert && glSDL_SurfaceToTexture(s)) ++Yandorix_TexturesAtLoad;
}

bool HasPerPixelAlpha(const SDL_Surface* s) { return (s->flags & SDL_SRCALPHA) && s->format->Amask != 0; }

// The screen surface under OpenGL is grabbed into a new surface before it can be saved.
SDL_Surface* SurfaceToSave(SDL_Surface* surface, SDL_Surface** grabbed) {
  *grabbed = NULL;
  if (!Yandorix.IsGL() || surface != Yandorix.screen) return surface;
  *grabbed = glSDL_GrabScreen();
  return *grabbed;
}

// Colour key and surface alpha of a surface, switched off while SDL copies its pixels as they are.
struct sKeyAndAlpha {
  Uint32 flags;
  Uint32 key;
  Uint8 alpha;
};

sKeyAndAlpha SwitchOffKeyAndAlpha(SDL_Surface* s) {
  sKeyAndAlpha saved = {s->flags, s->format->colorkey, s->format->alpha};
  if (saved.flags & SDL_SRCCOLORKEY) SDL_SetColorKey(s, 0, 0);
  if (saved.flags & SDL_SRCALPHA) SDL_SetAlpha(s, 0, 255);
  return saved;
}

void RestoreKeyAndAlpha(SDL_Surface* s, const sKeyAndAlpha& saved) {
  if (saved.flags & SDL_SRCCOLORKEY) SDL_SetColorKey(s, saved.flags & (SDL_SRCCOLORKEY | SDL_RLEACCEL), saved.key);
  if (saved.flags & SDL_SRCALPHA) SDL_SetAlpha(s, saved.flags & (SDL_SRCALPHA | SDL_RLEACCEL), saved.alpha);
}

Uint32 Get32(const Uint8* at) {
  return (Uint32)at[0] | ((Uint32)at[1] << 8) | ((Uint32)at[2] << 16) | ((Uint32)at[3] << 24);
}
Uint32 Get16(const Uint8* at) { return (Uint32)at[0] | ((Uint32)at[1] << 8); }

}  // namespace

namespace ydximg {

// ---------------------------------------------------------------------------------------------------
// "IMG" blocks

bool DecodeImageBlock(const Uint8* data, size_t size, sImageBlock* out, std::string* why) {
  if (!data || size < kImageBlockHeader) {
    *why = "block shorter than its header";
    return false;
  }
  out->width = (int)(Sint32)Get32(data);
  out->height = (int)(Sint32)Get32(data + 4);
  out->format = ydxfmt::DecodeFormat(data + 8);
  uint64_t pixelBytes = 0;
  if (!ydxfmt::StoredImageBytes(out->width, out->height, out->format, &pixelBytes, why)) return false;
  if (size - kImageBlockHeader != pixelBytes) {
    *why = "block of " + std::to_string(size) + " bytes for " + std::to_string(pixelBytes + kImageBlockHeader);
    return false;
  }
  out->pixels = data + kImageBlockHeader;
  return true;
}

bool EncodeImageBlock(SDL_Surface* surface, Sint32 colorkey, Uint8 alpha, std::vector<Uint8>* out) {
  if (!surface) return false;
  Uint8 size[8];
  for (int i = 0; i < 4; ++i) {
    size[i] = (Uint8)((Uint32)surface->w >> (8 * i));
    size[4 + i] = (Uint8)((Uint32)surface->h >> (8 * i));
  }
  out->assign(size, size + 8);
  return ydxfmt::AppendImageData(surface, colorkey, alpha, out);
}

// Surface alpha and key as the block stores them; true for a per-pixel-alpha image.
static bool ApplyBlockAlphaAndKey(SDL_Surface* s, const sStoredPixelFormat& f) {
  if (s->format->Amask && f.alpha == 255) return true;
  if (f.alpha == 255 && !s->format->Amask) SDL_SetAlpha(s, 0, 255);
  else SDL_SetAlpha(s, SDL_SRCALPHA, f.alpha);
  if (f.colorkey == -1) {
    SDL_SetColorKey(s, 0, 0);
    s->format->colorkey = (Uint32)-1;
  } else {
    SDL_SetColorKey(s, SDL_SRCCOLORKEY, (Uint32)f.colorkey);
  }
  return false;
}

static void FillHeader(sHeaderIPF* header, const sImageBlock& block, const char* name) {
  header->width = block.width;
  header->height = block.height;
  header->bpp = block.format.bitsPerPixel;
  header->alpha = block.format.alpha;
  header->colorkey = block.format.colorkey;
  std::memset(header->name, 0, sizeof header->name);
  if (name) std::strncpy(header->name, name, sizeof header->name - 1);
}

SDL_Surface* ImageFromBlock(const Uint8* data, size_t size, const char* archive, const char* name,
                            sHeaderIPF* header) {
  unsigned headerAddress = (unsigned)(uintptr_t)header;
  sImageBlock block;
  std::string why;
  if (!DecodeImageBlock(data, size, &block, &why)) {
    ILogSystem.Msg(0, " . [IImage->Load('%s','%s',0x%x)] Error: image block refused: %s.\n", archive, name,
                   headerAddress, why.c_str());
    return NULL;
  }
  SDL_Surface* s = ydxfmt::CreateSurface(block.width, block.height, block.format);
  if (!s) {
    ILogSystem.Msg(0, " . [IImage->Load('%s','%s',0x%x)] Error: %s\n", archive, name, headerAddress, SDL_GetError());
    return NULL;
  }
  ydxfmt::CopyStoredPixels(s, block.pixels);
  bool perPixel = ApplyBlockAlphaAndKey(s, block.format);
  if (block.format.bitsPerPixel == 8) {
    ILogSystem.Msg(2, " . [IImage->Load('%s','%s',0x%x)] Warning: 8bits surface loaded, it could be a different screen "
                   "format.\n", archive, name, headerAddress);
  } else if (ConversionApplies(s)) {
    if (perPixel)
      ILogSystem.Msg(5, " . [IImage->Load('%s','%s',0x%x)] Info: surface with alpha per pixel loaded, it could slow "
                     "down your graphics system.\n", archive, name, headerAddress);
    s = ConvertInPlace(s, perPixel);
  }
  TextureStep(s);
  if (block.format.colorkey == -1) s->format->colorkey = (Uint32)-1;
  if (header) FillHeader(header, block, name);
  return s;
}

}  // namespace ydximg

SDL_Surface* Yandorix_IImage::Load(int handle, const char* name, sHeaderIPF* header) {
  if (handle <= 0 || !IStuffDPF) return NULL;
  const char* archive = IStuffDPF->GetFilename(handle);
  if (!archive) archive = "";
  DPF_BlockData block;
  std::memset(&block, 0, sizeof block);
  if (!name || IStuffDPF->LoadBlock(handle, "IMG", name, &block) <= 0 || !block.data) {
    ILogSystem.Msg(0, " . [IImage->Load('%s','%s',0x%x)] Error: image not found.\n", archive, name ? name : "",
                   (unsigned)(uintptr_t)header);
    return NULL;
  }
  SDL_Surface* s = ydximg::ImageFromBlock(reinterpret_cast<const Uint8*>(block.data), (size_t)std::max(block.size, 0),
                                          archive, name, header);
  IStuffDPF->FreeBlock(&block);
  return s;
}

SDL_Surface* Yandorix_IImage::Load(const char* file, const char* name, sHeaderIPF* header) {
  int handle = file && IStuffDPF ? IStuffDPF->Open(file) : -1;
  if (handle <= 0) {
    ILogSystem.Msg(0, " . [IImage->Load('%s','%s',0x%x)] Error: archive could not be opened.\n", file ? file : "",
                   name ? name : "", (unsigned)(uintptr_t)header);
    return NULL;
  }
  SDL_Surface* s = Load(handle, name, header);
  IStuffDPF->Close(handle);
  return s;
}

bool ydximg::ImageBlockOf(SDL_Surface* surface, std::vector<Uint8>* bytes) {
  SDL_Surface* grabbed = NULL;
  SDL_Surface* source = SurfaceToSave(surface, &grabbed);
  if (!source) return false;
  Sint32 key = (source->flags & SDL_SRCCOLORKEY) ? (Sint32)source->format->colorkey : -1;
  Uint8 alpha = (source->flags & SDL_SRCALPHA) ? source->format->alpha : 255;
  SDL_Surface* copy = ydxfmt::SoftwareCopy(source);
  if (grabbed) SDL_FreeSurface(grabbed);
  if (!copy) return false;
  bool ok = ydximg::EncodeImageBlock(copy, key, alpha, bytes);
  SDL_FreeSurface(copy);
  return ok;
}

int Yandorix_IImage::Save(int handle, const char* name, SDL_Surface* surface) {
  if (handle <= 0 || !IStuffDPF || !surface || !name) return 0;
  if (std::strlen(name) >= sizeof(DPF_BlockData{}.name)) {
    ILogSystem.Msg(0, " . [IImage->Save(%d,'%s')] Error: block name longer than 31 characters.\n", handle, name);
    return 0;
  }
  std::vector<Uint8> bytes;
  if (!ydximg::ImageBlockOf(surface, &bytes) || bytes.size() > INT_MAX) {
    ILogSystem.Msg(0, " . [IImage->Save(%d,'%s')] Error: surface could not be copied.\n", handle, name);
    return 0;
  }
  DPF_BlockData block;
  std::memset(&block, 0, sizeof block);
  std::strncpy(block.name, name, sizeof block.name - 1);
  std::strncpy(block.type, "IMG", sizeof block.type - 1);
  block.mode = 0;
  block.size = (int)bytes.size();
  block.data = reinterpret_cast<char*>(bytes.data());
  return IStuffDPF->AddData(handle, &block);
}

int Yandorix_IImage::Save(const char* file, const char* name, SDL_Surface* surface) {
  if (!file || !IStuffDPF) return 0;
  bool exists = ydxplat::Access(file, 0) == 0;
  int handle = exists ? IStuffDPF->Open(file) : IStuffDPF->Create(file);
  if (handle <= 0) {
    ILogSystem.Msg(0, " . [IImage->Save('%s','%s')] Error: archive could not be opened.\n", file, name ? name : "");
    return 0;
  }
  int result = Save(handle, name, surface);
  IStuffDPF->Close(handle);
  return result;
}

// ---------------------------------------------------------------------------------------------------
// BMP

namespace {

// The fields of a BMP header that decide how much SDL's reader allocates and reads.
struct sBMPHeader {
  Uint32 pixelOffset;
  int64_t width, height;   // height may be negative (rows top-down)
  int bits;
  Uint32 compression;
  Uint32 colorsUsed;
};

bool ReadBMPHeader(SDL_RWops* src, sBMPHeader* h, std::string* why) {
  Uint8 head[54];
  std::memset(head, 0, sizeof head);
  int got = SDL_RWread(src, head, 1, (int)sizeof head);
  if (got < 18 || head[0] != 'B' || head[1] != 'M') {
    *why = "not a BMP file";
    return false;
  }
  h->pixelOffset = Get32(head + 10);
  Uint32 infoSize = Get32(head + 14);
  if (infoSize == 12 && got >= 26) {   // the old OS/2 header
    h->width = Get16(head + 18);
    h->height = Get16(head + 20);
    h->bits = (int)Get16(head + 24);
    h->compression = 0;
    h->colorsUsed = 0;
    return true;
  }
  if (infoSize < 40 || got < 54) {
    *why = "unsupported BMP header";
    return false;
  }
  h->width = (Sint32)Get32(head + 18);
  h->height = (Sint32)Get32(head + 22);
  h->bits = (int)Get16(head + 28);
  h->compression = Get32(head + 30);
  h->colorsUsed = Get32(head + 46);
  return true;
}

// Refuses what SDL's reader would size or index from unchecked header fields.
bool CheckBMPHeader(const sBMPHeader& h, int64_t available, std::string* why) {
  int64_t rows = h.height < 0 ? -h.height : h.height;
  if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32) {
    *why = "unsupported bits per pixel";
    return false;
  }
  if (h.compression != 0 && h.compression != 3) {
    *why = "compressed BMP files are not supported";
    return false;
  }
  Uint32 pitch = 0;
  if (h.width > kStoredImageMaxSide || rows > kStoredImageMaxSide ||
      !ydxfmt::StoredPitch((int)h.width, (int)rows, std::max(h.bits, 8), &pitch, why))
    return false;
  if (h.bits <= 8 && h.colorsUsed > (1u << h.bits)) {
    *why = "more palette colours than the depth allows";
    return false;
  }
  uint64_t rowBytes = ((uint64_t)h.width * (uint64_t)h.bits + 31) / 32 * 4;
  if (available < 0 || (uint64_t)h.pixelOffset + rowBytes * (uint64_t)rows > (uint64_t)available) {
    *why = "file shorter than its pixels";
    return false;
  }
  return true;
}

// Palette indices past the colours a BMP defined would read past SDL's colour map when blitted:
// the palette always holds 256 entries, the undefined ones black.
void CompletePalette(SDL_Surface* s) {
  SDL_Palette* palette = s->format->palette;
  if (!palette || s->format->BitsPerPixel != 8 || palette->ncolors >= 256) return;
  std::memset(palette->colors + palette->ncolors, 0, sizeof(SDL_Color) * (256 - palette->ncolors));
  palette->ncolors = 256;
}

}  // namespace

SDL_Surface* ydximg::DecodeBMP(SDL_RWops* src) {
  if (!src) return NULL;
  int start = SDL_RWtell(src);
  int64_t available = StreamRemaining(src);
  sBMPHeader header;
  std::string why;
  bool sound = ReadBMPHeader(src, &header, &why) && CheckBMPHeader(header, available, &why);
  SDL_RWseek(src, start, RW_SEEK_SET);
  if (!sound) {
    SDL_SetError("%s", why.c_str());
    return NULL;
  }
  SDL_Surface* s = SDL_LoadBMP_RW(src, 0);
  if (s) CompletePalette(s);
  return s;
}

int Yandorix_IImage::isBMP(const char* file) {
  SDL_RWops* src = OpenFileStream(file);
  if (!src) return 0;
  SDL_Surface* s = ydximg::DecodeBMP(src);
  SDL_RWclose(src);
  if (!s) return 0;
  SDL_FreeSurface(s);
  return 1;
}

SDL_Surface* Yandorix_IImage::LoadBMP(const char* file) {
  SDL_RWops* src = OpenFileStream(file);
  SDL_Surface* s = src ? ydximg::DecodeBMP(src) : NULL;
  if (src) SDL_RWclose(src);
  if (!s) {
    ILogSystem.Msg(0, " . [IImage->LoadBMP(%s)] Error: file not found.\n", file ? file : "");
    return NULL;
  }
  if (ConversionApplies(s)) {
    SDL_SetAlpha(s, 0, 255);
    SDL_SetColorKey(s, 0, 0);
    s = ConvertInPlace(s, false);
  }
  TextureStep(s);
  s->format->colorkey = (Uint32)-1;
  return s;
}

// The BMP file bytes of a surface, its pixels copied as they are (no key or surface alpha applied).
static bool BMPBytesOf(SDL_Surface* surface, std::vector<Uint8>* bytes) {
  // SDL's writer turns anything but 8-bit palettes into 24 bits; its row length must fit its pitch.
  Uint32 pitch = 0;
  std::string why;
  if (!ydxfmt::StoredPitch(surface->w, surface->h, surface->format->palette ? 8 : 24, &pitch, &why)) {
    SDL_SetError("%s", why.c_str());
    return false;
  }
  SDL_RWops* sink = OpenMemorySink(bytes);
  if (!sink) return false;
  sKeyAndAlpha saved = SwitchOffKeyAndAlpha(surface);
  SDL_ClearError();   // SDL's writer reports through the error text
  int result = SDL_SaveBMP_RW(surface, sink, 0);
  RestoreKeyAndAlpha(surface, saved);
  SDL_RWclose(sink);
  return result == 0 && !bytes->empty();
}

int Yandorix_IImage::SaveBMP(const char* file, SDL_Surface* surface) {
  if (!surface) {
    ILogSystem.Msg(0, " . [IImage->SaveBMP(%s,%d)] Error: surface is null.\n", file ? file : "", 0);
    return 0;
  }
  if (!file || !*file) return 0;
  Yandorix.MakeDirectory(file);
  SDL_Surface* grabbed = NULL;
  SDL_Surface* source = SurfaceToSave(surface, &grabbed);
  std::vector<Uint8> bytes;
  bool ok = source && BMPBytesOf(source, &bytes) && WriteWholeFile(file, bytes);
  if (grabbed) SDL_FreeSurface(grabbed);
  if (!ok) {
    ILogSystem.Msg(0, " . [IImage->SaveBMP(%s)] Error: the file could not be written: %s\n", file, SDL_GetError());
    return 0;
  }
  return 1;
}

// ---------------------------------------------------------------------------------------------------
// PNG decoding. The functions that hold a setjmp point or run under one keep no C++ object with a
// destructor alive: libpng leaves them by longjmp.

namespace {

// Deflate cannot expand data more than 1032 times; a little slack on top.
const uint64_t kMaxInflateRatio = 1100;
const int64_t kMaxChunkBytes = 8 << 20;

struct sPngRead {
  SDL_RWops* src;
  int64_t available;
  png_alloc_size_t allocationLimit;   // the largest block libpng may take for this stream
  png_structp png;
  png_infop info;
  SDL_Surface* surface;
  png_bytep* rows;
  const char* error;
};

// Where the colour key of a PNG comes from.
struct sPngKey {
  int kind;   // 0 none, 1 palette index, 2 colour
  int index;
  Uint8 r, g, b;
};

void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// libpng sizes some buffers by chunk lengths it has not checked against the data (a 2 GB "sPLT" in
// a 100-byte file): no single block beyond what the stream could hold, 8 MB at least.
png_voidp PngAllocate(png_structp png, png_alloc_size_t size) {
  const sPngRead* job = static_cast<const sPngRead*>(png_get_mem_ptr(png));
  if (job && size > job->allocationLimit) return NULL;
  return malloc(size);
}

void PngRelease(png_structp, png_voidp block) { free(block); }
void PngWarning(png_structp, png_const_charp) {}

void PngReadData(png_structp png, png_bytep data, png_size_t length) {
  SDL_RWops* src = static_cast<SDL_RWops*>(png_get_io_ptr(png));
  if (length > INT_MAX || SDL_RWread(src, data, 1, (int)length) != (int)length) png_error(png, "Read error");
}

// A tRNS sample value of 8 bits or fewer as the 8-bit value the decoded image carries.
Uint8 EightBitSample(png_uint_16 value, int bitDepth) {
  if (bitDepth == 8) return (Uint8)value;
  int top = (1 << bitDepth) - 1;
  return (Uint8)((std::min<int>(value, top) * 255) / top);   // what gray expansion makes of it
}

// The transparency chunk: one fully transparent palette entry becomes the key, any other palette
// transparency an alpha channel, and a grey or RGB chunk the key colour. A 16-bit colour is compared
// at full depth and becomes an alpha channel: cut to 8 bits, pixels that differ from it only in their
// low bytes would match it too.
sPngKey TransparencyOf(png_structp png, png_infop info, int colorType, int bitDepth) {
  sPngKey key = {0, 0, 0, 0, 0};
  if (!png_get_valid(png, info, PNG_INFO_tRNS)) return key;
  png_bytep alphas = NULL;
  int count = 0;
  png_color_16p colour = NULL;
  png_get_tRNS(png, info, &alphas, &count, &colour);
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    int transparent = -1, others = 0;
    for (int i = 0; i < count && alphas; ++i) {
      if (alphas[i] == 0 && transparent < 0) transparent = i;
      else if (alphas[i] != 255) ++others;
    }
    if (transparent >= 0 && others == 0) key = {1, transparent, 0, 0, 0};
    else png_set_expand(png);
  } else if (colour && bitDepth == 16) {
    png_set_tRNS_to_alpha(png);
    if (colorType == PNG_COLOR_TYPE_GRAY) png_set_gray_to_rgb(png);
  } else if (colour && colorType == PNG_COLOR_TYPE_GRAY) {
    Uint8 grey = EightBitSample(colour->gray, bitDepth);
    key = {2, 0, grey, grey, grey};
  } else if (colour) {
    key = {2, 0, EightBitSample(colour->red, bitDepth), EightBitSample(colour->green, bitDepth),
           EightBitSample(colour->blue, bitDepth)};
  }
  return key;
}

sPngKey SetUpTransforms(png_structp png, png_infop info) {
  int colorType = png_get_color_type(png, info), bitDepth = png_get_bit_depth(png, info);
  png_set_strip_16(png);
  png_set_packing(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  sPngKey key = TransparencyOf(png, info, colorType, bitDepth);
  if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_interlace_handling(png);
  return key;
}

void SetPngColours(SDL_Surface* s, png_structp png, png_infop info) {
  SDL_Color colours[256];
  std::memset(colours, 0, sizeof colours);
  if (png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE) {
    png_colorp entries = NULL;
    int entryCount = 0;
    png_get_PLTE(png, info, &entries, &entryCount);
    for (int i = 0; i < entryCount && i < 256 && entries; ++i) {
      colours[i].r = entries[i].red;
      colours[i].g = entries[i].green;
      colours[i].b = entries[i].blue;
    }
  } else {
    for (int i = 0; i < 256; ++i) colours[i].r = colours[i].g = colours[i].b = (Uint8)i;   // grey levels
  }
  SDL_SetColors(s, colours, 0, 256);
}

// The surface the decoded rows go into: 8 bits with a palette, 24 bits RGB or 32 bits RGBA.
bool CreatePngSurface(sPngRead* job, const sPngKey& key) {
  png_structp png = job->png;
  png_infop info = job->info;
  int channels = png_get_channels(png, info);
  if (png_get_bit_depth(png, info) != 8 || (channels != 1 && channels != 3 && channels != 4)) return false;
  sStoredPixelFormat format;
  std::memset(&format, 0, sizeof format);
  format.bitsPerPixel = (Uint8)(8 * channels);
  if (channels > 1) {
    format.rmask = 0x000000FF;
    format.gmask = 0x0000FF00;
    format.bmask = 0x00FF0000;
    format.amask = channels == 4 ? 0xFF000000 : 0;
  }
  SDL_Surface* s = ydxfmt::CreateSurface((int)png_get_image_width(png, info), (int)png_get_image_height(png, info), format);
  if (!s) {
    job->error = "Out of memory";
    return false;
  }
  job->surface = s;
  if (png_get_rowbytes(png, info) > s->pitch) return false;
  if (channels == 1) SetPngColours(s, png, info);
  if (key.kind == 1) SDL_SetColorKey(s, SDL_SRCCOLORKEY, (Uint32)key.index);
  else if (key.kind == 2 && channels == 1) SDL_SetColorKey(s, SDL_SRCCOLORKEY, key.r);   // grey level = index
  else if (key.kind == 2) SDL_SetColorKey(s, SDL_SRCCOLORKEY, SDL_MapRGB(s->format, key.r, key.g, key.b));
  return true;
}

// A small stream cannot stand for a huge image: its rows must fit the data deflate could give.
bool PlausibleSize(const sPngRead* job) {
  if (job->available < 0) return true;
  uint64_t rawBytes = (uint64_t)png_get_rowbytes(job->png, job->info) * png_get_image_height(job->png, job->info);
  return rawBytes <= kMaxInflateRatio * (uint64_t)job->available;
}

bool ReadPngBody(sPngRead* job) {
  png_structp png = job->png;
  png_infop info = job->info;
  job->error = "Error reading the PNG file.";
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, job->src, PngReadData);
  png_set_user_limits(png, kStoredImageMaxSide, kStoredImageMaxSide);
  png_read_info(png, info);
  if (!PlausibleSize(job)) return false;
  sPngKey key = SetUpTransforms(png, info);
  png_read_update_info(png, info);
  if (!CreatePngSurface(job, key)) return false;
  int height = job->surface->h;
  job->rows = static_cast<png_bytep*>(malloc(sizeof(png_bytep) * (size_t)height));
  if (!job->rows) {
    job->error = "Out of memory";
    return false;
  }
  for (int y = 0; y < height; ++y) job->rows[y] = static_cast<png_bytep>(job->surface->pixels) + (size_t)y * job->surface->pitch;
  png_read_image(png, job->rows);
  return true;
}

}  // namespace

SDL_Surface* ydximg::DecodePNG(SDL_RWops* src) {
  if (!src) {
    SDL_SetError("Error reading the PNG file.");
    return NULL;
  }
  int start = SDL_RWtell(src);
  sPngRead job;
  std::memset(&job, 0, sizeof job);
  job.src = src;
  job.available = StreamRemaining(src);
  job.allocationLimit = (png_alloc_size_t)std::max<int64_t>(kMaxChunkBytes, job.available);
  bool ok = false;
  job.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &job, PngError, PngWarning, &job, PngAllocate, PngRelease);
  if (!job.png) job.error = "Couldn't allocate memory for PNG file or incompatible PNG dll";
  else if (!(job.info = png_create_info_struct(job.png))) job.error = "Couldn't create image information for PNG file";
  else ok = ReadPngBody(&job);
  if (job.png) png_destroy_read_struct(&job.png, job.info ? &job.info : NULL, NULL);
  free(job.rows);
  if (ok) return job.surface;
  SDL_RWseek(src, start, RW_SEEK_SET);
  if (job.surface) SDL_FreeSurface(job.surface);
  SDL_SetError("%s", job.error);
  return NULL;
}

// ---------------------------------------------------------------------------------------------------
// PNG encoding

namespace {

struct sPngWrite {
  SDL_Surface* surface;   // locked; rows written as they are
  int level;
  std::vector<Uint8>* out;
  png_structp png;
  png_infop info;
  png_bytep* rows;
  png_colorp palette;
  int paletteSize;
  png_bytep transparency;
  int transparencySize;
  const png_color_16* keyColour;   // a truecolour surface's key, written as its transparent colour
  const char* error;
};

void PngWriteData(png_structp png, png_bytep data, png_size_t length) {
  std::vector<Uint8>* out = static_cast<std::vector<Uint8>*>(png_get_io_ptr(png));
  bool grown = true;
  try {
    out->insert(out->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    grown = false;
  }
  if (!grown) png_error(png, "Write error");
}

void PngFlush(png_structp) {}   // everything goes to memory

bool WritesStraight(const SDL_PixelFormat* f) {
  if (f->BytesPerPixel == 1) return f->palette != NULL;
  bool rgbOrder = f->Rmask == 0x000000FF && f->Gmask == 0x0000FF00 && f->Bmask == 0x00FF0000;
  if (f->BytesPerPixel == 3) return rgbOrder && f->Amask == 0;
  return f->BytesPerPixel == 4 && rgbOrder && f->Amask == 0xFF000000;
}

// An RGB(A) copy of the surface's pixels as they are: key and surface alpha are off during the copy.
SDL_Surface* RGBCopyOf(SDL_Surface* s) {
  bool alpha = s->format->Amask != 0;
  Uint32 pitch = 0;
  std::string why;
  if (!ydxfmt::StoredPitch(s->w, s->h, alpha ? 32 : 24, &pitch, &why)) {   // SDL would wrap the row length
    SDL_SetError("Couldn't allocate temp surface: %s", why.c_str());
    return NULL;
  }
  SDL_Surface* copy = SDL_CreateRGBSurface(SDL_SWSURFACE, s->w, s->h, alpha ? 32 : 24, 0x000000FF, 0x0000FF00,
                                           0x00FF0000, alpha ? 0xFF000000 : 0);
  if (!copy) {
    SDL_SetError("Couldn't allocate temp surface");
    return NULL;
  }
  sKeyAndAlpha saved = SwitchOffKeyAndAlpha(s);
  int result = SDL_BlitSurface(s, NULL, copy, NULL);
  RestoreKeyAndAlpha(s, saved);
  if (result < 0) {
    SDL_FreeSurface(copy);
    SDL_SetError("Couldn't blit surface to temp surface");
    return NULL;
  }
  return copy;
}

int ZlibLevel(int level) {
  if (level > 9) return 9;
  if (level < 0) return -1;   // zlib's default
  return level;
}

bool WritePngBody(sPngWrite* job) {
  png_structp png = job->png;
  png_infop info = job->info;
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, job->out, PngWriteData, PngFlush);
  int level = ZlibLevel(job->level);
  if (level == 0) png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_compression_level(png, level);
  const SDL_PixelFormat* f = job->surface->format;
  int colorType = f->BytesPerPixel == 1 ? PNG_COLOR_TYPE_PALETTE : f->Amask ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
  png_set_IHDR(png, info, (png_uint_32)job->surface->w, (png_uint_32)job->surface->h, 8, colorType,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (job->palette) png_set_PLTE(png, info, job->palette, job->paletteSize);
  if (job->transparency) png_set_tRNS(png, info, job->transparency, job->transparencySize, NULL);
  if (job->keyColour && colorType == PNG_COLOR_TYPE_RGB) png_set_tRNS(png, info, NULL, 0, const_cast<png_color_16*>(job->keyColour));
  png_write_info(png, info);
  png_write_image(png, job->rows);
  png_write_end(png, NULL);
  return true;
}

// Palette and transparency table of an 8-bit surface (the key, when keying is on, fully transparent).
bool PreparePalette(sPngWrite* job) {
  const SDL_Palette* palette = job->surface->format->palette;
  job->paletteSize = std::max(1, std::min(palette->ncolors, 256));
  job->palette = static_cast<png_colorp>(calloc((size_t)job->paletteSize, sizeof(png_color)));
  if (!job->palette) {
    job->error = "Couldn't create memory for palette";
    return false;
  }
  for (int i = 0; i < job->paletteSize && i < palette->ncolors; ++i) {
    job->palette[i].red = palette->colors[i].r;
    job->palette[i].green = palette->colors[i].g;
    job->palette[i].blue = palette->colors[i].b;
  }
  Uint32 key = job->surface->format->colorkey;
  if (!(job->surface->flags & SDL_SRCCOLORKEY) || key >= (Uint32)job->paletteSize) return true;
  job->transparencySize = (int)key + 1;
  job->transparency = static_cast<png_bytep>(malloc((size_t)job->transparencySize));
  if (!job->transparency) {
    job->error = "Couldn't create memory for palette transparency";
    return false;
  }
  std::memset(job->transparency, 255, key);
  job->transparency[key] = 0;
  return true;
}

bool EncodeLockedPNG(SDL_Surface* s, int level, const png_color_16* keyColour, std::vector<Uint8>* out) {
  sPngWrite job;
  std::memset(&job, 0, sizeof job);
  job.surface = s;
  job.level = level;
  job.keyColour = keyColour;
  job.out = out;
  job.error = "Couldn't write the PNG file";
  bool ok = false;
  job.rows = static_cast<png_bytep*>(malloc(sizeof(png_bytep) * (size_t)s->h));
  if (!job.rows) job.error = "Couldn't allocate memory for rowpointers";
  else if (!(job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, PngError, PngWarning)))
    job.error = "Couldn't allocate memory for PNG file";
  else if (!(job.info = png_create_info_struct(job.png))) job.error = "Couldn't allocate image information for PNG file";
  else if (s->format->BytesPerPixel != 1 || PreparePalette(&job)) {
    for (int y = 0; y < s->h; ++y) job.rows[y] = static_cast<png_bytep>(s->pixels) + (size_t)y * s->pitch;
    ok = WritePngBody(&job);
  }
  if (job.png) png_destroy_write_struct(&job.png, job.info ? &job.info : NULL);
  free(job.rows);
  free(job.palette);
  free(job.transparency);
  if (!ok) SDL_SetError("%s", job.error);
  return ok;
}

// The colour key of a truecolour surface without an alpha channel as the RGB colour the written
// pixels carry: the key pixel goes through the conversion the picture goes through.
bool KeyColourAsWritten(SDL_Surface* s, png_color_16* colour) {
  const SDL_PixelFormat* f = s->format;
  if (!(s->flags & SDL_SRCCOLORKEY) || f->BytesPerPixel == 1 || f->Amask) return false;
  SDL_Surface* key = SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask, 0);
  if (!key) return false;
  ydxpix::WriteUnchecked(key, 0, 0, f->colorkey);   // a new software surface needs no lock
  SDL_Surface* rgb = WritesStraight(key->format) ? NULL : RGBCopyOf(key);
  bool converted = rgb || WritesStraight(key->format);
  if (converted) {
    const Uint8* pixel = static_cast<const Uint8*>((rgb ? rgb : key)->pixels);
    std::memset(colour, 0, sizeof *colour);
    colour->red = pixel[0];
    colour->green = pixel[1];
    colour->blue = pixel[2];
  }
  if (rgb) SDL_FreeSurface(rgb);
  SDL_FreeSurface(key);
  return converted;
}

}  // namespace

bool ydximg::EncodePNG(SDL_Surface* surface, int level, std::vector<Uint8>* out) {
  if (!surface) {
    SDL_SetError("surface is null");
    return false;
  }
  png_color_16 keyColour;
  bool keyed = KeyColourAsWritten(surface, &keyColour);
  SDL_Surface* rgb = WritesStraight(surface->format) ? NULL : RGBCopyOf(surface);
  SDL_Surface* rowsFrom = rgb ? rgb : surface;
  if (!rgb && !WritesStraight(surface->format)) return false;
  bool ok = false;
  if (ydxpix::LockForAccess(rowsFrom)) {   // also decodes an RLE surface
    ok = EncodeLockedPNG(rowsFrom, level, keyed ? &keyColour : NULL, out);
    ydxpix::UnlockAfterAccess(rowsFrom);
  }
  if (rgb) SDL_FreeSurface(rgb);
  return ok;
}

// ---------------------------------------------------------------------------------------------------
// PNG files

int Yandorix_IImage::isPNG(const char* file) {
  int fd = file ? ydxplat::Open(file, ydxplat::kRead) : -1;
  if (fd < 0) return -1;
  png_byte signature[4];
  int64_t got = ydxplat::Read(fd, signature, sizeof signature);
  ydxplat::Close(fd);
  if (got != (int64_t)sizeof signature) return 0;
  return png_sig_cmp(signature, 0, sizeof signature) == 0 ? 1 : 0;
}

// The display step of the PNG loaders. A colour key the file carried (its transparent entry or colour)
// stays on, also through the conversion, so a transparent picture stays transparent on screen.
static SDL_Surface* PreparedPNG(SDL_Surface* s) {
  if (ConversionApplies(s)) {
    bool perPixel = HasPerPixelAlpha(s);
    if (!perPixel) SDL_SetAlpha(s, 0, 255);
    s = ConvertInPlace(s, perPixel);
  }
  TextureStep(s);
  if (!(s->flags & SDL_SRCCOLORKEY)) s->format->colorkey = (Uint32)-1;
  return s;
}

SDL_Surface* Yandorix_IImage::LoadPNG(const char* file) {
  SDL_RWops* src = OpenFileStream(file);
  SDL_Surface* s = src ? ydximg::DecodePNG(src) : NULL;
  if (src) SDL_RWclose(src);
  if (!s) {
    ILogSystem.Msg(0, " . [IImage->LoadPNG(%s)] Error: %s\n", file ? file : "", SDL_GetError());
    return NULL;
  }
  return PreparedPNG(s);
}

SDL_Surface* Yandorix_IImage::LoadPNG(const void* memory, int length) {
  unsigned address = (unsigned)(uintptr_t)memory;
  if (!memory || length <= 0) {
    ILogSystem.Msg(0, " . [IImage->LoadPNG(0x%x,%d)] Error: no data to read.\n", address, length);
    return NULL;
  }
  SDL_RWops* src = SDL_RWFromConstMem(memory, length);
  SDL_Surface* s = src ? ydximg::DecodePNG(src) : NULL;
  if (src) SDL_RWclose(src);
  if (!s) {
    ILogSystem.Msg(0, " . [IImage->LoadPNG(0x%x,%d)] Error: %s\n", address, length, SDL_GetError());
    return NULL;
  }
  return PreparedPNG(s);
}

int Yandorix_IImage::SavePNG(const char* file, SDL_Surface* surface, int level) {
  if (!surface) {
    ILogSystem.Msg(0, " . [IImage->SavePNG(%s,%d)] Error: surface is null.\n", file ? file : "", 0);
    return -1;
  }
  if (!file || !*file) return -1;
  Yandorix.MakeDirectory(file);
  SDL_Surface* grabbed = NULL;
  SDL_Surface* source = SurfaceToSave(surface, &grabbed);
  std::vector<Uint8> bytes;
  bool ok = source && ydximg::EncodePNG(source, level, &bytes) && WriteWholeFile(file, bytes);
  if (grabbed) SDL_FreeSurface(grabbed);
  if (!ok) {
    ILogSystem.Msg(0, " . [IImage->SavePNG(%s)] Error: the file could not be written: %s\n", file, SDL_GetError());
    return -1;
  }
  return 0;
}

SDL_Surface* Yandorix_IImage::LoadIMG(const char* file) {
  if (isBMP(file) == 1) return LoadBMP(file);
  if (isPNG(file) == 1) return LoadPNG(file);
  ILogSystem.Msg(0, " . [IImage->LoadIMG(%s)] Error: neither a BMP nor a PNG file.\n", file ? file : "");
  return NULL;
}

SDL_Surface* ydximg::LoadUnconverted(const char* file, bool bmpOnly) {
  if (!file || !IImage) return NULL;
  int savedSwitch = Yandorix_AutoConvert;
  Yandorix_AutoConvert = 0;
  SDL_Surface* loaded = NULL;
  if (IImage->isBMP(file) == 1) loaded = IImage->LoadBMP(file);
  else if (!bmpOnly && IImage->isPNG(file) == 1) loaded = IImage->LoadPNG(file);
  Yandorix_AutoConvert = savedSwitch;
  return loaded;
}
