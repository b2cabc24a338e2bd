#include "effects/spatial/room_geometry.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarRadiusSquared = 0.13;
constexpr double kSabineConstant = 0.161;  // seconds per metre

constexpr RoomGeometry kBaseRoom = {
    {2.5, 0.5, 1.7},
    {2.2, 5.5, 1.8},
    {5.0, 7.0, 2.8},
    {0.8, 0.8, 0.8, 0.8, 0.8, 0.8},
};

}  // namespace

RoomGeometry scaledRoom(double scale, double reflection) {
    RoomGeometry room = kBaseRoom;
    for (int axis = 0; axis < 3; ++axis) {
        room.source[axis] *= scale;
        room.listener[axis] *= scale;
        room.size[axis] *= scale;
    }
    for (double& r : room.reflection) r = reflection;
    return room;
}

// The line y = t x + c through the listener, at right angles to the bearing
// atan2(dx, dy) of the listener from the source, cut with the circle around
// the listener: a x^2 + b x + q = 0.
RoomGeometry earRoom(const RoomGeometry& room, int channel) {
    const double xs = room.source[0], ys = room.source[1];
    const double xl = room.listener[0], yl = room.listener[1];
    const double theta = std::atan2(xl - xs, yl - ys);
    const double t = std::tan(theta - kPi / 2.0);
    const double c = yl - xl * t;
    const double a = 1.0 + t * t;
    const double b = 2.0 * ((c - yl) * t - xl);
    const double q = xl * xl + (c - yl) * (c - yl) - kEarRadiusSquared;
    const double d = std::sqrt(b * b - 4.0 * a * q);
    const double x = channel == 0 ? (-b - d) / (2.0 * a) : (d - b) / (2.0 * a);
    RoomGeometry ear = room;
    ear.listener[0] = x;
    ear.listener[1] = x * t + c;
    return ear;
}

double eyringTime(const RoomGeometry& room) {
    const double lx = room.size[0], ly = room.size[1], lz = room.size[2];
    const double* r = room.reflection;
    const double surface = 2.0 * (lx * ly + (lx + ly) * lz);
    const double volume = lx * ly * lz;
    const double absorption = ((2.0 - r[1] * r[1] - r[4] * r[4]) * lx * lz + (2.0 - r[0] * r[0] - r[3] * r[3]) * ly * lz +
                               (2.0 - r[2] * r[2] - r[5] * r[5]) * lx * ly) /
                              surface;
    return kSabineConstant * volume / (-surface * std::log(1.0 - absorption));
}

double sourceDistance(const RoomGeometry& room) {
    double sum = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        const double d = room.listener[axis] - room.source[axis];
        sum += d * d;
    }
    return std::sqrt(sum);
}
