// Drawing primitives, pixel access and colour conversions in every pixel layout.
#include "PixTest.h"
#include <cmath>
#include <set>
#include <utility>

using ydxtest::PatternFormat;
using ydxtest::PatternFormats;

namespace {

typedef std::set<std::pair<int, int>> PointSet;

// The line walk exactly as documented, without any clipping: the reference for drawn lines.
PointSet ReferenceLine(int x1, int y1, int x2, int y2) {
  PointSet points;
  int dx = std::abs(x2 - x1), dy = std::abs(y2 - y1);
  int sx = x2 >= x1 ? 1 : -1, sy = y2 >= y1 ? 1 : -1;
  bool xDrives = dx >= dy;
  int den = xDrives ? dx : dy, num = den >> 1, add = xDrives ? dy : dx, count = den;
  int x = x1, y = y1;
  for (int i = 0; i <= count; ++i) {
    points.insert({x, y});
    num += add;
    if (num >= den) {
      num -= den;
      if (xDrives) y += sy; else x += sx;
    }
    if (xDrives) x += sx; else y += sy;
  }
  return points;
}

// Pixels of the surface that hold `value`.
PointSet PointsOf(SDL_Surface* s, Uint32 value) {
  PointSet points;
  for (int y = 0; y < s->h; ++y)
    for (int x = 0; x < s->w; ++x)
      if (RawAt(s, x, y) == value) points.insert({x, y});
  return points;
}

PointSet InsideRect(const PointSet& points, const SDL_Rect& r) {
  PointSet inside;
  for (const auto& p : points)
    if (p.first >= r.x && p.first < r.x + r.w && p.second >= r.y && p.second < r.y + r.h) inside.insert(p);
  return inside;
}

Uint32 SolidValue(SDL_Surface* s) { return SDL_MapRGB(s->format, 200, 100, 50) | (s->format->BytesPerPixel == 1 ? 7 : 0); }

class PrimitivesTest : public PixTest {};

}  // namespace

TEST_F(PrimitivesTest, CollisionMethodStartsAtOneAndNegativeBecomesZero) {
  EXPECT_EQ(IPrimitives->GetCollisionMethod(), 1);
  IPrimitives->SetCollisionMethod(-5);
  EXPECT_EQ(IPrimitives->GetCollisionMethod(), 0);
  IPrimitives->SetCollisionMethod(3);
  EXPECT_EQ(IPrimitives->GetCollisionMethod(), 3);
}

TEST_F(PrimitivesTest, BoxLeavesOutLastColumnAndRowWhileRectangleOutlinesThem) {
  for (const PatternFormat& f : PatternFormats()) {
    SCOPED_TRACE(f.name);
    SurfaceHolder box(ydxtest::MakeSurface(f, 33, 31)), outline(ydxtest::MakeSurface(f, 33, 31));
    Uint32 c = SolidValue(box.get());
    IPrimitives->BoxColor(box.get(), 10, 10, 20, 20, c);
    PointSet filled = PointsOf(box.get(), c);
    EXPECT_EQ(filled.size(), 100u);
    EXPECT_TRUE(filled.count({10, 10}) && filled.count({19, 19}));
    EXPECT_FALSE(filled.count({20, 20}) || filled.count({20, 10}) || filled.count({10, 20}));

    IPrimitives->RectangleColor(outline.get(), 10, 10, 20, 20, c);
    PointSet edge = PointsOf(outline.get(), c);
    EXPECT_EQ(edge.size(), 40u);   // 11 x 11 outline
    for (auto corner : {std::make_pair(10, 10), {20, 10}, {10, 20}, {20, 20}}) EXPECT_TRUE(edge.count(corner));
    EXPECT_FALSE(edge.count({15, 15}));
  }
}

