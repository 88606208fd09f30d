#pragma once

#include <array>
#include <string_view>

namespace norvale {

// The units and formats of the live display, in the list order of the window's boxes and of
// norvale-cli's options; a box's list position indexes these tables.
struct FlowUnit {
  std::string_view name;
  double perCubicFootPerSecond;  // the meter sends cubic feet per second
};

inline constexpr std::array<FlowUnit, 15> kFlowUnits{{
    {"GPM", 448.831},
    {"GPD", 646316.8416},
    {"MGD", 0.646316},
    {"CFS", 1},
    {"CFM", 60},
    {"CFD", 86400},
    {"LPS", 28.317016},
    {"LPM", 1699.2},
    {"LPD", 2446590.18},
    {"MLD", 2.446589},
    {"M3S", 0.02832},
    {"M3H", 101.952},
    {"M3D", 2446.848},
    {"IGM", 373.83},
    {"BPH", 641.1},
}};

inline constexpr std::array<std::string_view, 4> kFlowFormats{"#.", "#.#", "#.##", "#.###"};

// The meter sends feet per second.
inline constexpr std::array<std::string_view, 2> kVelocityUnits{"FPS", "MPS"};

}  // namespace norvale
