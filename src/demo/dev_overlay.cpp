// The overlay: ImGui widgets over the finished frame.
#include "demo/dev_overlay.h"

#include "base/gl.h"
#include "show/scene_table.h"
#include "show/transport.h"

#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <imgui.h>

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

constexpr const char* kGlslVersion = "#version 130";  // the renderer's shaders; the show needs 4.0 anyway
constexpr float kBarHeight = 18.0f;                   // pixels, the timeline bar
// The timeline bar's scenes in turn; a scene past the last colour takes them again from the first.
constexpr ImU32 kSceneColours[] = {
    IM_COL32(60, 110, 60, 255), IM_COL32(70, 70, 120, 255), IM_COL32(120, 110, 40, 255),
    IM_COL32(120, 60, 40, 255), IM_COL32(60, 100, 120, 255)};
constexpr int kSceneColourCount = static_cast<int>(sizeof kSceneColours / sizeof kSceneColours[0]);
constexpr ImU32 kCursorColour = IM_COL32(255, 255, 255, 255);
constexpr uint16_t kDeleteCharacter = 127;  // a key's character that is no text
// The keys ImGui's fields use, as SDL 1.2 names them.
constexpr std::pair<ImGuiKey, int> kKeyMap[] = {
    {ImGuiKey_Tab, SDLK_TAB},         {ImGuiKey_LeftArrow, SDLK_LEFT}, {ImGuiKey_RightArrow, SDLK_RIGHT},
    {ImGuiKey_UpArrow, SDLK_UP},      {ImGuiKey_DownArrow, SDLK_DOWN}, {ImGuiKey_Home, SDLK_HOME},
    {ImGuiKey_End, SDLK_END},         {ImGuiKey_Delete, SDLK_DELETE},  {ImGuiKey_Backspace, SDLK_BACKSPACE},
    {ImGuiKey_Enter, SDLK_RETURN},    {ImGuiKey_Escape, SDLK_ESCAPE},  {ImGuiKey_KeyPadEnter, SDLK_KP_ENTER},
    {ImGuiKey_A, SDLK_a},             {ImGuiKey_C, SDLK_c},            {ImGuiKey_V, SDLK_v},
    {ImGuiKey_X, SDLK_x},             {ImGuiKey_Y, SDLK_y},            {ImGuiKey_Z, SDLK_z}};
const ImVec4 kErrorColour(1.0f, 0.45f, 0.4f, 1.0f);

// The window-relative pixel of show time ms on a bar that starts at left and is width wide.
float barX(uint32_t ms, float left, float width) {
  return left + width * static_cast<float>(ms) / static_cast<float>(kShowEndMs);
}

// The text panel at the top left.
void drawFacts(const OverlayFacts& facts) {
  ImGui::SetNextWindowPos(ImVec2(kOverlayMargin, kOverlayMargin));
  ImGui::SetNextWindowBgAlpha(kOverlayPanelAlpha);
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
  for (const char* error : {facts.shaderError, facts.trackError}) {
    if (!error[0]) continue;
    ImGui::PushTextWrapPos(ImGui::GetIO().DisplaySize.x * 0.8f);
    ImGui::TextColored(kErrorColour, "%s", error);
    ImGui::PopTextWrapPos();
  }
  ImGui::End();
}

// The timeline bar along the bottom; returns the show time clicked or dragged to, or -1.
int64_t drawTimelineBar(const TimelineEntry* timeline, uint32_t showMs, int width, int height) {
  const float barWidth = width - 2 * kOverlayMargin;
  ImGui::SetNextWindowPos(ImVec2(kOverlayMargin, height - kOverlayMargin - kBarHeight));
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
  for (const auto& [key, sym] : kKeyMap) io.KeyMap[key] = sym;
  ImGui::StyleColorsDark();
  started = true;
}

void DevOverlay::toggle() {
  visible = !visible;
  SDL_ShowCursor(visible || panel.visible ? SDL_ENABLE : SDL_DISABLE);
}

void DevOverlay::togglePanel() {
  panel.visible = !panel.visible;
  SDL_ShowCursor(visible || panel.visible ? SDL_ENABLE : SDL_DISABLE);
}

