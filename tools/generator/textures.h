#pragma once

// The game's pictures, painted from noise and shapes.

#include "tools/generator/Image.h"

// Equirectangular surface maps for the spheres: north at the top, longitude across.
Image paintEarth(int width, int height);
Image paintMoon(int width, int height);
Image paintVenus(int width, int height);
Image paintMercury(int width, int height);

// Sprites with alpha, drawn on square cards.
Image paintSun(int size);
Image paintBonus(int size);
Image paintSkull(int size);

// The score bar's background strip, the ship's hull and the course object's skin.
Image paintBar(int width, int height);
Image paintHull(int size);
Image paintCar(int size);