TEST_F(PrimitivesTest, ReversedEndpointsDrawTheSameShapesAndExtremeSpansDoNotWrap) {
  const PatternFormat& f = ydxtest::PatternFormatNamed("xrgb32");
  SurfaceHolder a(ydxtest::MakeSurface(f, 40, 30)), b(ydxtest::MakeSurface(f, 40, 30));
  IPrimitives->HLineColor(a.get(), 5, 25, 3, 0xFF);
  IPrimitives->HLineColor(b.get(), 25, 5, 3, 0xFF);
  IPrimitives->VLineColor(a.get(), 7, 2, 20, 0xFF00);
  IPrimitives->VLineColor(b.get(), 7, 20, 2, 0xFF00);
  IPrimitives->BoxColor(a.get(), 10, 10, 20, 15, 0xFF0000);
  IPrimitives->BoxColor(b.get(), 20, 15, 10, 10, 0xFF0000);
  IPrimitives->RectangleColor(a.get(), 1, 1, 38, 28, 0x123456);
  IPrimitives->RectangleColor(b.get(), 38, 28, 1, 1, 0x123456);
  EXPECT_EQ(ydxtest::RowCRCs(a.get()), ydxtest::RowCRCs(b.get()));

  SurfaceHolder wide(ydxtest::MakeSurface(f, 40, 30));
  IPrimitives->HLineColor(wide.get(), -32768, 32767, 4, 0xABCDEF);
  IPrimitives->VLineColor(wide.get(), 6, 32767, -32768, 0xABCDEF);
  EXPECT_EQ(PointsOf(wide.get(), 0xABCDEF).size(), 40u + 30u - 1u);
  SurfaceHolder full(ydxtest::MakeSurface(f, 40, 30));
  IPrimitives->BoxColor(full.get(), -32768, -32768, 32767, 32767, 0x11);
  EXPECT_EQ(PointsOf(full.get(), 0x11).size(), 40u * 30u);
}

TEST_F(PrimitivesTest, DrawingStaysInsideTheClipRectangle) {
  for (const PatternFormat& f : PatternFormats()) {
    SCOPED_TRACE(f.name);
    SurfaceHolder s(ydxtest::MakeSurface(f, 41, 37));
    SDL_Rect clip = {5, 6, 20, 15};
    SDL_SetClipRect(s.get(), &clip);
    Uint32 c = SolidValue(s.get());
    IPrimitives->BoxColor(s.get(), 0, 0, 41, 37, c);
    IPrimitives->LineColor(s.get(), -5, 36, 40, 0, c);
    IPrimitives->RectangleColor(s.get(), 0, 0, 40, 36, c);
    IPrimitives->PutPixelColor(s.get(), 25, 10, c, 1);   // one right of the clip rectangle
    IPrimitives->PutPixelColor(s.get(), 10, 21, c, 1);   // one below it
    PointSet drawn = PointsOf(s.get(), c);
    EXPECT_EQ(drawn.size(), 20u * 15u);
    EXPECT_EQ(InsideRect(drawn, clip).size(), drawn.size());
  }
}

TEST_F(PrimitivesTest, LinesFollowTheWalkInEveryOctantAndDepth) {
  for (const PatternFormat& f : PatternFormats()) {
    SCOPED_TRACE(f.name);
    SurfaceHolder s(ydxtest::MakeSurface(f, 61, 53));
    Uint32 c = SolidValue(s.get());
    const int cx = 30, cy = 26;
    for (int angle = 0; angle < 360; angle += 15) {
      int ex = cx + (int)std::lround(24 * std::cos(angle * M_PI / 180));
      int ey = cy + (int)std::lround(22 * std::sin(angle * M_PI / 180));
      SDL_FillRect(s.get(), NULL, 0);
      IPrimitives->LineColor(s.get(), (short)cx, (short)cy, (short)ex, (short)ey, c);
      EXPECT_EQ(PointsOf(s.get(), c), ReferenceLine(cx, cy, ex, ey)) << "angle " << angle;
    }
  }
}

