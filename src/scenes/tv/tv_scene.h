// The television, 34 to 78 s: palette-mapped snow with a white line drawing (a spinning wire
// cube, then a tunnel of squares) added over it, a blurred glow and a flickering warm tint.
#pragma once

#include "base/random.h"
#include "render/gl_objects.h"
#include "render/matrix.h"
#include "render/quad.h"
#include "render/scene.h"
#include "render/shader.h"
#include "render/track.h"
#include "render/track_source.h"

#include <cstdint>

constexpr int kPaletteEntries = 8;        // colours of the snow
constexpr int kScreenPaletteEntries = 5;  // colours of the line picture: background and four copies
constexpr int kNoiseTextureSide = 32;     // texels per side of the snow texture
constexpr int kTVNoiseBytes = kNoiseTextureSide * kNoiseTextureSide * 4;  // RGBA
constexpr int kScreenTargetSide = 512;    // texels per side of the line picture
constexpr int kTrailCopies = 4;           // copies of the line picture, each a little later
constexpr float kTrailStep = 0.04f;       // seconds between copies
constexpr int kCubeCorners = 8;
constexpr int kCubeEdgeIndices = 24;      // 12 segments
constexpr int kSquareCorners = 4;
constexpr int kTunnelSlots = 10;          // squares in flight at once, one unit of depth apart
constexpr float kCubeVisibleAbove = -30.0f;  // the cube is drawn while its distance is above this
constexpr float kTunnelStart = 26.0f;     // seconds; the tunnel is considered after this
constexpr float kTunnelSpeed = 7.0f;      // units of depth per second, squares per second
constexpr float kFirstSquare = 30.0f;     // numbers of the squares drawn
constexpr float kLastSquare = 120.0f;
constexpr float kStyleRun = 30.0f;        // squares of one style in a row
constexpr int kTunnelStyles = 3;

// The palettes, R G B (A) bytes per texel in texel order.
extern const uint8_t kSnowPalette[kPaletteEntries * 3];
extern const uint8_t kScreenPalette[kScreenPaletteEntries * 4];

// The snow texture's bytes: the low 8 bits of the first values of the random sequence from
// seed 1. Computed by the compiler on a generator of its own, so the shared one is never touched.
struct TVNoiseTable {
  uint8_t bytes[kTVNoiseBytes];  // row by row, R G B A per texel
};
constexpr TVNoiseTable makeTVNoiseTable() {
  TVNoiseTable table{};
  RandomGenerator generator;
  for (int i = 0; i < kTVNoiseBytes; ++i) table.bytes[i] = static_cast<uint8_t>(nextRandom(generator) & 0xFF);
  return table;
}
inline constexpr TVNoiseTable kTVNoise = makeTVNoiseTable();

// One square of the tunnel as drawn for a time value.
struct TunnelSquare {
  float depth;   // units in front of the camera plane (slot depth, 0..10)
  float number;  // 30..120; consecutive squares enter 1/7 s apart
  int style;     // 0 wandering, 1 nearly centred and counter-rotating, 2 swinging widely
  float x, y;    // offset in the plane of the square, units
  double spin;   // rotation about the view axis, radians (its sine and cosine are taken in double)
};

