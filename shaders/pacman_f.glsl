// A ray-marched maze world: a chomping yellow sphere runs down a corridor of glowing dots,
// chased by four ghosts between blue-rimmed walls, lit and fogged. The march has a fixed
// step budget and leaves early on a hit or past the far plane.
#version 400

in vec2 screen;
out vec4 output0;

uniform float time;    // seconds since the scene began
uniform vec2 aspect;   // width / height, 1
uniform vec3 tint;     // fades the picture in from black and out again
uniform vec3 cam_pos;  // x: height and distance of the aerial start, z: dolly in and out
uniform vec3 cam_rot;  // z: orbit angle around the runner, radians

const int kMaxSteps = 110;     // march budget per pixel
const float kFar = 70.0;       // nothing is drawn beyond this distance
const float kHitEpsilon = 0.002;
const float kCell = 2.0;       // maze cell size
const float kRunSpeed = 2.2;   // runner speed along +x, units per second

const int kMatFloor = 0;
const int kMatWall = 1;
const int kMatRunner = 2;
const int kMatDot = 3;
const int kMatGhost = 4;
const int kMatEye = 5;

// fract of a product in the hundreds keeps only the low bits of that product, so a driver
// that fused a multiply and an add here would move wall blocks: precise computes every step
// as written, rounded, in the order written.
float hash12(vec2 p) {
  precise vec3 q = fract(vec3(p.xyx) * 0.1031);
  q += dot(q, q.yzx + 33.33);
  precise float h = (q.x + q.y) * q.z;
  return fract(h);
}

float sdBox(vec3 p, vec3 halfSize, float radius) {
  vec3 q = abs(p) - halfSize + radius;
  return length(max(q, 0.0)) + min(max(q.x, max(q.y, q.z)), 0.0) - radius;
}

// Whether a maze cell holds a wall block. The runner's row (z cell 0) stays open, and every
// fourth column is a crossing corridor, so the maze reads as corridors, not noise.
bool wallAt(vec2 cell) {
  if (cell.y == 0.0) return false;
  if (mod(cell.x, 4.0) == 0.0 && abs(cell.y) < 4.0) return false;
  if (abs(cell.y) == 1.0) return true;  // the corridor's own walls, broken at crossings
  return hash12(cell) > 0.42;
}

float runnerX() { return time * kRunSpeed - 8.0; }

// What depends on time alone, worked out once per pixel before the march instead of at
// every one of its steps (the same expressions, so the same values).
float gRunnerX;          // runnerX()
vec2 gMouth;             // the mouth wedge's direction: (-sin(open), cos(open))
float gGhostCentreX;     // centre of the ghosts' bounding box along x
vec3 gGhost[4];          // each ghost's centre
float gDotsFrom;         // dots before this x are eaten

void prepareTimeValues() {
  gRunnerX = runnerX();
  float open = 0.1 + 0.5 * abs(sin(time * 9.0));
  gMouth = vec2(-sin(open), cos(open));
  gGhostCentreX = runnerX() - 3.2 - 2.55;
  for (int i = 0; i < 4; ++i) {
    float x = runnerX() - 3.2 - float(i) * 1.7 + 0.4 * sin(time * 1.3 + float(i));
    gGhost[i] = vec3(x, 0.62 + 0.08 * sin(time * 4.0 + float(i) * 1.7), 0.15 * sin(time * 2.0 + float(i)));
  }
  gDotsFrom = runnerX() + 0.2;
}

// Distance to the nearest maze wall, looking at the four cells nearest to p.
float mazeDistance(vec3 p) {
  if (p.y > 1.5) return p.y - 1.0;  // every wall lies below y = 1
  vec2 cell = floor(p.xz / kCell + 0.5);
  vec2 local = p.xz - cell * kCell;
  vec2 side = sign(local + 1e-4);
  float d = 1.0;  // an empty neighbourhood is marched in steps of at most this
  for (int i = 0; i < 4; ++i) {
    vec2 offset = vec2(i & 1, i >> 1) * side;
    vec2 c = cell + offset;
    if (!wallAt(c)) continue;
    vec3 q = p - vec3(c.x * kCell, 0.5, c.y * kCell);
    d = min(d, sdBox(q, vec3(0.85, 0.5, 0.85), 0.12));
  }
  return d;
}

