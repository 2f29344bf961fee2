// Arc geometry shared by arcs, wide arc caps and thermal reliefs.
#include <cmath>

#include "quennet/conversion/converters.h"
#include "quennet/conversion/numerics.h"

namespace quennet {

bool IsFullCircle(double A, double B) {
  const double c = static_cast<double>((static_cast<long double>(A) - B) / kTwoPiExt);
  return std::fabs(static_cast<long double>(c) - NearestExt(c)) < 0.0001L;
}

TArcEnds ArcEndPoints(double X, double Y, double R, double A, double B) {
  const long double x = X, y = Y, r = R, a = A, b = B;
  const long double sx = x + r * std::cos(a), sy = y + r * std::sin(a);
  const long double ex = x + r * std::cos(b), ey = y + r * std::sin(b);

  long double sweep = ThroughReal48(b > a ? b - a : kTwoPiExt - a + b, "arc sweep");
  // An arc stored as 360 -> 0 degrees is a whole circle, not an empty one.
  if (NearestExt(b * 180.0L / kPiExt) == 0.0L && NearestExt(a * 180.0L / kPiExt) == 360.0L)
    sweep = ThroughReal48(kTwoPiExt, "arc sweep");

  TArcEnds e{};
  e.bulge = static_cast<double>(std::sin(sweep / 4.0L) / std::cos(sweep / 4.0L));
  if (NearestExt(sweep * 180.0L / kPiExt) == 360.0L) {
    e.full = true;
    e.x0 = NearestCoord(x + r, "arc point");
    e.y0 = NearestCoord(y, "arc point");
    e.x1 = NearestCoord(x - r, "arc point");
    e.y1 = e.y0;
  } else {
    // The polyline runs clockwise from the end back to the start.
    e.full = false;
    e.x0 = NearestCoord(ex, "arc end point");
    e.y0 = NearestCoord(ey, "arc end point");
    e.x1 = NearestCoord(sx, "arc start point");
    e.y1 = NearestCoord(sy, "arc start point");
  }
  return e;
}

}  // namespace quennet