class TVScene : public Scene {
 public:
  ShaderProgram screenProgram;      // snow through the 8-colour palette
  ShaderProgram gaussblur2Program;  // separable blur of the glow
  ShaderProgram compositeProgram;   // adds the glow onto the back buffer
  ShaderProgram screen2Program;     // line picture through the 5-colour palette
  ShaderProgram linesProgram;       // line drawing, widened by its geometry stage
  ShaderProgram zoomblurProgram;    // built at start, drawn with by no pass
  KeyframeTrack<float> distanceTrack;  // wire cube's z, units (negative: in front)
  KeyframeTrack<float> scaleTrack;     // half-size of the screen quad, 1 = full target
  KeyframeTrack<float> fadeTrack;      // fade of both screen layers, 0..1
  SceneGlNames glNames;               // framebuffers 0 to 4, textures 0 to 7 and renderbuffer 0 used
  uint32_t sceneFramebuffer = 0;      // glNames.framebuffers[0]: the composed picture, with depth
  uint32_t depthRenderbuffer = 0;     // glNames.renderbuffers[0]: GL_DEPTH_COMPONENT24, full size
  uint32_t sceneTexture = 0;          // glNames.textures[0]: full size
  uint32_t halfFramebuffer = 0;       // glNames.framebuffers[1]
  uint32_t halfTexture = 0;           // glNames.textures[1]: full size, the downsample's middle stage
  uint32_t blurFramebuffer = 0;       // glNames.framebuffers[2]
  uint32_t glowFramebuffer = 0;       // glNames.framebuffers[3]
  uint32_t blurTexture = 0;           // glNames.textures[2]: quarter size, horizontally blurred
  uint32_t glowTexture = 0;           // glNames.textures[3]: quarter size, the finished glow
  uint32_t paletteTexture = 0;        // glNames.textures[4]: 1D, kSnowPalette
  uint32_t screenPaletteTexture = 0;  // glNames.textures[5]: 1D, kScreenPalette
  uint32_t noiseTexture = 0;          // glNames.textures[6]: 32 x 32 RGBA, kTVNoise
  uint32_t screenFramebuffer = 0;     // glNames.framebuffers[4]
  uint32_t screenTexture = 0;         // glNames.textures[7]: 512 x 512, the line picture
  int cubesDrawn = 0;                 // cube copies drawn in the last frame, for the frame statistics
  int squaresDrawn = 0;               // square draws in the last frame, all copies together

  TVScene();
  ~TVScene() override;
  // Generates the GL names, builds programs, textures and framebuffers, fills the tracks.
  void start() override;
  // The frame as its passes: snow, lines, glow, copy, composite.
  void render() override;
  // Deletes the textures, framebuffers and renderbuffer and zeroes their names; safe to repeat.
  void release() override;
  void reportCounters(SceneCounters& out) const override;
  // The three tracks of tvTrackFile; the scene has no camera to steer.
  void listTracks(SceneTracks& out) override;

  // Builds the six programs and sets their fixed uniforms.
  void createPrograms();
  // Allocates the targets and uploads the palettes and the snow.
  void createTextures();
  // Gives the depth renderbuffer storage and attaches the targets to their framebuffers.
  void createFramebuffers();
  // Draws the line picture, four copies 0.04 s apart, into screenTexture.
  void renderScreen();
  // Draws the cube and the tunnel for time t (seconds) with linesProgram.
  void drawScreenShapes(float t);
  // Blurs source into blurTexture (across), then glowTexture (up, alpha kept), at quarter size.
  void blurQuarter(uint32_t source);

  // Sets the state every frame starts with, then draws the snow through its palette into
  // sceneTexture wherever the screen quad (scaled by scale) covers.
  void snowPass(const float screenQuad[kQuadFloats], float scale, float fade);
  // Draws the line picture into screenTexture and adds it, through its palette, onto the snow.
  void linesPass(const float screenQuad[kQuadFloats], float fade);
  // Reduces sceneTexture to quarter size and blurs it into glowTexture.
  void glowPass();
  // Copies the composed picture onto the back buffer.
  void copyPass();
  // Adds the glow, warm and flickering, onto the back buffer.
  void compositePass();
};

// The show's television, created before main; the show's scene table points at it.
extern Scene* tvScene;
// Its tracks' file, tracks/tv.txt: distance, scale and fade.
extern SceneTrackFile tvTrackFile;

// The line picture's frustum: near 1, far 100, 90 degrees across, the vertical scale times
// width / height so the picture looks right once stretched over the window.
Mat4 tvProjection(int32_t width, int32_t height);
// The snow's "time": seconds rounded down to a multiple of 1/20 s.
float snowTime(float seconds);
// The glow's RGBA multiplier at scene time seconds: warm, swinging by 3 % at 30 rad/s.
void glowTint(float seconds, float out[4]);
// The wire cube's modelview at time t and distance d.
Mat4 cubeModelview(float t, float distance);
// The squares of the tunnel at time t, nearest slot first; returns how many (0..kTunnelSlots).
int tunnelSquares(float t, TunnelSquare out[kTunnelSlots]);
// A tunnel square's modelview: T(0, 0, -depth) * T(x, y, 0) * Rz(spin).
Mat4 tunnelModelview(const TunnelSquare& square);