// The runner: a sphere with a wedge cut for the mouth, facing +x, opening and closing.
float runnerDistance(vec3 p, out bool isEye) {
  vec3 q = p - vec3(gRunnerX, 0.55, 0.0);
  float body = length(q) - 0.55;
  // The mouth is a wedge around +x; subtracting it from the sphere opens the jaw.
  float mouth = dot(vec2(q.x, abs(q.y)), gMouth);
  float d = max(body, -mouth);
  float eye = length(q - vec3(0.25, 0.32, 0.3)) - 0.07;
  isEye = eye < d;
  return min(d, eye);
}

// Four ghosts following the runner, each bobbing and with a wavy hem.
float ghostDistance(vec3 p, out int which) {
  which = 0;
  // Far from the group's bounding box, its distance is enough.
  float bound = sdBox(p - vec3(gGhostCentreX, 0.65, 0.0), vec3(3.2, 0.7, 0.7), 0.0);
  if (bound > 0.5) return bound;
  float best = 1e3;
  for (int i = 0; i < 4; ++i) {
    vec3 q = p - gGhost[i];
    float head = length(q - vec3(0.0, 0.1, 0.0)) - 0.45;
    float skirt = max(length(q.xz) - 0.45, abs(q.y + 0.2) - 0.3);
    float hem = q.y + 0.45 + 0.06 * sin(atan(q.z, q.x) * 7.0 + time * 10.0);
    float d = max(min(head, skirt), -hem);
    if (d < best) {
      best = d;
      which = i;
    }
  }
  return best;
}

// Dots sit at the cell centres of the runner's corridor and vanish once eaten.
float dotDistance(vec3 p) {
  float spacing = kCell * 0.5;
  float cellX = floor(p.x / spacing + 0.5);
  if (cellX * spacing < gDotsFrom) return 1e3;
  vec3 q = p - vec3(cellX * spacing, 0.5, 0.0);
  return length(q) - 0.11;
}

// The whole scene; also hands back the dots' and the runner's own distances for the glow.
float sceneDistance(vec3 p, out int material, out int ghost, out float dotD, out float runner) {
  float d = p.y;
  material = kMatFloor;
  ghost = 0;
  float wall = mazeDistance(p);
  if (wall < d) {
    d = wall;
    material = kMatWall;
  }
  bool isEye;
  runner = runnerDistance(p, isEye);
  if (runner < d) {
    d = runner;
    material = isEye ? kMatEye : kMatRunner;
  }
  int which;
  float g = ghostDistance(p, which);
  if (g < d) {
    d = g;
    material = kMatGhost;
    ghost = which;
  }
  dotD = dotDistance(p);
  if (dotD < d) {
    d = dotD;
    material = kMatDot;
  }
  return d;
}

float distanceOnly(vec3 p) {
  int m, g;
  float dotD, runner;
  return sceneDistance(p, m, g, dotD, runner);
}

vec3 normalAt(vec3 p) {
  const vec2 e = vec2(0.002, 0.0);
  return normalize(vec3(distanceOnly(p + e.xyy) - distanceOnly(p - e.xyy),
                        distanceOnly(p + e.yxy) - distanceOnly(p - e.yxy),
                        distanceOnly(p + e.yyx) - distanceOnly(p - e.yyx)));
}

// Soft shadow towards the key light, with its own small step budget.
float softShadow(vec3 origin, vec3 dir) {
  float result = 1.0;
  float t = 0.05;
  for (int i = 0; i < 24; ++i) {
    float h = distanceOnly(origin + dir * t);
    result = min(result, 8.0 * h / t);
    t += clamp(h, 0.05, 0.6);
    if (result < 0.02 || t > 8.0) break;
  }
  return clamp(result, 0.0, 1.0);
}

vec3 ghostColour(int i) {
  if (i == 0) return vec3(1.0, 0.1, 0.1);
  if (i == 1) return vec3(1.0, 0.55, 0.85);
  if (i == 2) return vec3(0.2, 0.95, 1.0);
  return vec3(1.0, 0.65, 0.2);
}

