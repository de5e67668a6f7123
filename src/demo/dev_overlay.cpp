// The overlay: ImGui widgets over the finished frame.
#include "demo/dev_overlay.h"

#include "base/gl.h"
#include "show/scene_table.h"
#include "show/transport.h"

#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <imgui.h>

#include <algorithm>

namespace {

constexpr const char* kGlslVersion = "#version 130";  // the renderer's shaders; the show needs 4.0 anyway
constexpr float kBarHeight = 18.0f;                   // pixels, the timeline bar
constexpr float kMargin = 6.0f;                       // pixels between the overlay and the window's edge
constexpr float kPanelAlpha = 0.6f;                   // the panels' background
// The timeline bar's scenes in turn; a scene past the last colour takes them again from the first.
constexpr ImU32 kSceneColours[] = {
    IM_COL32(60, 110, 60, 255), IM_COL32(70, 70, 120, 255), IM_COL32(120, 110, 40, 255),
    IM_COL32(120, 60, 40, 255), IM_COL32(60, 100, 120, 255)};
constexpr int kSceneColourCount = static_cast<int>(sizeof kSceneColours / sizeof kSceneColours[0]);
constexpr ImU32 kCursorColour = IM_COL32(255, 255, 255, 255);
const ImVec4 kErrorColour(1.0f, 0.45f, 0.4f, 1.0f);

// The window-relative pixel of show time ms on a bar that starts at left and is width wide.
float barX(uint32_t ms, float left, float width) {
  return left + width * static_cast<float>(ms) / static_cast<float>(kShowEndMs);
}

// The text panel at the top left.
void drawFacts(const OverlayFacts& facts) {
  ImGui::SetNextWindowPos(ImVec2(kMargin, kMargin));
  ImGui::SetNextWindowBgAlpha(kPanelAlpha);
  ImGuiWindowFlags flags = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_AlwaysAutoResize |
                           ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoFocusOnAppearing |
                           ImGuiWindowFlags_NoNav | ImGuiWindowFlags_NoInputs;
  ImGui::Begin("facts", nullptr, flags);
  const char* scene = facts.entry >= 0 && facts.entry < kSceneCount ? kSceneTable[facts.entry].shortName : "end";
  ImGui::Text("%s%s  %s %.3f s", formatShowTime(facts.showMs).c_str(), facts.paused ? " paused" : "", scene,
              facts.sceneMs / 1000.0);
  if (facts.gpuMs >= 0)
    ImGui::Text("CPU %.2f ms  GPU %.2f ms", facts.cpuMs, facts.gpuMs);
  else
    ImGui::Text("CPU %.2f ms  GPU -", facts.cpuMs);
  for (int i = 0; i < facts.counters.count; ++i)
    ImGui::Text("%s %g", facts.counters.names[i], facts.counters.values[i]);
  if (facts.muted)
    ImGui::TextUnformatted("music: muted");
  else if (facts.songRendered < 1.0)
    ImGui::Text("music: rendering %.0f %%", facts.songRendered * 100.0);
  if (facts.shaderError[0]) {
    ImGui::PushTextWrapPos(ImGui::GetIO().DisplaySize.x * 0.8f);
    ImGui::TextColored(kErrorColour, "%s", facts.shaderError);
    ImGui::PopTextWrapPos();
  }
  ImGui::End();
}

// The timeline bar along the bottom; returns the show time clicked or dragged to, or -1.
int64_t drawTimelineBar(const TimelineEntry* timeline, uint32_t showMs, int width, int height) {
  const float barWidth = width - 2 * kMargin;
  ImGui::SetNextWindowPos(ImVec2(kMargin, height - kMargin - kBarHeight));
  ImGui::SetNextWindowSize(ImVec2(barWidth, kBarHeight));
  ImGuiWindowFlags flags = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoSavedSettings |
                           ImGuiWindowFlags_NoBackground | ImGuiWindowFlags_NoNav;
  ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
  ImGui::Begin("timeline", nullptr, flags);
  ImVec2 origin = ImGui::GetCursorScreenPos();
  ImGui::InvisibleButton("bar", ImVec2(barWidth, kBarHeight));
  int64_t seek = -1;
  if (ImGui::IsItemActive()) seek = timelineBarMs(ImGui::GetIO().MousePos.x - origin.x, barWidth);
  ImDrawList* draw = ImGui::GetWindowDrawList();
  for (int i = 0; i + 1 < kTimelineEntries; ++i) {
    float x0 = barX(timeline[i].startMs, origin.x, barWidth);
    float x1 = barX(timeline[i + 1].startMs, origin.x, barWidth);
    draw->AddRectFilled(ImVec2(x0, origin.y), ImVec2(x1 - 1, origin.y + kBarHeight),
                        kSceneColours[i % kSceneColourCount]);
  }
  float cursor = barX(showMs, origin.x, barWidth);
  draw->AddLine(ImVec2(cursor, origin.y), ImVec2(cursor, origin.y + kBarHeight), kCursorColour, 2.0f);
  ImGui::End();
  ImGui::PopStyleVar();
  return seek;
}

}  // namespace