bool DevOverlay::handleEvent(const SDL_Event& event) {
  if (!started) return false;
  ImGuiIO& io = ImGui::GetIO();
  switch (event.type) {
    case SDL_MOUSEMOTION:
      io.MousePos = ImVec2(event.motion.x, event.motion.y);
      return mouseTaken;
    case SDL_MOUSEBUTTONDOWN: {
      io.MousePos = ImVec2(event.button.x, event.button.y);
      bool onBar = visible && barTop > 0 && event.button.y >= barTop && event.button.y < barTop + kBarHeight;
      bool onPanel = panel.covers(event.button.x, event.button.y);
      if (!onBar && !onPanel) return false;  // the picture's
      if (event.button.button == SDL_BUTTON_WHEELUP || event.button.button == SDL_BUTTON_WHEELDOWN) {
        io.MouseWheel += event.button.button == SDL_BUTTON_WHEELUP ? 1.0f : -1.0f;
        return true;
      }
      mouseTaken = true;
      if (event.button.button != SDL_BUTTON_LEFT) return true;
      io.MouseDown[0] = true;
      pressUnseen = true;
      // A click on the bar or a plot is taken here, not from ImGui's state.
      if (onBar) seekRequestMs = timelineBarMs(event.button.x - kOverlayMargin, barWidth);
      if (onPanel) panel.click(event.button.x, event.button.y);
      return true;
    }
    case SDL_MOUSEBUTTONUP: {
      io.MousePos = ImVec2(event.button.x, event.button.y);
      if (event.button.button == SDL_BUTTON_WHEELUP || event.button.button == SDL_BUTTON_WHEELDOWN) return mouseTaken;
      bool taken = mouseTaken;
      mouseTaken = false;
      if (event.button.button != SDL_BUTTON_LEFT) return taken;
      if (pressUnseen)
        releaseLater = true;
      else
        io.MouseDown[0] = false;
      return taken;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      int sym = event.key.keysym.sym;
      bool down = event.type == SDL_KEYDOWN;
      if (!visible && !panel.visible && down) return false;  // a release still reaches ImGui: no key stays down
      if (sym >= 0 && sym < kOverlayKeys) {
        if (down) {
          io.KeysDown[sym] = keyUnseen[sym] = true;
        } else if (keyUnseen[sym]) {
          keyUpLater[sym] = true;
        } else {
          io.KeysDown[sym] = false;
        }
      }
      uint16_t character = event.key.keysym.unicode;
      if (down && character >= ' ' && character != kDeleteCharacter) io.AddInputCharacter(character);
      return (visible || panel.visible) && io.WantTextInput;  // as the last frame left it: a field takes typing
    }
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
  barWidth = width - 2 * kOverlayMargin;
  barTop = height - kOverlayMargin - kBarHeight;
  if ((!visible && !panel.visible) || !started) return;
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
  // Releases held back for a frame: the last one saw their presses.
  if (releaseLater && !pressUnseen) io.MouseDown[0] = releaseLater = false;
  for (int key = 0; key < kOverlayKeys; ++key)
    if (keyUpLater[key] && !keyUnseen[key]) io.KeysDown[key] = keyUpLater[key] = false;
  // The modifiers as the keys held back left them, so that a Ctrl+click between two frames is one.
  io.KeyCtrl = io.KeysDown[SDLK_LCTRL] || io.KeysDown[SDLK_RCTRL];
  io.KeyShift = io.KeysDown[SDLK_LSHIFT] || io.KeysDown[SDLK_RSHIFT];
  io.KeyAlt = io.KeysDown[SDLK_LALT] || io.KeysDown[SDLK_RALT];
  ImGui_ImplOpenGL3_NewFrame();
  ImGui::NewFrame();
  pressUnseen = false;
  std::fill(std::begin(keyUnseen), std::end(keyUnseen), false);
  if (visible) {
    drawFacts(facts);
    int64_t dragged = drawTimelineBar(timeline, facts.showMs, width, height);
    if (dragged >= 0) seekRequestMs = dragged;
  }
  if (panel.visible) panel.draw(facts.panel, width, visible ? barTop - kOverlayMargin : height - kOverlayMargin);
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