TEST_F(PrimitivesTest, ClippedLinesKeepTheirSlope) {
  const PatternFormat& f = ydxtest::PatternFormatNamed("rgb565");
  SurfaceHolder s(ydxtest::MakeSurface(f, 40, 30));
  SDL_Rect clip = {3, 2, 30, 25};
  SDL_SetClipRect(s.get(), &clip);
  const int lines[][4] = {{-50, -25, 50, 25}, {45, -40, -7, 60}, {-300, 29, 400, 0}, {20, -1000, 21, 1000},
                          {-32768, -32768, 32767, 32767}, {32767, -32768, -32768, 32767}, {-10, 5, 20, 5}};
  for (const auto& l : lines) {
    SDL_FillRect(s.get(), NULL, 0);
    IPrimitives->LineColor(s.get(), (short)l[0], (short)l[1], (short)l[2], (short)l[3], 0xFFFF);
    EXPECT_EQ(PointsOf(s.get(), 0xFFFF), InsideRect(ReferenceLine(l[0], l[1], l[2], l[3]), clip))
        << l[0] << "," << l[1] << " - " << l[2] << "," << l[3];
  }
  // Long lines from anywhere in the coordinate range, against the full walk.
  Uint32 seed = 99;
  auto coordinate = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return (int)(seed >> 8) % 65536 - 32768;
  };
  for (int i = 0; i < 200; ++i) {
    int x1 = coordinate(), y1 = coordinate();   // odd lines run through the clip rectangle's middle
    int x2 = i % 2 ? std::max(-32768, std::min(32767, 36 - x1)) : coordinate();
    int y2 = i % 2 ? std::max(-32768, std::min(32767, 28 - y1)) : coordinate();
    SDL_FillRect(s.get(), NULL, 0);
    IPrimitives->LineColor(s.get(), (short)x1, (short)y1, (short)x2, (short)y2, 0xFFFF);
    ASSERT_EQ(PointsOf(s.get(), 0xFFFF), InsideRect(ReferenceLine(x1, y1, x2, y2), clip))
        << x1 << "," << y1 << " - " << x2 << "," << y2;
  }
  // The line from outside on the left starts at the clip edge, on its own row.
  SDL_SetClipRect(s.get(), NULL);
  SDL_FillRect(s.get(), NULL, 0);
  IPrimitives->LineColor(s.get(), -10, 5, 20, 5, 0xFFFF);
  EXPECT_EQ(RawAt(s.get(), 0, 5), 0xFFFFu);
  EXPECT_EQ(PointsOf(s.get(), 0xFFFF).size(), 21u);
}

TEST_F(PrimitivesTest, TwentyFourBitPixelsInBothByteOrders) {
  for (const char* name : {"rgb24", "bgr24"}) {
    SCOPED_TRACE(name);
    SurfaceHolder s(ydxtest::MakeSurface(ydxtest::PatternFormatNamed(name), 7, 5));
    Uint32 c = SDL_MapRGB(s->format, 0x11, 0x22, 0x33);
    IPrimitives->PutPixelColor(s.get(), 6, 4, c, 1);
    const Uint8* at = static_cast<const Uint8*>(s->pixels) + 4 * s->pitch + 18;
    bool rgbOrder = std::string(name) == "bgr24";   // red mask in the low byte
    EXPECT_EQ(at[0], rgbOrder ? 0x11 : 0x33);
    EXPECT_EQ(at[1], 0x22);
    EXPECT_EQ(at[2], rgbOrder ? 0x33 : 0x11);
    EXPECT_EQ(IPrimitives->GetPixel(s.get(), 6, 4, 1), c);
    SDL_Color back = ydxtest::ColorAt(s.get(), 6, 4);
    EXPECT_EQ(back.r, 0x11);
    EXPECT_EQ(back.b, 0x33);
  }
}

TEST_F(PrimitivesTest, PixelAccessOutsideTheSurfaceReadsZeroAndWritesNothing) {
  for (const PatternFormat& f : PatternFormats()) {
    SCOPED_TRACE(f.name);
    SurfaceHolder s(ydxtest::MakePattern(f, 9, 5));
    std::vector<Uint32> before = ydxtest::RowCRCs(s.get());
    for (auto p : {std::make_pair(9, 0), {0, 5}, {-1, 2}, {3, -1}, {32767, 32767}}) {
      EXPECT_EQ(IPrimitives->GetPixel(s.get(), (short)p.first, (short)p.second, 1), 0u);
      IPrimitives->PutPixelColor(s.get(), (short)p.first, (short)p.second, 0xFFFFFFFF, 1);
    }
    EXPECT_EQ(ydxtest::RowCRCs(s.get()), before);
    EXPECT_EQ(IPrimitives->GetPixel(s.get(), 8, 4, 0), RawAt(s.get(), 8, 4));
  }
  EXPECT_EQ(IPrimitives->GetPixel(NULL, 0, 0, 1), 0u);
  IPrimitives->PutPixelColor(NULL, 0, 0, 1, 1);
  IPrimitives->LineColor(NULL, 0, 0, 5, 5, 1);
  IPrimitives->BoxRGBA(NULL, 0, 0, 5, 5, 1, 2, 3, 4);
}

