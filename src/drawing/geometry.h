#pragma once

namespace retracer {

// Angles are degrees, counter-clockwise from +X. Degrees and radians are converted with
// 3.141593 / 180 rather than the exact pi / 180: drawings made before carry angles and bulges
// computed with this factor, and ours must agree with them to the last digit.
inline constexpr double kRadiansPerDegree = 0.017453294444444444;

double CosDeg(double degrees);
double SinDeg(double degrees);
double TanDeg(double degrees);

// Direction of the vector from (x1, y1) to (x2, y2), in [0, 360). Two equal points give 0, and
// so does any non-finite input.
double DirectionAngle(double x1, double y1, double x2, double y2);

// Centre of the arc of radius |r| through the chord from (x1, y1) to (x2, y2): to the left of the
// chord seen from its first point when r > 0 (the short counter-clockwise arc), to the right
// otherwise. The radius and the half chord are first rounded to five decimals, so a radius that
// matches the half chord only to that precision still gives the midpoint. Returns false and
// leaves cx, cy untouched when the radius is shorter than the half chord or an input is not
// finite.
bool ArcCentre(double x1, double y1, double x2, double y2, double r, double& cx, double& cy);

// Angle swept from a1 to a2 in the given direction, in [0, 360]. Equal angles give 0 clockwise
// and 360 counter-clockwise; a non-finite angle gives 0.
float ArcSweep(float a1, float a2, bool clockwise);

// Every X written to a drawing goes through this: a mirrored job is drawn reflected about the
// middle of the part's length.
inline double XForMirror(double x, bool mirrorJob, double partLength) {
    return mirrorJob ? partLength - x : x;
}

}  // namespace retracer
