#pragma once

// Where the three lanes lie across the course, and the bounds of steering.
// The ship's lateral coordinate and an object's lateral offset share one axis.

// An object in lane 1 or 3 lies this far to the side of lane 2's centre line.
inline constexpr float LANE_OFFSET = 3.1f;

// The ship is in lane 2 strictly between -LANE_INNER and LANE_INNER, in lane 1
// or 3 from there strictly out to LANE_OUTER; on a border it is in no lane.
inline constexpr float LANE_INNER = 1.0f;
inline constexpr float LANE_OUTER = 5.0f;

// Past this the keyboard stops stepping outwards and the mouse takes its step back.
inline constexpr float STEER_BOUND = 6.0f;
// The keyboard may still leave the ship beyond STEER_BOUND; beyond LATERAL_BOUND
// every pass brings it back to LATERAL_RETURN.
inline constexpr float LATERAL_BOUND = 6.827507f;
inline constexpr float LATERAL_RETURN = 6.727507f;

// The pad puts the ship into a lane: the stick past STICK_THRESHOLD (of 32767)
// or the B and X buttons pick the outer lanes, a little inside the objects' line.
inline constexpr float STICK_THRESHOLD = 20000.0f;
inline constexpr float PAD_RIGHT = 3.0f;
inline constexpr float PAD_LEFT = -3.0f;
inline constexpr float PAD_CENTRE = 0.0f;

// The mouse steers by the cursor's sideways offset from the screen's centre.
inline constexpr float MOUSE_STEER_PER_PIXEL = 0.01f;