TEST_F(PrimitivesTest, SixteenPixelRunsStopAtTheRowEnd) {
  const PatternFormat& f = ydxtest::PatternFormatNamed("argb32");
  SurfaceHolder s(ydxtest::MakePattern(f, 21, 3));
  unsigned int run[16];
  for (unsigned int& v : run) v = 0xDEADBEEF;
  IPrimitives->Get16Pixel(s.get(), 12, 2, run, 0);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(run[i], RawAt(s.get(), 12 + i, 2));
  for (int i = 9; i < 16; ++i) EXPECT_EQ(run[i], 0u);
  IPrimitives->Get16Pixel(s.get(), -3, 1, run, 0);
  EXPECT_EQ(run[0], 0u);
  EXPECT_EQ(run[3], RawAt(s.get(), 0, 1));

  unsigned int fill[16];
  for (int i = 0; i < 16; ++i) fill[i] = 0x01000000u + i;
  Uint32 nextRowStart = RawAt(s.get(), 0, 2);
  IPrimitives->Put16Pixel(s.get(), 10, 1, fill, 1);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(RawAt(s.get(), 10 + i, 1), fill[i]);
  EXPECT_EQ(RawAt(s.get(), 0, 2), nextRowStart);
  IPrimitives->Put16Pixel(s.get(), 15, 2, fill, 1);   // last row: anything past its end would be outside
  EXPECT_EQ(RawAt(s.get(), 20, 2), fill[5]);
  IPrimitives->Put16Pixel(s.get(), 0, 3, fill, 1);    // below the surface: nothing
}

namespace {
// Three 8-bit results as one number for compact expectations.
int Packed(Uint8 a, Uint8 b, Uint8 c) { return a << 16 | b << 8 | c; }
}  // namespace

TEST_F(PrimitivesTest, ColourConversionsOfTheReferenceTable) {
  struct Hsv {
    Uint8 r, g, b;
    float h, s, v;
  } hsv[] = {{0, 0, 0, -1, 0, 0}, {255, 0, 0, 0, 1, 1}, {0, 0, 255, 240, 1, 1}, {128, 128, 128, -1, 0, 128 / 255.0f}};
  for (const Hsv& c : hsv) {
    float h, s, v;
    IPrimitives->RGBtoHSV(c.r, c.g, c.b, &h, &s, &v);
    EXPECT_TRUE(h == c.h && s == c.s && v == c.v) << (int)c.r << "," << (int)c.g << "," << (int)c.b;   // greys: no hue
  }
  Uint8 r, g, b, y, u, v, k;
  struct Rgb {
    float h, s, v;
    int rgb;
  } back[] = {{123, 0, 0.5f, 0x7F7F7F}, {0, 1, 1, 0xFF0000}, {360, 1, 1, 0xFF0000} /* a full turn is red */,
              {-120, 1, 1, 0x0000FF}, {720 + 120, 1, 1, 0x00FF00}};
  for (const Rgb& c : back) {
    IPrimitives->HSVtoRGB(c.h, c.s, c.v, &r, &g, &b);
    EXPECT_EQ(Packed(r, g, b), c.rgb) << c.h;
  }
  IPrimitives->RGBtoYUV(255, 255, 255, &y, &u, &v);
  EXPECT_EQ(Packed(y, u, v), Packed(235, 128, 128));
  IPrimitives->RGBtoYUV(0, 0, 0, &y, &u, &v);
  EXPECT_EQ(Packed(y, u, v), Packed(16, 128, 128));
  IPrimitives->RGBtoYCC(255, 255, 255, &y, &u, &v);
  EXPECT_EQ((int)y, 235);
  IPrimitives->RGBtoCMYK(0, 0, 0, &u, &v, &y, &k);   // black: no division by zero
  EXPECT_EQ(Packed(u, v, y) * 256 + k, 100);
  IPrimitives->RGBtoCMYK(255, 255, 255, &u, &v, &y, &k);
  EXPECT_EQ(Packed(u, v, y) * 256 + k, 0);
  IPrimitives->RGBtoCMYK(255, 0, 0, &u, &v, &y, &k);
  EXPECT_EQ(Packed(u, v, y) * 256 + k, Packed(0, 100, 100) * 256);
  IPrimitives->CMYKtoRGB(0, 0, 0, 255, &r, &g, &b);
  EXPECT_EQ(Packed(r, g, b), 0);
  IPrimitives->CMYKtoRGB(0, 0, 0, 100, &r, &g, &b);   // inputs are fractions of 255
  EXPECT_EQ(Packed(r, g, b), Packed(155, 155, 155));

  r = 1, g = 2, b = 3;
  IPrimitives->HSVtoRGB(NAN, 1, 1, &r, &g, &b);
  IPrimitives->HSVtoRGB(INFINITY, 1, 1, &r, &g, &b);
  EXPECT_EQ(Packed(r, g, b), Packed(1, 2, 3));
  EXPECT_TRUE(LogHas("[IPrimitives->HSVtoRGB()] Error"));
}

