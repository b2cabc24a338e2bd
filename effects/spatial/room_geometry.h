#pragma once

// A shoebox room with one source and one listener; lengths in metres. The
// room spans 0..Lx, 0..Ly, 0..Lz; walls 0, 1, 2 lie at x, y, z = 0 and walls
// 3, 4, 5 at x = Lx, y = Ly, z = Lz.
struct RoomGeometry {
    double source[3];
    double listener[3];  // in a channel's copy: that channel's ear
    double size[3];
    double reflection[6];
};

// The base room, its nine positions and dimensions multiplied by scale and
// every wall given the reflection coefficient.
RoomGeometry scaledRoom(double scale, double reflection);

// Moves the listener of a copy of room to the ear of the given channel (0 or
// 1): the two points 0.3606 m (the square root of 0.13) from the listener on
// the horizontal line through it at right angles to the line from the source.
RoomGeometry earRoom(const RoomGeometry& room, int channel);

// Eyring reverberation time in seconds: 0.161 V / (-S ln(1 - mean absorption)).
double eyringTime(const RoomGeometry& room);

// Distance from the source to the listener.
double sourceDistance(const RoomGeometry& room);