void DevOverlay::start() {
  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  io.LogFilename = nullptr;
  ImGui::StyleColorsDark();
  started = true;
}

void DevOverlay::toggle() {
  visible = !visible;
  SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

bool DevOverlay::handleEvent(const SDL_Event& event) {
  if (!started) return false;
  ImGuiIO& io = ImGui::GetIO();
  switch (event.type) {
    case SDL_MOUSEMOTION:
      io.MousePos = ImVec2(event.motion.x, event.motion.y);
      return visible;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      io.MousePos = ImVec2(event.button.x, event.button.y);
      if (event.button.button != SDL_BUTTON_LEFT) return visible;
      io.MouseDown[0] = event.type == SDL_MOUSEBUTTONDOWN;
      // A click is taken here, not from ImGui's state: a press and release between two
      // frames would leave ImGui nothing to see.
      if (visible && io.MouseDown[0] && barTop > 0 && event.button.y >= barTop && event.button.y < barTop + kBarHeight)
        seekRequestMs = timelineBarMs(event.button.x - kMargin, barWidth);
      return visible;
    default:
      return false;
  }
}

int64_t DevOverlay::takeSeekRequest() {
  int64_t request = seekRequestMs;
  seekRequestMs = -1;
  return request;
}

void DevOverlay::draw(const TimelineEntry* timeline, const OverlayFacts& facts, int width, int height) {
  barWidth = width - 2 * kMargin;
  barTop = height - kMargin - kBarHeight;
  if (!visible || !started) return;
  if (!rendererUp && !rendererFailed) {
    rendererUp = ImGui_ImplOpenGL3_Init(kGlslVersion);
    rendererFailed = !rendererUp;  // said once on stderr by the renderer; the show goes on without it
  }
  if (!rendererUp) return;
  ImGuiIO& io = ImGui::GetIO();
  io.DisplaySize = ImVec2(static_cast<float>(width), static_cast<float>(height));
  double now = SDL_GetTicks() / 1000.0;
  io.DeltaTime = static_cast<float>(std::max(now - lastDrawSeconds, 1e-3));
  lastDrawSeconds = now;
  ImGui_ImplOpenGL3_NewFrame();
  ImGui::NewFrame();
  drawFacts(facts);
  int64_t dragged = drawTimelineBar(timeline, facts.showMs, width, height);
  if (dragged >= 0) seekRequestMs = dragged;
  ImGui::Render();
  // The renderer restores what it changes, except the framebuffer it draws into: the window's.
  GLint drawFramebuffer = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFramebuffer);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawFramebuffer));
}

void DevOverlay::stop() {
  if (rendererUp) ImGui_ImplOpenGL3_Shutdown();
  if (started) ImGui::DestroyContext();
  rendererUp = started = false;
}