TEST_F(PrimitivesTest, YuvAndYccRoundTripsStayClose) {
  for (int r = 0; r < 256; r += 15)
    for (int g = 0; g < 256; g += 17)
      for (int b = 0; b < 256; b += 51) {
        Uint8 y, u, v, r2, g2, b2;
        IPrimitives->RGBtoYUV((Uint8)r, (Uint8)g, (Uint8)b, &y, &u, &v);
        IPrimitives->YUVtoRGB(y, u, v, &r2, &g2, &b2);
        EXPECT_NEAR(r2, r, 3);
        EXPECT_NEAR(g2, g, 3);
        EXPECT_NEAR(b2, b, 3);
        IPrimitives->RGBtoYCC((Uint8)r, (Uint8)g, (Uint8)b, &y, &u, &v);
        IPrimitives->YCCtoRGB(y, u, v, &r2, &g2, &b2);
        EXPECT_NEAR(r2, r, 4);
        EXPECT_NEAR(g2, g, 4);
        EXPECT_NEAR(b2, b, 4);
      }
  // Hue round trip of saturated colours.
  for (int hue = 0; hue < 360; hue += 30) {
    Uint8 r, g, b;
    float h, s, v;
    IPrimitives->HSVtoRGB((float)hue, 1, 1, &r, &g, &b);
    IPrimitives->RGBtoHSV(r, g, b, &h, &s, &v);
    EXPECT_NEAR(h, hue, 1.0) << hue;
  }
}

// One scene of every shape in two layouts, kept as row CRCs; a few pixels are checked by hand so the
// golden cannot simply record a fault.
TEST_F(PrimitivesTest, SceneGoldens) {
  struct Golden {
    const char* format;
    std::vector<Uint32> rows;
  };
  const Golden goldens[] = {
      {"bgr24", {0xe9f4417c, 0x2a02ad8c, 0x948d2eb7, 0x86a1cd29, 0x9fb4aa23, 0xfad40b99, 0x719280ca, 0x1757b05c,
                 0xc458a1bc, 0xaf6fde54, 0x49961b5d, 0x5445b4f8, 0x6ebf7c88, 0x9e81a865, 0x98382d5b, 0x46baf096,
                 0xcaebf04b}},
      {"rgb555", {0x0b80851c, 0x55a33788, 0xb5326032, 0x3436f843, 0x72eaf22d, 0x8d6b1863, 0x4b7ef529, 0xb73c924d,
                  0x8cc20afd, 0x13096dd5, 0xe7bbd997, 0x0d545c52, 0x07d58305, 0x9f966ae7, 0xaabd149a, 0xb879c959,
                  0x6bc39375}},
  };
  for (const Golden& golden : goldens) {
    SCOPED_TRACE(golden.format);
    SurfaceHolder s(ydxtest::MakePattern(ydxtest::PatternFormatNamed(golden.format), 23, 17, 3));
    IPrimitives->BoxRGBA(s.get(), 2, 3, 9, 8, 255, 0, 0, 255);
    IPrimitives->RectangleRGBA(s.get(), 1, 1, 21, 15, 0, 255, 0, 255);
    IPrimitives->LineRGBA(s.get(), -4, 20, 30, -3, 0, 0, 255, 255);
    IPrimitives->HLineRGBA(s.get(), 12, 30, 12, 255, 255, 255, 255);
    IPrimitives->VLineRGBA(s.get(), 18, -2, 9, 255, 255, 0, 255);
    IPrimitives->PutPixelRGBA(s.get(), 22, 16, 0, 255, 255, 255, 1);
    SDL_Color red = ydxtest::ColorAt(s.get(), 8, 7), green = ydxtest::ColorAt(s.get(), 21, 9);
    SDL_Color inside = ydxtest::ColorAt(s.get(), 9, 8), corner = ydxtest::ColorAt(s.get(), 22, 16);
    EXPECT_TRUE(red.r == 255 && red.g == 0 && red.b == 0);
    EXPECT_TRUE(green.r == 0 && green.g == 255 && green.b == 0);
    SDL_Color pattern = ydxtest::PatternColor(9, 8, 3), expected;
    SDL_GetRGB(SDL_MapRGB(s->format, pattern.r, pattern.g, pattern.b), s->format, &expected.r, &expected.g,
               &expected.b);
    EXPECT_TRUE(inside.r == expected.r && inside.b == expected.b) << "box spilled past x2/y2";
    EXPECT_TRUE(corner.r == 0 && corner.g == 255 && corner.b == 255);
    EXPECT_TRUE(ydxtest::RowsMatch(s.get(), golden.rows));
  }
}
