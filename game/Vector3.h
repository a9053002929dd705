#pragma once

// The game's one geometric value type. Sums and differences are computed in
// double precision and rounded once when stored.

class Vector3 {
public:
    Vector3() : x(0.0f), y(0.0f), z(0.0f) {}
    Vector3(float xIn, float yIn, float zIn) : x(xIn), y(yIn), z(zIn) {}
    Vector3(const Vector3& other) = default;
    Vector3& operator=(const Vector3& other) = default;
    virtual ~Vector3() {}

    float x;
    float y;
    float z;
};

inline Vector3 operator+(const Vector3& a, const Vector3& b) {
    return Vector3(static_cast<float>(static_cast<double>(a.x) + b.x), static_cast<float>(static_cast<double>(a.y) + b.y),
                   static_cast<float>(static_cast<double>(a.z) + b.z));
}

inline Vector3 operator-(const Vector3& a, const Vector3& b) {
    return Vector3(static_cast<float>(static_cast<double>(a.x) - b.x), static_cast<float>(static_cast<double>(a.y) - b.y),
                   static_cast<float>(static_cast<double>(a.z) - b.z));
}
