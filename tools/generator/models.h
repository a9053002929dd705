#pragma once

#include "tools/generator/mesh.h"

// The player's ship: nose towards +y, right wing towards +x, top towards +z,
// about 9 units across and 10 long. Texture coordinates from above.
Mesh buildShip();
// The course object, a hover car in the same axes, about 3 units across.
Mesh buildCar();

// Six times the enclosed volume, positive when every triangle faces outwards.
double signedVolume6(const Mesh& mesh, std::size_t firstIndex = 0);