void main() {
  prepareTimeValues();
  // Camera: an orbit around the runner; the tracks swing it from a high aerial view down
  // to the runner's side and out again.
  vec3 target = vec3(runnerX() + 1.0, 0.4, 0.0);
  float yaw = cam_rot.z;
  float distance = max(2.6, 5.0 + cam_pos.x * 0.55 + cam_pos.z * 0.45);
  float height = max(1.7, 1.2 + cam_pos.x * 0.45 + cam_pos.z * 0.15);
  // The camera stays over the corridor, ahead of the runner and looking back, so the mouth
  // and the chasing ghosts are in view and the walls never come between.
  vec3 eye = target + vec3(cos(yaw) * distance, height, sin(yaw) * distance * 0.4);
  vec3 forward = normalize(target - eye);
  vec3 right = normalize(cross(forward, vec3(0.0, 1.0, 0.0)));
  vec3 up = cross(right, forward);
  vec2 uv = screen * aspect;
  vec3 dir = normalize(forward * 1.6 + right * uv.x + up * uv.y);

  // March, gathering the dots' and the runner's glow along the way.
  float t = 0.0;
  int material = -1;
  int ghost = 0;
  float glowDots = 0.0;
  float glowRunner = 0.0;
  for (int i = 0; i < kMaxSteps; ++i) {
    vec3 p = eye + dir * t;
    int m, g;
    float dotD, r;
    float d = sceneDistance(p, m, g, dotD, r);
    glowDots += 0.012 / (0.02 + dotD * dotD * 40.0);
    glowRunner += 0.004 / (0.03 + r * r * 6.0);
    if (d < kHitEpsilon * t) {
      material = m;
      ghost = g;
      break;
    }
    t += d * 0.9;
    // Nothing stands higher than 1.3: a rising ray above that only meets the sky.
    if (t > kFar || (dir.y > 0.0 && p.y > 1.6)) break;
  }

  vec3 fogColour = vec3(0.01, 0.012, 0.05);
  vec3 colour = fogColour;
  if (material >= 0) {
    vec3 p = eye + dir * t;
    vec3 n = normalAt(p);
    vec3 light = normalize(vec3(0.5, 0.9, 0.35));
    float diffuse = max(dot(n, light), 0.0) * softShadow(p + n * 0.01, light);
    float rim = pow(1.0 - max(dot(n, -dir), 0.0), 3.0);
    vec3 h = normalize(light - dir);
    float specular = pow(max(dot(n, h), 0.0), 40.0);
    vec3 albedo;
    vec3 emit = vec3(0.0);
    if (material == kMatFloor) {
      vec2 g = abs(fract(p.xz / kCell + 0.5) - 0.5);
      float line = smoothstep(0.47, 0.5, max(g.x, g.y));
      albedo = mix(vec3(0.02, 0.02, 0.04), vec3(0.05, 0.05, 0.2), line);
      specular *= 0.2;
    } else if (material == kMatWall) {
      albedo = vec3(0.03, 0.05, 0.25);
      // Neon rims along the walls' top edges.
      float edge = smoothstep(0.88, 0.99, p.y) * (1.0 - abs(n.y));
      emit = vec3(0.15, 0.3, 1.0) * (edge * 2.5 + rim * 0.6);
    } else if (material == kMatRunner) {
      albedo = vec3(1.0, 0.85, 0.05);
      emit = vec3(0.35, 0.25, 0.0);
    } else if (material == kMatEye) {
      albedo = vec3(0.01);
    } else if (material == kMatDot) {
      albedo = vec3(1.0, 0.8, 0.6);
      emit = vec3(1.2, 0.9, 0.6);
    } else {
      albedo = ghostColour(ghost);
      emit = ghostColour(ghost) * 0.25;
      // Eyes painted on the front of each ghost.
      vec3 q = p;
      q.x -= gGhost[ghost].x;
      float eyes = step(0.0, q.x) * smoothstep(0.14, 0.1, length(vec2(abs(q.z - gGhost[ghost].z) - 0.16, p.y - 0.82)));
      albedo = mix(albedo, vec3(1.0), eyes);
    }
    colour = albedo * (0.12 + 0.95 * diffuse) + vec3(specular) * 0.6 + emit + albedo * rim * 0.25;
    float fog = 1.0 - exp(-t * 0.045);
    colour = mix(colour, fogColour, fog);
  }
  colour += vec3(1.0, 0.75, 0.45) * glowDots * 0.05;
  colour += vec3(1.0, 0.85, 0.1) * glowRunner * 0.05;
  // Gentle vignette and tone curve.
  float vignette = 1.0 - 0.35 * dot(screen * 0.7, screen * 0.7);
  colour = 1.0 - exp(-colour * 1.4 * vignette);
  output0 = vec4(pow(colour, vec3(0.9)) * tint, 1.0);
}
